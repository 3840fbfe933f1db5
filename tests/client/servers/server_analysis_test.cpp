// The analysis state machine: where each state leads for every protocol level and storage
// case, and a server window walking it against a scripted peer.
#include "server_analysis.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "fake_rwp_peer.h"
#include "monitor_channel.h"
#include "session_test_support.h"
#include "server_session.h"
#include "server_timers.h"

ReplyBuilder Reply() { return ReplyBuilder(); }

namespace {

TEST(AnalysisStates, RestingStatesLeadToTheirRequestsForEachLevelAndStorageCase) {
    struct Case {
        uint16_t state;
        uint16_t level;
        bool storage;
        uint16_t next;
    } cases[] = {
        {11, 4, false, 2},  {20, 4, true, 2},   {12, 2, false, 3},  {12, 4, true, 3},
        {13, 2, false, 7},  {13, 3, false, 8},  {13, 4, false, 9},  {13, 4, true, 9},  // storage comes after the list
        {17, 2, false, 7},  {18, 3, false, 8},  {19, 4, false, 9},
        {17, 2, true, 10},  {18, 3, true, 10},  {19, 4, true, 10},
        {21, 4, false, 9},  {21, 3, true, 8},  {21, 2, true, 7},  // polls go on in the level's form
        // Acting states are performed as they are; 0 and unknown values do nothing.
        {2, 4, false, 2},   {7, 4, true, 7},    {10, 2, true, 10},  {0, 4, true, 0},  {14, 4, true, 14},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(NextAnalysisState(c.state, c.level, c.storage), c.next)
            << "state " << c.state << " level " << c.level << " storage " << c.storage;
    }
}

TEST(AnalysisStates, OnlyRequestsThatWaitForAnAnswerStartTheTimeOut) {
    for (uint16_t state = 0; state < 25; ++state) {
        bool watched = state == 2 || state == 7 || state == 8 || state == 9 || state == 10;
        EXPECT_EQ(StateStartsTimeOut(state), watched) << state;
    }
    EXPECT_EQ(DeviceListReplyState(2), 17);
    EXPECT_EQ(DeviceListReplyState(3), 18);
    EXPECT_EQ(DeviceListReplyState(4), 19);
}

class AnalysisWindow : public SessionTest {
protected:
    uint16_t State(ServerEntry* entry) {
        LibraryLock lock;
        return entry->record->analysisState;
    }
    // Installs a channel of our own as the server's channel 1 (to nobody), as if the
    // analysis had opened it, so that a reply message can be delivered by hand.
    HWND FakeChannel(ServerEntry* entry) {
        HWND channel = CreateMonitorChannel(entry->serverWindow, AddressRecord::Ipv4(0x7F000001, 9), "SYSTEM", SW_HIDE);
        LibraryLock lock;
        entry->record->channel1 = channel;
        entry->record->analysisState = kStateDeviceListExII;
        return channel;
    }
};

TEST_F(AnalysisWindow, ANewServerIsAskedForTheListOfItsLevelAndPolledWhileAutoSearchIsOn) {
    qztest::FakeRwpPeer peer([](const qztest::RwpRequest& request, size_t) {
        return qztest::HonestAnswer(request, qztest::Pattern(40));
    });
    g_lib.properties.timer = 60000;
    g_lib.autoSearchOn = true;
    ServerEntry* entry = AddServer(Reply().Version("Ver 2.3.1").Ipv4(127, 0, 0, 1), peer.Port());
    ASSERT_NE(entry, nullptr);
    HWND window = entry->serverWindow;
    PostMessageA(window, PNXM_ANALYSIS_START, 0, 0);

    auto analysed = [&] { return !Notes(PNXN_SERVER, PNXET_CHANGE).empty(); };
    ASSERT_TRUE(PumpUntil(analysed, kEventWait)) << "no analysis-finished notice";
    EXPECT_EQ(Notes(PNXN_SERVER, PNXET_CHANGE).back().flags, 8);
    std::vector<qztest::RwpRequest> requests = peer.Requests();
    ASSERT_FALSE(requests.empty());
    EXPECT_EQ(requests[0].type, 1);
    EXPECT_EQ(requests[0].command, "GET USB_DEVICE_LIST_EX");
    EXPECT_EQ(State(entry), kStateGotDeviceListEx);
    EXPECT_NE(entry->record->channel1, nullptr);
    EXPECT_NE(entry->record->channel2, nullptr);
    EXPECT_EQ(entry->record->timerKind, static_cast<uint16_t>(SessionTimer::Status));
    EXPECT_TRUE(Logged(window, "*** SEND_OPENSOCKET ***"));
    EXPECT_TRUE(Logged(window, "*** SEND_DEVICELIST_EX ***"));

    // The Status tick asks again with the same command.
    SendMessageA(window, WM_TIMER, kTimerStatus, 0);
    ASSERT_TRUE(PumpUntil([&] { return peer.Requests().size() > requests.size() && State(entry) == 18; }, kEventWait));
    EXPECT_EQ(peer.Requests()[requests.size()].command, "GET USB_DEVICE_LIST_EX");
}

TEST_F(AnalysisWindow, AReplyAfterTheListSettlesTheStateAndTheSearchedMark) {
    struct Case {
        bool storageServer;
        uint8_t mode;
        bool reexamine;
        uint16_t state;          // after the reply
        bool searchedAfter;
        bool finishedNotice;
    } cases[] = {
        {false, 1, false, 19, false, true},
        {true, 1, false, 19, true, true},       // storage without the mode bit: no storage list
        {true, 1 | 8, false, 10, true, false},  // the storage list is asked at once
        {false, 1, true, 20, false, true},      // re-examined: back to the probe next time
    };
    for (const Case& c : cases) {
        client.received.clear();
        g_lib.properties.communicateMode = c.mode;
        ServerEntry* entry = AddServer(Reply().Storage(c.storageServer).Mac({2, 0, 0, 0, 0, c.mode}));
        ASSERT_NE(entry, nullptr);
        HWND channel = FakeChannel(entry);
        entry->record->searched = true;
        entry->record->reexamine = c.reexamine;
        SendMessageA(entry->serverWindow, PNXM_MONITOR_DEVICE_LIST_EX_II, reinterpret_cast<WPARAM>(channel), 0);
        EXPECT_EQ(State(entry), c.state) << c.storageServer << c.mode << c.reexamine;
        EXPECT_EQ(entry->record->searched, c.searchedAfter);
        EXPECT_FALSE(entry->record->reexamine);
        EXPECT_EQ(Notes(PNXN_SERVER, PNXET_CHANGE).size(), c.finishedNotice ? 1u : 0u);
        DestroyServerWindow(service, entry);
    }
}

TEST_F(AnalysisWindow, RepliesOfAnotherWindowOrAClosedChannelAreIgnored) {
    ServerEntry* entry = AddServer(Reply());
    ASSERT_NE(entry, nullptr);
    HWND channel = FakeChannel(entry);
    HWND stranger = CreateMonitorChannel(entry->serverWindow, AddressRecord::Ipv4(0x7F000001, 9), "SYSTEM", SW_HIDE);
    SendMessageA(entry->serverWindow, PNXM_MONITOR_DEVICE_LIST_EX_II, reinterpret_cast<WPARAM>(stranger), 12345);
    SendMessageA(entry->serverWindow, PNXM_MONITOR_DEVICE_LIST_EX_II, reinterpret_cast<WPARAM>(client.get()), 12345);
    EXPECT_EQ(State(entry), kStateDeviceListExII);
    CloseServerChannels(entry->serverWindow);
    SendMessageA(entry->serverWindow, PNXM_MONITOR_DEVICE_LIST_EX_II, reinterpret_cast<WPARAM>(channel), 12345);
    EXPECT_EQ(State(entry), kStateDeviceListExII);
    EXPECT_TRUE(Notes(PNXN_SERVER, PNXET_CHANGE).empty());
    CloseMonitorChannel(stranger);
}

// A client that, while it is told of a deletion, asks for the server to go again and for a
// renew of it.
WNDPROC g_clientProc = nullptr;
HWND g_service = nullptr;
LRESULT CALLBACK EagerClient(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    LRESULT result = CallWindowProcA(g_clientProc, window, message, wParam, lParam);
    auto* event = reinterpret_cast<const NotifyEvent*>(wParam);
    if (message == PNXN_SERVER && event && event->kind == PNXET_DELETE) {
        auto* entry = reinterpret_cast<ServerEntry*>(lParam);
        DestroyServerWindow(g_service, entry);
        SendMessageA(entry->serverWindow, PNXM_RENEW, 0, 0);
    }
    return result;
}

TEST_F(AnalysisWindow, DestroyingTheWindowReportsTheServerDeletedOnceAndStopsItsSession) {
    g_lib.properties.timer = 60000;
    ServerEntry* entry = AddServer(Reply().FunctionFlags(0x80 | 0x200));
    ASSERT_NE(entry, nullptr);
    HWND window = entry->serverWindow;
    HWND channel = FakeChannel(entry);
    SwitchSessionTimer(window, SessionTimer::TimeOut, true);
    EXPECT_TRUE(Logged(window, "*** ZKA Timer Start! ***"));
    g_service = service;
    g_clientProc = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrA(client.get(), GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(EagerClient)));
    client.received.clear();
    DestroyWindow(window);
    SetWindowLongPtrA(client.get(), GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(g_clientProc));
    EXPECT_FALSE(IsWindow(window));
    EXPECT_FALSE(IsWindow(channel));
    EXPECT_EQ(Notes(PNXN_SERVER, PNXET_DELETE).size(), 1u);
    HPnxSv left = nullptr;
    EXPECT_EQ(PnxEnumServers(service, 0, &left), 0);
    // Timers of the dead window cannot fire: their messages would find no window.
    PumpUntil([] { return false; }, 100);
    EXPECT_EQ(Notes(PNXN_SERVER, PNXET_DELETE).size(), 1u);
}

}  // namespace
