#include "list_rows.h"

#include <algorithm>
#include <unordered_map>

#include "lib_lock.h"

namespace {
std::unordered_map<HWND, std::vector<LPARAM>> g_rows;  // library lock

// The item data of a row just inserted. The notice runs on the list's own thread, so asking
// the list is no message to another thread.
LPARAM InsertedData(const NMLISTVIEW* item) {
    LVITEMA read = {};
    read.mask = LVIF_PARAM;
    read.iItem = item->iItem;
    return SendMessageA(item->hdr.hwndFrom, LVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&read)) ? read.lParam
                                                                                               : item->lParam;
}
}  // namespace

void FollowListNotice(const NMHDR* header) {
    if (!header || !header->hwndFrom) return;
    const auto* item = reinterpret_cast<const NMLISTVIEW*>(header);
    if (header->code == LVN_INSERTITEM) {
        LPARAM data = InsertedData(item);
        LibraryLock lock;
        std::vector<LPARAM>& rows = g_rows[header->hwndFrom];
        size_t at = item->iItem < 0 ? rows.size() : std::min(rows.size(), static_cast<size_t>(item->iItem));
        rows.insert(rows.begin() + static_cast<std::ptrdiff_t>(at), data);
    } else if (header->code == LVN_DELETEITEM) {
        LibraryLock lock;
        auto found = g_rows.find(header->hwndFrom);
        if (found == g_rows.end()) return;
        std::vector<LPARAM>& rows = found->second;
        // The notice names the row; its data decides, should the two ever disagree.
        size_t row = static_cast<size_t>(item->iItem);
        if (item->iItem >= 0 && row < rows.size() && rows[row] == item->lParam) {
            rows.erase(rows.begin() + static_cast<std::ptrdiff_t>(row));
        } else {
            auto it = std::find(rows.begin(), rows.end(), item->lParam);
            if (it != rows.end()) rows.erase(it);
        }
        if (rows.empty()) g_rows.erase(found);
    }
}

std::vector<LPARAM> ListRowsLocked(HWND list) {
    auto found = g_rows.find(list);
    return found == g_rows.end() ? std::vector<LPARAM>() : found->second;
}

int ListRowOfLocked(HWND list, LPARAM data) {
    auto found = g_rows.find(list);
    if (!list || found == g_rows.end()) return -1;
    auto it = std::find(found->second.begin(), found->second.end(), data);
    return it == found->second.end() ? -1 : static_cast<int>(it - found->second.begin());
}

void ForgetListRowsLocked(HWND list) { g_rows.erase(list); }
