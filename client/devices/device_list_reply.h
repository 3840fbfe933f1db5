// What a server session hands to the device-list code: the replies of its channel 1, the
// renew and the end of the server's device list, and its network errors.
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>

#include "server_entry.h"

// Takes a complete device-list reply for the server window: `message` is the reply message it
// came with (PNXM_MONITOR_DEVICE_LIST, _EX or _EX_II), the bytes belong to the channel and are
// valid during the call only. Runs on the server window's thread without the library lock.
void HandleDeviceListReply(HWND serverWindow, UINT message, const uint8_t* data, size_t length);

// A renew of the server: every device gets the change record "*** (Renew) ***" (kind 3,
// flags 4) with its status reset to 0, and is notified.
void RenewServerDevices(HWND serverWindow);

// The server window is being destroyed: every device gets the change record
// "*** (Destroy) ***" and is reported deleted.
void DestroyServerDevices(HWND serverWindow);

// Marks every device of the server with an error kind.
void MarkServerDevicesError(ServerEntry* entry, int errorKind);
