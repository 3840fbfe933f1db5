// The storage entries of a server window (list kIdNasList): one entry per share that the
// server's storage list reports mounted at least once, kept up to date from each storage-list
// reply and reported to the client with PNXN_NAS. An entry is a DeviceEntry whose `storage`
// holds its NasInfo; entries are read and written under the library lock.
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "pnxscapi.h"

struct DeviceEntry;
struct NasInfo;
struct StorageShare;

// Takes a complete storage-list reply (PNXM_MONITOR_STORAGE_LIST) for the server window; the
// bytes belong to the channel and are valid during the call only. No library lock is held.
void HandleStorageListReply(HWND serverWindow, UINT message, const uint8_t* data, size_t length);

// The update itself, on the thread that owns the server window.
void UpdateNasList(HWND serverWindow, const uint8_t* data, size_t length);

// A renew of the server: every storage entry gets "*** (Renew) ***" with its state reset to 0.
void RenewServerStorage(HWND serverWindow);

// The server stopped answering: every storage entry gets the error kind (4 or 5).
void MarkServerStorageError(HWND serverWindow, int errorKind);

// The server no longer offers storage: every entry gets "*** (Zero Device) ***" (state 4).
void ClearServerStorage(HWND serverWindow);

// The server window is being destroyed: every storage entry goes with "*** (Destroy) ***".
void DestroyServerStorage(HWND serverWindow);

// The start of a search: state 4 entries go, the others are asked again (state 0).
void RefreshServerStorageForSearch(HWND serverWindow);

// The storage entries in row order.
std::vector<DeviceEntry*> StorageEntriesLocked(HWND serverWindow);

// True while `entry` is a row of the server window's storage list.
bool StorageListedLocked(HWND serverWindow, const DeviceEntry* entry);

// True when the share matches the entry: the same storage name and share name, ignoring case.
bool ShareMatches(const NasInfo& info, const StorageShare& share);

// The default storage name for shares without a label (PnxDefaultNasName).
void SetDefaultNasName(const wchar_t* name);
std::wstring DefaultNasName();

// What callers read of the storage entries: a copy of an entry's record (1 without a record
// to fill), whether a handle is a storage entry, and the server's entry at `index`.
int StorageGetInfo(HPnxDv entry, NasInfo* info);
int IsStorageEntry(HPnxDv entry);
int StorageEnum(HPnxSv server, uint32_t index, HPnxDv* entry);
