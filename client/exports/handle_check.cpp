#include "handle_check.h"

#include "device_entry.h"
#include "lib_lock.h"
#include "lib_state.h"
#include "server_entry.h"
#include "server_list.h"
#include "storage_list.h"

bool LiveService(HWND service) {
    if (!service) return false;
    LibraryLock lock;
    return service == g_lib.serviceWindow && IsWindow(service);
}

bool ListedServer(HPnxSv server) {
    if (!server) return false;
    LibraryLock lock;
    return g_lib.serviceWindow && ServerEntryListed(g_lib.serviceWindow, server);
}

bool ListedDevice(HPnxDv device) {
    if (!device) return false;
    LibraryLock lock;
    // A handle is read only once it is known as a live entry; then its own server window's
    // lists are asked, instead of every server's.
    if (!g_lib.serviceWindow || !IsLiveEntry(device)) return false;
    const auto* entry = static_cast<const DeviceEntry*>(device);
    HWND window = entry->serverWindow;
    return window && IsWindow(window) &&
           (DeviceListedLocked(window, entry) || StorageListedLocked(window, entry));
}
