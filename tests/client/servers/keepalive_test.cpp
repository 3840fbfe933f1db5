// Keep-alive: the datagram and its bounds, and the tick of a server window against a receiver
// on the server's keep-alive port and the simulated bus driver.
#include "keepalive.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "bus_driver.h"
#include "server_timers.h"
#include "session_test_support.h"
#include "sim_bus_client.h"

namespace {

using Bytes = std::vector<uint8_t>;

TEST(KeepAliveDatagram, TwoOneCharacterPortsMakeNineBytes) {
    KeepAlivePortList list;
    EXPECT_TRUE(list.empty());
    EXPECT_EQ(list.AddList("a,b"), 2u);
    EXPECT_EQ(list.Datagram(), (Bytes{0x00, 0x09, 0x4B, 0x41, 'a', 0, 'b', 0, 0}));
    EXPECT_EQ(list.LogText(), "a b  ");
}

TEST(KeepAliveDatagram, ThePortListStaysWithinItsBufferAndTheLengthFieldMatches) {
    // A name fits when it, its zero byte and the final zero byte fit the 4160 bytes.
    KeepAlivePortList full;
    std::string longest(kKeepAlivePortListCapacity - 2, 'p');
    EXPECT_FALSE(full.Add(longest.data(), longest.size() + 1));
    EXPECT_TRUE(full.Add(longest.data(), longest.size()));
    EXPECT_FALSE(full.Add("q", 1));
    EXPECT_EQ(full.ListSize(), kKeepAlivePortListCapacity);
    Bytes datagram = full.Datagram();
    EXPECT_EQ(datagram.size(), 4 + kKeepAlivePortListCapacity);
    EXPECT_EQ((datagram[0] << 8) | datagram[1], static_cast<int>(datagram.size()));

    // Many names: those that do not fit are left out whole, later shorter ones still go in.
    KeepAlivePortList many;
    std::string name(100, 'n');
    size_t added = 0;
    for (int i = 0; i < 60; ++i) added += many.Add(name.data(), name.size()) ? 1 : 0;
    EXPECT_EQ(added, (kKeepAlivePortListCapacity - 1) / 101);
    EXPECT_TRUE(many.Add("x", 1));
    datagram = many.Datagram();
    EXPECT_LE(datagram.size(), 4 + kKeepAlivePortListCapacity);
    EXPECT_EQ((datagram[0] << 8) | datagram[1], static_cast<int>(datagram.size()));
    EXPECT_EQ(datagram[datagram.size() - 1], 0);
    EXPECT_EQ(datagram[datagram.size() - 2], 0);
    EXPECT_EQ(datagram[datagram.size() - 3], 'x');
}

TEST(KeepAliveDatagram, EmptyNamesWouldEndTheListEarlyAndAreLeftOut) {
    KeepAlivePortList list;
    EXPECT_EQ(list.AddList(",a,,b,"), 2u);
    EXPECT_EQ(list.Datagram(), (Bytes{0x00, 0x09, 0x4B, 0x41, 'a', 0, 'b', 0, 0}));
    EXPECT_EQ(list.AddList(""), 0u);
    EXPECT_EQ(list.AddList(nullptr), 0u);
}

TEST(KeepAliveDatagram, OnlyWellFormedAnswersAreRecognised) {
    EXPECT_TRUE(IsKeepAliveDatagram(Bytes{0, 4, 0x4B, 0x41}.data(), 4));
    EXPECT_TRUE(IsKeepAliveDatagram(Bytes{0, 9, 0x4B, 0x41, 'a', 0, 'b', 0, 0}.data(), 9));
    EXPECT_FALSE(IsKeepAliveDatagram(Bytes{0, 4, 0x4B}.data(), 3));
    EXPECT_FALSE(IsKeepAliveDatagram(Bytes{0, 3, 0x4B, 0x41}.data(), 4));
    EXPECT_FALSE(IsKeepAliveDatagram(Bytes{0, 4, 0x41, 0x4B}.data(), 4));
    EXPECT_FALSE(IsKeepAliveDatagram(nullptr, 4));
}

TEST(KeepAliveChoiceRules, BusyDevicesAlwaysCountAndConnectedOnesAreAskedOfTheDriver) {
    EXPECT_EQ(ChooseKeepAlive(1, 0, 1), KeepAliveChoice::AddPorts);
    EXPECT_EQ(ChooseKeepAlive(2, 0, 3), KeepAliveChoice::AddPorts);
    EXPECT_EQ(ChooseKeepAlive(0, 1, 2), KeepAliveChoice::AskDriver);
    EXPECT_EQ(ChooseKeepAlive(0, 4, 0), KeepAliveChoice::AskDriver);
    EXPECT_EQ(ChooseKeepAlive(3, 1, 2), KeepAliveChoice::AskDriver);
    EXPECT_EQ(ChooseKeepAlive(0, 0, 2), KeepAliveChoice::Skip);
    EXPECT_EQ(ChooseKeepAlive(0, 1, 1), KeepAliveChoice::Skip);
    EXPECT_EQ(ChooseKeepAlive(0, 1, 3), KeepAliveChoice::Skip);
    for (uint16_t state = 0; state < 8; ++state) {
        EXPECT_EQ(KeepAlivePortHeld(state), state == 1 || state == 2 || state == 4) << state;
    }
}

// A server's keep-alive port: 127.0.0.1 with a port of its own, which the library's socket is
// then told to send to (test programs run side by side).
class KeepAliveReceiver {
public:
    KeepAliveReceiver() {
        address_ = htonl(INADDR_LOOPBACK);
        socket_ = ::socket(AF_INET, SOCK_DGRAM, 0);
        sockaddr_in local = {};
        local.sin_family = AF_INET;
        local.sin_addr.s_addr = address_;
        bound_ = ::bind(socket_, reinterpret_cast<sockaddr*>(&local), sizeof local) == 0;
        int length = sizeof local;
        getsockname(socket_, reinterpret_cast<sockaddr*>(&local), &length);
        port_ = ntohs(local.sin_port);
        DWORD timeout = 300;
        setsockopt(socket_, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&timeout), sizeof timeout);
    }
    ~KeepAliveReceiver() { closesocket(socket_); }
    bool bound() const { return bound_; }
    uint32_t address() const { return address_; }
    uint16_t port() const { return port_; }
    // The next datagram, or an empty one after 300 ms.
    Bytes Next() {
        char buffer[5000];
        int n = recv(socket_, buffer, sizeof buffer, 0);
        return n > 0 ? Bytes(buffer, buffer + n) : Bytes();
    }

private:
    SOCKET socket_;
    uint32_t address_;
    uint16_t port_ = 0;
    bool bound_ = false;
};

class KeepAliveTick : public SessionTest {
protected:
    void SetUp() override {
        SessionTest::SetUp();
        tag_ = GetCurrentProcessId();
        ASSERT_TRUE(main_.ok()) << "the simulated bus driver is not running";
        ASSERT_TRUE(main_.OpenBus(tag_));
        bus_ = std::make_unique<zksim::SimBusClient>(zksim::BusName(tag_));
        ASSERT_TRUE(OpenBusDriver(zksim::BusName(tag_).c_str()));
    }
    void TearDown() override {
        SessionTest::TearDown();
        CloseBusDriver();
        bus_.reset();
        main_.CloseBus(tag_);
    }
    ServerEntry* ZkaServer(const KeepAliveReceiver& receiver, bool zka = true) {
        EXPECT_TRUE(OpenKeepAliveSocket(service, receiver.port(), PNXM_KEEPALIVE_SOCKET));
        return ZkaServer(static_cast<uint8_t>(ntohl(receiver.address())), zka);
    }
    ServerEntry* ZkaServer(uint8_t last, bool zka) {
        return AddServer(Reply().Ipv4(127, 0, 0, last).FunctionFlags(zka ? 0x80 | 0x200 : 0x80).Mac({2, 0, 0, 0, 9, last}));
    }
    void Tick(ServerEntry* entry) { SendMessageA(entry->serverWindow, WM_TIMER, kTimerKeepAlive, 0); }

    zksim::SimBusClient main_;
    std::unique_ptr<zksim::SimBusClient> bus_;
    uint32_t tag_ = 0;
};

TEST_F(KeepAliveTick, NamesThePortsOfBusyAndHeldDevicesAndRenewsWhenAPortWasLost) {
    KeepAliveReceiver receiver;
    ASSERT_TRUE(receiver.bound());
    ServerEntry* entry = ZkaServer(receiver);
    ASSERT_NE(entry, nullptr);
    EXPECT_TRUE(entry->record->keepAliveTimer);
    EXPECT_TRUE(Logged(entry->serverWindow, "*** ZKA Timer Start! ***"));
    uint32_t server = receiver.address();
    ASSERT_TRUE(bus_->Attach(server, "1-1", L"USB\\VID_0001&PID_0001\\1"));
    ASSERT_TRUE(bus_->Attach(server, "1-3", L"USB\\VID_0001&PID_0003\\1", 4));

    AddDevice(entry, {.ports = "a,b", .busy = kDeviceBusyConnecting});
    AddDevice(entry, {.ports = "c", .locations = "1-1", .action = 1, .status = kDeviceStatusConnected});
    AddDevice(entry, {.ports = "d", .locations = "1-3", .action = 4, .status = kDeviceStatusGetStatus});
    DeviceEntry* lost = AddDevice(entry, {.ports = "e", .locations = "1-1,1-2", .action = 1,
                                          .status = kDeviceStatusConnected});
    AddDevice(entry, {.ports = "f", .locations = "1-1", .action = 1, .status = kDeviceStatusFree});
    AddDevice(entry, {.ports = "g", .locations = "1-1", .status = kDeviceStatusConnected});
    entry->record->timerKind = static_cast<uint16_t>(SessionTimer::Status);

    Tick(entry);
    EXPECT_EQ(receiver.Next(), (Bytes{0x00, 0x0D, 0x4B, 0x41, 'a', 0, 'b', 0, 'c', 0, 'd', 0, 0}));
    EXPECT_TRUE(Logged(entry->serverWindow, "  Size: 13, Message: a b c d  "));
    EXPECT_EQ(lost->keepAliveLost, 1);
    EXPECT_TRUE(Logged(entry->serverWindow, "*** ZK Keep Alive - Renew ***"));
    std::vector<MSG> renews = TakePosted(entry->serverWindow, PNXM_RENEW);
    ASSERT_EQ(renews.size(), 1u);
    EXPECT_EQ(renews[0].lParam, 1);

    // Without the Status timer running the renew waits; a failing driver counts as lost.
    lost->keepAliveLost = 0;
    entry->record->timerKind = static_cast<uint16_t>(SessionTimer::TimeOut);
    ASSERT_TRUE(bus_->Fail(ZKUPTP_IOCTL_PORT_STATUS, 10));
    Tick(entry);
    EXPECT_EQ(receiver.Next(), (Bytes{0x00, 0x09, 0x4B, 0x41, 'a', 0, 'b', 0, 0}));
    EXPECT_EQ(lost->keepAliveLost, 1);
    EXPECT_TRUE(TakePosted(entry->serverWindow, PNXM_RENEW).empty());
}

TEST_F(KeepAliveTick, NothingIsSentWithoutPortsOrWithoutTheZkaBit) {
    KeepAliveReceiver receiver;
    ASSERT_TRUE(receiver.bound());
    ServerEntry* entry = ZkaServer(receiver);
    ASSERT_NE(entry, nullptr);
    AddDevice(entry, {.ports = "a", .status = kDeviceStatusFree});
    Tick(entry);
    EXPECT_TRUE(receiver.Next().empty());
    EXPECT_FALSE(Logged(entry->serverWindow, "*** ZK Keep Alive ***"));

    ServerEntry* plain = ZkaServer(63, false);
    ASSERT_NE(plain, nullptr);
    EXPECT_FALSE(plain->record->keepAliveTimer);
    EXPECT_FALSE(Logged(plain->serverWindow, "*** ZKA Timer Start! ***"));

    // The timer stops with the window.
    HWND window = entry->serverWindow;
    ReleaseTestDevices();
    DestroyServerWindow(service, entry);
    EXPECT_FALSE(IsWindow(window));
}

}  // namespace
