// The service window: its children, debug mode, the lost-server sweep, the search cycle's
// subnet rule, renew-all and the auto-search timer switch.
#include <gtest/gtest.h>
#include <winsock2.h>
#include <commctrl.h>

#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "lib_lock.h"
#include "lib_test_support.h"
#include "log.h"
#include "messages.h"
#include "search_cycle.h"
#include "search_socket.h"
#include "server_list.h"

namespace {

uint32_t Ip(const char* text) { return inet_addr(text); }

class ServiceWindowTest : public RegisteredLibraryTest {
protected:
    void SetUp() override {
        RegisteredLibraryTest::SetUp();
        // The search cycles below really send. On a port of this run's own they cannot reach
        // the simulators of end-to-end tests that run meanwhile and count every search.
        ResetSearchSettings();
        g_search.udpPort = static_cast<uint16_t>(40000 + GetCurrentProcessId() % 20000);
    }
    void TearDown() override {
        LogReset();
        RegisteredLibraryTest::TearDown();
        CloseSearchSockets();
        ResetSearchSettings();
    }
    // Adds a server row whose entry carries the given addresses; returns the entry.
    ServerEntry* AddServer(const char* server, const char* local = "10.77.0.1", const char* mask = "255.255.255.0") {
        ServerEntry* entry = NewServerEntry(service);
        entry->record->info->ipAddress = Ip(server);
        entry->record->localAddress = Ip(local);
        entry->record->localMask = Ip(mask);
        LVITEMA item = {};
        item.mask = LVIF_TEXT | LVIF_PARAM;
        item.iItem = ListView_GetItemCount(ServerListControl(service));
        item.pszText = const_cast<char*>(server);
        item.lParam = reinterpret_cast<LPARAM>(entry);
        SendMessageA(ServerListControl(service), LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item));
        return entry;
    }
    std::vector<std::string> ListedServers() {
        std::vector<std::string> texts;
        HWND list = ServerListControl(service);
        for (int row = 0; row < ListView_GetItemCount(list); ++row) {
            char text[64] = {};
            ListView_GetItemText(list, row, 0, text, sizeof text);
            texts.push_back(text);
        }
        return texts;
    }

};

std::vector<std::string> ColumnTitles(HWND list) {
    std::vector<std::string> titles;
    for (int i = 0;; ++i) {
        char title[64] = {};
        LVCOLUMNA column = {};
        column.mask = LVCF_TEXT;
        column.pszText = title;
        column.cchTextMax = sizeof title;
        if (!SendMessageA(list, LVM_GETCOLUMNA, i, reinterpret_cast<LPARAM>(&column))) break;
        titles.push_back(title);
    }
    return titles;
}

TEST_F(ServiceWindowTest, WindowAndChildrenAreBuiltAsTheListsNeedThem) {
    char text[64] = {};
    GetClassNameA(service, text, sizeof text);
    EXPECT_STREQ(text, "PNX_SERVICE_CONTROL_DLL");
    GetWindowTextA(service, text, sizeof text);
    EXPECT_STREQ(text, "Server List");
    EXPECT_FALSE(IsWindowVisible(service));
    EXPECT_EQ(GetWindow(service, GW_OWNER), client.get());

    const std::vector<int> expectedIds = {1001, 1003, 1004, 1005, 150, 107};
    std::vector<int> ids;
    for (HWND child = GetWindow(service, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        ids.push_back(GetDlgCtrlID(child));
        EXPECT_NE(SendMessageA(child, WM_GETFONT, 0, 0), 0) << GetDlgCtrlID(child);
    }
    EXPECT_EQ(ids, expectedIds);

    using Titles = std::vector<std::string>;
    EXPECT_EQ(ColumnTitles(GetDlgItem(service, 1001)), (Titles{"Ethernet Address", "IP Address", "Host Name", "Rwp Version"}));
    EXPECT_EQ(ColumnTitles(GetDlgItem(service, 1003)), (Titles{"Connect USB Device", "Mode"}));
    EXPECT_EQ(ColumnTitles(GetDlgItem(service, 1004)), (Titles{"Priner", "Port"}));
    EXPECT_EQ(ColumnTitles(GetDlgItem(service, 1005)), (Titles{"Path", "Application", "Process ID"}));
    EXPECT_EQ(ColumnTitles(GetDlgItem(service, 107)), (Titles{"Detected Ethernet"}));

    for (int id : {1001, 1003, 1004, 1005, 107}) {
        HWND list = GetDlgItem(service, id);
        LONG style = GetWindowLongA(list, GWL_STYLE);
        EXPECT_EQ(style & LVS_TYPEMASK, LVS_REPORT) << id;
        EXPECT_TRUE(style & LVS_SHOWSELALWAYS) << id;
        EXPECT_EQ((style & LVS_NOSORTHEADER) != 0, id == 1005 || id == 107) << id;
        EXPECT_TRUE(ListView_GetExtendedListViewStyle(list) & LVS_EX_FULLROWSELECT) << id;
    }
    char listClass[32] = {};
    GetClassNameA(GetDlgItem(service, 150), listClass, sizeof listClass);
    EXPECT_EQ(_stricmp(listClass, "ListBox"), 0);
    EXPECT_TRUE(GetWindowLongA(GetDlgItem(service, 150), GWL_STYLE) & LBS_NOINTEGRALHEIGHT);
}

TEST_F(ServiceWindowTest, DebugModeWithFlagsZeroLogsNothing) {
    TempFolder folder;
    DebugModeInfo info = {};
    std::strcpy(info.folder, folder.path().c_str());
    EXPECT_EQ(PnxDebugMode(service, &info), 1);
    EXPECT_EQ(LogFlags(), 0);
    EXPECT_EQ(GetFileAttributesA(folder.File("Pnxsclog.txt").c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(SendDlgItemMessageA(service, kIdLogList, LB_GETCOUNT, 0, 0), 0);
    EXPECT_EQ(PnxDebugMode(nullptr, &info), 0);
    EXPECT_EQ(PnxDebugMode(service, nullptr), 0);
}

TEST_F(ServiceWindowTest, DebugModeWritesTheHeaderAndShowsTheWindowOnRequest) {
    TempFolder folder;
    DebugModeInfo info = {};
    info.flags = kDebugLogFile | kDebugShowWindow;
    std::strcpy(info.folder, folder.path().c_str());
    EXPECT_EQ(PnxDebugMode(service, &info), 1);
    EXPECT_TRUE(IsWindowVisible(service));
    std::ifstream file(folder.File("Pnxsclog.txt"), std::ios::binary);
    std::vector<std::string> texts;
    for (std::string line; std::getline(file, line);) {
        ASSERT_GE(line.size(), 22u);
        ASSERT_EQ(line.back(), '\r');
        texts.push_back(line.substr(line.find("  ") + 2, line.size() - line.find("  ") - 3));
    }
    ASSERT_EQ(texts.size(), 10u);
    EXPECT_EQ(texts[0], std::string(50, '-'));
    EXPECT_EQ(texts[1], "          Pnxscapi.dll (Ver 2.5.0)");
    EXPECT_EQ(texts[3], "*** OS Information ***");
    EXPECT_EQ(texts[8].rfind("  File Path     : ", 0), 0u);
    EXPECT_EQ(texts[8].substr(texts[8].size() - 13), "\\Pnxscapi.dll");
    EXPECT_EQ(texts[9].rfind("  Zkuptp Driver : ", 0), 0u);
    // The on-screen log got the same lines.
    EXPECT_EQ(SendDlgItemMessageA(service, kIdLogList, LB_GETCOUNT, 0, 0), 10);
}

TEST_F(ServiceWindowTest, LostServerSweepRemovesEveryUnseenServerAndReportsBothPhases) {
    // Adjacent unseen rows: a sweep that walked row indices while deleting would skip some.
    const char* servers[] = {"10.77.0.2", "10.77.0.3", "10.77.0.4", "10.77.0.5", "10.77.0.6"};
    for (const char* server : servers) AddServer(server);
    std::vector<ServerEntry*> entries = ServerEntries(service);
    ASSERT_EQ(entries.size(), 5u);
    for (int i : {0, 1, 2, 4}) entries[i]->record->notSeen = true;
    client.received.clear();

    EXPECT_EQ(LostServerSweep(service), 1);

    EXPECT_EQ(ListedServers(), std::vector<std::string>{"10.77.0.5"});
    ASSERT_EQ(client.received.size(), 2u);
    EXPECT_EQ(client.received[0].message, PNXN_NETWORK);
    EXPECT_EQ(client.received[0].kind, 1);
    EXPECT_EQ(client.received[0].flags, kNetworkSweepStart);
    EXPECT_EQ(client.received[1].message, PNXN_NETWORK);
    EXPECT_EQ(client.received[1].flags, kNetworkSweepEnd);
}

TEST_F(ServiceWindowTest, RenewAllMarksEveryServerAndKnocksThreeTimes) {
    for (const char* server : {"10.77.0.2", "10.77.0.3"}) AddServer(server);
    MSG msg;
    while (PeekMessageA(&msg, service, WM_TIMER, WM_TIMER, PM_REMOVE)) {
    }
    RenewAllServers(service);
    EXPECT_TRUE(g_lib.renewAllRunning);
    for (ServerEntry* entry : ServerEntries(service)) EXPECT_TRUE(entry->record->notSeen);
    int knocks = 0;
    while (PeekMessageA(&msg, service, WM_TIMER, WM_TIMER, PM_REMOVE)) {
        if (msg.wParam == kTimerAutoSearch) ++knocks;
    }
    EXPECT_EQ(knocks, 3);
    // The sweep that timer 6 runs then drops them all.
    SendMessageA(service, WM_TIMER, kTimerLostServerSweep, 0);
    EXPECT_FALSE(g_lib.renewAllRunning);
    EXPECT_TRUE(ListedServers().empty());
}

TEST_F(ServiceWindowTest, SearchCycleDropsServersOutsideTheLocalSubnet) {
    AddServer("10.77.0.2");
    AddServer("10.78.0.2");
    AddServer("169.254.9.9", "169.254.1.1", "255.255.0.0");
    AddServer("10.77.0.9", "169.254.1.1", "255.255.0.0");
    ServerEntries(service)[0]->record->info->statusWord = 8;
    SendMessageA(service, PNXM_SEARCH_NOW, 0, 0);
    EXPECT_EQ(ListedServers(), (std::vector<std::string>{"10.77.0.2", "169.254.9.9"}));
    for (ServerEntry* entry : ServerEntries(service)) EXPECT_TRUE(entry->record->searched);
    EXPECT_EQ(ServerEntries(service)[0]->record->info->statusWordPrevious, 8);
    EXPECT_FALSE(g_lib.searchRunning);
}

TEST_F(ServiceWindowTest, SearchCycleKeepsEveryServerWhenTheBroadcastListIsUsed) {
    AddServer("10.77.0.2");
    AddServer("10.78.0.2");
    g_lib.properties.useBroadAddress = kBroadUseList;
    SendMessageA(service, PNXM_SEARCH_NOW, 0, 0);
    EXPECT_EQ(ListedServers().size(), 2u);
}

TEST_F(ServiceWindowTest, AutoSearchTimerSwitch) {
    SetAutoSearchTimer(service, 0, true);
    EXPECT_FALSE(g_lib.autoSearchTimerRunning);
    SetAutoSearchTimer(service, 10000, true);
    EXPECT_TRUE(g_lib.autoSearchTimerRunning);
    EXPECT_TRUE(g_lib.autoSearchOn);
    SetAutoSearchTimer(service, 0, false);  // interval 0 does nothing, off included
    EXPECT_TRUE(g_lib.autoSearchTimerRunning);
    SetAutoSearchTimer(service, 10000, false);
    EXPECT_FALSE(g_lib.autoSearchTimerRunning);
    EXPECT_FALSE(g_lib.autoSearchOn);
}

TEST_F(ServiceWindowTest, QueueEndSendsCompleteOnceToTheRequester) {
    TestClientWindow requester;
    g_lib.requesterWindow = requester.get();
    SendMessageA(service, PNXM_QUEUE_END, 0, 0);
    SendMessageA(service, PNXM_QUEUE_END, 0, 0);
    ASSERT_EQ(requester.received.size(), 1u);
    EXPECT_EQ(requester.received[0].message, PNXN_COMPLETE);
    EXPECT_EQ(g_lib.requesterWindow, nullptr);
}

TEST(SearchRules, FlagsFollowUseBroadAddress) {
    ServiceProperties p = {};
    EXPECT_EQ(SearchFlags(p, false), kSearchUdp);
    EXPECT_EQ(SearchFlags(p, true), kSearchUdp);  // the INI list counts only when it is used
    p.useBroadAddress = kBroadUseList | kBroadNoLimited;
    EXPECT_EQ(SearchFlags(p, true), kSearchUdp | kSearchIniList | kSearchNoLimited);
    p.useBroadAddress = kBroadNoLimited | kBroadAdapters;  // without bit 0 bits 1 and 3 are off
    EXPECT_EQ(SearchFlags(p, false), kSearchUdp);
    p.useBroadAddress = kBroadUseList | kBroadAdapters;
    EXPECT_EQ(SearchFlags(p, false), kSearchUdp | kSearchAdapters);
}

TEST(SearchRules, SubnetRule) {
    uint32_t mask24 = Ip("255.255.255.0");
    EXPECT_FALSE(ServerOutsideLocalSubnet(Ip("10.77.0.9"), Ip("10.77.0.1"), mask24));
    EXPECT_TRUE(ServerOutsideLocalSubnet(Ip("10.77.1.9"), Ip("10.77.0.1"), mask24));
    EXPECT_FALSE(ServerOutsideLocalSubnet(Ip("10.77.1.9"), Ip("10.77.0.1"), Ip("255.255.0.0")));
    EXPECT_FALSE(ServerOutsideLocalSubnet(Ip("10.77.1.9"), 0, 0));  // no local address known yet
    EXPECT_FALSE(ServerOutsideLocalSubnet(Ip("169.254.200.1"), Ip("169.254.1.1"), mask24));
    EXPECT_TRUE(ServerOutsideLocalSubnet(Ip("169.253.1.1"), Ip("169.254.1.1"), Ip("255.255.0.0")));
}

}  // namespace
