#include "server_timers.h"

#include "device_list_reply.h"
#include "lib_lock.h"
#include "lib_state.h"
#include "live_session.h"
#include "log.h"
#include "messages.h"
#include "notify.h"
#include "search_reply.h"
#include "server_analysis.h"
#include "server_session.h"

namespace {
constexpr int kStatusUpdateNetworkError = 0;
constexpr uint16_t kNetworkKindServerError = 2;


void LogTimerEnd(HWND window, SessionTimer kind) {
    LogLine(window, kind == SessionTimer::TimeOut ? "  [TimeOut : End]" : "  [StatusTimer : End]");
}

void LogTimerStart(HWND window, SessionTimer kind) {
    LogLine(window, kind == SessionTimer::TimeOut ? "  [TimeOut : Start]" : "  [StatusTimer : Start]");
}

uint32_t TimerSetting() {
    LibraryLock lock;
    return g_lib.properties.timer;
}

// Network-error handling after the third unanswered tick. False when the window is gone
// (the server was lost, or the client ended it while it was being told).
bool HandleNoAnswer(HWND window, ServerEntry* entry) {
    uint16_t state, status;
    bool searched, noticed;
    ULONGLONG last;
    uint32_t special;
    {
        LibraryLock lock;
        ServerRecord* record = entry->record;
        record->timerCount = 3;
        state = record->analysisState;
        status = record->info->statusWord;
        searched = record->searched;
        noticed = record->networkNoticeSent;
        last = record->lastNetworkNotice;
        special = g_lib.specialNotification;
    }
    ULONGLONG now = GetTickCount64();
    bool due = NetworkNoticeDue(special, status, noticed, last, now);
    int errorKind = NoAnswerErrorKind(state);
    MarkServerDevicesError(entry, errorKind);
    if (TheServerStorageHooks().markError) TheServerStorageHooks().markError(window, errorKind);
    if (!SessionAlive(window, entry)) return false;
    if (searched) {
        // Lost during a search: the window goes, and with it the entry.
        DestroyWindow(window);
        return false;
    }
    if (due) {
        {
            LibraryLock lock;
            entry->record->lastNetworkNotice = now;
            entry->record->networkNoticeSent = true;
        }
        LogLine(window, "  *** Network Error ***");
        SendClientNotification(PNXN_NETWORK, kNetworkKindServerError, 0, reinterpret_cast<LPARAM>(entry));
        if (!SessionAlive(window, entry)) return false;
    }
    ApplyServerStatusUpdate(window, kStatusUpdateNetworkError, true);
    return SessionAlive(window, entry);
}
}  // namespace

TimerSwitch PlanTimerSwitch(uint32_t timerSetting, SessionTimer active, SessionTimer kind, bool on) {
    TimerSwitch plan;
    plan.activeAfter = active;
    if (timerSetting == 0 || kind == SessionTimer::None) return plan;
    if (on) {
        plan.stop = active;
        plan.start = kind;
        plan.interval = kind == SessionTimer::TimeOut ? kTimeOutInterval : timerSetting;
        plan.resetCount = true;
        plan.activeAfter = kind;
    } else if (active == kind) {
        plan.stop = kind;
        plan.activeAfter = SessionTimer::None;
    }
    return plan;
}

void SwitchSessionTimer(HWND window, SessionTimer kind, bool on) {
    ServerEntry* entry = ServerEntryOfWindow(window);
    if (!entry) return;
    uint32_t timerSetting = TimerSetting();
    TimerSwitch plan;
    {
        LibraryLock lock;
        if (!entry->record) return;
        ServerRecord* record = entry->record;
        plan = PlanTimerSwitch(timerSetting, static_cast<SessionTimer>(record->timerKind), kind, on);
        record->timerKind = static_cast<uint16_t>(plan.activeAfter);
        if (plan.resetCount) record->timerCount = 0;
    }
    // Both waits run on the one session timer. A stop leaves it running: the wait that follows
    // at once (the poll's TimeOut after its Status tick, the Status wait after the reply)
    // restarts it in place, and a tick with no wait active kills it (OnSessionTimerTick).
    if (plan.stop != SessionTimer::None) LogTimerEnd(window, plan.stop);
    if (plan.start != SessionTimer::None) {
        SetTimer(window, kTimerTimeOut, plan.interval, nullptr);
        LogTimerStart(window, plan.start);
    }
}

void StopSessionTimer(HWND window) {
    ServerEntry* entry = ServerEntryOfWindow(window);
    if (!entry) return;
    SessionTimer active;
    {
        LibraryLock lock;
        if (!entry->record) return;
        active = static_cast<SessionTimer>(entry->record->timerKind);
    }
    SwitchSessionTimer(window, active, false);
}

TimeOutAction TimeOutStep(uint16_t retryCount) {
    if (retryCount < 2) return TimeOutAction::Retry;
    if (retryCount == 2) return TimeOutAction::NetworkError;
    return TimeOutAction::Restart;
}

bool NetworkNoticeDue(uint32_t specialOptions, uint16_t serverStatus, bool noticedBefore, ULONGLONG lastNotice,
                      ULONGLONG now) {
    if (!(specialOptions & kSpecialNetworkError)) return false;
    if (serverStatus & kServerStatusNetworkError) return false;
    return !noticedBefore || now - lastNotice >= kNetworkNoticeGapMs;
}

int NoAnswerErrorKind(uint16_t analysisState) { return analysisState <= kStateAddressChanged ? 5 : 4; }

void OnTimeOutTick(HWND window) {
    ServerEntry* entry = LiveSessionEntry(window);
    if (!entry) {
        KillTimer(window, kTimerTimeOut);
        return;
    }
    uint16_t count;
    {
        LibraryLock lock;
        count = entry->record->timerCount;
    }
    switch (TimeOutStep(count)) {
    case TimeOutAction::Retry: {
        {
            LibraryLock lock;
            entry->record->timerCount = static_cast<uint16_t>(count + 1);
        }
        LogLine(window, "  Time Out(%d) ...", count + 1);
        StepAnalysis(window, 0, true);  // the timer keeps running
        break;
    }
    case TimeOutAction::NetworkError: {
        // No tick may come while the client is told (its handler may take long).
        KillTimer(window, kTimerTimeOut);
        if (!HandleNoAnswer(window, entry)) return;  // nothing may run on a destroyed window
        StepAnalysis(window, 0, true);
        if (!SessionAlive(window, entry)) return;
        uint32_t timerSetting = TimerSetting();
        if (timerSetting) SetTimer(window, kTimerTimeOut, timerSetting, nullptr);
        break;
    }
    case TimeOutAction::Restart:
        SwitchSessionTimer(window, SessionTimer::TimeOut, false);
        RestartServerAnalysis(window);
        break;
    }
}

void OnSessionTimerTick(HWND window) {
    ServerEntry* entry = LiveSessionEntry(window);
    SessionTimer active = SessionTimer::None;
    if (entry) {
        LibraryLock lock;
        active = static_cast<SessionTimer>(entry->record->timerKind);
    }
    if (active == SessionTimer::TimeOut) {
        OnTimeOutTick(window);
    } else if (active == SessionTimer::Status) {
        OnStatusTick(window);
    } else {
        KillTimer(window, kTimerTimeOut);  // stopped: nothing restarted it
    }
}

void OnStatusTick(HWND window) {
    if (!LiveSessionEntry(window)) {
        KillTimer(window, kTimerTimeOut);
        return;
    }
    SwitchSessionTimer(window, SessionTimer::Status, false);
    StepAnalysis(window, 0, false);
}
