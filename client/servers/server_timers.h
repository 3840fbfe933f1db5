// The two session timers of a server window: TimeOut (an answer is overdue) and Status (time
// for the next device-list poll). Only one of them runs at a time.
#pragma once

#include <windows.h>

#include <cstdint>

enum class SessionTimer : uint16_t { None = 0, TimeOut = 1, Status = 2 };

// What switching a timer does, from the Timer setting and the timer that runs now.
struct TimerSwitch {
    SessionTimer stop = SessionTimer::None;   // killed, with its end logged
    SessionTimer start = SessionTimer::None;  // set, with its start logged
    UINT interval = 0;                        // of the started timer
    bool resetCount = false;                  // the retry count goes back to 0
    SessionTimer activeAfter = SessionTimer::None;
};

// A Timer setting of 0 switches nothing: servers are then analysed once and never polled.
// On: stops whichever timer runs, resets the retry count and starts the kind (TimeOut every
// kTimeOutInterval, Status every Timer). Off: stops the kind only when it is the one running.
TimerSwitch PlanTimerSwitch(uint32_t timerSetting, SessionTimer active, SessionTimer kind, bool on);

// Applies PlanTimerSwitch to a server window with the current Timer setting.
void SwitchSessionTimer(HWND serverWindow, SessionTimer kind, bool on);
// Stops whichever session timer runs.
void StopSessionTimer(HWND serverWindow);

// What a TimeOut tick does with the retry count it finds.
enum class TimeOutAction { Retry, NetworkError, Restart };
TimeOutAction TimeOutStep(uint16_t retryCount);

// Minimum gap between two network-error notices of one server.
constexpr ULONGLONG kNetworkNoticeGapMs = 30001;

// A network-error notice is due when the client asked for them (special option 2), the
// server is not already in Network Error, and the last notice is at least kNetworkNoticeGapMs old.
bool NetworkNoticeDue(uint32_t specialOptions, uint16_t serverStatus, bool noticedBefore, ULONGLONG lastNotice,
                      ULONGLONG now);

// The error kind given to a server's devices and storage when it stops answering: 5 while
// the analysis has not reached its channels (state 11 or lower), else 4.
int NoAnswerErrorKind(uint16_t analysisState);

// WM_TIMER kTimerTimeOut of a server window: a TimeOut or Status tick by the record's timer
// kind; a tick of a stopped session timer only kills it.
void OnSessionTimerTick(HWND serverWindow);

// The TimeOut and Status ticks themselves (kTimerStatus goes to OnStatusTick directly).
void OnTimeOutTick(HWND serverWindow);
void OnStatusTick(HWND serverWindow);
