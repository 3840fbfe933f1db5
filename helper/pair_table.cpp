#include "pair_table.h"

#include <commctrl.h>

#include <cstring>

#include "helper_messages.h"
#include "helper_pipe_record.h"

namespace {

constexpr int kDriverColumnWidth = 200;
constexpr int kPortColumnWidth = 110;

void AddColumn(HWND list, int index, const char* title, int width) {
    LVCOLUMNA column = {};
    column.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_SUBITEM;
    column.pszText = const_cast<char*>(title);
    column.cx = width;
    column.iSubItem = index;
    SendMessageA(list, LVM_INSERTCOLUMNA, index, reinterpret_cast<LPARAM>(&column));
}

std::string CellText(HWND list, int row, int column, size_t size) {
    std::string text(size, '\0');
    LVITEMA item = {};
    item.iSubItem = column;
    item.pszText = text.data();
    item.cchTextMax = static_cast<int>(size);
    SendMessageA(list, LVM_GETITEMTEXTA, row, reinterpret_cast<LPARAM>(&item));
    text.resize(strnlen(text.c_str(), size));
    return text;
}

}  // namespace

int PairRowCount(HWND list) { return static_cast<int>(SendMessageA(list, LVM_GETITEMCOUNT, 0, 0)); }

HWND CreatePairTable(HWND parent) {
    HWND list = CreateWindowExA(WS_EX_CLIENTEDGE, WC_LISTVIEWA, "", kPairTableStyle, 2, 2, 340, 164, parent,
                                reinterpret_cast<HMENU>(static_cast<INT_PTR>(kPairTableId)),
                                reinterpret_cast<HINSTANCE>(GetWindowLongPtrA(parent, GWLP_HINSTANCE)), nullptr);
    if (!list) return nullptr;
    AddColumn(list, 0, "Printer", kDriverColumnWidth);
    AddColumn(list, 1, "Port", kPortColumnWidth);
    return list;
}

int FindPairRow(HWND list, const char* driver, const char* port, int* index) {
    if (!list || !driver || !port) return 0;
    LVFINDINFOA find = {};
    find.flags = LVFI_STRING;  // a whole-text match that ignores case
    find.psz = driver;
    int count = PairRowCount(list);
    int start = -1;
    // Each search starts after the last hit; the count bounds the walk even if the control
    // were to wrap around.
    for (int round = 0; round < count; ++round) {
        int row = static_cast<int>(SendMessageA(list, LVM_FINDITEMA, start, reinterpret_cast<LPARAM>(&find)));
        if (row < 0 || row <= start) return 0;
        if (CellText(list, row, 1, sizeof HelperPipeRecord::port) == port) {
            if (index) *index = row;
            return 1;
        }
        start = row;
    }
    return 0;
}

int AddPairRow(HWND list, LPARAM itemData, const char* driver, const char* port) {
    LVITEMA item = {};
    item.mask = LVIF_TEXT | LVIF_PARAM;
    item.iItem = 0;
    item.pszText = const_cast<char*>(driver);
    item.lParam = itemData;
    int row = static_cast<int>(SendMessageA(list, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item)));
    if (row < 0) return -1;
    LVITEMA cell = {};
    cell.iSubItem = 1;
    cell.pszText = const_cast<char*>(port);
    SendMessageA(list, LVM_SETITEMTEXTA, row, reinterpret_cast<LPARAM>(&cell));
    return row;
}

void DeletePairRow(HWND list, int index) { SendMessageA(list, LVM_DELETEITEM, index, 0); }

void DeleteAllPairRows(HWND list) { SendMessageA(list, LVM_DELETEALLITEMS, 0, 0); }

std::vector<PrinterPair> ReadPairRows(HWND list) {
    std::vector<PrinterPair> rows;
    int count = PairRowCount(list);
    for (int row = 0; row < count; ++row) {
        rows.push_back({CellText(list, row, 0, sizeof HelperPipeRecord::driver),
                        CellText(list, row, 1, sizeof HelperPipeRecord::port)});
    }
    return rows;
}
