#include "rwp_exchange.h"

#include <gtest/gtest.h>

#include <string>

#include "fake_rwp_peer.h"
#include "rwp_commands.h"
#include "rwp_stream.h"
#include "udp_socket.h"

using qztest::Bytes;
using qztest::FakeRwpPeer;
using qztest::Reply;
using qztest::RwpRequest;

namespace {

constexpr uint32_t kTestTimeout = 250;  // ms per try

class RwpExchange : public ::testing::Test {
protected:
    void SetUp() override {
        WSADATA data;
        WSAStartup(MAKEWORD(2, 2), &data);
        SetRwpTimeout(kTestTimeout);
    }
    void TearDown() override {
        SetRwpTimeout(0);
        WSACleanup();
    }

    static AddressRecord Loopback(uint16_t port) { return AddressRecord::Ipv4(INADDR_LOOPBACK, port); }

    // Runs the exchange loop for "GET USB_DEVICE_LIST" against the peer.
    static int RunLoop(FakeRwpPeer& peer, uint8_t* reply, size_t capacity) {
        CRwpStreamRecv stream;
        stream.SetReplyBuffer(reply, capacity);
        if (!stream.BuildRequest(RwpCommandText(kRwpUsbDeviceList), nullptr, 0)) return -99;
        UdpSocket socket;
        AddressRecord local = AddressRecord::Any(AddressKind::Ipv4);
        if (!socket.Create(Loopback(peer.Port()), &local)) return -98;
        return RwpExchangeLoop(socket, stream, kRwpUsbDeviceList);
    }
};

// "type@offset" of each request, for comparing whole conversations.
std::vector<std::string> Conversation(const std::vector<RwpRequest>& requests) {
    std::vector<std::string> out;
    for (const RwpRequest& r : requests)
        out.push_back(std::to_string(r.type) + "@" + std::to_string(r.offset));
    return out;
}

using Lines = std::vector<std::string>;

}  // namespace

TEST(RwpAnswer, ClassifiesReplyTexts) {
    auto code = [](const std::string& text) {
        return ClassifyRwpAnswer(reinterpret_cast<const uint8_t*>(text.data()), text.size());
    };
    EXPECT_EQ(code("OK"), kRwpAnswerOk);
    EXPECT_EQ(code(""), kRwpAnswerOk);
    EXPECT_EQ(code("ng"), kRwpAnswerNg);
    EXPECT_EQ(code("NG: busy"), kRwpAnswerNg);
    EXPECT_EQ(code("Error"), kRwpAnswerNg);
    EXPECT_EQ(code("DeNy"), kRwpAnswerDeny);
    EXPECT_EQ(code("den"), kRwpAnswerOk);  // too short for "deny"
    EXPECT_EQ(code("n"), kRwpAnswerOk);
}

TEST_F(RwpExchange, CommandExchangeGivesTheAnswerCode) {
    for (auto [text, expected] : {std::pair{"OK", 0}, {"ng", 1}, {"Ng", 1}, {"deny", 2}}) {
        std::string answer = text;
        FakeRwpPeer peer([&](const RwpRequest& request, size_t) {
            return qztest::HonestAnswer(request, Bytes(answer.begin(), answer.end()));
        });
        const uint8_t prefix[12] = {1, 6, 0, 0x11, 0x22, 0x33, 0x44, 0x55, 0, 0, 0, 0};
        const char port[] = "USB1";
        EXPECT_EQ(RwpCommandExchange(Loopback(peer.Port()), kRwpScannerConnect, prefix, port,
                                     sizeof(port)),
                  expected)
            << text;
        auto requests = peer.Requests();
        ASSERT_EQ(Conversation(requests), (Lines{"1@0", "3@" + std::to_string(answer.size())}));
        EXPECT_EQ(requests[0].size, 510u);
        EXPECT_EQ(requests[0].command.substr(0, 21), "EXEC SCANNER CONNECT:");
        EXPECT_EQ(0, memcmp(requests[0].raw.data() + 4 + 21, prefix, 12));
        EXPECT_EQ(0, memcmp(requests[0].raw.data() + 4 + 33, port, sizeof(port)));
        EXPECT_EQ(requests[1].size, 88u);
    }
}

TEST_F(RwpExchange, SilenceGivesUpAfterFourTries) {
    FakeRwpPeer peer([](const RwpRequest&, size_t) { return std::vector<Bytes>{}; });
    ULONGLONG start = GetTickCount64();
    EXPECT_EQ(RwpCommandExchange(Loopback(peer.Port()), kRwpSafeRemove, nullptr, nullptr, 0),
              kRwpAnswerNone);
    ULONGLONG elapsed = GetTickCount64() - start;
    // Each try waits its time-out, not more; the upper bound leaves room for a loaded machine.
    EXPECT_GE(elapsed, 4 * kTestTimeout - 50);
    EXPECT_LT(elapsed, 4 * kTestTimeout + 4000);
    EXPECT_EQ(Conversation(peer.Requests()), (Lines{"1@0", "1@0", "1@0", "1@0"}));
}

TEST_F(RwpExchange, FragmentedReplyIsAskedOnceForEachOffset) {
    const Bytes body = qztest::Pattern(1300);
    FakeRwpPeer peer([&](const RwpRequest& request, size_t) {
        return qztest::HonestAnswer(request, body);
    });
    uint8_t reply[2048];
    EXPECT_EQ(RunLoop(peer, reply, sizeof(reply)), 1300);
    EXPECT_EQ(Bytes(reply, reply + 1300), body);
    EXPECT_EQ(Conversation(peer.Requests()), (Lines{"1@0", "2@512", "2@1024", "3@1300"}));
}

TEST_F(RwpExchange, EmptyRepliesAndEmptyLastFragmentsAreNotDropped) {
    // Each finishes without a single retry: the conversation holds every request once.
    for (size_t size : {size_t(0), size_t(512)}) {
        const Bytes body = qztest::Pattern(size);
        FakeRwpPeer peer([&](const RwpRequest& request, size_t) {
            const uint16_t end = static_cast<uint16_t>(size);
            if (request.type == 1) return std::vector<Bytes>{Reply(1, end ? 1 : 0, 0, body)};
            if (request.type == 2) return std::vector<Bytes>{Reply(2, 0, end, {})};
            return qztest::HonestAnswer(request, body);
        });
        uint8_t reply[1024];
        EXPECT_EQ(RunLoop(peer, reply, sizeof(reply)), static_cast<int>(size));
        Lines expected = size ? Lines{"1@0", "2@512", "3@512"} : Lines{"1@0", "3@0"};
        EXPECT_EQ(Conversation(peer.Requests()), expected);
    }
}

TEST_F(RwpExchange, DroppedFragmentIsAskedAgainAtTheSameOffset) {
    const Bytes body = qztest::Pattern(1300);
    bool dropped = false;
    FakeRwpPeer peer([&](const RwpRequest& request, size_t) {
        if (request.type == 2 && request.offset == 512 && !dropped) {
            dropped = true;
            return std::vector<Bytes>{};
        }
        return qztest::HonestAnswer(request, body);
    });
    uint8_t reply[2048];
    EXPECT_EQ(RunLoop(peer, reply, sizeof(reply)), 1300);
    EXPECT_EQ(Bytes(reply, reply + 1300), body);
    EXPECT_EQ(Conversation(peer.Requests()), (Lines{"1@0", "2@512", "2@512", "2@1024", "3@1300"}));
}

TEST_F(RwpExchange, DuplicatedFragmentCausesNoExtraRequest) {
    const Bytes body = qztest::Pattern(1300);
    FakeRwpPeer peer([&](const RwpRequest& request, size_t) {
        std::vector<Bytes> replies = qztest::HonestAnswer(request, body);
        if (request.type != 3) replies.push_back(replies.front());
        return replies;
    });
    uint8_t reply[2048];
    EXPECT_EQ(RunLoop(peer, reply, sizeof(reply)), 1300);
    EXPECT_EQ(Bytes(reply, reply + 1300), body);
    Sleep(50);  // let any stray request reach the peer
    EXPECT_EQ(Conversation(peer.Requests()), (Lines{"1@0", "2@512", "2@1024", "3@1300"}));
}

TEST_F(RwpExchange, GapIsRefusedAndAskedAgain) {
    const Bytes body = qztest::Pattern(1300);
    bool skipped = false;
    FakeRwpPeer peer([&](const RwpRequest& request, size_t) {
        if (request.type == 2 && request.offset == 512 && !skipped) {
            skipped = true;  // answers with the fragment after the one asked for
            return std::vector<Bytes>{Reply(2, 0, 1024, Bytes(body.begin() + 1024, body.end()))};
        }
        return qztest::HonestAnswer(request, body);
    });
    uint8_t reply[2048];
    EXPECT_EQ(RunLoop(peer, reply, sizeof(reply)), 1300);
    EXPECT_EQ(Bytes(reply, reply + 1300), body);
    EXPECT_EQ(Conversation(peer.Requests()), (Lines{"1@0", "2@512", "2@512", "2@1024", "3@1300"}));
}

TEST_F(RwpExchange, MalformedDatagramsAreSurvived) {
    const Bytes body = qztest::Pattern(700);
    FakeRwpPeer peer([&](const RwpRequest& request, size_t) {
        if (request.type == 3) return qztest::HonestAnswer(request, body);
        std::vector<Bytes> replies = {
            Bytes{0, 1, 0},                                          // truncated
            Reply(request.type, 0, request.offset, Bytes(4, 'x'), 3000),  // length too large
            Reply(static_cast<uint16_t>(request.type + 1), 0, request.offset, Bytes(4, 'x')),
            Reply(request.type, 9, request.offset, Bytes(4, 'x')),   // bad more value
            Reply(request.type, 0, 60000, Bytes(4, 'x')),            // offset past the asked one
        };
        for (const Bytes& good : qztest::HonestAnswer(request, body)) replies.push_back(good);
        return replies;
    });
    uint8_t reply[1024];
    EXPECT_EQ(RunLoop(peer, reply, sizeof(reply)), 700);
    EXPECT_EQ(Bytes(reply, reply + 700), body);
    EXPECT_EQ(Conversation(peer.Requests()), (Lines{"1@0", "2@512", "3@700"}));
}

TEST_F(RwpExchange, BlockingRequestFetchesTheWholeReply) {
    const Bytes body = qztest::Pattern(1300);
    FakeRwpPeer peer([&](const RwpRequest& request, size_t) {
        return qztest::HonestAnswer(request, body);
    });
    uint8_t reply[65536];
    EXPECT_EQ(RwpBlockingRequest(htonl(INADDR_LOOPBACK), "GET USB_DEVICE_LIST_EX", reply,
                                 sizeof(reply), peer.Port()),
              1300);
    EXPECT_EQ(Bytes(reply, reply + 1300), body);
    auto requests = peer.Requests();
    EXPECT_EQ(Conversation(requests), (Lines{"1@0", "2@512", "2@1024", "3@1300"}));
    for (const RwpRequest& request : requests) {
        EXPECT_EQ(request.size, 88u);
        EXPECT_EQ(request.command, "GET USB_DEVICE_LIST_EX");
    }
}

TEST_F(RwpExchange, BlockingRequestRefusesWhatItCannotTrust) {
    const Bytes body = qztest::Pattern(1300);
    {  // reply larger than the caller's buffer
        FakeRwpPeer peer([&](const RwpRequest& request, size_t) {
            return qztest::HonestAnswer(request, body);
        });
        uint8_t reply[1299];
        EXPECT_EQ(RwpBlockingRequest(htonl(INADDR_LOOPBACK), "GET USB_DEVICE_LIST", reply,
                                     sizeof(reply), peer.Port()),
                  -1);
    }
    {  // a length field beyond the datagram, every time: five sends, then -1
        FakeRwpPeer peer([&](const RwpRequest& request, size_t) {
            return std::vector<Bytes>{Reply(request.type, 0, 0, Bytes(10, 'x'), 400)};
        });
        uint8_t reply[4096];
        EXPECT_EQ(RwpBlockingRequest(htonl(INADDR_LOOPBACK), "GET STORAGE_LIST", reply,
                                     sizeof(reply), peer.Port()),
                  -1);
        EXPECT_EQ(Conversation(peer.Requests()), (Lines(5, "1@0")));
    }
    {  // a wrong offset is asked again; a right one then goes on
        bool wrong = false;
        FakeRwpPeer peer([&](const RwpRequest& request, size_t) {
            if (request.type == 2 && !wrong) {
                wrong = true;
                return std::vector<Bytes>{Reply(2, 1, 0, Bytes(512, 'x'))};
            }
            return qztest::HonestAnswer(request, body);
        });
        uint8_t reply[4096];
        EXPECT_EQ(RwpBlockingRequest(htonl(INADDR_LOOPBACK), "GET STORAGE_LIST", reply,
                                     sizeof(reply), peer.Port()),
                  1300);
        EXPECT_EQ(Bytes(reply, reply + 1300), body);
        EXPECT_EQ(Conversation(peer.Requests()),
                  (Lines{"1@0", "2@512", "2@512", "2@1024", "3@1300"}));
    }
}
