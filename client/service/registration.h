// Registration of the client window: the service window made for it and torn down again,
// and the process-wide special notification bits.
#pragma once

#include <windows.h>

#include <cstdint>

#include "pnxscapi.h"

// The service window for the client window (the one already made on a second call), or null.
HWND RegisterClientWindow(HWND clientWindow, const RegisterConfig* config);
// Tears the library's own service window down: 0 for null or another window, 1 when done or
// when the window is gone already.
int UnregisterClientWindow(HWND service);
int StoreSpecialNotification(HWND ignored, uint32_t options);
