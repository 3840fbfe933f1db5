#include "remote_desktop.h"

#include <algorithm>

#include "lib_lock.h"
#include "server_list.h"

// The connection table is not read yet: no client is connected.
bool RemoteDesktopAddresses(std::vector<uint32_t>& addresses) {
    addresses.clear();
    return false;
}

bool MarkServersOutsideList(HWND service, const std::vector<uint32_t>& addresses) {
    bool marked = false;
    for (ServerEntry* entry : ServerEntries(service)) {
        LibraryLock lock;
        if (!entry->record || !entry->record->info) continue;
        uint32_t address = entry->record->info->ipAddress;
        if (std::find(addresses.begin(), addresses.end(), address) != addresses.end()) continue;
        entry->record->notSeen = true;
        marked = true;
    }
    return marked;
}
