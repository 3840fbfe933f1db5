// The session timers: the switch rules, and the TimeOut sequence of a server that does not
// answer, driven tick by tick.
#include "server_timers.h"

#include <gtest/gtest.h>

#include "server_analysis.h"
#include "server_session.h"
#include "session_test_support.h"

namespace {

using ST = SessionTimer;

TEST(TimerSwitch, ATimerSettingOfZeroStartsAndStopsNothing) {
    for (ST active : {ST::None, ST::TimeOut, ST::Status}) {
        for (ST kind : {ST::TimeOut, ST::Status}) {
            for (bool on : {true, false}) {
                TimerSwitch plan = PlanTimerSwitch(0, active, kind, on);
                EXPECT_EQ(plan.start, ST::None);
                EXPECT_EQ(plan.stop, ST::None);
                EXPECT_FALSE(plan.resetCount);
                EXPECT_EQ(plan.activeAfter, active);
            }
        }
    }
}

TEST(TimerSwitch, OnReplacesTheRunningTimerAndOffStopsOnlyItsOwnKind) {
    TimerSwitch plan = PlanTimerSwitch(7000, ST::Status, ST::TimeOut, true);
    EXPECT_EQ(plan.stop, ST::Status);
    EXPECT_EQ(plan.start, ST::TimeOut);
    EXPECT_EQ(plan.interval, 2000u);  // the TimeOut does not follow the Timer setting
    EXPECT_TRUE(plan.resetCount);
    EXPECT_EQ(plan.activeAfter, ST::TimeOut);

    plan = PlanTimerSwitch(7000, ST::TimeOut, ST::Status, true);
    EXPECT_EQ(plan.stop, ST::TimeOut);
    EXPECT_EQ(plan.start, ST::Status);
    EXPECT_EQ(plan.interval, 7000u);
    EXPECT_EQ(plan.activeAfter, ST::Status);

    plan = PlanTimerSwitch(7000, ST::None, ST::Status, true);
    EXPECT_EQ(plan.stop, ST::None);

    plan = PlanTimerSwitch(7000, ST::Status, ST::TimeOut, false);
    EXPECT_EQ(plan.stop, ST::None);
    EXPECT_EQ(plan.activeAfter, ST::Status);
    plan = PlanTimerSwitch(7000, ST::Status, ST::Status, false);
    EXPECT_EQ(plan.stop, ST::Status);
    EXPECT_EQ(plan.start, ST::None);
    EXPECT_EQ(plan.activeAfter, ST::None);
}

TEST(TimeOutRules, RetriesTwiceThenNetworkErrorThenRestart) {
    EXPECT_EQ(TimeOutStep(0), TimeOutAction::Retry);
    EXPECT_EQ(TimeOutStep(1), TimeOutAction::Retry);
    EXPECT_EQ(TimeOutStep(2), TimeOutAction::NetworkError);
    EXPECT_EQ(TimeOutStep(3), TimeOutAction::Restart);
    EXPECT_EQ(NoAnswerErrorKind(2), 5);
    EXPECT_EQ(NoAnswerErrorKind(11), 5);
    EXPECT_EQ(NoAnswerErrorKind(12), 4);
    EXPECT_EQ(NoAnswerErrorKind(19), 4);
}

TEST(TimeOutRules, NetworkNoticesNeedTheOptionAndComeAtMostEvery30001Ms) {
    EXPECT_TRUE(NetworkNoticeDue(kSpecialNetworkError, 0, false, 0, 100));
    EXPECT_FALSE(NetworkNoticeDue(0, 0, false, 0, 100));
    EXPECT_FALSE(NetworkNoticeDue(kSpecialNetworkError, 0x4, false, 0, 100));  // already in error
    EXPECT_FALSE(NetworkNoticeDue(kSpecialNetworkError, 0, true, 1000, 1000 + 30000));
    EXPECT_TRUE(NetworkNoticeDue(kSpecialNetworkError, 0, true, 1000, 1000 + 30001));
}

class TimeOutWindow : public SessionTest {
protected:
    void Tick(HWND window) { SendMessageA(window, WM_TIMER, kTimerTimeOut, 0); }
    uint16_t Count(ServerEntry* entry) {
        LibraryLock lock;
        return entry->record->timerCount;
    }
};

TEST_F(TimeOutWindow, ASilentServerRetriesThenReportsANetworkErrorThenStartsOver) {
    g_lib.properties.timer = 60000;
    g_lib.specialNotification = kSpecialNetworkError;
    ServerEntry* entry = AddServer(Reply().Ipv4(127, 0, 0, 1));
    ASSERT_NE(entry, nullptr);
    HWND window = entry->serverWindow;
    StepAnalysis(window, kStateDeviceList, false);  // a request that gets no answer
    EXPECT_EQ(entry->record->timerKind, static_cast<uint16_t>(ST::TimeOut));
    EXPECT_TRUE(Logged(window, "  [TimeOut : Start]"));

    Tick(window);
    EXPECT_EQ(Count(entry), 1);
    EXPECT_TRUE(Logged(window, "  Time Out(1) ..."));
    Tick(window);
    EXPECT_EQ(Count(entry), 2);
    EXPECT_TRUE(Logged(window, "  Time Out(2) ..."));
    EXPECT_TRUE(Notes(PNXN_NETWORK, 2).empty());

    client.received.clear();
    Tick(window);
    EXPECT_EQ(Count(entry), 3);
    EXPECT_TRUE(Logged(window, "  *** Network Error ***"));
    ASSERT_EQ(Notes(PNXN_NETWORK, 2).size(), 1u);
    EXPECT_EQ(Notes(PNXN_NETWORK, 2)[0].lParam, reinterpret_cast<LPARAM>(entry));
    EXPECT_EQ(entry->record->info->statusWord & kServerStatusNetworkError, kServerStatusNetworkError);
    ASSERT_EQ(Notes(PNXN_SERVER, PNXET_CHANGE).size(), 1u);
    EXPECT_EQ(Notes(PNXN_SERVER, PNXET_CHANGE)[0].flags, 4);
    EXPECT_TRUE(IsWindow(window));  // outside a search the server stays

    Tick(window);  // the next one starts over from the probe
    EXPECT_EQ(entry->record->analysisState, kStateSendAddress);
    EXPECT_EQ(Count(entry), 0);
    EXPECT_TRUE(Logged(window, "*** SEND_IPADDR ***"));

    // A second round within 30 s: the server is marked again but the client is not told.
    entry->record->info->statusWord &= static_cast<uint16_t>(~kServerStatusNetworkError);
    client.received.clear();
    for (int i = 0; i < 3; ++i) Tick(window);
    EXPECT_TRUE(Notes(PNXN_NETWORK, 2).empty());
    EXPECT_EQ(entry->record->info->statusWord & kServerStatusNetworkError, kServerStatusNetworkError);
}

TEST_F(TimeOutWindow, WithoutTheOptionNoNoticeIsSent) {
    g_lib.properties.timer = 60000;
    ServerEntry* entry = AddServer(Reply().Ipv4(127, 0, 0, 1));
    ASSERT_NE(entry, nullptr);
    StepAnalysis(entry->serverWindow, kStateDeviceList, false);
    for (int i = 0; i < 3; ++i) Tick(entry->serverWindow);
    EXPECT_TRUE(Notes(PNXN_NETWORK, 2).empty());
    EXPECT_FALSE(Logged(entry->serverWindow, "  *** Network Error ***"));
    EXPECT_EQ(entry->record->info->statusWord & kServerStatusNetworkError, kServerStatusNetworkError);
}

TEST_F(TimeOutWindow, AServerLostDuringASearchIsDeletedOnceAndNothingRunsOnItAfterwards) {
    g_lib.properties.timer = 60000;
    g_lib.specialNotification = kSpecialNetworkError;
    ServerEntry* entry = AddServer(Reply().Ipv4(127, 0, 0, 1));
    ASSERT_NE(entry, nullptr);
    HWND window = entry->serverWindow;
    entry->record->searched = true;
    StepAnalysis(window, kStateSendAddress, false);
    Tick(window);
    Tick(window);
    client.received.clear();
    Tick(window);
    EXPECT_FALSE(IsWindow(window));
    EXPECT_EQ(Notes(PNXN_SERVER, PNXET_DELETE).size(), 1u);
    EXPECT_TRUE(Notes(PNXN_NETWORK, 2).empty());  // lost, not in error
    HPnxSv left = nullptr;
    EXPECT_EQ(PnxEnumServers(service, 0, &left), 0);
    // Late messages for the dead window reach nothing.
    Tick(window);
    SendMessageA(window, WM_TIMER, kTimerStatus, 0);
    PumpUntil([] { return false; }, 100);
    EXPECT_EQ(Notes(PNXN_SERVER, PNXET_DELETE).size(), 1u);
}

TEST_F(TimeOutWindow, StopMessagesAndTimerZeroLeaveNoTimerRunning) {
    g_lib.properties.timer = 0;
    ServerEntry* entry = AddServer(Reply().Ipv4(127, 0, 0, 1));
    ASSERT_NE(entry, nullptr);
    StepAnalysis(entry->serverWindow, kStateDeviceList, false);
    EXPECT_EQ(entry->record->timerKind, static_cast<uint16_t>(ST::None));
    EXPECT_FALSE(Logged(entry->serverWindow, "  [TimeOut : Start]"));

    g_lib.properties.timer = 60000;
    StepAnalysis(entry->serverWindow, kStateDeviceList, false);
    EXPECT_EQ(entry->record->timerKind, static_cast<uint16_t>(ST::TimeOut));
    SendMessageA(entry->serverWindow, PNXM_SESSION_TIMERS, 0, 0);
    EXPECT_EQ(entry->record->timerKind, static_cast<uint16_t>(ST::None));
    EXPECT_TRUE(Logged(entry->serverWindow, "  [TimeOut : End]"));
}

}  // namespace
