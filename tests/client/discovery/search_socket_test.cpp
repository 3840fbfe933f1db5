// The search: its destinations for every flag combination, the sending over loopback (only
// 127.0.0.x destinations, with the limited broadcast switched off; the real broadcasts are
// checked inside the test network end to end), the reopening of a closed search socket, and
// the acceptance of replies on the search and probe sockets.
#include <gtest/gtest.h>
#include <winsock2.h>
#include <ws2tcpip.h>
#include <mswsock.h>

#include <cstring>
#include <vector>

#include "broadcast_list.h"
#include "lib_test_support.h"
#include "messages.h"
#include "search_packet.h"
#include "search_socket.h"

namespace {

constexpr uint32_t kBroadcast = 0xFFFFFFFF;

uint32_t Host(const char* text) { return ntohl(inet_addr(text)); }
LocalAddress Adapter(const char* address, const char* mask) { return {inet_addr(address), inet_addr(mask)}; }

TEST(SearchDestinations, FollowTheFlagsInOrder) {
    const std::vector<uint32_t> list = {Host("10.77.0.255"), Host("127.0.0.2")};
    const std::vector<LocalAddress> adapters = {Adapter("10.77.0.1", "255.255.255.0"),
                                                Adapter("192.168.7.9", "255.255.0.0"),
                                                Adapter("192.168.3.3", "255.255.0.0"),
                                                Adapter("172.16.0.1", "0.0.0.0")};
    const uint32_t directed = Host("192.168.255.255");
    struct Case {
        uint32_t flags;
        std::vector<uint32_t> expected;
    } cases[] = {
        {0, {}},
        {kSearchIniList, {}},
        {kSearchAdapters | kSearchNoLimited, {}},
        {kSearchUdp, {kBroadcast, list[0], list[1]}},
        {kSearchUdp | kSearchNoLimited, {list[0], list[1]}},
        // 10.77.0.255 is in the list already, 192.168.255.255 is one destination for two
        // adapters, and the adapter with mask 0 has none.
        {kSearchUdp | kSearchAdapters, {kBroadcast, list[0], list[1], directed}},
        {kSearchUdp | kSearchAdapters | kSearchNoLimited, {list[0], list[1], directed}},
        {kSearchUdp | kSearchAdapters | kSearchNoLimited | kSearchIniList, {list[0], list[1], directed}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(SearchDestinations(c.flags, list, adapters), c.expected) << std::hex << c.flags;
    }
}

// A UDP socket on the search port of the loopback interface, standing in for the servers.
// Wine binds a UDP socket to its interface rather than to one address, so a single receiver
// hears every 127.0.0.x destination; the destination of each datagram comes with it.
class LoopbackServer {
public:
    struct Datagram {
        std::vector<uint8_t> bytes;
        uint32_t destination = 0;  // network byte order
        bool operator==(const Datagram&) const = default;
    };

    explicit LoopbackServer(uint16_t port) {
        socket_ = ::socket(AF_INET, SOCK_DGRAM, 0);
        sockaddr_in local = {};
        local.sin_family = AF_INET;
        local.sin_addr.s_addr = inet_addr("127.0.0.2");
        local.sin_port = htons(port);
        DWORD on = 1;
        GUID id = WSAID_WSARECVMSG;
        DWORD bytes = 0;
        bound_ = ::bind(socket_, reinterpret_cast<sockaddr*>(&local), sizeof local) == 0 &&
                 ::setsockopt(socket_, IPPROTO_IP, IP_PKTINFO, reinterpret_cast<const char*>(&on), sizeof on) == 0 &&
                 WSAIoctl(socket_, SIO_GET_EXTENSION_FUNCTION_POINTER, &id, sizeof id, &recvMsg_, sizeof recvMsg_,
                          &bytes, nullptr, nullptr) == 0;
    }
    ~LoopbackServer() { closesocket(socket_); }
    bool bound() const { return bound_; }

    // Every datagram that arrives within the time.
    std::vector<Datagram> Receive(DWORD milliseconds = 300) {
        std::vector<Datagram> datagrams;
        ULONGLONG end = GetTickCount64() + milliseconds;
        while (GetTickCount64() < end) {
            fd_set set;
            FD_ZERO(&set);
            FD_SET(socket_, &set);
            timeval timeout = {0, 20000};
            if (::select(0, &set, nullptr, nullptr, &timeout) != 1) continue;
            char buffer[1024];
            char control[256];
            WSABUF data = {sizeof buffer, buffer};
            WSAMSG msg = {};
            msg.name = reinterpret_cast<sockaddr*>(&sender_);
            msg.namelen = sizeof sender_;
            msg.lpBuffers = &data;
            msg.dwBufferCount = 1;
            msg.Control = {sizeof control, control};
            DWORD n = 0;
            if (recvMsg_(socket_, &msg, &n, nullptr, nullptr) != 0) continue;
            Datagram datagram;
            datagram.bytes.assign(buffer, buffer + n);
            for (WSACMSGHDR* c = WSA_CMSG_FIRSTHDR(&msg); c; c = WSA_CMSG_NXTHDR(&msg, c)) {
                if (c->cmsg_level == IPPROTO_IP && c->cmsg_type == IP_PKTINFO) {
                    datagram.destination = reinterpret_cast<IN_PKTINFO*>(WSA_CMSG_DATA(c))->ipi_addr.s_addr;
                }
            }
            datagrams.push_back(datagram);
        }
        return datagrams;
    }
    void Answer(const std::vector<uint8_t>& bytes) {
        ::sendto(socket_, reinterpret_cast<const char*>(bytes.data()), static_cast<int>(bytes.size()), 0,
                 reinterpret_cast<sockaddr*>(&sender_), sizeof sender_);
    }
    SOCKET handle() const { return socket_; }

private:
    SOCKET socket_ = INVALID_SOCKET;
    bool bound_ = false;
    LPFN_WSARECVMSG recvMsg_ = nullptr;
    sockaddr_in sender_ = {};
};

LoopbackServer::Datagram Search(const char* destination, uint16_t rule = 0x9506) {
    SearchPacket packet = BuildSearchPacket(rule);
    const auto* bytes = reinterpret_cast<const uint8_t*>(&packet);
    return {std::vector<uint8_t>(bytes, bytes + sizeof packet), inet_addr(destination)};
}
using Datagrams = std::vector<LoopbackServer::Datagram>;

std::vector<uint8_t> Reply(uint16_t rule, size_t length = 244) {
    std::vector<uint8_t> bytes(length, 0);
    bytes[1] = 2;
    bytes[2] = static_cast<uint8_t>(rule >> 8);
    bytes[3] = static_cast<uint8_t>(rule);
    return bytes;
}

class SearchSocketTest : public ::testing::Test {
protected:
    void SetUp() override {
        EnsureLibraryAttached();
        ResetBroadcastListForTests();
        ResetSearchSettings();
        // A port of this test run's own, so that parallel runs do not hear each other.
        g_search.udpPort = static_cast<uint16_t>(40000 + GetCurrentProcessId() % 20000);
        window = CreateWindowExA(0, "STATIC", "", 0, 0, 0, 0, 0, nullptr, nullptr, nullptr, nullptr);
        probeWindow = CreateWindowExA(0, "STATIC", "", 0, 0, 0, 0, 0, nullptr, nullptr, nullptr, nullptr);
        const uint32_t memory[] = {inet_addr("127.0.0.2"), inet_addr("127.0.0.3")};
        SetBroadcastMemoryList(memory, 2, false);
    }
    void TearDown() override {
        CloseSearchSockets();
        DestroyWindow(window);
        DestroyWindow(probeWindow);
        ResetBroadcastListForTests();
        ResetSearchSettings();
    }
    // The notices for one window that arrive within the time.
    std::vector<MSG> Notices(HWND target, UINT message, DWORD milliseconds = 300) {
        std::vector<MSG> notices;
        ULONGLONG end = GetTickCount64() + milliseconds;
        while (GetTickCount64() < end) {
            MSG msg;
            while (PeekMessageA(&msg, target, message, message, PM_REMOVE)) notices.push_back(msg);
            Sleep(10);
        }
        return notices;
    }
    // Reads each notice's datagram as it comes (the next notice comes only after a read);
    // gives the lengths of the accepted ones.
    std::vector<int> Accepted(HWND target, AddressRecord* from = nullptr, DWORD milliseconds = 300) {
        std::vector<int> lengths;
        ULONGLONG end = GetTickCount64() + milliseconds;
        while (GetTickCount64() < end) {
            MSG notice;
            while (PeekMessageA(&notice, target, PNXM_SEARCH_SOCKET, PNXM_SEARCH_SOCKET, PM_REMOVE)) {
                uint8_t buffer[kSearchReplyCapacity];
                int length = ReceiveSearchReply(notice.wParam, notice.lParam, buffer, sizeof buffer, from);
                if (length > 0) lengths.push_back(length);
            }
            Sleep(10);
        }
        return lengths;
    }

    HWND window = nullptr;
    HWND probeWindow = nullptr;
};

TEST_F(SearchSocketTest, ReachesEveryListedAddressOnceAlsoAfterTheCycleClosedTheSocket) {
    LoopbackServer server(g_search.udpPort);
    ASSERT_TRUE(server.bound());
    for (int cycle = 0; cycle < 3; ++cycle) {
        CloseSearchSockets();  // as each search cycle does
        g_search.rule = static_cast<uint16_t>(0x1230 + cycle);
        EXPECT_TRUE(SendSearch(window, kSearchUdp | kSearchNoLimited)) << cycle;
        uint16_t rule = g_search.rule;
        EXPECT_EQ(server.Receive(), (Datagrams{Search("127.0.0.2", rule), Search("127.0.0.3", rule)}));
        EXPECT_EQ(Notices(window, PNXM_SEARCH_SENT, 50).size(), 1u);
    }
    EXPECT_TRUE(SendSearch(window, kSearchNoLimited));
    EXPECT_TRUE(server.Receive(100).empty()) << "nothing without the UDP flag";
}

TEST_F(SearchSocketTest, RepliesAreTakenOnlyWithTheRuleWithinTheBufferAndFromOurSocket) {
    LoopbackServer server(g_search.udpPort);
    ASSERT_TRUE(server.bound());
    ASSERT_TRUE(SendSearch(window, kSearchUdp | kSearchNoLimited));
    ASSERT_EQ(server.Receive().size(), 2u);
    server.Answer(Reply(0x9507));
    server.Answer(Reply(0x9506, 600));
    server.Answer(Reply(0x9506, 300));
    AddressRecord from;
    EXPECT_EQ(Accepted(window, &from), std::vector<int>{300});
    EXPECT_EQ(from.Port(), g_search.udpPort);

    server.Answer(Reply(0x9506));
    std::vector<MSG> notices = Notices(window, PNXM_SEARCH_SOCKET);
    ASSERT_FALSE(notices.empty());
    uint8_t buffer[kSearchReplyCapacity];
    WPARAM socket = notices[0].wParam;
    LPARAM failed = WSAMAKESELECTREPLY(FD_READ, WSAECONNRESET);
    EXPECT_EQ(ReceiveSearchReply(socket, failed, buffer, sizeof buffer, nullptr), 0);
    EXPECT_EQ(ReceiveSearchReply(server.handle(), WSAMAKESELECTREPLY(FD_READ, 0), buffer, sizeof buffer, nullptr), 0);
    EXPECT_EQ(ReceiveSearchReply(socket, WSAMAKESELECTREPLY(FD_READ, 0), buffer, sizeof buffer, nullptr), 244)
        << "still waiting for a proper notice";
    CloseSearchSockets();
    EXPECT_EQ(ReceiveSearchReply(socket, WSAMAKESELECTREPLY(FD_READ, 0), buffer, sizeof buffer, nullptr), 0);
}

TEST_F(SearchSocketTest, ProbeSearchesOneAddressAndItsRepliesNotifyTheServerWindow) {
    LoopbackServer server(g_search.udpPort);
    ASSERT_TRUE(server.bound());
    EXPECT_EQ(SearchToAddress(probeWindow, inet_addr("127.0.0.3")), 1);
    EXPECT_EQ(server.Receive(), Datagrams{Search("127.0.0.3")});
    server.Answer(Reply(0x9506));
    EXPECT_EQ(Accepted(probeWindow), std::vector<int>{244});
    EXPECT_TRUE(Notices(window, PNXM_SEARCH_SOCKET, 50).empty());
    EXPECT_FALSE(OpenProbeSocket(nullptr));
}

}  // namespace
