// The harness's own part: notifications the client window receives, and quitting.
#pragma once

#include <windows.h>

#include "harness_commands.h"

namespace harness {

// Prints one PNXN_ message as a "notify" line and gives the window's answer.
LRESULT ReportNotification(UINT message, WPARAM wParam, LPARAM lParam);

// Ends the harness: destroys the client window, which ends the message loop.
void RequestQuit(Context& ctx);

}  // namespace harness
