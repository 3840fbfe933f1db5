#include "server_storage.h"

#include <windows.h>

#include "lib_lock.h"
#include "storage_list.h"

int NasCount(const ServerEntry* entry) {
    LibraryLock lock;
    return entry ? static_cast<int>(StorageEntriesLocked(entry->serverWindow).size()) : 0;
}

void RefreshNasStatusForSearch(ServerEntry* entry) {
    HWND window;
    {
        LibraryLock lock;
        window = entry ? entry->serverWindow : nullptr;
    }
    if (window) RefreshServerStorageForSearch(window);
}

void RereadServerStorage(ServerEntry* entry) {
    HWND window;
    {
        LibraryLock lock;
        window = entry ? entry->serverWindow : nullptr;
    }
    if (window) ClearServerStorage(window);
}
