#include "options_page.h"

#include <uxtheme.h>

#include "app.h"
#include "app_ids.h"
#include "dialog_layout.h"
#include "resource.h"

void InitOptionsPage(HWND page, const ThemeItemInfo* layout, int iconId) {
    if (IsRightToLeft()) MirrorDialogControls(page, layout);
    auto icon = static_cast<HICON>(LoadImageW(g_app.theme, MAKEINTRESOURCEW(iconId), IMAGE_ICON, 32, 32, 0));
    SendDlgItemMessageW(page, IDC_PAGE_ICON, STM_SETICON, reinterpret_cast<WPARAM>(icon), 0);
    HFONT font = reinterpret_cast<HFONT>(SendMessageW(GetParent(page), WM_GETFONT, 0, 0));
    ApplyDialogLayout(page, g_app.mainFont ? g_app.mainFont : font, layout, kLayoutMoveSize, g_app.iniPath);
    if (g_app.osCode >= 6) EnableThemeDialogTexture(page, ETDT_ENABLETAB);
}

BOOL HandleCommonPageMessage(HWND page, UINT message, bool valid) {
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
