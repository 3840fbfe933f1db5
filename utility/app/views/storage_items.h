// Storage entries of the servers as the views show them: the test that tells them from USB
// devices, their free-space text, opening their share, and mount and remove for one entry,
// the list's selection or every entry of the tree's selected server.
#pragma once

#include <windows.h>

#include <cstddef>
#include <string>
#include <vector>

#include "../../../client/pnxscapi.h"
#include "device_operations.h"
#include "view_rules.h"

bool IsStorageDevice(HPnxDv handle);
// For a storage entry in state 7: empty when its mounted flag is 0, else [MAIN] MOUNT with
// its free space and capacity. Other states leave `text` unchanged. TRUE for a storage entry.
BOOL FormatStorageSize(HPnxDv handle, wchar_t* text, size_t textChars);
BOOL ExploreStorageShare(HWND window, HPnxDv handle);
BOOL ExploreSelectedStorage(HWND window, HWND list);
BOOL ExploreAllStorage(HWND window, HWND tree);
BOOL MountStorage(HWND window, HPnxDv handle);
BOOL MountSelectedStorage(HWND window, HWND list);
BOOL MountAllStorage(HWND window, HWND tree);
BOOL RemoveStorage(HWND window, HPnxDv handle);
BOOL RemoveSelectedStorage(HWND window, HWND list);
BOOL RemoveAllStorage(HWND window, HWND tree);

bool ReadStorageFacts(HPnxDv handle, StorageFacts* facts);

