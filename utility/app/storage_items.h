// Storage entries of the servers as the views show them: the test that tells them from USB
// devices, their free-space text, opening their share, and mount and remove for one entry,
// the list's selection or every entry of the tree's selected server.
#pragma once

#include <windows.h>

#include <cstddef>
#include <string>
#include <vector>

#include "../../client/pnxscapi.h"
#include "device_operations.h"

bool IsStorageDevice(HPnxDv handle);
// For a storage entry in state 7: empty when its mounted flag is 0, else [MAIN] MOUNT with
// its free space and capacity. Other states leave `text` unchanged. TRUE for a storage entry.
BOOL FormatStorageSize(HPnxDv handle, wchar_t* text, size_t textChars);
// The MOUNT text from the two byte counts (the shell's byte-size forms).
std::wstring StorageSizeText(const wchar_t* format, uint32_t capacityMiB, uint32_t usedMiB);

BOOL ExploreStorageShare(HWND window, HPnxDv handle);
BOOL ExploreSelectedStorage(HWND window, HWND list);
BOOL ExploreAllStorage(HWND window, HWND tree);
BOOL MountStorage(HWND window, HPnxDv handle);
BOOL MountSelectedStorage(HWND window, HWND list);
BOOL MountAllStorage(HWND window, HWND tree);
BOOL RemoveStorage(HWND window, HPnxDv handle);
BOOL RemoveSelectedStorage(HWND window, HWND list);
BOOL RemoveAllStorage(HWND window, HWND tree);

// What a storage entry is, for the rules above (the library's record, strings copied).
struct StorageFacts {
    std::wstring storageName;
    std::wstring text;  // the storage's own text
    std::wstring label;
    std::wstring shareName;
    uint32_t capacityMiB = 0;
    uint32_t usedMiB = 0;
    uint32_t mounted = 0;
    uint16_t state = 0;
};
bool ReadStorageFacts(HPnxDv handle, StorageFacts* facts);

// Picks at most `limit` handles from `candidates` for removal: mounted-flag set (when
// `needMounted`) or state 7 (when `needState7`), one per storage name (case-insensitive).
struct StorageCandidate {
    HPnxDv handle;
    StorageFacts facts;
};
std::vector<HPnxDv> PickRemovals(const std::vector<StorageCandidate>& candidates, bool needMounted, bool needState7);
