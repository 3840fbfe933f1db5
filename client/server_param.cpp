// The caller's own value kept with each server, and the device-list packet setter that older
// callers still call.
#include <windows.h>

#include "lib_lock.h"
#include "pnxscapi.h"
#include "server_entry.h"

extern "C" uintptr_t WINAPI PnxGetServerParam(HWND service, HPnxSv server) {
    if (!service || !server) return 0;
    LibraryLock lock;
    return server->record ? server->record->callerValue : 0;
}

extern "C" int WINAPI PnxSetServerParam(HWND service, HPnxSv server, uintptr_t value) {
    if (!service || !server) return 0;
    LibraryLock lock;
    if (!server->record) return 0;
    server->record->callerValue = value;
    return 1;
}

// The device-list packet is fixed by the protocol level; the setter is kept so that callers
// of older releases still link.
extern "C" int WINAPI PnxSetDeviceListPacket(HWND, const void*, uint32_t) { return 1; }
