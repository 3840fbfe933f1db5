#include "live_session.h"

#include "lib_lock.h"

ServerEntry* LiveSessionEntry(HWND window) {
    ServerEntry* entry = ServerEntryOfWindow(window);
    if (!entry) return nullptr;
    LibraryLock lock;
    if (!entry->record || !entry->record->info || entry->record->closing) return nullptr;
    return entry;
}

bool SessionAlive(HWND window, const ServerEntry* entry) { return entry && LiveSessionEntry(window) == entry; }
