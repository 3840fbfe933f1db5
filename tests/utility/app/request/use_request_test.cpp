// The request-use datagram and the exchange on both sides, driven through a recording
// transport: what is sent to whom, what the owner is told, which timers run.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "use_request_codec.h"
#include "use_request_exchange.h"

namespace {

constexpr uint32_t kPeerA = 0x0A00010A;  // network-order words of test hosts
constexpr uint32_t kPeerB = 0x0B00010A;
constexpr uint16_t kPortA = 50001;
constexpr uint16_t kPortB = 50002;

std::vector<uint8_t> Datagram(uint16_t command, const char* device, const char* locations, const char* pc,
                              uint32_t seconds = 0) {
    RequestPacket p{};
    p.command = command;
    const uint8_t mac[6] = {0x00, 0x11, 0x22, 0x33, 0x44, 0x55};
    std::memcpy(p.hardwareAddress, mac, 6);
    p.vendorId = 0x04B8;
    p.productId = 0x0005;
    CopyRequestText(p.deviceName, sizeof p.deviceName, device);
    CopyRequestText(p.locations, sizeof p.locations, locations);
    CopyRequestText(p.pcName, sizeof p.pcName, pc);
    p.seconds = seconds;
    std::vector<uint8_t> out(kRequestDatagramMax);
    out.resize(BuildRequestPacket(p, out.data(), out.size()));
    return out;
}

struct Sent {
    uint32_t address;
    uint16_t port;
    RequestPacket packet;
};

class FakeTransport : public RequestTransport {
public:
    std::vector<Sent> sent;
    std::vector<UseRequestRecord> told;
    std::vector<std::pair<int, uint32_t>> started;
    std::set<int> running;              // timers started and not stopped
    bool outgoing = false;
    bool closed = false;
    std::function<void()> whileTold;    // the owner's handling, which may pump messages
    int Send(uint32_t address, uint16_t port, const uint8_t* data, size_t size) override {
        Sent s{address, port, {}};
        EXPECT_TRUE(ParseRequestPacket(data, size, &s.packet));
        sent.push_back(s);
        return static_cast<int>(size);
    }
    void Notify(const UseRequestRecord& record, uint32_t) override {
        told.push_back(record);
        if (whileTold) std::exchange(whileTold, nullptr)();
    }
    void StartTimer(int id, uint32_t ms) override {
        started.emplace_back(id, ms);
        running.insert(id);
    }
    void StopTimer(int id) override { running.erase(id); }
    bool HasOutgoingRequest() override { return outgoing; }
    void Close() override { closed = true; }
    void Pause(uint32_t) override {}
};

void Feed(RequestExchangeState& s, FakeTransport& t, const std::vector<uint8_t>& d, uint32_t from, uint16_t port) {
    OnExchangeDatagram(s, t, d.data(), d.size(), from, port);
}

TEST(RequestCodec, LayoutLengthAndRoundTrip) {
    std::vector<uint8_t> d = Datagram(SRU_REQUEST, "Print", "H1-2,H1-30", "pc-one", 0x01020304);
    ASSERT_EQ(d.size(), 42u);
    EXPECT_EQ((d[0] << 8) | d[1], 42);
    EXPECT_EQ(d[3], SRU_REQUEST);
    EXPECT_EQ(d[4], 0x00);
    EXPECT_EQ(d[9], 0x55);
    EXPECT_EQ((d[10] << 8) | d[11], 0x04B8);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(&d[14])), "Print");
    EXPECT_EQ(d[38], 0x01);
    EXPECT_EQ(d[41], 0x04);
    RequestPacket p{};
    ASSERT_TRUE(ParseRequestPacket(d.data(), d.size(), &p));
    EXPECT_STREQ(p.locations, "H1-2,H1-30");
    EXPECT_STREQ(p.pcName, "PC-ONE");
    EXPECT_EQ(p.seconds, 0x01020304u);
}

TEST(RequestCodec, HostileDatagramsChangeNothing) {
    const std::vector<uint8_t> good = Datagram(SRU_REQUEST, "Print", "H1-2,H1-3", "pc", 7);
    struct Case {
        const char* what;
        std::vector<uint8_t> bytes;
    };
    std::vector<Case> cases;
    cases.push_back({"20 bytes", std::vector<uint8_t>(good.begin(), good.begin() + 20)});
    std::vector<uint8_t> longer = good;
    longer[1] = static_cast<uint8_t>(good.size() + 1);
    cases.push_back({"length above what arrived", longer});
    std::vector<uint8_t> shortLength = good;
    shortLength[1] = 20;
    cases.push_back({"length below the minimum", shortLength});
    std::vector<uint8_t> unterminated = good;
    for (size_t i = 14; i < unterminated.size(); ++i) {
        if (unterminated[i] == 0) unterminated[i] = 'x';
    }
    cases.push_back({"no terminators", unterminated});
    std::vector<uint8_t> noSeconds = good;
    noSeconds[1] = static_cast<uint8_t>(good.size() - 2);
    cases.push_back({"seconds cut by the length", noSeconds});
    for (const Case& c : cases) {
        RequestPacket p{};
        p.command = 99;
        EXPECT_FALSE(ParseRequestPacket(c.bytes.data(), c.bytes.size(), &p)) << c.what;
        EXPECT_EQ(p.command, 99) << c.what;
    }
    // Trailing bytes beyond the length field are not read.
    std::vector<uint8_t> trailing = good;
    trailing.insert(trailing.end(), 50, 'z');
    RequestPacket p{};
    EXPECT_TRUE(ParseRequestPacket(trailing.data(), trailing.size(), &p));
}

TEST(RequestCodec, LongStringsAreCutOnTheWireAndToTheirFields) {
    const std::string locations(2048, 'L');
    const std::string device(300, 'D');
    std::vector<uint8_t> d = Datagram(SRU_REQUEST, device.c_str(), locations.c_str(), "pc");
    EXPECT_EQ(d.size(), 21u + 64 + 1023 + 2);  // the device field holds 64
    // A peer's datagram near the 3 KB maximum, with strings longer than our fields.
    std::vector<uint8_t> big(21 + 3 * 1023, 0);
    big[0] = static_cast<uint8_t>(big.size() >> 8);
    big[1] = static_cast<uint8_t>(big.size());
    big[3] = SRU_REQUEST;
    std::memset(&big[14], 'a', 1023);
    std::memset(&big[14 + 1024], 'b', 1023);
    std::memset(&big[14 + 2048], 'c', 1023);
    RequestPacket p{};
    ASSERT_TRUE(ParseRequestPacket(big.data(), big.size(), &p));
    EXPECT_EQ(strlen(p.deviceName), 64u);
    EXPECT_EQ(strlen(p.locations), 1023u);
    EXPECT_EQ(strlen(p.pcName), 256u);
    EXPECT_EQ(p.pcName[0], 'C');
}

RequestExchangeState Holder() {
    RequestExchangeState s;
    s.holder = true;
    CopyRequestText(s.ownPcName, sizeof s.ownPcName, "HOLDER");
    return s;
}

TEST(RequestHolder, EngagedHolderAnswersOthersBusyAndRepeatsToItsPeer) {
    RequestExchangeState s = Holder();
    FakeTransport t;
    Feed(s, t, Datagram(SRU_REQUEST, "Printer", "H1", "pc-a"), kPeerA, kPortA);
    ASSERT_EQ(t.told.size(), 1u);
    EXPECT_STREQ(t.told[0].otherPcName, "PC-A");
    EXPECT_EQ(s.busy, 1u);
    HolderSendCountdown(s, t, true, 120);
    ASSERT_EQ(t.sent.size(), 2u);
    EXPECT_EQ(t.sent[0].packet.command, SRU_PORT);
    EXPECT_EQ(t.sent[1].packet.command, SRU_COUNTDOWN);
    EXPECT_EQ(t.sent[1].packet.seconds, 120u);

    t.sent.clear();
    Feed(s, t, Datagram(SRU_REQUEST, "Other", "F9", "pc-b"), kPeerB, kPortB);
    ASSERT_EQ(t.sent.size(), 1u);
    EXPECT_EQ(t.sent[0].packet.command, SRU_BUSY);
    EXPECT_EQ(t.sent[0].address, kPeerB);
    EXPECT_EQ(t.sent[0].port, kPortB);
    EXPECT_STREQ(s.deviceName, "Printer");  // the running exchange kept its device and peer
    EXPECT_STREQ(s.peerPcName, "PC-A");
    EXPECT_EQ(s.peerAddress, kPeerA);
    EXPECT_EQ(t.told.size(), 1u);

    t.sent.clear();
    Feed(s, t, Datagram(SRU_REQUEST, "Printer", "H1", "pc-a"), kPeerA, kPortA);
    ASSERT_EQ(t.sent.size(), 2u);
    EXPECT_EQ(t.sent[0].packet.command, SRU_PORT);
    EXPECT_EQ(t.sent[1].packet.command, SRU_COUNTDOWN);

    // An idle holder whose PC has a request of its own is busy too.
    RequestExchangeState idle = Holder();
    FakeTransport own;
    own.outgoing = true;
    Feed(idle, own, Datagram(SRU_REQUEST, "Printer", "H1", "pc-a"), kPeerA, kPortA);
    ASSERT_EQ(own.sent.size(), 1u);
    EXPECT_EQ(own.sent[0].packet.command, SRU_BUSY);
    EXPECT_EQ(idle.busy, 0u);
}

TEST(RequestHolder, CancelAndTimeQueryOnlyFromTheCurrentPeerWhileEngaged) {
    RequestExchangeState s = Holder();
    FakeTransport t;
    Feed(s, t, Datagram(SRU_TIME_QUERY, "", "", "x"), kPeerA, kPortA);
    Feed(s, t, Datagram(SRU_CANCEL, "", "", "x"), kPeerA, kPortA);
    EXPECT_TRUE(t.sent.empty());  // idle: nothing is sent to 0.0.0.0:0
    EXPECT_TRUE(t.told.empty());

    Feed(s, t, Datagram(SRU_REQUEST, "Printer", "H1", "pc-a"), kPeerA, kPortA);
    HolderSendCountdown(s, t, true, 30);
    OnExchangeTimer(s, t, kHolderCountdownTimer);
    EXPECT_EQ(t.told.back().command, SRU_TIME);
    EXPECT_EQ(t.told.back().seconds, 29u);
    t.sent.clear();
    Feed(s, t, Datagram(SRU_CANCEL, "", "", "pc-b"), kPeerB, kPortB);
    Feed(s, t, Datagram(SRU_CANCEL, "", "", "pc-a"), kPeerA, kPortB);  // right host, wrong port
    Feed(s, t, Datagram(SRU_TIME_QUERY, "", "", "pc-b"), kPeerB, kPortB);
    EXPECT_TRUE(t.sent.empty());
    EXPECT_EQ(s.busy, 1u);

    Feed(s, t, Datagram(SRU_TIME_QUERY, "Printer", "H1", "pc-a"), kPeerA, kPortA);
    ASSERT_EQ(t.sent.size(), 1u);
    EXPECT_EQ(t.sent[0].packet.command, SRU_TIME);
    EXPECT_EQ(t.sent[0].packet.seconds, 29u);
    EXPECT_EQ(t.sent[0].address, kPeerA);

    const size_t toldBefore = t.told.size();
    Feed(s, t, Datagram(SRU_CANCEL, "Printer", "H1", "pc-a"), kPeerA, kPortA);
    EXPECT_EQ(t.told.size(), toldBefore + 1);
    EXPECT_EQ(t.told.back().command, SRU_CANCEL);
    EXPECT_EQ(s.busy, 0u);
    EXPECT_EQ(s.peerAddress, 0u);
    EXPECT_EQ(s.countdown, 0u);
    EXPECT_FALSE(s.countdownTimer);
}

TEST(RequestHolder, FinalAnswersReturnToIdleAndAnswersToTheHolderAreIgnored) {
    for (uint16_t final : {SRU_REFUSE, SRU_RELEASED, SRU_NOT_FOUND}) {
        RequestExchangeState s = Holder();
        FakeTransport t;
        Feed(s, t, Datagram(SRU_REQUEST, "Printer", "H1", "pc-a"), kPeerA, kPortA);
        HolderSendFinal(s, t, final);
        ASSERT_EQ(t.sent.size(), 1u);
        EXPECT_EQ(t.sent[0].packet.command, final);
        EXPECT_EQ(t.sent[0].port, kPortA);
        EXPECT_EQ(s.busy, 0u);
        EXPECT_EQ(s.peerPort, 0);
    }
    RequestExchangeState s = Holder();
    FakeTransport t;
    for (uint16_t command : {0, 3, 5, 6, 8, 9, 11, 12, 0xFFFF}) {
        Feed(s, t, Datagram(command, "d", "l", "p"), kPeerA, kPortA);
    }
    EXPECT_TRUE(t.told.empty());
    EXPECT_FALSE(t.closed);
}

TEST(RequestRequester, CountdownPollsSlowlyThenEverySecondAndStopsAtZero) {
    RequestExchangeState s;
    s.command = SRU_REQUEST;
    s.peerAddress = kPeerA;
    s.peerPort = kRequestUdpPort;
    FakeTransport t;
    Feed(s, t, Datagram(SRU_PORT, "Printer", "H1", "holder"), kPeerA, kRequestUdpPort);
    Feed(s, t, Datagram(SRU_COUNTDOWN, "Printer", "H1", "holder", 120), kPeerA, kRequestUdpPort);
    ASSERT_EQ(t.started.size(), 1u);
    EXPECT_EQ(t.started[0], std::make_pair(kRequesterPollTimer, kPollSlowMs));
    EXPECT_STREQ(t.told.back().otherPcName, "HOLDER");
    OnExchangeTimer(s, t, kRequesterPollTimer);
    ASSERT_EQ(t.sent.size(), 1u);
    EXPECT_EQ(t.sent[0].packet.command, SRU_TIME_QUERY);
    EXPECT_EQ(t.sent[0].port, kRequestUdpPort);

    Feed(s, t, Datagram(SRU_TIME, "Printer", "H1", "holder", 70), kPeerA, kRequestUdpPort);
    EXPECT_EQ(t.started.size(), 1u);
    Feed(s, t, Datagram(SRU_TIME, "Printer", "H1", "holder", 69), kPeerA, kRequestUdpPort);
    ASSERT_EQ(t.started.size(), 2u);
    EXPECT_EQ(t.started[1].second, kPollFastMs);
    EXPECT_EQ(t.told.back().seconds, 69u);
    Feed(s, t, Datagram(SRU_TIME, "Printer", "H1", "holder", 0), kPeerA, kRequestUdpPort);
    EXPECT_FALSE(s.pollTimer);

    RequestExchangeState quick = s;
    quick.pollTimer = false;
    FakeTransport q;
    Feed(quick, q, Datagram(SRU_COUNTDOWN, "Printer", "H1", "holder", 60), kPeerA, kRequestUdpPort);
    EXPECT_EQ(q.started.at(0).second, kPollFastMs);
}

TEST(RequestRequester, FinalAnswersEndTheExchangeBeforeTheOwnerHearsAndStrangersAreIgnored) {
    for (uint16_t command : {SRU_RELEASED, SRU_BUSY, SRU_NOT_FOUND}) {
        RequestExchangeState s;
        s.peerAddress = kPeerA;
        s.peerPort = kRequestUdpPort;
        FakeTransport t;
        Feed(s, t, Datagram(command, "Printer", "H1", "holder"), kPeerB, kRequestUdpPort);
        Feed(s, t, Datagram(command, "Printer", "H1", "holder"), kPeerA, kPortB);  // right host, wrong port
        EXPECT_FALSE(t.closed);
        EXPECT_TRUE(t.told.empty());
        Feed(s, t, Datagram(SRU_COUNTDOWN, "Printer", "H1", "holder", 30), kPeerA, kRequestUdpPort);
        ASSERT_EQ(t.running.count(kRequesterPollTimer), 1u);
        t.sent.clear();
        // The owner's connect batch pumps messages: a second final answer (a duplicate or a
        // spoof from the holder's address) and the poll timer arrive while it is told.
        t.whileTold = [&] {
            EXPECT_TRUE(t.closed) << command;
            EXPECT_EQ(t.running.count(kRequesterPollTimer), 0u) << command;
            Feed(s, t, Datagram(SRU_BUSY, "Printer", "H1", "holder"), kPeerA, kRequestUdpPort);
            Feed(s, t, Datagram(SRU_RELEASED, "Printer", "H1", "holder"), kPeerA, kRequestUdpPort);
            OnExchangeTimer(s, t, kRequesterPollTimer);
        };
        Feed(s, t, Datagram(command, "Printer", "H1", "holder"), kPeerA, kRequestUdpPort);
        ASSERT_EQ(t.told.size(), 2u) << command;
        EXPECT_EQ(t.told[1].command, command);
        EXPECT_TRUE(t.sent.empty()) << command;  // no time query went out
    }
}

}  // namespace
