// The server list behind a real service window: new servers, refreshes and their change
// flags, filters, sort order, the server exports, and status updates.
#include <gtest/gtest.h>
#include <winsock2.h>
#include <commctrl.h>

#include <cstring>
#include <string>
#include <vector>

#include "detected_servers.h"
#include "lib_lock.h"
#include "lib_test_support.h"
#include "log.h"
#include "messages.h"
#include "search_filter.h"
#include "search_reply_builder.h"
#include "server_list.h"
#include "server_session.h"

namespace {

class ServerListTest : public RegisteredLibraryTest {
protected:
    void TearDown() override {
        ClearSearchFilters();
        RegisteredLibraryTest::TearDown();
    }
    int Feed(const ReplyBuilder& reply, ServerEntry* server = nullptr) {
        return ServerFromReply(server ? server->serverWindow : service, reply.data(), reply.size(), server);
    }
    std::vector<TestClientWindow::Received> ServerEvents() {
        std::vector<TestClientWindow::Received> events;
        for (const auto& r : client.received) {
            if (r.message == PNXN_SERVER) events.push_back(r);
        }
        return events;
    }
    int Rows() { return ListView_GetItemCount(ServerListControl(service)); }
    std::string Cell(int row, int column) {
        char text[300] = {};
        ListView_GetItemText(ServerListControl(service), row, column, text, sizeof text);
        return text;
    }
    std::vector<std::string> Column(int column) {
        std::vector<std::string> texts;
        for (int row = 0; row < Rows(); ++row) texts.push_back(Cell(row, column));
        return texts;
    }
    ServerEntry* Entry(int index) {
        HPnxSv server = nullptr;
        return PnxEnumServers(service, index, &server) ? server : nullptr;
    }
};

TEST_F(ServerListTest, NewServerIsReportedOnceWithRowAndWindow) {
    ASSERT_EQ(Feed(ReplyBuilder()), 1);
    auto events = ServerEvents();
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].kind, PNXET_NEW);
    EXPECT_EQ(events[0].flags, 0);
    ServerEntry* entry = Entry(0);
    ASSERT_NE(entry, nullptr);
    EXPECT_EQ(events[0].lParam, reinterpret_cast<LPARAM>(entry));
    EXPECT_EQ(Cell(0, 0), "00:11:22:33:44:55");
    EXPECT_EQ(Cell(0, 1), "10.77.0.10");
    EXPECT_EQ(Cell(0, 2), "host-a");
    EXPECT_EQ(Cell(0, 3), "Ver 2.4.0");

    ASSERT_TRUE(IsWindow(entry->serverWindow));
    char text[64] = {};
    GetClassNameA(entry->serverWindow, text, sizeof text);
    EXPECT_STREQ(text, "MARDANE_TECH_ZKUPTP");
    GetWindowTextA(entry->serverWindow, text, sizeof text);
    EXPECT_STREQ(text, "00:11:22:33:44:55");
    EXPECT_EQ(ServerEntryOfWindow(entry->serverWindow), entry);
    EXPECT_EQ(entry->record->info->statusWord & 0x2, 0x2);  // no devices known yet

    // The same reply again: nothing to tell.
    client.received.clear();
    EXPECT_EQ(Feed(ReplyBuilder()), 1);
    EXPECT_TRUE(ServerEvents().empty());
    EXPECT_EQ(Rows(), 1);
}

TEST_F(ServerListTest, EachChangeCarriesItsFlags) {
    ASSERT_EQ(Feed(ReplyBuilder()), 1);
    struct Case {
        const char* what;
        ReplyBuilder reply;
        uint16_t flags;
    };
    std::vector<Case> cases = {
        {"address", ReplyBuilder().Ipv4(10, 77, 0, 11), 1},
        {"host name", ReplyBuilder().Host("host-b"), 1},
        {"model", ReplyBuilder().Model("QZ-200"), 1},
        {"extra data", ReplyBuilder().Byte(kReplyExtra2Offset, 9), 1},
        {"function", ReplyBuilder().FunctionFlags(0x80 | 0x10), 2},
        {"function flag 0x200", ReplyBuilder().Flags(0x200), 2},
        {"status", ReplyBuilder().FunctionFlags(0x80 | 0x2), 4},
        {"option", ReplyBuilder().Flags(0x100), 4},
    };
    for (const Case& c : cases) {
        client.received.clear();
        ASSERT_EQ(Feed(c.reply), 1) << c.what;
        auto events = ServerEvents();
        ASSERT_EQ(events.size(), 1u) << c.what;
        EXPECT_EQ(events[0].kind, PNXET_CHANGE) << c.what;
        EXPECT_EQ(events[0].flags, c.flags) << c.what;
        Feed(ReplyBuilder());  // back to the first state
    }
    EXPECT_EQ(Rows(), 1);
}

TEST_F(ServerListTest, NewAddressAndHostNameReachTheRow) {
    ASSERT_EQ(Feed(ReplyBuilder()), 1);
    ServerEntry* entry = Entry(0);
    ASSERT_EQ(Feed(ReplyBuilder().Ipv4(10, 77, 0, 99).Host("moved")), 1);
    EXPECT_EQ(Cell(0, 1), "10.77.0.99");
    EXPECT_EQ(Cell(0, 2), "moved");
    EXPECT_EQ(entry->record->info->ipAddress, inet_addr("10.77.0.99"));
    // The analysis starts over for the new address.
    EXPECT_EQ(entry->record->analysisState, kStateSendAddress);
    // No Device stays, the words' previous values are the old ones.
    EXPECT_EQ(entry->record->info->statusWord & 0x2, 0x2);
}

TEST_F(ServerListTest, ProbeReplyRefreshesOnlyItsOwnServer) {
    ASSERT_EQ(Feed(ReplyBuilder()), 1);
    ServerEntry* entry = Entry(0);
    client.received.clear();
    EXPECT_EQ(Feed(ReplyBuilder().Mac({1, 2, 3, 4, 5, 6}).Host("other"), entry), 0);
    EXPECT_TRUE(ServerEvents().empty());
    EXPECT_STREQ(entry->record->info->hostName, "host-a");
    EXPECT_EQ(Feed(ReplyBuilder().Host("renamed"), entry), 1);
    ASSERT_EQ(ServerEvents().size(), 1u);
    EXPECT_STREQ(entry->record->info->hostName, "renamed");
    EXPECT_EQ(Rows(), 1);
}

TEST_F(ServerListTest, RefusedRepliesAddNothing) {
    EXPECT_EQ(Feed(ReplyBuilder().Version("Ver 2.1.0")), 0);
    EXPECT_EQ(Feed(ReplyBuilder().Version("Ver 3.0.0")), 0);
    EXPECT_EQ(Feed(ReplyBuilder().Version("2.4.0")), 0);
    EXPECT_EQ(Feed(ReplyBuilder().U16(kReplyTypeOffset, 3)), 0);
    EXPECT_EQ(Feed(ReplyBuilder().Ipv4(0, 0, 0, 0)), 0);
    EXPECT_EQ(Rows(), 0);
    EXPECT_TRUE(ServerEvents().empty());
    // Servers without an address are taken when the caller asks for them.
    g_lib.properties.communicateMode |= 0x4;
    EXPECT_EQ(Feed(ReplyBuilder().Ipv4(0, 0, 0, 0)), 1);
    EXPECT_EQ(Rows(), 1);
}

TEST_F(ServerListTest, FilterSetADropsBeforeDetectionSetBAfter) {
    const char outside[] = "10.1.\0";
    ASSERT_TRUE(SetSearchFilterList(kFilterSetA, kFilterIpv4, outside));
    EXPECT_EQ(Feed(ReplyBuilder()), 0);
    EXPECT_FALSE(DetectedServerKnown(service, "00:11:22:33:44:55"));
    ClearSearchFilters();

    const char models[] = "ZK-\0";
    ASSERT_TRUE(SetSearchFilterList(kFilterSetB, kFilterModel, models));
    EXPECT_EQ(Feed(ReplyBuilder()), 0);
    EXPECT_TRUE(DetectedServerKnown(service, "00:11:22:33:44:55"));
    EXPECT_EQ(Rows(), 0);
    EXPECT_EQ(Feed(ReplyBuilder().Model("zk-1")), 1);  // prefixes ignore case
    EXPECT_EQ(Rows(), 1);
}

TEST_F(ServerListTest, RowsSortByAddressTextThenHardwareText) {
    Feed(ReplyBuilder().Mac({0, 0, 0, 0, 0, 1}).Ipv4(10, 77, 0, 20));
    Feed(ReplyBuilder().Mac({0, 0, 0, 0, 0, 2}).Ipv4(10, 77, 0, 3));
    Feed(ReplyBuilder().Mac({0, 0, 0, 0, 0, 3}).Ipv4(10, 77, 0, 100));
    EXPECT_EQ(Column(1), (std::vector<std::string>{"10.77.0.100", "10.77.0.20", "10.77.0.3"}));
    for (int i = 0; i < 3; ++i) EXPECT_FALSE(Entry(i)->record->reexamine);

    Feed(ReplyBuilder().Mac({0, 0, 0, 0, 0, 9}).Ipv4(10, 77, 0, 7));
    Feed(ReplyBuilder().Mac({0, 0, 0, 0, 0, 8}).Ipv4(10, 77, 0, 7));
    EXPECT_EQ(Column(1), (std::vector<std::string>{"10.77.0.100", "10.77.0.20", "10.77.0.3", "10.77.0.7", "10.77.0.7"}));
    EXPECT_EQ(Cell(3, 0), "00:00:00:00:00:08");
    EXPECT_EQ(Cell(4, 0), "00:00:00:00:00:09");
    EXPECT_TRUE(Entry(3)->record->reexamine);
    EXPECT_TRUE(Entry(4)->record->reexamine);
    EXPECT_FALSE(Entry(0)->record->reexamine);
    EXPECT_EQ(FindServerByHardwareText(service, "00:00:00:00:00:0a"), nullptr);
    EXPECT_EQ(FindServerByHardwareText(service, "00:00:00:00:00:03"), Entry(0));
}

TEST_F(ServerListTest, GetServerInfoCopiesAndTerminates) {
    ReplyBuilder reply;
    reply.Host("0123456789abcdefZZ").Text(kReplyFirmwareOffset, "fw-1.2", 16).Byte(kReplyExtra2Offset, 0x77).Flags(0x300);
    ASSERT_EQ(Feed(reply), 1);
    ServerEntry* entry = Entry(0);
    ServerInfo info;
    std::memset(&info, 0xCC, sizeof info);
    ASSERT_EQ(PnxGetServerInfo(service, entry, &info), 1);
    EXPECT_EQ(info.ipAddress, inet_addr("10.77.0.10"));
    EXPECT_EQ(info.hardwareAddress[5], 0x55);
    EXPECT_STREQ(info.hostName, "0123456789abcde");
    EXPECT_STREQ(info.modelName, "QZ-100");
    EXPECT_STREQ(info.firmwareVersion, "fw-1.2");
    EXPECT_EQ(info.rwpLevel, 4);
    EXPECT_EQ(info.extraDataKind, kExtraSixtyFour);
    EXPECT_EQ(info.extraDataLength, 64u);
    EXPECT_EQ(info.extraData[0], 0x77);
    EXPECT_EQ(info.functionWord, kServerFunctionFlag10);
    EXPECT_EQ(info.optionWord, kServerOptionFlag100);

    // A server without any texts still leaves terminated texts behind.
    ASSERT_EQ(Feed(ReplyBuilder().Mac({9, 9, 9, 9, 9, 9}).Ipv4(10, 77, 0, 9).Host("").Model("").Version("Ver 2.2.0")), 1);
    std::memset(&info, 0xCC, sizeof info);
    ASSERT_EQ(PnxGetServerInfo(service, FindServerByHardwareText(service, "09:09:09:09:09:09"), &info), 1);
    EXPECT_STREQ(info.hostName, "");
    EXPECT_STREQ(info.modelName, "");
    EXPECT_STREQ(info.firmwareVersion, "");
    EXPECT_EQ(info.extraDataLength, 0u);
    EXPECT_EQ(info.rwpLevel, 2);

    EXPECT_EQ(PnxGetServerInfo(service, entry, nullptr), 0);
    EXPECT_EQ(PnxGetServerInfo(service, nullptr, &info), 0);
    ServerEntry stranger;
    EXPECT_EQ(PnxGetServerInfo(service, &stranger, &info), 0);
}

TEST_F(ServerListTest, EnumServersStopsAtTheEnd) {
    Feed(ReplyBuilder());
    Feed(ReplyBuilder().Mac({0, 0, 0, 0, 0, 2}).Ipv4(10, 77, 0, 2));
    HPnxSv server = nullptr;
    EXPECT_EQ(PnxEnumServers(service, 0, &server), 1);
    EXPECT_NE(server, nullptr);
    EXPECT_EQ(PnxEnumServers(service, 1, &server), 1);
    server = nullptr;
    EXPECT_EQ(PnxEnumServers(service, 2, &server), 0);
    EXPECT_EQ(server, nullptr);
    EXPECT_EQ(PnxEnumServers(service, -1, &server), 0);
    EXPECT_EQ(PnxEnumServers(service, 0, nullptr), 0);
    EXPECT_EQ(PnxEnumServers(nullptr, 0, &server), 0);
}

TEST_F(ServerListTest, DestroyedServerIsReportedDeletedOnce) {
    Feed(ReplyBuilder());
    Feed(ReplyBuilder().Mac({0, 0, 0, 0, 0, 2}).Ipv4(10, 77, 0, 2));
    ServerEntry* entry = Entry(0);
    HWND window = entry->serverWindow;
    EXPECT_EQ(PnxSetServerOption(service, entry, 0x5), 1);
    EXPECT_EQ(entry->record->callerOption, 0x5);
    client.received.clear();
    DestroyServerWindow(service, entry);
    EXPECT_FALSE(IsWindow(window));
    auto events = ServerEvents();
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].kind, PNXET_DELETE);
    EXPECT_EQ(events[0].lParam, reinterpret_cast<LPARAM>(entry));
    EXPECT_EQ(Rows(), 1);
    // The handle the client kept is refused, not followed.
    ServerInfo info;
    EXPECT_EQ(PnxGetServerInfo(service, entry, &info), 0);
    EXPECT_EQ(PnxSetServerOption(service, entry, 1), 0);

    // Unregistering destroys the rest, each reported once.
    client.received.clear();
    PnxUnRegisterNotification(service);
    events = ServerEvents();
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].kind, PNXET_DELETE);
}

TEST_F(ServerListTest, StatusUpdatesNotifyOnlyRealChanges) {
    Feed(ReplyBuilder().FunctionFlags(0x80 | 0x2));  // over current
    ServerEntry* entry = Entry(0);
    HWND window = entry->serverWindow;
    auto status = [&] { return entry->record->info->statusWord; };
    ASSERT_EQ(status(), 0x1 | 0x2);
    struct Step {
        int type;
        bool apply;
        uint16_t expected;
        bool notified;
    } steps[] = {
        {0, true, 0x1 | 0x2 | 0x4, true},  // network error
        {0, true, 0x1 | 0x2 | 0x4, false},
        {3, true, 0x2 | 0x8, true},        // get status: over current and error go
        {1, true, 0x2, true},              // no device: get status goes
        {2, true, 0x0, true},              // clear
        {0, false, 0x0, false},
    };
    for (const Step& s : steps) {
        client.received.clear();
        ApplyServerStatusUpdate(window, s.type, s.apply);
        EXPECT_EQ(status(), s.expected) << s.type;
        auto events = ServerEvents();
        ASSERT_EQ(events.size(), s.notified ? 1u : 0u) << s.type;
        if (s.notified) {
            EXPECT_EQ(events[0].kind, PNXET_CHANGE);
            EXPECT_EQ(events[0].flags, 4);
        }
    }
    client.received.clear();
    NotifyAnalysisFinished(window);
    auto events = ServerEvents();
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].flags, 8);
}

}  // namespace
