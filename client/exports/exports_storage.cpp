// The storage exports: the storage entries' records, their enumeration and the two queued
// operations. A storage handle is used only while it is a row of a listed server.
#include <windows.h>

#include "connect_queue.h"
#include "handle_check.h"
#include "nas_info.h"
#include "no_throw.h"
#include "pnxscapi.h"
#include "storage_list.h"

using qz::NoThrow;

extern "C" int WINAPI PnxGetNasInfo(HWND, HPnxDv entry, NasInfo* info) {
    return NoThrow([&] { return ListedDevice(entry) ? StorageGetInfo(entry, info) : 0; });
}

extern "C" int WINAPI PnxInitNasInfo(HWND, NasInfo* info) { return NoThrow([&] { return InitNasRecord(info); }); }

extern "C" int WINAPI PnxFreeNasInfo(HWND, NasInfo* info) { return NoThrow([&] { return FreeNasRecord(info); }); }

extern "C" int WINAPI PnxGetDeviceType(HWND, HPnxDv entry) {
    return NoThrow([&] { return ListedDevice(entry) ? IsStorageEntry(entry) : 0; });
}

extern "C" int WINAPI PnxEnumNasDevices(HWND, HPnxSv server, uint32_t index, HPnxDv* entry) {
    return NoThrow([&] { return ListedServer(server) ? StorageEnum(server, index, entry) : 0; });
}

extern "C" int WINAPI PnxNasConnectDrive(HWND service, HWND requester, HPnxDv entry) {
    return NoThrow([&] {
        if (!ServiceAndDevice(service, entry)) return 0;
        return QueueStorageRequest(service, requester, entry, kRequestNasConnect);
    });
}

extern "C" int WINAPI PnxNasSafeRemove(HWND service, HWND requester, HPnxDv entry) {
    return NoThrow([&] {
        if (!ServiceAndDevice(service, entry)) return 0;
        return QueueStorageRequest(service, requester, entry, kRequestNasRemove);
    });
}

extern "C" int WINAPI PnxDefaultNasName(HWND, const wchar_t* name) {
    return NoThrow([&] {
        if (!name) return 0;
        SetDefaultNasName(name);
        return 1;
    });
}
