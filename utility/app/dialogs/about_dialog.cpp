#include "about_dialog.h"

#include <cwchar>

#include "app.h"
#include "dialog_layout.h"
#include "pnx_api.h"
#include "theme_resources.h"

namespace {

constexpr int IDC_ABOUT_ICON = 1041;
constexpr int IDC_ABOUT_FIRST_TEXT = 1054;
constexpr int IDC_ABOUT_LAST_TEXT = 1057;
constexpr int kAboutWidth = 355;
constexpr int kAboutClientHeight = 166;

HWND g_about = nullptr;
HICON g_aboutIcon = nullptr;

void ReleaseAbout() {
    if (g_aboutIcon) DestroyIcon(g_aboutIcon);
    g_aboutIcon = nullptr;
}

BOOL InitAbout(HWND dialog) {
    g_about = dialog;
    if (IsRightToLeft()) {
        SetWindowLongPtrW(dialog, GWL_EXSTYLE, GetWindowLongPtrW(dialog, GWL_EXSTYLE) | WS_EX_LAYOUTRTL);
        for (int id = IDC_ABOUT_FIRST_TEXT; id <= IDC_ABOUT_LAST_TEXT; ++id) {
            HWND text = GetDlgItem(dialog, id);
            SetWindowLongPtrW(text, GWL_STYLE, (GetWindowLongPtrW(text, GWL_STYLE) & ~SS_TYPEMASK) | SS_RIGHT);
        }
    }
    SetWindowPos(dialog, nullptr, 0, 0, kAboutWidth, GetSystemMetrics(SM_CYCAPTION) + kAboutClientHeight,
                 SWP_NOMOVE | SWP_NOZORDER);
    for (int id = IDC_ABOUT_FIRST_TEXT; id <= IDC_ABOUT_LAST_TEXT; ++id) {
        SendDlgItemMessageW(dialog, id, WM_SETFONT, reinterpret_cast<WPARAM>(g_app.defaultFont), FALSE);
    }
    g_aboutIcon = static_cast<HICON>(LoadImageW(g_app.theme, MAKEINTRESOURCEW(theme::kIconAbout), IMAGE_ICON, 0, 0, 0));
    if (g_aboutIcon) SendDlgItemMessageW(dialog, IDC_ABOUT_ICON, STM_SETICON, reinterpret_cast<WPARAM>(g_aboutIcon), 0);
    SetWindowTextW(dialog, g_app.title);
    DriverVersionInfo version{};
    version.size = sizeof version;
    if (g_pnx.PnxGetZkuptpDriverVersion && g_pnx.PnxGetZkuptpDriverVersion(nullptr, &version)) {
        wchar_t current[256] = {}, text[320] = {};
        GetDlgItemTextW(dialog, IDC_ABOUT_FIRST_TEXT, current, 256);
        std::swprintf(text, 320, L"%ls (ZKUPTP Driver : %d.%d.%d.%d)", current, version.major, version.minor,
                      version.build, version.revision);
        SetDlgItemTextW(dialog, IDC_ABOUT_FIRST_TEXT, text);
    }
    CenterWindow(dialog, GetWindow(dialog, GW_OWNER));
    return TRUE;
}

INT_PTR CALLBACK AboutDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
        case WM_INITDIALOG:
            return InitAbout(dialog);
        case WM_CTLCOLORDLG:
        case WM_CTLCOLORSTATIC:
            return reinterpret_cast<INT_PTR>(GetStockObject(WHITE_BRUSH));
        case WM_COMMAND:
            if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) EndDialog(dialog, LOWORD(wParam));
            return TRUE;
        case WM_ENDSESSION:
            ReleaseAbout();
            return FALSE;
        case WM_DESTROY:
            ReleaseAbout();
            g_about = nullptr;
            return FALSE;
        default:
            return FALSE;
    }
}

}  // namespace

void ShowAboutDialog(HWND owner) {
    if (g_app.service) g_pnx.PnxSuspendService(g_app.service, 0);
    DialogBoxParamW(g_app.instance, MAKEINTRESOURCEW(IDD_ABOUT), owner, AboutDlgProc, 0);
    if (g_app.service) g_pnx.PnxResumeService(g_app.service, nullptr);
}

HWND GetAboutDialogWindow() { return g_about; }
