// The blackout query: how long devices of a server have been cut off in the bus driver, asked
// on timer 7 of server windows whose blackout watch is on (special-notification option 4).
#pragma once

#include <windows.h>

#include "pnxscapi.h"

constexpr uint32_t kDefaultBlackoutInterval = 5000;  // ms
constexpr uint32_t kDefaultBlackoutLimit = 5000;     // ms

// The process's blackout settings (PnxGetBlackoutInfo / PnxSetBlackoutInfo).
BlackoutInfo CurrentBlackoutInfo();
void ResetBlackoutInfo();

// Timer 7 of a server window. Start runs once per window and only when its blackout watch is
// on; the device-list update starts it when it finds a device to watch.
void StartBlackoutTimer(HWND serverWindow);
void StopBlackoutTimer(HWND serverWindow);
void OnBlackoutTick(HWND serverWindow);

// The blackout settings as callers read and set them.
int GetBlackoutSettings(HWND service, BlackoutInfo* info);
int SetBlackoutSettings(HWND service, const BlackoutInfo* info);
