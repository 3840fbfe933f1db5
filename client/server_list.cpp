#include "server_list.h"

#include <commctrl.h>

#include <new>

#include "lib_lock.h"
#include "listview_util.h"
#include "messages.h"

HWND ServerListControl(HWND service) {
    if (!service || !IsWindow(service)) return nullptr;
    return GetDlgItem(service, kIdServerList);
}

ServerEntry* NewServerEntry(HWND service) {
    auto* entry = new (std::nothrow) ServerEntry;
    auto* record = new (std::nothrow) ServerRecord;
    auto* info = static_cast<ServerInfo*>(HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, sizeof(ServerInfo)));
    if (!entry || !record || !info) {
        delete entry;
        delete record;
        if (info) HeapFree(GetProcessHeap(), 0, info);
        return nullptr;
    }
    record->info = info;
    entry->owner = service;
    entry->record = record;
    return entry;
}

void FreeServerEntry(ServerEntry* entry) {
    if (!entry) return;
    if (entry->record) {
        if (entry->record->info) HeapFree(GetProcessHeap(), 0, entry->record->info);
        delete entry->record;
    }
    delete entry;
}

std::vector<ServerEntry*> ServerEntries(HWND service) {
    std::vector<ServerEntry*> entries;
    HWND list = ServerListControl(service);
    if (!list) return entries;
    LibraryLock lock;
    int count = ListView_GetItemCount(list);
    for (int row = 0; row < count; ++row) {
        if (auto* entry = static_cast<ServerEntry*>(ListViewItemData(list, row))) entries.push_back(entry);
    }
    return entries;
}

static int RowOfEntry(HWND list, const ServerEntry* entry) {
    LVFINDINFOA find = {};
    find.flags = LVFI_PARAM;
    find.lParam = reinterpret_cast<LPARAM>(entry);
    return static_cast<int>(SendMessageA(list, LVM_FINDITEMA, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(&find)));
}

bool ServerEntryListed(HWND service, const ServerEntry* entry) {
    HWND list = ServerListControl(service);
    return list && entry && RowOfEntry(list, entry) >= 0;
}

void SendToServerWindows(HWND service, UINT message, WPARAM wParam, LPARAM lParam) {
    std::vector<HWND> windows;
    for (ServerEntry* entry : ServerEntries(service)) {
        LibraryLock lock;
        if (entry->serverWindow) windows.push_back(entry->serverWindow);
    }
    for (HWND window : windows) {
        if (IsWindow(window)) SendMessageA(window, message, wParam, lParam);
    }
}

void DestroyServerWindow(HWND service, ServerEntry* entry) {
    if (!entry) return;
    if (entry->serverWindow && IsWindow(entry->serverWindow)) {
        DestroyWindow(entry->serverWindow);
        return;
    }
    HWND list = ServerListControl(service);
    if (!list) return;
    int row = RowOfEntry(list, entry);
    if (row >= 0) ListView_DeleteItem(list, row);
}
