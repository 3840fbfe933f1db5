// The exports of network storage: the storage entries' records, their enumeration, and the two
// queued operations.
#include <windows.h>
#include <commctrl.h>

#include "connect_queue.h"
#include "device_entry.h"
#include "lib_lock.h"
#include "nas_info.h"
#include "no_throw.h"
#include "pnxscapi.h"
#include "server_entry.h"
#include "storage_list.h"

extern "C" int WINAPI PnxDefaultNasName(HWND, const wchar_t* name) {
    if (!name) return 0;
    SetDefaultNasName(name);
    return 1;
}

extern "C" int WINAPI PnxInitNasInfo(HWND, NasInfo* info) {
    if (!info) return 0;
    *info = NasInfo{};
    return 1;
}

extern "C" int WINAPI PnxFreeNasInfo(HWND, NasInfo* info) {
    if (!info) return 0;
    FreeNasStrings(info);
    return 1;
}

extern "C" int WINAPI PnxGetNasInfo(HWND, HPnxDv entry, NasInfo* info) {
    if (!entry) return 0;
    LibraryLock lock;
    if (entry->removed || !entry->storage) return 0;
    if (!info) return 1;
    FreeNasStrings(info);
    return CopyNasInfo(info, *entry->storage) ? 1 : 0;
}

extern "C" int WINAPI PnxGetDeviceType(HWND, HPnxDv entry) {
    if (!entry) return 0;
    LibraryLock lock;
    return entry->storage ? 1 : 0;
}

extern "C" int WINAPI PnxEnumNasDevices(HWND, HPnxSv server, uint32_t index, HPnxDv* entry) {
    if (!server || !entry) return 0;
    LibraryLock lock;
    if (!server->record) return 0;
    std::vector<DeviceEntry*> entries = StorageEntriesLocked(server->serverWindow);
    if (index >= entries.size()) return 0;
    *entry = entries[index];
    return 1;
}

extern "C" int WINAPI PnxNasConnectDrive(HWND service, HWND requester, HPnxDv entry) {
    return QueueStorageRequest(service, requester, entry, kRequestNasConnect);
}

extern "C" int WINAPI PnxNasSafeRemove(HWND service, HWND requester, HPnxDv entry) {
    return QueueStorageRequest(service, requester, entry, kRequestNasRemove);
}
