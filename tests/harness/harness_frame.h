// The harness's own part: notifications the client window receives, and quitting.
#pragma once

#include <windows.h>

#include "harness_commands.h"
#include "pnxscapi.h"

namespace harness {

// Prints one PNXN_ message as a "notify" line and gives the window's answer.
LRESULT ReportNotification(UINT message, WPARAM wParam, LPARAM lParam);

// Runs what the "phasehook" command asked for inside a connect event (harness_connect.cpp).
void RunPhaseHook(const ConnectEvent* event);
// Ends the harness: destroys the client window, which ends the message loop.
void RequestQuit(Context& ctx);

}  // namespace harness
