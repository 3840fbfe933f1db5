#include "row_index.h"

#include <commctrl.h>

#include "listview_util.h"

#include <cctype>
#include <map>
#include <mutex>
#include <string>
#include <unordered_map>

namespace {
constexpr size_t kKeyLength = 260;

struct ListIndex {
    std::unordered_map<std::string, LPARAM> byKey;
    std::unordered_map<LPARAM, std::string> keyOf;
};

std::mutex g_indexMutex;                // guards g_indexes
std::map<HWND, ListIndex> g_indexes;    // guarded by g_indexMutex

std::string KeyOf(const char* text) {
    std::string key;
    for (size_t i = 0; text[i] && i < kKeyLength; ++i)
        key.push_back(static_cast<char>(std::toupper(static_cast<unsigned char>(text[i]))));
    return key;
}
}  // namespace

void RowIndexAdd(HWND list, const char* key, LPARAM data) {
    if (!list || !key || !*key || !data) return;
    std::string normal = KeyOf(key);
    std::lock_guard<std::mutex> guard(g_indexMutex);
    ListIndex& index = g_indexes[list];
    if (index.byKey.emplace(normal, data).second) index.keyOf[data] = normal;
}

void RowIndexRemove(HWND list, LPARAM data) {
    std::lock_guard<std::mutex> guard(g_indexMutex);
    auto found = g_indexes.find(list);
    if (found == g_indexes.end()) return;
    auto key = found->second.keyOf.find(data);
    if (key == found->second.keyOf.end()) return;
    found->second.byKey.erase(key->second);
    found->second.keyOf.erase(key);
    if (found->second.keyOf.empty()) g_indexes.erase(found);
}

void RowIndexClear(HWND list) {
    std::lock_guard<std::mutex> guard(g_indexMutex);
    g_indexes.erase(list);
}

LPARAM RowIndexFind(HWND list, const char* key) {
    if (!list || !key || !*key) return 0;
    std::string normal = KeyOf(key);
    std::lock_guard<std::mutex> guard(g_indexMutex);
    auto found = g_indexes.find(list);
    if (found == g_indexes.end()) return 0;
    auto row = found->second.byKey.find(normal);
    return row == found->second.byKey.end() ? 0 : row->second;
}

size_t RowIndexSize(HWND list) {
    std::lock_guard<std::mutex> guard(g_indexMutex);
    auto found = g_indexes.find(list);
    return found == g_indexes.end() ? 0 : found->second.keyOf.size();
}

LPARAM FindRowByKey(HWND list, int column, const char* key) {
    if (LPARAM data = RowIndexFind(list, key)) return data;
    int rows = list ? ListView_GetItemCount(list) : 0;
    if (rows <= 0 || static_cast<size_t>(rows) == RowIndexSize(list)) return 0;
    int row = -1;
    if (!ListViewFindText(list, column, key, &row)) return 0;
    LVITEMA item{};
    item.mask = LVIF_PARAM;
    item.iItem = row;
    return SendMessageA(list, LVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&item)) ? item.lParam : 0;
}

int RowOfItemData(HWND list, LPARAM data) {
    if (!list) return -1;
    LVFINDINFOA find = {};
    find.flags = LVFI_PARAM;
    find.lParam = data;
    return static_cast<int>(SendMessageA(list, LVM_FINDITEMA, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(&find)));
}
