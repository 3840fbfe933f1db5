#include "listview_util.h"

#include <commctrl.h>

#include <cstring>

namespace {
constexpr int kCompareLength = 260;
}

void* ListViewItemData(HWND list, int row) {
    if (!list || row < 0) return nullptr;
    LVITEMA item{};
    item.mask = LVIF_PARAM;
    item.iItem = row;
    if (!SendMessageA(list, LVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&item))) return nullptr;
    return reinterpret_cast<void*>(item.lParam);
}

bool ListViewSetText(HWND list, int row, int column, const char* text) {
    if (!list || row < 0 || column < 0) return false;
    LVITEMA item{};
    item.iSubItem = column;
    item.pszText = const_cast<char*>(text ? text : "");
    return SendMessageA(list, LVM_SETITEMTEXTA, static_cast<WPARAM>(row),
                        reinterpret_cast<LPARAM>(&item)) != 0;
}

bool ListViewFindText(HWND list, int column, const char* text, int* row) {
    if (!list || !text || !*text || column < 0) return false;
    int count = static_cast<int>(SendMessageA(list, LVM_GETITEMCOUNT, 0, 0));
    for (int i = 0; i < count; ++i) {
        char cell[kCompareLength + 1] = "";
        LVITEMA item{};
        item.iSubItem = column;
        item.pszText = cell;
        item.cchTextMax = sizeof cell;
        SendMessageA(list, LVM_GETITEMTEXTA, static_cast<WPARAM>(i),
                     reinterpret_cast<LPARAM>(&item));
        cell[kCompareLength] = '\0';
        if (_strnicmp(cell, text, kCompareLength) == 0) {
            if (row) *row = i;
            return true;
        }
    }
    return false;
}
