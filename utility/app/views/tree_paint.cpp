// The tree's painting and its notifications: every item is drawn after the control's own
// (invisible) painting, the background is erased around the items only, and an empty tree
// shows its message.
#include <windows.h>
#include <windowsx.h>
#include <commctrl.h>

#include "app.h"
#include "app_ids.h"
#include "dialog_layout.h"
#include "list_state.h"
#include "tree_state.h"

namespace {

constexpr COLORREF kSuffixColour = 0x0064FF;
constexpr COLORREF kStateColour = 0x4C4C4C;
constexpr int kEmptyTextTop = 37;
constexpr int kCollapseRepaint = 32;

bool Styled() { return VisualStylesActive(); }

void DrawServerItem(HDC dc, const TreeItemRecord& record, const RECT& text, UINT state, bool children,
                    bool expanded) {
    const TreeServerData& d = *record.serverData;
    TreeViewState& s = g_treeView;
    if (!Styled() && children) {
        ImageList_Draw(s.buttons, expanded ? 1 : 0, dc, text.left - 61, text.top + 11, ILD_TRANSPARENT);
    }
    if (s.serverImages) ImageList_Draw(s.serverImages, d.imageIndex, dc, text.left - 36, text.top + 2, ILD_TRANSPARENT);
    if (d.status & kServerGetStatus) ImageList_Draw(s.stateImages, 0, dc, text.left - 22, text.top + 17, ILD_TRANSPARENT);
    const std::wstring name = TreeServerName(d);
    RECT line{text.left, text.top, text.right + 400, text.bottom};
    HGDIOBJ old = SelectObject(dc, (state & CDIS_HOT) && s.serverHot ? s.serverHot : (s.bold ? s.bold : MainFont()));
    SetTextColor(dc, RGB(0, 0, 0));
    DrawTextW(dc, name.c_str(), -1, &line, DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX);
    SIZE size{};
    GetTextExtentPoint32W(dc, name.c_str(), static_cast<int>(name.size()), &size);
    const std::wstring suffix = ServerItemSuffix(d.status, s.overCurrent, s.networkError);
    if (!suffix.empty()) {
        SelectObject(dc, MainFont());
        SetTextColor(dc, kSuffixColour);
        line.left += size.cx;
        DrawTextW(dc, suffix.c_str(), -1, &line, DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX);
    }
    SelectObject(dc, old);
}

void DrawDeviceItem(HDC dc, const TreeItemRecord& record, const RECT& text, UINT state) {
    const TreeDeviceData& d = *record.deviceData;
    TreeViewState& s = g_treeView;
    ImageList_Draw(s.classImages, d.classRow < kClassRows ? static_cast<int>(d.classRow) : kClassRowOther, dc,
                   text.left - 36, text.top + 2, ILD_TRANSPARENT);
    HGDIOBJ old = SelectObject(dc, (state & CDIS_HOT) && s.deviceHot ? s.deviceHot : MainFont());
    SetTextColor(dc, RGB(0, 0, 0));
    RECT name{text.left, text.top + 3, text.right + 400, text.top + 19};
    DrawTextW(dc, d.displayName, -1, &name, DT_SINGLELINE | DT_NOPREFIX);
    ImageList_Draw(s.stateImages, d.stateRow < kStateRows ? static_cast<int>(d.stateRow) : 0, dc, text.left,
                   text.top + 18, ILD_TRANSPARENT);
    SelectObject(dc, MainFont());
    SetTextColor(dc, kStateColour);
    const std::wstring stateText = TreeStateText(record);
    RECT line{text.left + 20, text.top + 19, text.right + 400, text.top + 39};
    DrawTextW(dc, stateText.c_str(), -1, &line, DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX);
    SelectObject(dc, old);
}

void PaintTreeItem(const NMTVCUSTOMDRAW* draw) {
    HWND tree = draw->nmcd.hdr.hwndFrom;
    auto item = reinterpret_cast<HTREEITEM>(draw->nmcd.dwItemSpec);
    const TreeItemRecord* record = reinterpret_cast<const TreeItemRecord*>(draw->nmcd.lItemlParam);
    if (!record) return;
    HDC dc = draw->nmcd.hdc;
    RECT text{};
    if (!TreeView_GetItemRect(tree, item, &text, TRUE)) return;
    RECT row = draw->nmcd.rc;
    if (!Styled()) FillRect(dc, &row, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    const bool focused = GetFocus() == tree;
    const bool selected = (TreeView_GetItemState(tree, item, TVIS_SELECTED) & TVIS_SELECTED) != 0;
    const bool showAlways = (GetWindowLongW(tree, GWL_STYLE) & TVS_SHOWSELALWAYS) != 0;
    if (selected && (focused || showAlways)) {
        DrawSelectionBar(dc, focused ? &g_treeView.selFocus : &g_treeView.sel, text.left - 40, row.right, row.top,
                         row.bottom - row.top);
    } else {
        RECT white{text.left - 40, row.top, row.right, row.bottom};
        FillRect(dc, &white, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    }
    if ((draw->nmcd.uItemState & CDIS_FOCUS) && focused && g_treeView.focusCues) {
        RECT focus{text.left - 39, row.top + 1, text.right - 1, row.bottom - 1};
        DrawFocusRect(dc, &focus);
    }
    SetBkMode(dc, TRANSPARENT);
    if (record->serverData) {
        const UINT state = TreeView_GetItemState(tree, item, TVIS_EXPANDED);
        DrawServerItem(dc, *record, text, draw->nmcd.uItemState, TreeView_GetChild(tree, item) != nullptr,
                       (state & TVIS_EXPANDED) != 0);
    } else if (record->deviceData) {
        DrawDeviceItem(dc, *record, text, draw->nmcd.uItemState);
    }
}

// Leaves the item rows alone and fills the rest of the client area white.
void EraseAroundItems(HWND tree, HDC dc) {
    RECT client{};
    GetClientRect(tree, &client);
    HRGN rest = CreateRectRgnIndirect(&client);
    for (HTREEITEM item = TreeView_GetFirstVisible(tree); item; item = TreeView_GetNextVisible(tree, item)) {
        RECT rc{};
        if (!TreeView_GetItemRect(tree, item, &rc, FALSE)) break;
        if (rc.top > client.bottom) break;
        rc.left = client.left;
        HRGN row = CreateRectRgnIndirect(&rc);
        CombineRgn(rest, rest, row, RGN_DIFF);
        DeleteObject(row);
    }
    FillRgn(dc, rest, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    DeleteObject(rest);
}

bool OnItemIcon(HWND tree, TVHITTESTINFO* hit) {
    POINT cursor{};
    GetCursorPos(&cursor);
    hit->pt = cursor;
    ScreenToClient(tree, &hit->pt);
    TreeView_HitTest(tree, hit);
    return hit->hItem && (hit->flags & (TVHT_ONITEMICON | TVHT_ONITEMLABEL | TVHT_ONITEMSTATEICON | TVHT_ONITEMINDENT));
}

void OpenItemMenu(HWND tree, HTREEITEM item, POINT screen) {
    if (g_treeView.menu && item) g_treeView.menu(tree, item, screen);
}

}  // namespace

LRESULT OnTreeCustomDraw(NMTVCUSTOMDRAW* draw) {
    switch (draw->nmcd.dwDrawStage) {
        case CDDS_PREPAINT:
            return CDRF_NOTIFYITEMDRAW;
        case CDDS_ITEMPREPAINT: {
            draw->clrText = RGB(255, 255, 255);
            draw->clrTextBk = RGB(255, 255, 255);
            const auto* record = reinterpret_cast<const TreeItemRecord*>(draw->nmcd.lItemlParam);
            if (record && record->serverData && g_treeView.bold) {
                SelectObject(draw->nmcd.hdc, g_treeView.bold);
                return CDRF_NEWFONT | CDRF_NOTIFYPOSTPAINT;
            }
            return CDRF_NOTIFYPOSTPAINT;
        }
        case CDDS_ITEMPOSTPAINT:
            PaintTreeItem(draw);
            return CDRF_DODEFAULT;
        default:
            return CDRF_DODEFAULT;
    }
}

LRESULT CALLBACK TreeSubclassProc(HWND tree, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == kTreeTextsMessage) {
        TreeRewriteSomeTexts(tree);
        return 0;
    }
    if (message == WM_ERASEBKGND) {
        if (Styled()) return 1;
        EraseAroundItems(tree, reinterpret_cast<HDC>(wParam));
        return 1;
    }
    if (message == WM_PAINT && TreeView_GetCount(tree) == 0) {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(tree, &ps);
        PaintEmptyMessage(tree, dc, MainFont(), g_treeView.serverNotFound, IDI_ERROR, kEmptyTextTop);
        EndPaint(tree, &ps);
        return 0;
    }
    return CallWindowProcW(g_treeView.treeProc, tree, message, wParam, lParam);
}

LRESULT OnTreeNotify(HWND dialog, NMHDR* header, bool* handled) {
    HWND tree = header->hwndFrom;
    *handled = true;
    switch (header->code) {
        case TVN_DELETEITEMW: {
            const auto* info = reinterpret_cast<NMTREEVIEWW*>(header);
            FreeTreeItemRecord(reinterpret_cast<TreeItemRecord*>(info->itemOld.lParam));
            return 0;
        }
        case TVN_ITEMEXPANDEDW: {
            const auto* info = reinterpret_cast<NMTREEVIEWW*>(header);
            if (Styled()) {
                InvalidateRect(tree, nullptr, FALSE);
            } else if (info->action & TVE_EXPAND) {
                InvalidateRect(tree, nullptr, TRUE);
            } else {
                RECT rc{};
                GetClientRect(tree, &rc);
                rc.top = rc.bottom - kCollapseRepaint;
                InvalidateRect(tree, &rc, TRUE);
            }
            return 0;
        }
        case TVN_SELCHANGEDW:
            PostMessageW(dialog, UM_UPDATE_COMMANDS, 0, 0);
            return 0;
        case TVN_KEYDOWN: {
            const auto* key = reinterpret_cast<NMTVKEYDOWN*>(header);
            if (key->wVKey == VK_APPS || (key->wVKey == VK_F10 && GetKeyState(VK_SHIFT) < 0)) {
                RECT rc{};
                GetWindowRect(tree, &rc);
                OpenItemMenu(tree, TreeView_GetSelection(tree), POINT{rc.left, rc.top});
            } else {
                PostMessageW(dialog, UM_UPDATE_COMMANDS, 0, 0);
            }
            return 0;
        }
        case NM_RCLICK: {
            TVHITTESTINFO hit{};
            if (OnItemIcon(tree, &hit)) {
                TreeView_SelectItem(tree, hit.hItem);
                SendMessageW(dialog, UM_UPDATE_COMMANDS, 0, 0);
                POINT cursor{};
                GetCursorPos(&cursor);
                OpenItemMenu(tree, hit.hItem, cursor);
            }
            return 1;
        }
        case NM_DBLCLK: {
            TVHITTESTINFO hit{};
            if (OnItemIcon(tree, &hit) && TreeView_GetParent(tree, hit.hItem) && g_treeView.doubleClick) {
                g_treeView.doubleClick(tree, TreeGetItemData(tree, hit.hItem));
            }
            return 0;
        }
        case NM_CUSTOMDRAW:
            return OnTreeCustomDraw(reinterpret_cast<NMTVCUSTOMDRAW*>(header));
        default:
            *handled = false;
            return 0;
    }
}
