// Whether a server's session may still act. The client's handlers run inside every
// notification and may end a server (or the whole service) there; whoever notifies on a
// server's behalf asks again afterwards before touching its entry.
#pragma once

#include <windows.h>

#include "server_entry.h"

// The entry of a server window whose session may still act: the window has its entry, the
// entry its record and information, and the window is not being destroyed. Null otherwise.
ServerEntry* LiveSessionEntry(HWND serverWindow);

// True while the window is still the live session of `entry`. Checked after every call that
// can reach the client (a notification may let it end the server or the whole service).
bool SessionAlive(HWND serverWindow, const ServerEntry* entry);
