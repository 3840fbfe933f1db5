#include "options_display.h"

#include <commctrl.h>

#include <cstdio>
#include <cstring>

#include "app.h"
#include "app_ids.h"
#include "dialog_layout.h"
#include "ini_text.h"
#include "resource.h"
#include "tab_dialog.h"
#include "theme_resources.h"

namespace {

constexpr int kFixedColumns = 3;  // name, class and state are always shown, in front

ListColumnRow g_working[kListColumns];
bool g_filling = false;  // items are being inserted or moved: no change notices

const ThemeItemInfo kDisplayLayout[] = {
    {IDD_OPTION_DISPLAY, L"TAB", L"TAB02", 0, 0, 350, 250},
    {IDC_PAGE_ICON, nullptr, nullptr, 14, 16, 32, 32},
    {IDC_PAGE_TEXT, L"OPTION", L"DISPLAY_00", 60, 16, 285, 40},
    {IDC_GROUP, L"GROUP", L"DISPLAY", 13, 66, 339, 210},
    {IDC_DISPLAY_LABEL, L"OPTION", L"DISPLAY_01", 30, 90, 300, 20},
    {IDC_COLUMN_LIST, L"OPTION", nullptr, 30, 115, 200, 123},
    {IDC_UP, L"BUTTON", L"UP", 242, 115, 94, 21},
    {IDC_DOWN, L"BUTTON", L"DOWN", 242, 140, 94, 21},
    {IDC_SHOW, L"BUTTON", L"SHOW", 242, 165, 94, 21},
    {IDC_HIDE, L"BUTTON", L"HIDE", 242, 190, 94, 21},
    {IDC_WIDTH_LABEL, L"OPTION", L"WIDTH", 30, 246, 155, 21},
    {IDC_WIDTH_FIELD, L"OPTION", L"WIDTH_FIELD", 191, 246, 39, 21},
    {IDC_EFFECT, L"BUTTON", L"EFFECT", 250, 280, 94, 21},
    {-1, nullptr, nullptr, 0, 0, 0, 0},
};

HWND List(HWND page) { return GetDlgItem(page, IDC_COLUMN_LIST); }

int RowOf(HWND list, int item) {
    LVITEMW lv{};
    lv.mask = LVIF_PARAM;
    lv.iItem = item;
    if (!ListView_GetItem(list, &lv)) return -1;
    return static_cast<int>(lv.lParam);
}

int CALLBACK ColumnListCompare(LPARAM a, LPARAM b, LPARAM) {
    const ListColumnRow& x = g_working[a];
    const ListColumnRow& y = g_working[b];
    if (x.shown != y.shown) return x.shown ? -1 : 1;
    if (x.shown) return x.order < y.order ? -1 : (x.order > y.order ? 1 : 0);
    return x.columnId < y.columnId ? -1 : (x.columnId > y.columnId ? 1 : 0);
}

void InsertItem(HWND list, int index, int row, bool checked) {
    wchar_t key[16];
    std::swprintf(key, 16, L"CULUM%02u", g_working[row].columnId);
    std::wstring text = IniText(g_app.iniPath, L"MAIN", key, 511);
    LVITEMW item{};
    item.mask = LVIF_TEXT | LVIF_PARAM;
    item.iItem = index;
    item.pszText = const_cast<wchar_t*>(text.c_str());
    item.lParam = row;
    const int at = ListView_InsertItem(list, &item);
    ListView_SetCheckState(list, at, checked);
}

void OnColumnSelected(HWND page) {
    HWND list = List(page);
    const int index = ListView_GetNextItem(list, -1, LVNI_SELECTED);
    const int count = ListView_GetItemCount(list);
    if (index < 0) {
        for (int id : {IDC_UP, IDC_DOWN, IDC_SHOW, IDC_HIDE, IDC_WIDTH_FIELD}) EnableDlgItem(page, id, FALSE);
        g_filling = true;
        SetDlgItemTextW(page, IDC_WIDTH_FIELD, L"");
        g_filling = false;
        return;
    }
    const int row = RowOf(list, index);
    const bool checked = ListView_GetCheckState(list, index) != 0;
    if (index < kFixedColumns) {
        for (int id : {IDC_UP, IDC_DOWN, IDC_SHOW, IDC_HIDE}) EnableDlgItem(page, id, FALSE);
    } else {
        EnableDlgItem(page, IDC_UP, index != kFixedColumns);
        EnableDlgItem(page, IDC_DOWN, index != count - 1);
        EnableDlgItem(page, IDC_SHOW, !checked);
        EnableDlgItem(page, IDC_HIDE, checked);
        if (row >= 0 && g_working[row].shown != static_cast<uint32_t>(checked)) {
            g_working[row].shown = checked;
            SendMessageW(page, UM_PAGE_CHANGED, 0, 0);
        }
    }
    EnableDlgItem(page, IDC_WIDTH_FIELD, index >= 2);
    if (row >= 0) {
        g_filling = true;
        SetDlgItemInt(page, IDC_WIDTH_FIELD, g_working[row].width, FALSE);
        g_filling = false;
    }
}

void MoveColumn(HWND page, int step) {
    HWND list = List(page);
    const int index = ListView_GetNextItem(list, -1, LVNI_SELECTED);
    const int target = index + step;
    if (index < kFixedColumns || target < kFixedColumns || target >= ListView_GetItemCount(list)) return;
    const int row = RowOf(list, index);
    const bool checked = ListView_GetCheckState(list, index) != 0;
    g_filling = true;
    ListView_DeleteItem(list, index);
    InsertItem(list, target, row, checked);
    g_filling = false;
    ListView_SetItemState(list, target, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
    OnColumnSelected(page);
    SendMessageW(page, UM_PAGE_CHANGED, 0, 0);
}

void SetSelectedCheck(HWND page, bool on) {
    HWND list = List(page);
    const int index = ListView_GetNextItem(list, -1, LVNI_SELECTED);
    if (index < kFixedColumns) return;
    ListView_SetCheckState(list, index, on);
    OnColumnSelected(page);
    SendMessageW(page, UM_PAGE_CHANGED, 0, 0);
}

void SetColumnWidth(HWND page) {
    if (g_filling) return;
    HWND list = List(page);
    const int index = ListView_GetNextItem(list, -1, LVNI_SELECTED);
    const int row = index >= 0 ? RowOf(list, index) : -1;
    BOOL ok = FALSE;
    const int width = static_cast<int>(GetDlgItemInt(page, IDC_WIDTH_FIELD, &ok, TRUE));
    if (row < 0 || !ok || width < 1) return;
    if (g_working[row].width != static_cast<uint32_t>(width)) {
        g_working[row].width = static_cast<uint32_t>(width);
        SendMessageW(page, UM_PAGE_CHANGED, 0, 0);
    }
}

// Rows 0-2 keep their check boxes; clicks on them select only.
INT_PTR OnColumnListNotify(HWND page, NMHDR* notify) {
    HWND list = notify->hwndFrom;
    switch (notify->code) {
        case LVN_ITEMCHANGING: {
            const auto* change = reinterpret_cast<NMLISTVIEW*>(notify);
            const bool checkChange = (change->uChanged & LVIF_STATE) &&
                                     ((change->uNewState ^ change->uOldState) & LVIS_STATEIMAGEMASK);
            if (!g_filling && checkChange && change->iItem < kFixedColumns && change->uOldState & LVIS_STATEIMAGEMASK) {
                SetWindowLongPtrW(page, DWLP_MSGRESULT, TRUE);
                return TRUE;
            }
            return FALSE;
        }
        case LVN_ITEMCHANGED:
            if (!g_filling) PostMessageW(page, UM_COLUMN_REFRESH, 0, 0);
            return FALSE;
        case LVN_KEYDOWN:
        case NM_CLICK:
        case NM_DBLCLK:
        case NM_RCLICK:
        case NM_RDBLCLK:
            PostMessageW(page, UM_COLUMN_REFRESH, 0, 0);
            return FALSE;
        case NM_CUSTOMDRAW: {
            auto* draw = reinterpret_cast<NMLVCUSTOMDRAW*>(notify);
            LRESULT result = CDRF_DODEFAULT;
            if (draw->nmcd.dwDrawStage == CDDS_PREPAINT) result = CDRF_NOTIFYITEMDRAW;
            if (draw->nmcd.dwDrawStage == CDDS_ITEMPREPAINT && draw->nmcd.dwItemSpec < kFixedColumns) {
                draw->clrText = GetSysColor(COLOR_GRAYTEXT);
            }
            SetWindowLongPtrW(page, DWLP_MSGRESULT, result);
            return TRUE;
        }
        default:
            (void)list;
            return FALSE;
    }
}

void InitDisplayPage(HWND page, const ListColumnRow* caller) {
    std::memcpy(g_working, caller, sizeof g_working);
    InitTabPage(page, kDisplayLayout, theme::kIconDisplayPage);
    EnableDlgItem(page, IDC_EFFECT, FALSE);
    ShowWindow(GetDlgItem(page, IDC_EFFECT), SW_HIDE);
    HWND list = List(page);
    ListView_SetExtendedListViewStyle(list, LVS_EX_CHECKBOXES | LVS_EX_FULLROWSELECT);
    LVCOLUMNW column{};
    column.mask = LVCF_WIDTH;
    column.cx = 100;
    ListView_InsertColumn(list, 0, &column);
    SendDlgItemMessageW(page, IDC_WIDTH_FIELD, EM_LIMITTEXT, 3, 0);
    g_filling = true;
    for (int row = 0; row < kListColumns; ++row) InsertItem(list, row, row, g_working[row].shown != 0);
    ListView_SetColumnWidth(list, 0, LVSCW_AUTOSIZE);
    ListView_SetItemState(list, 0, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
    ListView_SortItems(list, ColumnListCompare, 0);
    g_filling = false;
    OnColumnSelected(page);
}

}  // namespace

void ReadColumnSettings(HWND page, ListColumnRow* out) {
    HWND list = List(page);
    int order = 0;
    const int count = ListView_GetItemCount(list);
    for (int i = 0; i < count; ++i) {
        const int row = RowOf(list, i);
        if (row < 0 || row >= kListColumns) continue;
        const bool shown = row < kFixedColumns || ListView_GetCheckState(list, i);
        g_working[row].shown = shown;
        // A hidden row has no place in the order, so the stored table stays consistent.
        g_working[row].order = shown ? order++ : -1;
    }
    if (out) std::memcpy(out, g_working, sizeof g_working);
}

INT_PTR CALLBACK DisplayPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_INITDIALOG:
            InitDisplayPage(page, reinterpret_cast<const ListColumnRow*>(lParam));
            return TRUE;
        case WM_NOTIFY:
            if (wParam == IDC_COLUMN_LIST) return OnColumnListNotify(page, reinterpret_cast<NMHDR*>(lParam));
            return FALSE;
        case WM_COMMAND:
            switch (LOWORD(wParam)) {
                case IDC_UP:
                    MoveColumn(page, -1);
                    break;
                case IDC_DOWN:
                    MoveColumn(page, 1);
                    break;
                case IDC_SHOW:
                    SetSelectedCheck(page, true);
                    break;
                case IDC_HIDE:
                    SetSelectedCheck(page, false);
                    break;
                case IDC_WIDTH_FIELD:
                    if (HIWORD(wParam) == EN_UPDATE) SetColumnWidth(page);
                    break;
                default:
                    break;
            }
            return TRUE;
        case UM_COLUMN_REFRESH:
            OnColumnSelected(page);
            return TRUE;
        default:
            return HandleTabPageMessage(page, message, true);
    }
}
