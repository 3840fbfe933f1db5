// The device list's header (fixed and pinned columns, the sort marks, its painting below the
// styled look, the column menu) and the list's notifications to the main dialog.
#include <windows.h>
#include <windowsx.h>
#include <commctrl.h>

#include <cwchar>

#include "app.h"
#include "app_ids.h"
#include "list_state.h"
#include "owner_menu.h"
#include "safe_format.h"
#include "ini_text.h"
#include "user_settings.h"

namespace {

constexpr UINT UM_HEADER_ARROW = 0x800A;
constexpr int kPinnedColumns = 2;    // name and class keep their width
constexpr int kDividerLeft = 10;
constexpr int kDividerRight = 9;
constexpr size_t kTipFormatChars = 2048;

bool OnPinnedDivider(HWND header, POINT client) {
    for (int i = 0; i < kPinnedColumns && i < Header_GetItemCount(header); ++i) {
        RECT rc{};
        Header_GetItemRect(header, i, &rc);
        if (client.x >= rc.right - kDividerLeft && client.x <= rc.right + kDividerRight) return true;
    }
    return false;
}

void DrawHeaderPiece(HDC dc, const Dib* dib, const RECT& rc) {
    if (!dib || !dib->info || dib->width < 5) {
        FillRect(dc, &rc, GetSysColorBrush(COLOR_BTNFACE));
        return;
    }
    const int h = rc.bottom - rc.top;
    DrawDibPart(dc, dib, rc.left, rc.top, 2, h, 0, 0, 2, dib->height);
    if (rc.right - rc.left > 4) DrawDibPart(dc, dib, rc.left + 2, rc.top, rc.right - rc.left - 4, h, 2, 0, 1, dib->height);
    DrawDibPart(dc, dib, rc.right - 2, rc.top, 2, h, dib->width - 2, 0, 2, dib->height);
}

std::wstring HeaderItemText(HWND header, int index) {
    wchar_t text[260] = {};
    HDITEMW item{};
    item.mask = HDI_TEXT;
    item.pszText = text;
    item.cchTextMax = 259;
    Header_GetItem(header, index, &item);
    return text;
}

void PaintHeaderItem(NMCUSTOMDRAW* draw) {
    HWND header = draw->hdr.hwndFrom;
    const int index = static_cast<int>(draw->dwItemSpec);
    const bool sorted = index == static_cast<int>(g_listView.sort.column);
    const Dib* piece = (draw->uItemState & CDIS_SELECTED) ? &g_listView.headerPressed
                       : sorted                           ? &g_listView.headerSorted
                                                          : &g_listView.headerNormal;
    DrawHeaderPiece(draw->hdc, piece, draw->rc);
    std::wstring text = HeaderItemText(header, index);
    RECT rc = draw->rc;
    rc.left += 5;
    rc.right -= sorted ? 25 : 5;
    SetBkMode(draw->hdc, TRANSPARENT);
    HGDIOBJ old = SelectObject(draw->hdc, MainFont());
    const int width = EllipsizeText(text, rc.right - rc.left, 0, [&](const std::wstring& t) {
        SIZE size{};
        GetTextExtentPoint32W(draw->hdc, t.c_str(), static_cast<int>(t.size()), &size);
        return static_cast<int>(size.cx);
    });
    DrawTextW(draw->hdc, text.c_str(), -1, &rc, DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX);
    SelectObject(draw->hdc, old);
    if (sorted && g_listView.sortArrows) {
        int x = rc.left + width + 10;
        if (x + 16 > draw->rc.right) x = draw->rc.right - 16;
        const int y = draw->rc.top + (draw->rc.bottom - draw->rc.top - 16) / 2;
        ImageList_Draw(g_listView.sortArrows, g_listView.sort.order == kSortDescending ? 1 : 0, draw->hdc, x, y,
                       ILD_TRANSPARENT);
    }
}

void PaintHeaderRest(HWND header, HDC dc) {
    const int count = Header_GetItemCount(header);
    RECT client{};
    GetClientRect(header, &client);
    int right = 0;
    for (int i = 0; i < count; ++i) {
        RECT rc{};
        Header_GetItemRect(header, i, &rc);
        if (rc.right > right) right = rc.right;
    }
    if (right < client.right) {
        RECT rest{right, client.top, client.right, client.bottom};
        DrawHeaderPiece(dc, &g_listView.headerNormal, rest);
    }
}

void InfoTip(NMLVGETINFOTIPW* tip) {
    const ListRowRecord* record = ListGetRowRecord(tip->hdr.hwndFrom, tip->iItem);
    if (!record || !record->data || !tip->pszText || tip->cchTextMax <= 0) return;
    const DeviceRowData* d = record->data;
    const std::wstring format = IniText(g_app.iniPath, L"TIP", L"LIST", kTipFormatChars - 1);
    const std::wstring mac = MacText(d->macAddress);
    const std::wstring& flag = d->autoConnect ? g_listView.enableText : g_listView.disableText;
    SafeFormat(tip->pszText, static_cast<size_t>(tip->cchTextMax), format.c_str(),
               {d->hostName, d->addressText, mac.c_str(), d->modelName, flag.c_str()});
}

void SelectAllRows(HWND list) {
    ListView_SetItemState(list, -1, LVIS_SELECTED, LVIS_SELECTED);
}

void OpenRowMenu(HWND list, POINT screen) {
    if (g_listView.rowMenu) g_listView.rowMenu(list, screen);
}

}  // namespace

void MarkSortColumn(HWND list) {
    HWND header = ListView_GetHeader(list);
    const int count = Header_GetItemCount(header);
    for (int i = 0; i < count; ++i) {
        HDITEMW item{};
        item.mask = HDI_FORMAT;
        Header_GetItem(header, i, &item);
        item.fmt &= ~(HDF_SORTUP | HDF_SORTDOWN);
        if (VisualStylesActive() && i == static_cast<int>(g_listView.sort.column)) {
            item.fmt |= g_listView.sort.order == kSortDescending ? HDF_SORTDOWN : HDF_SORTUP;
        }
        Header_SetItem(header, i, &item);
    }
    InvalidateRect(header, nullptr, TRUE);
}

LRESULT OnHeaderCustomDraw(NMCUSTOMDRAW* draw) {
    if (VisualStylesActive()) return CDRF_DODEFAULT;
    switch (draw->dwDrawStage) {
        case CDDS_PREPAINT:
            return CDRF_NOTIFYITEMDRAW | CDRF_NOTIFYPOSTPAINT;
        case CDDS_ITEMPREPAINT:
            PaintHeaderItem(draw);
            return CDRF_SKIPDEFAULT;
        case CDDS_POSTPAINT:
            PaintHeaderRest(draw->hdr.hwndFrom, draw->hdc);
            return CDRF_DODEFAULT;
        default:
            return CDRF_DODEFAULT;
    }
}

LRESULT CALLBACK ListHeaderSubclassProc(HWND header, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_NCHITTEST: {
            POINT client{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
            ScreenToClient(header, &client);
            if (OnPinnedDivider(header, client)) {
                PostMessageW(header, UM_HEADER_ARROW, 0, 0);
                return HTNOWHERE;
            }
            break;
        }
        case UM_HEADER_ARROW:
            SetCursor(LoadCursorW(nullptr, IDC_ARROW));
            return 0;
        case WM_SETCURSOR: {
            POINT client{};
            GetCursorPos(&client);
            ScreenToClient(header, &client);
            if (OnPinnedDivider(header, client)) {
                SetCursor(LoadCursorW(nullptr, IDC_ARROW));
                return TRUE;
            }
            break;
        }
        case WM_CONTEXTMENU: {
            POINT screen{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
            ShowColumnMenu(GetParent(header), screen);
            return 0;
        }
        default:
            break;
    }
    return CallWindowProcW(g_listView.headerProc, header, message, wParam, lParam);
}

void ShowColumnMenu(HWND list, POINT screen) {
    static const wchar_t* const kKeys[kListColumns] = {L"CULUM00", L"CULUM01", L"CULUM02", L"CULUM03",
                                                       L"CULUM04", L"CULUM05", L"CULUM06", L"CULUM07"};
    MenuItemRecord records[kListColumns + 3]{};
    for (int i = 0; i < kListColumns; ++i) {
        UINT state = 0;
        if (i < kFixedColumns) state = MFS_CHECKED | MFS_DISABLED;
        else if (g_settings.columns[i].shown) state = MFS_CHECKED;
        records[i] = {kMenuIniText, MFT_STRING, state, kColumnMenuFirst + i, kMenuNoIcon, 0, kKeys[i], nullptr};
    }
    records[kListColumns] = {0, MFT_SEPARATOR, 0, 0, kMenuNoIcon, 0, nullptr, nullptr};
    records[kListColumns + 1] = {kMenuIniText, MFT_STRING, 0, kColumnMenuMore, kMenuNoIcon, 0, L"CULUM08", nullptr};
    records[kListColumns + 2] = {kMenuTableEnd, 0, 0, 0, 0, 0, nullptr, nullptr};
    HMENU menu = CreatePopupMenu();
    BuildMenu(menu, records);
    HWND dialog = GetParent(list);
    g_listView.skipContextMenu = true;
    TrackPopupMenu(menu, TPM_LEFTALIGN | TPM_RIGHTBUTTON, screen.x, screen.y, 0, dialog, nullptr);
    FreeMenuItems(menu);
    DestroyMenu(menu);
}

BOOL OnListColumnCommand(HWND dialog, UINT command) {
    HWND list = g_listView.list;
    if (command >= kColumnMenuFirst && command < kColumnMenuFirst + kListColumns) {
        const uint32_t id = command - kColumnMenuFirst;
        if (id < kFixedColumns) return TRUE;
        ListColumnRow& row = g_settings.columns[id];
        row.shown = row.shown ? 0 : 1;
        if (row.shown) {
            ShowListColumn(list, id);
        } else {
            HideListColumn(list, id);
        }
        ListSaveColumnWidths(list);
        RenumberColumnOrders(g_settings.columns);
        SaveWindowState(&g_settings);
        InvalidateRect(list, nullptr, TRUE);
        return TRUE;
    }
    if (command == kColumnMenuMore) {
        ShowOptionsAroundList(dialog, 2);
        return TRUE;
    }
    return FALSE;
}

INT_PTR ShowOptionsAroundList(HWND owner, int startPage) {
    HWND list = g_listView.list;
    if (list) ListSaveColumnWidths(list);
    const INT_PTR result = ShowOptionsDialog(owner, startPage);
    if (result > 0 && list) RebuildListColumns(list);
    return result;
}

bool FilterHeaderNotify(HWND list, NMHDR* header, LRESULT* result) {
    *result = TRUE;
    switch (header->code) {
        case HDN_BEGINTRACKW:
        case HDN_BEGINTRACKA:
        case HDN_DIVIDERDBLCLICKW:
        case HDN_DIVIDERDBLCLICKA:
            return reinterpret_cast<NMHEADERW*>(header)->iItem < kPinnedColumns;
        case HDN_BEGINDRAG:
            return reinterpret_cast<NMHEADERW*>(header)->iItem < kFixedColumns;
        case HDN_ENDDRAG: {
            const auto* drag = reinterpret_cast<NMHEADERW*>(header);
            const int at = drag->pitem ? drag->pitem->iOrder : -1;
            if (at >= 0 && at < kFixedColumns) return true;
            return at >= 0 && HeaderItemText(header->hwndFrom, at).empty();
        }
        case HDN_ITEMCHANGINGW:
        case HDN_ITEMCHANGINGA:
            if (g_app.osCode >= 6) InvalidateRect(list, nullptr, FALSE);
            return false;
        case HDN_ENDTRACKW:
        case HDN_ENDTRACKA:
            InvalidateRect(list, nullptr, TRUE);
            return false;
        case NM_CUSTOMDRAW:
            if (VisualStylesActive()) return false;
            *result = OnHeaderCustomDraw(reinterpret_cast<NMCUSTOMDRAW*>(header));
            return true;
        default:
            return false;
    }
}

LRESULT OnListNotify(HWND dialog, NMHDR* header, bool* handled) {
    *handled = true;
    switch (header->code) {
        case LVN_COLUMNCLICK:
            OnListColumnClick(header->hwndFrom, reinterpret_cast<NMLISTVIEW*>(header)->iSubItem);
            return 0;
        case LVN_GETINFOTIPW:
            InfoTip(reinterpret_cast<NMLVGETINFOTIPW*>(header));
            return 0;
        case LVN_KEYDOWN: {
            const auto* key = reinterpret_cast<NMLVKEYDOWN*>(header);
            if (key->wVKey == 'A' && GetKeyState(VK_CONTROL) < 0) {
                SelectAllRows(header->hwndFrom);
            } else if (key->wVKey == VK_APPS || (key->wVKey == VK_F10 && GetKeyState(VK_SHIFT) < 0)) {
                RECT rc{};
                GetWindowRect(header->hwndFrom, &rc);
                OpenRowMenu(header->hwndFrom, POINT{rc.left, rc.top});
            } else {
                PostMessageW(dialog, UM_UPDATE_COMMANDS, 0, 0);
            }
            return 0;
        }
        case NM_CLICK:
            SendMessageW(dialog, UM_UPDATE_COMMANDS, 0, 0);
            return 0;
        case NM_DBLCLK:
            if (g_listView.doubleClick) {
                if (ListRowRecord* record = ListGetSelectedItemData(header->hwndFrom)) g_listView.doubleClick(header->hwndFrom, record);
            }
            return 0;
        case NM_RCLICK: {
            const auto* click = reinterpret_cast<NMITEMACTIVATE*>(header);
            if (click->iItem >= 0) {
                SendMessageW(dialog, UM_UPDATE_COMMANDS, 0, 0);
                POINT screen{};
                GetCursorPos(&screen);
                OpenRowMenu(header->hwndFrom, screen);
            }
            return 0;
        }
        case LVN_DELETEITEM:
            FreeListRowRecord(reinterpret_cast<ListRowRecord*>(reinterpret_cast<NMLISTVIEW*>(header)->lParam));
            return 0;
        case LVN_ITEMCHANGED: {
            const auto* change = reinterpret_cast<NMLISTVIEW*>(header);
            if ((change->uChanged & LVIF_STATE) && ((change->uNewState ^ change->uOldState) & LVIS_SELECTED)) {
                PostMessageW(dialog, UM_UPDATE_COMMANDS, 0, 0);
            }
            return 0;
        }
        default:
            *handled = false;
            return 0;
    }
}
