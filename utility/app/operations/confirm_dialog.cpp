#include "confirm_dialog.h"

#include <algorithm>
#include <string>

#include "app.h"
#include "dialog_layout.h"
#include "ini_text.h"
#include "pnx_api.h"
#include "progress_dialog.h"
#include "user_settings.h"

namespace {

constexpr int IDC_CONFIRM_ICON = 1040;
constexpr int IDC_CONFIRM_TEXT = 1053;
constexpr int IDC_CONFIRM_CHECK = 1047;
constexpr int IDC_CONFIRM_HIDDEN_A = 1028;
constexpr int IDC_CONFIRM_HIDDEN_B = 1029;
constexpr int kTextX = 68, kTextY = 15, kTextWidth = 525, kTextHeight = 10;
constexpr int kCheckWidth = 370, kCheckHeight = 25;
constexpr int kButtonWidth = 88, kButtonHeight = 21, kOkX = 209, kCancelX = 303, kButtonY = 86;
constexpr int kDialogWidth = 605, kDialogHeight = 143;

struct ConfirmParameter {
    uint64_t handle;
    bool storage;
};

HWND g_confirm = nullptr;

std::wstring ConfirmText(const ConfirmParameter& p) {
    wchar_t text[4096] = {};
    if (p.storage) {
        LoadIniText(g_app.iniPath, L"ERROR", L"MESSAGE26", StorageShareName(p.handle).c_str(), text, sizeof text);
    } else {
        LoadIniText(g_app.iniPath, L"CONNECT", L"PERMIT", DeviceFavouriteName(p.handle).c_str(), text, sizeof text);
    }
    return text;
}

int WidestLine(HWND dialog, HFONT font, const std::wstring& text) {
    int widest = 0;
    size_t start = 0;
    while (start <= text.size()) {
        size_t end = text.find(L'\n', start);
        std::wstring line = text.substr(start, end == std::wstring::npos ? std::wstring::npos : end - start);
        if (!line.empty() && line.back() == L'\r') line.pop_back();
        widest = std::max(widest, MeasureText(dialog, font, line.c_str(), 0));
        if (end == std::wstring::npos) break;
        start = end + 1;
    }
    return widest;
}

void LayoutConfirm(HWND dialog, const std::wstring& text, const std::wstring& check) {
    HFONT font = g_app.defaultFont;
    RECT measure{0, 0, kTextWidth, kTextHeight};
    MeasureTextRect(dialog, font, text.c_str(), &measure);
    int textHeight = kTextHeight, checkY = 50, buttonY = kButtonY;
    int dialogHeight = kDialogHeight;
    if (measure.bottom - measure.top > kTextHeight) {
        textHeight = measure.bottom - measure.top;
        checkY = kTextY + textHeight + 10;
        buttonY = checkY + kCheckHeight + 8;
        dialogHeight = GetSystemMetrics(SM_CYCAPTION) + kButtonHeight + GetSystemMetrics(SM_CXFIXEDFRAME) + buttonY + 6;
    }
    int textWidth = kTextWidth, dialogWidth = kDialogWidth, okX = kOkX, cancelX = kCancelX;
    const int m = std::max(WidestLine(dialog, font, text), MeasureText(dialog, font, check.c_str(), 0) + 32);
    if (m + 10 < kTextWidth) {
        const int d = kTextWidth - m + 1;
        textWidth = m + 1;
        dialogWidth -= d;
        okX -= d / 2;
        cancelX -= d / 2;
    }
    SetWindowPos(dialog, nullptr, 0, 0, dialogWidth, dialogHeight, SWP_NOMOVE | SWP_NOZORDER);
    auto place = [&](int id, int x, int y, int w, int h) {
        HWND control = GetDlgItem(dialog, id);
        SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
        SetWindowPos(control, nullptr, x, y, w, h, SWP_NOZORDER);
    };
    place(IDC_CONFIRM_ICON, 12, 11, 32, 32);
    place(IDC_CONFIRM_TEXT, kTextX, kTextY, textWidth, textHeight);
    place(IDC_CONFIRM_CHECK, kTextX, checkY, kCheckWidth, kCheckHeight);
    place(IDOK, okX, buttonY, kButtonWidth, kButtonHeight);
    place(IDCANCEL, cancelX, buttonY, kButtonWidth, kButtonHeight);
    if (IsRightToLeft()) {
        SetWindowLongPtrW(dialog, GWL_EXSTYLE, GetWindowLongPtrW(dialog, GWL_EXSTYLE) | WS_EX_LAYOUTRTL);
    }
}

BOOL InitConfirm(HWND dialog, const ConfirmParameter& p) {
    g_confirm = dialog;
    SetWindowLongPtrW(dialog, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&p));
    const std::wstring text = ConfirmText(p);
    const std::wstring check = IniText(g_app.iniPath, L"CONNECT", L"MESSAGEOFF", 260);
    SetWindowTextW(dialog, IniText(g_app.iniPath, L"TITLE", L"MAIN", 64).c_str());
    SetDlgItemTextW(dialog, IDC_CONFIRM_TEXT, text.c_str());
    SetDlgItemTextW(dialog, IDC_CONFIRM_CHECK, check.c_str());
    SetDlgItemTextW(dialog, IDOK, IniText(g_app.iniPath, L"BUTTON", L"YES", 128).c_str());
    SetDlgItemTextW(dialog, IDCANCEL, IniText(g_app.iniPath, L"BUTTON", L"NO", 128).c_str());
    SendDlgItemMessageW(dialog, IDC_CONFIRM_ICON, STM_SETICON, reinterpret_cast<WPARAM>(LoadIconW(nullptr, IDI_WARNING)), 0);
    for (int id : {IDC_CONFIRM_HIDDEN_A, IDC_CONFIRM_HIDDEN_B}) {
        ShowWindow(GetDlgItem(dialog, id), SW_HIDE);
        EnableWindow(GetDlgItem(dialog, id), FALSE);
    }
    if (p.storage) {
        ShowWindow(GetDlgItem(dialog, IDC_CONFIRM_CHECK), SW_HIDE);
        EnableWindow(GetDlgItem(dialog, IDC_CONFIRM_CHECK), FALSE);
    }
    LayoutConfirm(dialog, text, check);
    SendMessageW(dialog, DM_SETDEFID, IDCANCEL, 0);
    CenterWindow(dialog, GetWindow(dialog, GW_OWNER));
    SetFocus(GetDlgItem(dialog, IDCANCEL));
    return FALSE;  // the focus was set
}

void EndConfirm(HWND dialog, int id) {
    const auto* p = reinterpret_cast<const ConfirmParameter*>(GetWindowLongPtrW(dialog, GWLP_USERDATA));
    if (p && !p->storage) {
        g_settings.permitMessage = IsDlgButtonChecked(dialog, IDC_CONFIRM_CHECK) == BST_CHECKED ? 0 : 1;
        SaveUserOptions(&g_settings);
    }
    EndDialog(dialog, id);
}

INT_PTR CALLBACK ConfirmDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_INITDIALOG:
            return InitConfirm(dialog, *reinterpret_cast<const ConfirmParameter*>(lParam));
        case WM_COMMAND:
            if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) EndConfirm(dialog, LOWORD(wParam));
            return TRUE;
        case WM_DESTROY:
            g_confirm = nullptr;
            return FALSE;
        default:
            return FALSE;
    }
}

}  // namespace

INT_PTR ShowConfirmDialog(HWND owner, uint64_t handle) {
    ConfirmParameter p{handle, g_pnx.PnxGetDeviceType &&
                                   g_pnx.PnxGetDeviceType(g_app.service, reinterpret_cast<HPnxDv>(static_cast<uintptr_t>(handle))) == 1};
    INT_PTR answer = DialogBoxParamW(g_app.instance, MAKEINTRESOURCEW(IDD_CONFIRM), owner, ConfirmDlgProc,
                                     reinterpret_cast<LPARAM>(&p));
    g_confirm = nullptr;
    return answer;
}

HWND GetConfirmDialogWindow() { return g_confirm; }
