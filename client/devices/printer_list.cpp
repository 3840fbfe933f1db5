#include "printer_list.h"
#include "child_windows.h"

#include <commctrl.h>
#include <winspool.h>

#include <cstring>

#include "listview_util.h"
#include "messages.h"

bool IsDevicePort(const char* port) {
    if (!port) return false;
    if (strnlen(port, 7) == 6 && _strnicmp(port, "USB", 3) == 0) return true;
    return _strnicmp(port, "DOT4", 4) == 0;
}

bool AddPrinterRow(HWND service, const char* printer, const char* port, LPARAM data) {
    HWND list = ChildWindow(service, kIdPrinterList);
    if (!list || !printer || !port) return false;
    LVITEMA item = {};
    item.mask = LVIF_TEXT | LVIF_PARAM;
    item.iItem = ListView_GetItemCount(list);
    item.pszText = const_cast<char*>(printer);
    item.lParam = data;
    int row = static_cast<int>(SendMessageA(list, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item)));
    if (row < 0) return false;
    return ListViewSetText(list, row, 1, port);
}

bool MatchPrinterRow(HWND service, const char* printer, const char* port) {
    HWND list = ChildWindow(service, kIdPrinterList);
    int row = -1;
    if (!list || !port || !ListViewFindText(list, 0, printer, &row)) return false;
    char rowPort[32] = {};
    LVITEMA item = {};
    item.iSubItem = 1;
    item.pszText = rowPort;
    item.cchTextMax = sizeof rowPort;
    SendMessageA(list, LVM_GETITEMTEXTA, row, reinterpret_cast<LPARAM>(&item));
    rowPort[sizeof rowPort - 1] = '\0';
    if (std::strcmp(rowPort, port) != 0) return false;
    ListView_SetItemState(list, row, 0, LVIS_SELECTED);
    return true;
}

qz::HeapBlock EnumLocalPrinters(DWORD level, DWORD* count) {
    if (count) *count = 0;
    if (level != 2 && level != 5) return {};
    // A printer added between the call for the size and the call for the data makes the
    // second one fail for want of room: then both are made again, a few times.
    constexpr int kTries = 4;
    for (int attempt = 0; attempt < kTries; ++attempt) {
        DWORD needed = 0;
        DWORD returned = 0;
        EnumPrintersA(PRINTER_ENUM_LOCAL, nullptr, level, nullptr, 0, &needed, &returned);
        if (needed == 0) return {};
        qz::HeapBlock block(HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, needed));
        if (!block) return {};
        if (EnumPrintersA(PRINTER_ENUM_LOCAL, nullptr, level, static_cast<BYTE*>(block.get()), needed, &needed,
                          &returned)) {
            if (count) *count = returned;
            return block;
        }
        if (GetLastError() != ERROR_INSUFFICIENT_BUFFER) return {};
    }
    return {};
}
