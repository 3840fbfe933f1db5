// The service control exports on a real service window: start, end, suspend, resume, renew,
// the search port and rule, the desktop port, the filters and the detected servers.
#include <gtest/gtest.h>
#include <winsock2.h>
#include <commctrl.h>

#include <cstring>
#include <string>
#include <vector>

#include "broadcast_list.h"
#include "detected_servers.h"
#include "lib_lock.h"
#include "lib_test_support.h"
#include "log.h"
#include "messages.h"
#include "registry_test_key.h"
#include "search_filter.h"
#include "search_reply_builder.h"
#include "search_socket.h"
#include "server_list.h"
#include "service_properties.h"
#include "text_util.h"

namespace {

// Properties that keep every search on this machine: the list (empty here) without the
// limited broadcast.
constexpr ServiceProperties kQuiet = {1, 0, 0x03, 10};

class ServiceControlTest : public ::testing::Test {
protected:
    void SetUp() override {
        EnsureLibraryAttached();
        OneTimeInitialize();
        ResetLibStateForTests();
        ResetServicePropertiesStoreForTests();
        ResetBroadcastListForTests();
        ClearSearchFilters();
        service = PnxRegisterNotification(client.get(), nullptr);
        ASSERT_NE(service, nullptr);
        TakeServiceProperties(kQuiet);
    }
    void TearDown() override {
        if (IsWindow(service)) PnxUnRegisterNotification(service);
        TakeQuitMessage();
        ResetSearchSettings();
        ClearSearchFilters();
        ResetBroadcastListForTests();
        ResetServicePropertiesStoreForTests();
        ResetLibStateForTests();
    }
    // Takes the posted search requests off the queue; true when there was one.
    bool TakeSearchNow() {
        MSG msg;
        bool found = false;
        while (PeekMessageA(&msg, service, PNXM_SEARCH_NOW, PNXM_SEARCH_NOW, PM_REMOVE)) found = true;
        return found;
    }
    // A server as a search reply brings it, with its window.
    void AddServerByReply(std::initializer_list<uint8_t> ipv4, uint8_t macLast) {
        ReplyBuilder reply;
        const uint8_t* a = ipv4.begin();
        reply.Ipv4(a[0], a[1], a[2], a[3]).Mac({0x00, 0x11, 0x22, 0x33, 0x44, macLast});
        ASSERT_EQ(ServerFromReply(service, reply.data(), reply.size(), nullptr), 1);
    }
    // A listed server entry without a window.
    ServerEntry* AddBareServer(uint8_t macLast) {
        ServerEntry* entry = NewServerEntry(service);
        uint8_t mac[6] = {0x00, 0x11, 0x22, 0x33, 0x44, macLast};
        std::memcpy(entry->record->info->hardwareAddress, mac, 6);
        entry->record->info->ipAddress = inet_addr("10.77.0.50");
        std::string text = HardwareAddressText(mac);
        LVITEMA item = {};
        item.mask = LVIF_TEXT | LVIF_PARAM;
        item.pszText = text.data();
        item.lParam = reinterpret_cast<LPARAM>(entry);
        SendMessageA(ServerListControl(service), LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item));
        return entry;
    }
    int Count(uint16_t kind) {
        int n = 0;
        for (const auto& r : client.received) n += r.message == PNXN_SERVER && r.kind == kind;
        return n;
    }

    TestClientWindow client;
    HWND service = nullptr;
    TempFolder folder;
};

TEST_F(ServiceControlTest, StartWithTimerZeroSearchesOnceAndStartsNoTimer) {
    EXPECT_EQ(PnxStartService(nullptr, &kQuiet), 0);
    ASSERT_EQ(PnxStartService(service, &kQuiet), 1);
    EXPECT_TRUE(g_lib.serviceStarted);
    EXPECT_FALSE(g_lib.autoSearchTimerRunning);
    EXPECT_TRUE(TakeSearchNow());

    ServiceProperties timed = kQuiet;
    timed.timer = 60000;
    ASSERT_EQ(PnxStartService(service, &timed), 1);
    EXPECT_TRUE(g_lib.autoSearchTimerRunning);
    ServiceProperties got = {};
    ASSERT_EQ(PnxGetServiceProperties(service, &got), 1);
    EXPECT_EQ(got.timer, 60000u);
    EXPECT_EQ(got.useBroadAddress, 0x03);
    EXPECT_EQ(got.size, 0u) << "the caller's size field is not the library's";

    EXPECT_EQ(PnxSuspendService(service, 1), 1);
    EXPECT_FALSE(g_lib.serviceStarted);
    EXPECT_FALSE(g_lib.autoSearchTimerRunning);
    ASSERT_EQ(PnxResumeService(service, nullptr), 1);
    EXPECT_TRUE(g_lib.autoSearchTimerRunning);
    EXPECT_TRUE(TakeSearchNow());
    EXPECT_EQ(PnxEndService(service), 1);
    EXPECT_FALSE(g_lib.autoSearchTimerRunning);
    EXPECT_FALSE(g_lib.serviceStarted);
}

TEST_F(ServiceControlTest, ResumeDuringRenewAllOnlySavesTheProperties) {
    std::string ini = folder.File("props.ini");
    ASSERT_TRUE(LoadServiceProperties(ini.c_str()));
    g_lib.renewAllRunning = true;
    const ServiceProperties wanted = {1, 6000, 0x07, 10};
    ASSERT_EQ(PnxResumeService(service, &wanted), 1);
    EXPECT_FALSE(g_lib.autoSearchTimerRunning);
    EXPECT_FALSE(TakeSearchNow());
    char text[16] = {};
    GetPrivateProfileStringA("CONFIG", "UseBroadAddress", "", text, sizeof text, ini.c_str());
    EXPECT_STREQ(text, "7");
    GetPrivateProfileStringA("CONFIG", "Timer", "", text, sizeof text, ini.c_str());
    EXPECT_STREQ(text, "6000");
    g_lib.renewAllRunning = false;
    KillTimer(service, kTimerLostServerSweep);
}

TEST_F(ServiceControlTest, StartSearchesTheStoreListFollowedByTheMemoryList) {
    RegistryTestKey key("control");
    ASSERT_EQ(PnxInitBroadcastAddr(service, key.location().c_str()), 1);
    const uint32_t stored[] = {0x7F000002};
    ASSERT_EQ(PnxSetBroadcastAddr(service, stored, 1), 1);
    const uint32_t memory[] = {inet_addr("127.0.0.3")};
    ASSERT_EQ(PnxSetBroadcastAddrMemory(service, memory, 1), 1);
    ASSERT_EQ(PnxStartService(service, &kQuiet), 1);
    EXPECT_EQ(BroadcastSearchList(), (std::vector<uint32_t>{0x7F000002, 0x7F000003}));
    // Without UseBroadAddress bit 0 the store is not read: only the memory list is left.
    const ServiceProperties noList = {1, 0, 0x02, 10};
    ASSERT_EQ(PnxStartService(service, &noList), 1);
    EXPECT_EQ(BroadcastSearchList(), std::vector<uint32_t>{0x7F000003});
}

TEST_F(ServiceControlTest, PortAndRuleTakeAnyNonZeroValueTheDefaultsIncluded) {
    EXPECT_EQ(PnxSetPortAndRuleNumber(nullptr, 1, 1), 0);
    ASSERT_EQ(PnxSetPortAndRuleNumber(service, 19600, 0x1234), 1);
    EXPECT_EQ(g_search.udpPort, 19600);
    EXPECT_EQ(g_search.rule, 0x1234);
    ASSERT_EQ(PnxSetPortAndRuleNumber(service, 0, 0), 1);
    EXPECT_EQ(g_search.udpPort, 19600);
    EXPECT_EQ(g_search.rule, 0x1234);
    ASSERT_EQ(PnxSetPortAndRuleNumber(service, 19540, 0x9506), 1);
    EXPECT_EQ(g_search.udpPort, 19540);
    EXPECT_EQ(g_search.rule, 0x9506);
    EXPECT_EQ(g_search.ipxPort, 19541);
}

TEST_F(ServiceControlTest, DesktopPortWithoutAStoreStaysInMemory) {
    uint32_t port = 0;
    ASSERT_EQ(PnxGetRdpPort(service, &port), 1);
    EXPECT_EQ(port, 3389u);
    EXPECT_EQ(PnxSetRdpPort(service, 0), 0);
    EXPECT_EQ(PnxSetRdpPort(service, 65536), 0);
    ASSERT_EQ(PnxSetRdpPort(service, 5000), 1);
    ASSERT_EQ(PnxGetRdpPort(service, &port), 1);
    EXPECT_EQ(port, 5000u);

    RegistryTestKey key("control");
    ASSERT_TRUE(LoadServiceProperties(key.location().c_str()));
    key.WriteDword("Mode", "RDPPort", 6100);
    ASSERT_EQ(PnxGetRdpPort(service, &port), 1);
    EXPECT_EQ(port, 6100u);
}

TEST_F(ServiceControlTest, FilterKindsOtherThanTheFourAreRefused) {
    const char list[] = "10.77.\0";
    for (int kind : {1, 2, 4, 8}) {
        EXPECT_EQ(PnxSetSearchFilter(service, kind, list), 1) << kind;
        EXPECT_EQ(PnxSetSearchFilterEx(service, kind, list), 1) << kind;
    }
    for (int kind : {0, 3, 5, 16, 0x0F}) {
        EXPECT_EQ(PnxSetSearchFilter(service, kind, list), 0) << kind;
        EXPECT_EQ(PnxSetSearchFilterEx(service, kind, list), 0) << kind;
        EXPECT_EQ(PnxSetSearchFilterEx(service, kind, nullptr), 0) << kind;
    }
    EXPECT_EQ(PnxSetSearchFilter(service, 1, nullptr), 0);
    EXPECT_FALSE(SearchFilterAccepts(kFilterSetB, "10.78.0.1", "10.77.", "10.77."));
    EXPECT_EQ(PnxSetSearchFilterEx(service, 1, nullptr), 1);
    EXPECT_TRUE(SearchFilterAccepts(kFilterSetB, "10.78.0.1", "10.77.", "10.77."));
}

TEST_F(ServiceControlTest, DetectedServersAndListedOnesWithAStaleCountGiveNothing) {
    DetectedServer first = {inet_addr("10.77.0.20"), {0, 0x11, 0x22, 0x33, 0x44, 0x20}, "host-20", "QZ-20"};
    DetectedServer second = {inet_addr("10.77.0.21"), {0, 0x11, 0x22, 0x33, 0x44, 0x21}, "host-21", "QZ-21"};
    AddDetectedServer(service, first);
    AddDetectedServer(service, second);
    AddBareServer(0x21);  // detected already
    AddBareServer(0x50);  // listed only

    uint32_t count = 0;
    ASSERT_EQ(PnxDetectedServer(service, nullptr, &count), 1);
    ASSERT_EQ(count, 3u);
    std::vector<DetectedServer> servers(3);
    std::memset(servers.data(), 0xAB, servers.size() * sizeof(DetectedServer));
    uint32_t stale = 2;
    EXPECT_EQ(PnxDetectedServer(service, servers.data(), &stale), 0);
    EXPECT_EQ(stale, 2u);
    EXPECT_EQ(servers[0].hardwareAddress[0], 0xAB) << "nothing filled";

    ASSERT_EQ(PnxDetectedServer(service, servers.data(), &count), 1);
    EXPECT_EQ(servers[0].ipAddress, first.ipAddress);
    EXPECT_STREQ(servers[1].hostName, "host-21");
    EXPECT_EQ(servers[2].hardwareAddress[5], 0x50);
    EXPECT_EQ(servers[2].ipAddress, inet_addr("10.77.0.50"));

    // A new set-B list starts detection afresh.
    ASSERT_EQ(PnxSetSearchFilterEx(service, 8, "QZ\0"), 1);
    ASSERT_EQ(PnxDetectedServer(service, nullptr, &count), 1);
    EXPECT_EQ(count, 2u);
    EXPECT_EQ(PnxDetectedServer(service, nullptr, nullptr), 0);
}

TEST_F(ServiceControlTest, RenewReportsAServerWithoutAddressDeletedOnce) {
    ServiceProperties noAddress = kQuiet;
    noAddress.communicateMode |= 0x04;  // take replies without an IPv4 address
    TakeServiceProperties(noAddress);
    AddServerByReply({0, 0, 0, 0}, 0x01);
    AddServerByReply({10, 77, 0, 10}, 0x02);
    ASSERT_EQ(Count(PNXET_NEW), 2);
    ASSERT_EQ(PnxRenewService(service, 1), 1);
    EXPECT_EQ(Count(PNXET_DELETE), 1);
    std::vector<ServerEntry*> left = ServerEntries(service);
    ASSERT_EQ(left.size(), 1u);
    EXPECT_EQ(left[0]->record->info->ipAddress, inet_addr("10.77.0.10"));
    EXPECT_EQ(PnxRenewService(nullptr, 0), 0);
}

TEST_F(ServiceControlTest, FilterRefreshDropsTheServersThatSetBRefuses) {
    AddServerByReply({10, 77, 0, 10}, 0x01);
    AddServerByReply({192, 168, 0, 11}, 0x02);
    ASSERT_EQ(Count(PNXET_NEW), 2);
    ASSERT_EQ(PnxSetSearchFilterEx(service, 1, "10.77.\0"), 1);
    EXPECT_EQ(PnxSetSearchFilterRefresh(), 1);
    EXPECT_EQ(Count(PNXET_DELETE), 1);
    std::vector<ServerEntry*> left = ServerEntries(service);
    ASSERT_EQ(left.size(), 1u);
    EXPECT_EQ(left[0]->record->info->ipAddress, inet_addr("10.77.0.10"));
}

}  // namespace
