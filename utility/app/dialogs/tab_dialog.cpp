#include "tab_dialog.h"

#include <uxtheme.h>

#include "app.h"
#include "app_ids.h"
#include "dialog_layout.h"
#include "ini_text.h"
#include "resource.h"

namespace {

RECT TabRect(const ThemeItemInfo* layout) {
    for (const ThemeItemInfo* row = layout; row->id != -1; ++row) {
        if (row->id == IDC_TAB) return {row->x, row->y, row->x + row->width, row->y + row->height};
    }
    return {};
}

void SaveTabDialog(HWND window, TabDialog* dialog, int command) {
    if (!ValidateTabPage(GetCurrentTabPage(window, IDC_TAB))) return;
    dialog->applied = true;
    if (dialog->apply) dialog->apply(GetDlgItem(window, IDC_TAB));
    if (GetFocus() == GetDlgItem(window, IDC_APPLY)) SetFocus(GetDlgItem(window, IDOK));
    EnableDlgItem(window, IDC_APPLY, FALSE);
    if (command == IDOK) EndDialog(window, 1);
}

}  // namespace

void InitTabDialog(HWND window, TabDialog* dialog, const TabDialogForm& form) {
    dialog->window = window;
    dialog->applied = false;
    dialog->pageCount = form.pageCount;
    dialog->apply = form.apply;
    if (IsRightToLeft()) MirrorDialogControls(window, form.layout);
    ApplyDialogLayout(window, g_app.mainFont, form.layout, kLayoutSizeOnly, g_app.iniPath);
    if (g_app.mainFont) SendMessageW(window, WM_SETFONT, reinterpret_cast<WPARAM>(g_app.mainFont), FALSE);
    const RECT rect = TabRect(form.layout);
    if (HWND tab = CreateTabPages(g_app.instance, window, form.pages, &rect, form.pageCount)) {
        for (int i = 0; i < form.pageCount; ++i) {
            SetTabText(tab, i, IniText(g_app.iniPath, L"TAB", form.pages[i].text, 127).c_str());
        }
        const int start = form.startPage >= 0 && form.startPage < form.pageCount ? form.startPage : 0;
        TabCtrl_SetCurSel(tab, start);
        ShowTabPage(tab, start, form.pageCount);
    }
    EnableDlgItem(window, IDC_APPLY, FALSE);
    CenterWindow(window, GetWindow(window, GW_OWNER));
}

INT_PTR HandleTabDialogMessage(HWND window, TabDialog* dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_NOTIFY: {
            const auto* notify = reinterpret_cast<const NMHDR*>(lParam);
            return notify->idFrom == IDC_TAB ? OnTabNotify(window, notify, dialog->pageCount) : FALSE;
        }
        case WM_COMMAND:
            switch (LOWORD(wParam)) {
                case IDOK:
                case IDC_APPLY:
                    SaveTabDialog(window, dialog, LOWORD(wParam));
                    return TRUE;
                case IDCANCEL:
                    EndDialog(window, dialog->applied ? 1 : 0);
                    return TRUE;
                default:
                    return FALSE;
            }
        case WM_CTLCOLORDLG:
            return reinterpret_cast<INT_PTR>(GetStockObject(BLACK_BRUSH));
        case WM_DESTROY:
            CloseTabDialog(window, dialog);
            return FALSE;
        default:
            return FALSE;
    }
}

void CloseTabDialog(HWND window, TabDialog* dialog) {
    if (HWND tab = GetDlgItem(window, IDC_TAB)) DestroyTabPages(tab, dialog->pageCount);
    dialog->window = nullptr;
}

void InitTabPage(HWND page, const ThemeItemInfo* layout, int iconId) {
    if (IsRightToLeft()) MirrorDialogControls(page, layout);
    auto icon = static_cast<HICON>(LoadImageW(g_app.theme, MAKEINTRESOURCEW(iconId), IMAGE_ICON, 32, 32, 0));
    SendDlgItemMessageW(page, IDC_PAGE_ICON, STM_SETICON, reinterpret_cast<WPARAM>(icon), 0);
    HFONT font = reinterpret_cast<HFONT>(SendMessageW(GetParent(page), WM_GETFONT, 0, 0));
    ApplyDialogLayout(page, g_app.mainFont ? g_app.mainFont : font, layout, kLayoutMoveSize, g_app.iniPath);
    if (g_app.osCode >= 6) EnableThemeDialogTexture(page, ETDT_ENABLETAB);
}

BOOL HandleTabPageMessage(HWND page, UINT message, bool valid) {
    switch (message) {
        case UM_PAGE_CHANGED:
            EnableDlgItem(GetParent(page), IDC_APPLY, TRUE);
            return TRUE;
        case UM_PAGE_VALIDATE:
            SetWindowLongPtrW(page, DWLP_MSGRESULT, valid ? 1 : 0);
            return TRUE;
        case WM_DESTROY: {
            auto icon = reinterpret_cast<HICON>(SendDlgItemMessageW(page, IDC_PAGE_ICON, STM_GETICON, 0, 0));
            if (icon) DestroyIcon(icon);
            return FALSE;
        }
        default:
            return FALSE;
    }
}
