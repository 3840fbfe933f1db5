// The device list: set-up, rows and their cells, sorting and the column table.
#include "list_view.h"

#include <uxtheme.h>

#include <cstring>
#include <cwchar>

#include "app.h"
#include "app_ids.h"
#include "ini_font.h"
#include "ini_text.h"
#include "list_state.h"
#include "safe_format.h"
#include "storage_items.h"
#include "user_settings.h"
#include "view_batch.h"

ListViewState g_listView;

namespace {

constexpr int kMinFixedWidth = 90;
constexpr int kHeaderTextPadding = 26;
constexpr UINT kTipDelayMs = 1300;
constexpr int kRowIconSize = 48;
constexpr int kRowHeightImage = 60;
constexpr int kCellTextChars = 520;
constexpr size_t kFindEachLimit = 4;  // changed rows found one by one up to this many

HIMAGELIST IconList(const DeviceTextRow* rows, int count, int size) {
    HIMAGELIST images = ImageList_Create(size, size, ILC_COLOR32 | ILC_MASK, count, 0);
    for (int i = 0; images && i < count; ++i) {
        auto icon = static_cast<HICON>(
            LoadImageW(g_app.theme, MAKEINTRESOURCEW(rows[i].iconId), IMAGE_ICON, size, size, 0));
        ImageList_ReplaceIcon(images, -1, icon);
        if (icon) DestroyIcon(icon);
    }
    return images;
}

std::wstring TableText(const DeviceTextRow& row) {
    std::wstring text = IniText(g_app.iniPath, row.section, row.key, 511);
    return text.empty() ? row.defaultText : text;
}

std::wstring HeaderText(uint32_t columnId) {
    wchar_t key[16];
    std::swprintf(key, 16, L"CULUM%02u", columnId);
    return IniText(g_app.iniPath, L"MAIN", key, 259);
}

void InsertHeaderColumn(HWND list, int at, uint32_t columnId, int width) {
    std::wstring text = HeaderText(columnId);
    LVCOLUMNW column{};
    column.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_FMT;
    column.fmt = LVCFMT_LEFT;
    column.cx = width;
    column.pszText = text.data();
    ListView_InsertColumn(list, at, &column);
    HDITEMW item{};
    item.mask = HDI_LPARAM;
    item.lParam = static_cast<LPARAM>(columnId);
    Header_SetItem(ListView_GetHeader(list), at, &item);
}

void ApplyColumnOrder(HWND list) {
    int order[kListColumns];
    int count = 0;
    for (int want = 0; want < kListColumns; ++want) {
        for (int i = 0; i < kListColumns; ++i) {
            if (!g_settings.columns[i].shown || g_settings.columns[i].order != want) continue;
            order[count++] = ListColumnIndexOf(g_settings.columns, g_settings.columns[i].columnId);
        }
    }
    if (count == Header_GetItemCount(ListView_GetHeader(list))) ListView_SetColumnOrderArray(list, count, order);
}

void FitFixedColumn(HWND list, int column) {
    ListView_SetColumnWidth(list, column, LVSCW_AUTOSIZE_USEHEADER);
    int width = ListView_GetColumnWidth(list, column) + kHeaderTextPadding;
    ListView_SetColumnWidth(list, column, width < kMinFixedWidth ? kMinFixedWidth : width);
}

void FillColumn(HWND list, int column, uint32_t columnId) {
    const int rows = ListView_GetItemCount(list);
    // One repaint for the column, not one a row (a hidden list stays as it is: the redraw
    // switch would show it).
    const bool visible = IsWindowVisible(list) != FALSE;
    if (visible) SendMessageW(list, WM_SETREDRAW, FALSE, 0);
    for (int i = 0; i < rows; ++i) {
        ListRowRecord* record = ListGetRowRecord(list, i);
        if (!record || !record->data) continue;
        std::wstring text = ListCellText(record, columnId);
        ListView_SetItemText(list, i, column, text.data());
    }
    if (visible) SendMessageW(list, WM_SETREDRAW, TRUE, 0);
    InvalidateRect(list, nullptr, FALSE);
}

// The column id of each header item, by position. Read once for a batch of rows: each header
// query is a message to the header control.
std::vector<uint32_t> ColumnIds(HWND list) {
    const int columns = Header_GetItemCount(ListView_GetHeader(list));
    std::vector<uint32_t> ids;
    for (int c = 0; c < columns; ++c) ids.push_back(HeaderColumnId(list, c));
    return ids;
}

// Sets the cells whose text differs: setting a text notifies and invalidates even when it is
// the same. Column 0 is painted, never set.
void SetRowCells(HWND list, int index, const ListRowRecord* record, const std::vector<uint32_t>& ids) {
    if (!record || !record->data) return;
    wchar_t shown[kCellTextChars];
    for (int c = 1; c < static_cast<int>(ids.size()); ++c) {
        std::wstring text = ListCellText(record, ids[c]);
        shown[0] = L'\0';
        ListView_GetItemText(list, index, c, shown, kCellTextChars);
        if (text.size() < kCellTextChars - 1 && text == shown) continue;
        ListView_SetItemText(list, index, c, text.data());
    }
}

// The rows of `records` get their cells rewritten (and, unless redraw is held, are redrawn).
void RewriteRows(HWND list, const std::unordered_set<ListRowRecord*>& records) {
    const bool held = ViewRedrawHeld(list);
    const std::vector<uint32_t> ids = ColumnIds(list);
    auto rewrite = [&](int index, const ListRowRecord* record) {
        SetRowCells(list, index, record, ids);
        if (!held) ListView_RedrawItems(list, index, index);
    };
    if (records.size() <= kFindEachLimit) {
        for (ListRowRecord* record : records) {
            const int index = ListRowPosition(list, record);
            if (index >= 0) rewrite(index, record);
        }
        return;
    }
    const int count = ListView_GetItemCount(list);  // one walk instead of a search per row
    for (int i = 0; i < count; ++i) {
        ListRowRecord* record = ListGetRowRecord(list, i);
        if (record && records.count(record)) rewrite(i, record);
    }
}

constexpr uint32_t ColumnBit(uint32_t columnId) { return columnId < 32 ? 1u << columnId : 0; }

int CALLBACK CompareListItems(LPARAM a, LPARAM b, LPARAM columnId) {
    const auto* ra = reinterpret_cast<const ListRowRecord*>(a);
    const auto* rb = reinterpret_cast<const ListRowRecord*>(b);
    if (!ra || !rb || !ra->data || !rb->data) return 0;
    // The MAC texts are made only when they are compared.
    const bool byMac = columnId == 5;
    std::wstring macA = byMac ? MacText(ra->data->macAddress) : std::wstring{};
    std::wstring macB = byMac ? MacText(rb->data->macAddress) : std::wstring{};
    auto key = [](const DeviceRowData* d, const std::wstring& mac) {
        return RowKey{d->displayName, d->classRow, d->stateRow, d->hostName, AddressValue(d->addressText),
                      mac.c_str(), d->modelName, d->autoConnect};
    };
    auto compare = [](const wchar_t* x, const wchar_t* y) {
        return CompareStringW(LOCALE_USER_DEFAULT, 0, x, -1, y, -1) - CSTR_EQUAL;
    };
    return CompareRows(key(ra->data, macA), key(rb->data, macB), static_cast<uint32_t>(columnId),
                       g_listView.sort.order, compare);
}

}  // namespace

bool VisualStylesActive() { return g_app.osCode >= 8 && IsAppThemed(); }

std::wstring StyledFontKey(const wchar_t* key) {
    std::wstring name = key;
    if (VisualStylesActive()) name += L"_VISTA";
    return name;
}

HFONT MainFont() {
    if (g_app.mainFont) return g_app.mainFont;
    return static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
}

std::wstring RowStateText(const ListRowRecord* record, bool paintRule) {
    const DeviceRowData* d = record->data;
    std::wstring text = StateRowText(g_listView.stateText, d->stateRow, d->userPcName);
    if (paintRule && d->stateRow == kStateRowServerError) return text;
    if (d->classRow != kClassRowStorage) return text;  // only storage entries show sizes
    wchar_t size[520];
    wcsncpy(size, text.c_str(), 519);
    size[519] = L'\0';
    if (FormatStorageSize(reinterpret_cast<HPnxDv>(record->handle), size, 520)) return size;
    return text;
}

std::wstring ListCellText(const ListRowRecord* record, uint32_t columnId) {
    if (!record || !record->data) return {};
    const DeviceRowData* d = record->data;
    switch (columnId) {
        case 0: return d->displayName;
        case 1: return g_listView.classText[d->classRow < kClassRows ? d->classRow : kClassRowOther];
        case 2: return RowStateText(record, false);
        case 3: return d->hostName;
        case 4: return d->addressText;
        case 5: return MacText(d->macAddress);
        case 6: return d->modelName;
        case 7: return d->autoConnect ? g_listView.enableText : g_listView.disableText;
        default: return {};
    }
}

uint32_t HeaderColumnId(HWND list, int column) {
    HDITEMW item{};
    item.mask = HDI_LPARAM;
    if (!Header_GetItem(ListView_GetHeader(list), column, &item)) return UINT32_MAX;
    return static_cast<uint32_t>(item.lParam);
}

void InitListView(HWND list) {
    ListViewState& s = g_listView;
    s.list = list;
    s.rowFont = CreateIniFont(StyledFontKey(L"LIST").c_str(), g_app.iniPath);
    LoadDib(&s.selFocus, MAKEINTRESOURCEW(223), FALSE);
    LoadDib(&s.sel, MAKEINTRESOURCEW(224), FALSE);
    if (!VisualStylesActive()) {
        LoadDib(&s.headerNormal, MAKEINTRESOURCEW(221), FALSE);
        LoadDib(&s.headerPressed, MAKEINTRESOURCEW(220), FALSE);
        LoadDib(&s.headerSorted, MAKEINTRESOURCEW(222), FALSE);
    }
    s.enableText = IniText(g_app.iniPath, L"MAIN", L"ENABLE", 127);
    s.disableText = IniText(g_app.iniPath, L"MAIN", L"DISABLE", 127);
    s.serverNotFound = IniText(g_app.iniPath, L"MAIN", L"SRV_NOTFOUND", 2047);
    s.deviceNotFound = IniText(g_app.iniPath, L"MAIN", L"DEV_NOTFOUND", 2047);
    BOOL cues = FALSE;
    SystemParametersInfoW(SPI_GETKEYBOARDCUES, 0, &cues, 0);
    s.focusCues = cues != FALSE;
    s.sort = {g_settings.sortItem, g_settings.sortOrder};

    for (int i = 0; i < kListColumns; ++i) {
        const ListColumnRow& row = g_settings.columns[i];
        if (row.shown) InsertHeaderColumn(list, ListColumnIndexOf(g_settings.columns, row.columnId), row.columnId,
                                          static_cast<int>(row.width));
    }
    ApplyColumnOrder(list);
    FitFixedColumn(list, 0);
    FitFixedColumn(list, 1);
    ListView_SetExtendedListViewStyle(list, LVS_EX_HEADERDRAGDROP | LVS_EX_FULLROWSELECT | LVS_EX_INFOTIP |
                                                LVS_EX_DOUBLEBUFFER);
    if (HWND tips = ListView_GetToolTips(list)) SendMessageW(tips, TTM_SETDELAYTIME, TTDT_INITIAL, kTipDelayMs);
    HWND header = ListView_GetHeader(list);
    s.headerProc = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(header, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(ListHeaderSubclassProc)));
    s.listProc = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(list, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(ListSubclassProc)));

    s.rowHeight = ImageList_Create(kRowHeightImage, kRowHeightImage, ILC_COLOR32 | ILC_MASK, 1, 0);
    if (auto icon = static_cast<HICON>(LoadImageW(g_app.theme, MAKEINTRESOURCEW(101), IMAGE_ICON, kRowIconSize,
                                                  kRowIconSize, 0))) {
        ImageList_ReplaceIcon(s.rowHeight, -1, icon);
        DestroyIcon(icon);
    }
    ListView_SetImageList(list, s.rowHeight, LVSIL_SMALL);
    s.classImages = IconList(kClassTable, kClassRows, kRowIconSize);
    s.stateImages = IconList(kStateTable, kStateRows, 16);
    for (int i = 0; i < kClassRows; ++i) s.classText[i] = TableText(kClassTable[i]);
    for (int i = 0; i < kStateRows; ++i) s.stateText[i] = TableText(kStateTable[i]);
    if (!VisualStylesActive()) {
        s.sortArrows = ImageList_Create(16, 16, ILC_COLOR32 | ILC_MASK, 2, 0);
        for (int id : {134, 133}) {
            auto icon = static_cast<HICON>(LoadImageW(g_app.theme, MAKEINTRESOURCEW(id), IMAGE_ICON, 16, 16, 0));
            ImageList_ReplaceIcon(s.sortArrows, -1, icon);
            if (icon) DestroyIcon(icon);
        }
    }
    MarkSortColumn(list);
}

void DestroyListResources(HWND list) {
    ListViewState& s = g_listView;
    if (list) ListSaveColumnWidths(list);
    for (HIMAGELIST* images : {&s.classImages, &s.stateImages, &s.sortArrows}) {
        if (*images) ImageList_Destroy(*images);
        *images = nullptr;
    }
    if (s.rowFont) DeleteObject(s.rowFont);
    s.rowFont = nullptr;
    for (Dib* dib : {&s.selFocus, &s.sel, &s.headerNormal, &s.headerPressed, &s.headerSorted}) FreeDib(dib);
}

void FreeListRowRecord(ListRowRecord* record) {
    if (!record) return;
    g_listView.rows.Removed(record);
    g_listView.changedRows.erase(record);
    delete record->data;
    delete record;
}

int InsertListRow(HWND list, ListRowRecord* record, int index) {
    if (list == g_listView.list) NoteViewChange(list);
    LVITEMW item{};
    item.mask = LVIF_PARAM | LVIF_TEXT;
    item.iItem = index;
    item.pszText = const_cast<wchar_t*>(L"");
    item.lParam = reinterpret_cast<LPARAM>(record);
    const int row = ListView_InsertItem(list, &item);
    if (row < 0) {
        FreeListRowRecord(record);
        return -1;
    }
    if (list == g_listView.list) g_listView.rows.Inserted(record, row);
    SetRowCells(list, row, record, ColumnIds(list));
    return row;
}

void UpdateListItem(HWND list, int index) {
    SetRowCells(list, index, ListGetRowRecord(list, index), ColumnIds(list));
    ListView_RedrawItems(list, index, index);
}

void ResortList(HWND list) {
    ListView_SortItems(list, CompareListItems, static_cast<LPARAM>(HeaderColumnId(list, static_cast<int>(g_listView.sort.column))));
    if (list == g_listView.list) g_listView.rows.Sorted();
}

void RequestResort(HWND list, bool selectFirst) {
    if (selectFirst) g_listView.selectFirstAfterResort = true;
    g_listView.resortWanted = true;
    if (list != g_listView.list || !NoteViewChange(list)) FlushListChanges(list);  // no flush to come: at once
}

void ListRowChanged(HWND list, ListRowRecord* record, uint32_t changedColumns) {
    if (!record) return;
    if (list == g_listView.list && NoteViewChange(list)) {
        g_listView.changedRows.insert(record);
        g_listView.changedColumns |= changedColumns;
        return;
    }
    const int index = ListRowPosition(list, record);  // no flush to come: at once
    if (index >= 0) UpdateListItem(list, index);
    if (changedColumns) ResortList(list);
}

void FlushListChanges(HWND list) {
    ListViewState& s = g_listView;
    if (list == s.list && !s.changedRows.empty()) {
        RewriteRows(list, s.changedRows);
        s.changedRows.clear();
    }
    const uint32_t sortId = HeaderColumnId(list, static_cast<int>(s.sort.column));
    const bool keyChanged = (s.changedColumns & (ColumnBit(0) | ColumnBit(sortId))) != 0;
    const bool resort = s.resortWanted || keyChanged;
    s.resortWanted = false;
    s.changedColumns = 0;
    if (resort) ResortList(list);
    if (s.selectFirstAfterResort) {
        s.selectFirstAfterResort = false;
        ListView_SetItemState(list, -1, 0, LVIS_SELECTED);
        ListView_SetItemState(list, 0, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
    }
}

ListRowRecord* ListRecordByHandle(HWND list, uint64_t handle) {
    if (list == g_listView.list) return g_listView.rows.Find(handle);
    return ListGetRowRecord(list, ListFindRowByHandle(list, handle));
}

uint32_t ChangedRowColumns(const DeviceRowData& before, const DeviceRowData& after) {
    uint32_t bits = 0;
    if (std::wcscmp(before.displayName, after.displayName) != 0) bits |= ColumnBit(0);
    if (before.classRow != after.classRow) bits |= ColumnBit(1);
    if (before.stateRow != after.stateRow) bits |= ColumnBit(2);
    if (std::wcscmp(before.hostName, after.hostName) != 0) bits |= ColumnBit(3);
    if (std::wcscmp(before.addressText, after.addressText) != 0) bits |= ColumnBit(4);
    if (std::memcmp(before.macAddress, after.macAddress, sizeof before.macAddress) != 0) bits |= ColumnBit(5);
    if (std::wcscmp(before.modelName, after.modelName) != 0) bits |= ColumnBit(6);
    if (before.autoConnect != after.autoConnect) bits |= ColumnBit(7);
    return bits;
}

int ListRowPosition(HWND list, const ListRowRecord* record) {
    if (list != g_listView.list) {
        LVFINDINFOW find{};
        find.flags = LVFI_PARAM;
        find.lParam = reinterpret_cast<LPARAM>(record);
        return record ? ListView_FindItem(list, -1, &find) : -1;
    }
    return g_listView.rows.Position(record, ListView_GetItemCount(list),
                                    [list](int index) { return ListGetRowRecord(list, index); });
}

ListRowRecord* ListGetRowRecord(HWND list, int index) {
    LVITEMW item{};
    item.mask = LVIF_PARAM;
    item.iItem = index;
    if (index < 0 || !ListView_GetItem(list, &item)) return nullptr;
    return reinterpret_cast<ListRowRecord*>(item.lParam);
}

void RequestCommandUpdate(HWND list, HWND dialog) {
    if (g_listView.commandsPending) return;
    if (list && PostMessageW(list, kListCommandsMessage, 0, 0)) {
        g_listView.commandsPending = dialog;
        return;
    }
    SendMessageW(dialog, UM_UPDATE_COMMANDS, 0, 0);
}

void ListSelectOnly(HWND list, int index) {
    if (!list || index < 0) return;
    ListView_SetItemState(list, -1, 0, LVIS_SELECTED | LVIS_FOCUSED);
    ListView_SetItemState(list, index, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
    ListView_EnsureVisible(list, index, FALSE);
}

int ListFindRowByHandle(HWND list, uint64_t handle) {
    if (list == g_listView.list) return ListRowPosition(list, g_listView.rows.Find(handle));
    const int count = ListView_GetItemCount(list);
    for (int i = 0; i < count; ++i) {
        const ListRowRecord* record = ListGetRowRecord(list, i);
        if (record && record->handle == handle) return i;
    }
    return -1;
}

ListRowRecord* ListGetSelectedItemData(HWND list) {
    return ListGetRowRecord(list, ListView_GetNextItem(list, -1, LVNI_SELECTED));
}

std::vector<ListRowRecord*> ListGetSelectedRecords(HWND list) {
    std::vector<ListRowRecord*> out;
    if (ListView_GetSelectedCount(list) == 0) return out;  // no walk over the rows for none
    for (int i = ListView_GetNextItem(list, -1, LVNI_SELECTED); i >= 0; i = ListView_GetNextItem(list, i, LVNI_SELECTED)) {
        if (ListRowRecord* record = ListGetRowRecord(list, i)) out.push_back(record);
    }
    return out;
}

std::vector<ListRowRecord*> ListGetAllRecords(HWND list) {
    std::vector<ListRowRecord*> out;
    const int count = ListView_GetItemCount(list);
    for (int i = 0; i < count; ++i) {
        if (ListRowRecord* record = ListGetRowRecord(list, i)) out.push_back(record);
    }
    return out;
}

std::vector<ListRowRecord*> ListAllRecordsUnordered(HWND list) {
    if (list != g_listView.list) return ListGetAllRecords(list);
    return g_listView.rows.Records();
}

void OnListColumnClick(HWND list, int column) {
    g_listView.sort = SortAfterClick(g_listView.sort, static_cast<uint32_t>(column));
    g_settings.sortItem = g_listView.sort.column;
    g_settings.sortOrder = g_listView.sort.order;
    MarkSortColumn(list);
    ResortList(list);
}

void ListSaveColumnWidths(HWND list) {
    HWND header = ListView_GetHeader(list);
    const int count = Header_GetItemCount(header);
    if (count <= 0 || count > kListColumns) return;
    int order[kListColumns];
    ListView_GetColumnOrderArray(list, count, order);
    for (int position = 0; position < count; ++position) {
        const uint32_t id = HeaderColumnId(list, order[position]);
        if (id >= kListColumns) continue;
        g_settings.columns[id].width = static_cast<uint32_t>(ListView_GetColumnWidth(list, order[position]));
        g_settings.columns[id].order = position;
    }
}

void RebuildListColumns(HWND list) {
    const uint32_t sortId = HeaderColumnId(list, static_cast<int>(g_listView.sort.column));
    for (int c = Header_GetItemCount(ListView_GetHeader(list)) - 1; c >= kFixedColumns; --c) ListView_DeleteColumn(list, c);
    ListView_SetColumnWidth(list, 2, static_cast<int>(g_settings.columns[2].width));
    int at = kFixedColumns;
    for (int i = kFixedColumns; i < kListColumns; ++i) {
        const ListColumnRow& row = g_settings.columns[i];
        if (!row.shown) continue;
        InsertHeaderColumn(list, at, row.columnId, static_cast<int>(row.width));
        FillColumn(list, at, row.columnId);
        ++at;
    }
    ApplyColumnOrder(list);
    if (sortId < kFixedColumns) {
        g_listView.sort.column = sortId;
    } else if (sortId < kListColumns && g_settings.columns[sortId].shown) {
        g_listView.sort.column = static_cast<uint32_t>(ListColumnIndexOf(g_settings.columns, sortId));
    } else {
        g_listView.sort = {0, kSortAscending};
    }
    g_settings.sortItem = g_listView.sort.column;
    g_settings.sortOrder = g_listView.sort.order;
    MarkSortColumn(list);
    ResortList(list);
}

void ShowListColumn(HWND list, uint32_t columnId) {
    if (columnId < kFixedColumns || columnId >= kListColumns) return;
    ListColumnRow& row = g_settings.columns[columnId];
    const int at = ListColumnIndexOf(g_settings.columns, columnId);
    InsertHeaderColumn(list, at, columnId, static_cast<int>(row.width));
    g_listView.sort = SortAfterInsert(g_listView.sort, at);
    FillColumn(list, at, columnId);
    g_settings.sortItem = g_listView.sort.column;
}

void HideListColumn(HWND list, uint32_t columnId) {
    if (columnId < kFixedColumns || columnId >= kListColumns) return;
    const int count = Header_GetItemCount(ListView_GetHeader(list));
    int at = -1;
    for (int c = kFixedColumns; c < count && at < 0; ++c) {
        if (HeaderColumnId(list, c) == columnId) at = c;  // by the id each item carries, never its text
    }
    if (at < 0) return;
    g_settings.columns[columnId].width = static_cast<uint32_t>(ListView_GetColumnWidth(list, at));
    g_settings.columns[columnId].order = -1;
    ListView_DeleteColumn(list, at);
    bool resort = false;
    g_listView.sort = SortAfterDelete(g_listView.sort, at, &resort);
    g_settings.sortItem = g_listView.sort.column;
    g_settings.sortOrder = g_listView.sort.order;
    MarkSortColumn(list);
    if (resort) ResortList(list);
}

void InvalidateEmptyList(HWND list) {
    if (!list || ListView_GetItemCount(list) > 0) return;
    RECT rc{};
    GetClientRect(list, &rc);
    rc.top += 50;
    InvalidateRect(list, &rc, TRUE);
}

void SetListFocusCues(HWND list, bool show) {
    if (g_listView.focusCues == show) return;
    g_listView.focusCues = show;
    InvalidateRect(list, nullptr, FALSE);
}

void SetListRowMenuHandler(ListRowMenuHandler handler) { g_listView.rowMenu = handler; }
void SetListDoubleClickHandler(ListDoubleClickHandler handler) { g_listView.doubleClick = handler; }
