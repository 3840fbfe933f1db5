// The device list's row painting and its empty-list message.
#include <windows.h>
#include <commctrl.h>

#include "app.h"
#include "app_ids.h"
#include "dialog_layout.h"
#include "list_state.h"
#include "view_batch.h"
#include "../../../client/server_entry.h"
#include "pnx_api.h"
#include "view_paint.h"

namespace {

constexpr COLORREF kSeparatorColour = RGB(0xCC, 0xCC, 0xCC);
constexpr COLORREF kSecondLineColour = 0x4C4C4C;
constexpr int kEmptyTextTop = 60;
constexpr int kOsCodeVista = 6;
constexpr int kCellPadding = 6;

int MeasureWidth(HDC dc, const std::wstring& text) {
    SIZE size{};
    GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &size);
    return size.cx;
}

// Draws `text` with "&" shown as itself, shortened with "..." to the rectangle's width.
void DrawCellText(HDC dc, std::wstring text, RECT rc, UINT format) {
    text = EscapeAmpersands(text, 1);
    EllipsizeText(text, rc.right - rc.left - 3, 0, [dc](const std::wstring& t) {
        return MeasureWidth(dc, EscapeAmpersands(t, 0));
    });
    DrawTextW(dc, text.c_str(), -1, &rc, format | DT_SINGLELINE);
}

void DrawTile(HDC dc, const ListRowRecord* record, const RECT& row, int column2Right) {
    const DeviceRowData* d = record->data;
    ListViewState& s = g_listView;
    ImageList_Draw(s.classImages, d->classRow < kClassRows ? static_cast<int>(d->classRow) : kClassRowOther, dc,
                   row.left + 15, row.top + 5, ILD_TRANSPARENT);
    RECT line{row.left + 72, row.top + 4, g_app.osCode >= kOsCodeVista ? row.right : column2Right, row.top + 24};
    HGDIOBJ old = SelectObject(dc, s.rowFont ? s.rowFont : MainFont());
    SetTextColor(dc, RGB(0, 0, 0));
    DrawCellText(dc, d->displayName, line, DT_LEFT | DT_VCENTER);
    SelectObject(dc, MainFont());
    SetTextColor(dc, kSecondLineColour);
    line.top += 18;
    line.bottom += 18;
    line.right = column2Right;
    DrawCellText(dc, s.classText[d->classRow < kClassRows ? d->classRow : kClassRowOther], line, DT_LEFT | DT_VCENTER);
    line.top += 16;
    line.bottom += 16;
    line.left += 20;
    ImageList_Draw(s.stateImages, d->stateRow < kStateRows ? static_cast<int>(d->stateRow) : 0, dc, line.left - 20,
                   line.top + 2, ILD_TRANSPARENT);
    DrawCellText(dc, RowStateText(record, true), line, DT_LEFT | DT_VCENTER);
    SelectObject(dc, old);
}

void DrawOptionalCells(HDC dc, HWND list, const ListRowRecord* record, const RECT& row) {
    HWND header = ListView_GetHeader(list);
    const int count = Header_GetItemCount(header);
    HGDIOBJ old = SelectObject(dc, MainFont());
    SetTextColor(dc, RGB(0, 0, 0));
    for (int c = kFixedColumns; c < count; ++c) {
        RECT cell{};
        Header_GetItemRect(header, c, &cell);
        HDITEMW item{};
        item.mask = HDI_FORMAT;
        Header_GetItem(header, c, &item);
        UINT align = DT_LEFT;
        if ((item.fmt & HDF_JUSTIFYMASK) == HDF_RIGHT) align = DT_RIGHT;
        if ((item.fmt & HDF_JUSTIFYMASK) == HDF_CENTER) align = DT_CENTER;
        RECT rc{row.left + cell.left + kCellPadding, row.top, row.left + cell.right, row.bottom};
        DrawCellText(dc, ListCellText(record, HeaderColumnId(list, c)), rc, align | DT_VCENTER);
    }
    SelectObject(dc, old);
}

}  // namespace

BOOL DrawListItem(const DRAWITEMSTRUCT* draw) {
    const auto* record = reinterpret_cast<const ListRowRecord*>(draw->itemData);
    if (!record || !record->data) return TRUE;
    HWND list = draw->hwndItem;
    const RECT& target = draw->rcItem;
    const int w = target.right - target.left, h = target.bottom - target.top;
    HDC mem = CreateCompatibleDC(draw->hDC);
    HBITMAP bitmap = CreateCompatibleBitmap(draw->hDC, w, h);
    HGDIOBJ oldBitmap = SelectObject(mem, bitmap);
    if (IsRightToLeft()) SetLayout(mem, LAYOUT_RTL);
    // Row-local coordinates: the row's left may be negative when scrolled.
    const RECT row{target.left, 0, target.left + w, h};
    SetViewportOrgEx(mem, -target.left, 0, nullptr);
    FillRect(mem, &row, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    const bool focused = GetFocus() == list;
    if (draw->itemState & ODS_SELECTED) {
        DrawSelectionBar(mem, focused ? &g_listView.selFocus : &g_listView.sel, row.left + 6, row.right, row.top, h);
    }
    for (int x = row.left + 6; x < row.right; x += 3) SetPixel(mem, x, row.bottom - 2, kSeparatorColour);
    if ((draw->itemState & ODS_FOCUS) && focused && g_listView.focusCues) {
        RECT focus{row.left + 7, row.top + 1, row.right - 1, row.bottom - 4};
        DrawFocusRect(mem, &focus);
    }
    SetBkMode(mem, TRANSPARENT);
    RECT column2{};
    Header_GetItemRect(ListView_GetHeader(list), 2, &column2);
    DrawTile(mem, record, row, row.left + column2.right);
    DrawOptionalCells(mem, list, record, row);
    SetViewportOrgEx(mem, 0, 0, nullptr);
    BitBlt(draw->hDC, target.left, target.top, w, h, mem, 0, 0, SRCCOPY);
    SelectObject(mem, oldBitmap);
    DeleteObject(bitmap);
    DeleteDC(mem);
    return TRUE;
}

namespace {

// Any server whose status lacks the network-error bit: the list then says that no device
// is plugged in, not that no server was found.
bool AnyServerReachable() {
    if (!g_app.service || !g_pnx.module) return false;
    for (int index = 0;; ++index) {
        HPnxSv server = nullptr;
        if (g_pnx.PnxEnumServers(g_app.service, index, &server) != 1 || !server) return false;
        ServerInfo info{};
        if (g_pnx.PnxGetServerInfo(g_app.service, server, &info) == 1 && !(info.statusWord & 0x0004)) return true;
    }
}

}  // namespace

LRESULT CALLBACK ListSubclassProc(HWND list, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == kListResortMessage) {
        FlushViews(list);
        return 0;
    }
    if (message == kListCommandsMessage) {
        HWND dialog = g_listView.commandsPending;
        g_listView.commandsPending = nullptr;
        if (dialog) SendMessageW(dialog, UM_UPDATE_COMMANDS, 0, 0);
        return 0;
    }
    if (message == WM_PAINT && ListView_GetItemCount(list) == 0) {
        // The header paints itself; the message goes below it.
        CallWindowProcW(g_listView.listProc, list, message, wParam, lParam);
        HDC dc = GetDC(list);
        const bool reachable = AnyServerReachable();
        PaintEmptyMessage(list, dc, MainFont(), reachable ? g_listView.deviceNotFound : g_listView.serverNotFound,
                          reachable ? IDI_WARNING : IDI_ERROR, kEmptyTextTop);
        ReleaseDC(list, dc);
        if (HWND header = ListView_GetHeader(list)) RedrawWindow(header, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
        return 0;
    }
    if (message == WM_NOTIFY) {
        auto* header = reinterpret_cast<NMHDR*>(lParam);
        LRESULT result = 0;
        if (header && header->hwndFrom == ListView_GetHeader(list) && FilterHeaderNotify(list, header, &result)) return result;
    }
    if (message == WM_CONTEXTMENU && g_listView.skipContextMenu) {
        g_listView.skipContextMenu = false;
        return 0;
    }
    if (message == WM_HSCROLL || message == WM_SIZE) {
        LRESULT result = CallWindowProcW(g_listView.listProc, list, message, wParam, lParam);
        InvalidateEmptyList(list);
        return result;
    }
    return CallWindowProcW(g_listView.listProc, list, message, wParam, lParam);
}
