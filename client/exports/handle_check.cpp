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
    // Only entries read back from the server list are followed to their windows; the device
    // pointer itself is compared, never read.
    for (ServerEntry* server : ServerEntries(g_lib.serviceWindow)) {
        if (DeviceListedLocked(server->serverWindow, device) || StorageListedLocked(server->serverWindow, device)) {
            return true;
        }
    }
    return false;
}
