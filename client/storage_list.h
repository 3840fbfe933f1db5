// What a server session hands to the storage code: the storage-list replies of its channel 2,
// and the renew, the errors and the end of the server's storage list.
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>

// Takes a complete storage-list reply (PNXM_MONITOR_STORAGE_LIST) for the server window; the
// bytes belong to the channel and are valid during the call only. No library lock is held.
void HandleStorageListReply(HWND serverWindow, UINT message, const uint8_t* data, size_t length);

// A renew of the server: every storage entry gets "*** (Renew) ***" with its status reset to 0.
void RenewServerStorage(HWND serverWindow);

// The server stopped answering: every storage entry gets the error kind (4 or 5).
void MarkServerStorageError(HWND serverWindow, int errorKind);

// The server window is being destroyed: every storage entry gets "*** (Destroy) ***".
void DestroyServerStorage(HWND serverWindow);
