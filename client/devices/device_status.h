// Status refreshes of a server's whole device list that do not come from a device-list
// reply: the start of a search and the end of the server window.
#pragma once

#include <windows.h>

// RefreshDeviceStatuses modes.
constexpr int kRefreshSearchStart = 0;  // every device back to "Get Status"; vanished ones go
constexpr int kRefreshDestroy = 1;      // every device is reported deleted and its row goes

// Runs on the server window's thread. Records change under the library lock; the client is
// notified with the lock released, then the rows concerned are deleted.
void RefreshDeviceStatuses(HWND serverWindow, int mode);
