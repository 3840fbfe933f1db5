// The options dialog (1003): a tab container with the general, broadcast-address and column
// pages; OK and Apply write the settings, the Startup shortcut and the library's lists.
#include <winsock2.h>
#include <windows.h>
#include <commctrl.h>

#include <cstdio>
#include <cstring>
#include <cwchar>

#include "app.h"
#include "app_ids.h"
#include "dialog_layout.h"
#include "ini_font.h"
#include "ini_text.h"
#include "message_box.h"
#include "options_display.h"
#include "pnx_api.h"
#include "resource.h"
#include "system_util.h"
#include "tab_dialog.h"
#include "theme_resources.h"
#include "user_settings.h"

namespace {

constexpr int kPageCount = 3;
constexpr int kMaxBroadcastList = 16;

struct OptionsState {
    TabDialog dialog;
    ListColumnRow* callerCopy = nullptr;
    HFONT addressFont = nullptr;
};
OptionsState g_options;

struct OptionsParameter {
    int startPage;
    ListColumnRow* columns;
};

const ThemeItemInfo kContainerLayout[] = {
    {IDD_OPTIONS, L"TITLE", L"OPTION", 0, 0, 393, 400},
    {IDOK, L"BUTTON", L"OK", 105, 348, 88, 21},
    {IDCANCEL, L"BUTTON", L"CANCEL", 199, 348, 88, 21},
    {IDC_APPLY, L"BUTTON", L"APPLY", 293, 348, 88, 21},
    {IDC_TAB, L"TAB", nullptr, 7, 6, 375, 336},
    {-1, nullptr, nullptr, 0, 0, 0, 0},
};

const ThemeItemInfo kGeneralLayout[] = {
    {IDD_OPTION_GENERAL, L"TAB", L"TAB00", 0, 0, 350, 250},
    {IDC_PAGE_ICON, nullptr, nullptr, 14, 16, 32, 32},
    {IDC_PAGE_TEXT, L"OPTION", L"DEFAULT_00", 60, 16, 285, 40},
    {IDC_GROUP, L"GROUP", L"BASE", 13, 66, 339, 161},
    {IDC_OPT_STARTUP, L"OPTION", L"STARTUP", 30, 83, 315, 26},
    {IDC_OPT_MINI, L"OPTION", L"MINI", 30, 110, 315, 26},
    {IDC_OPT_ERROR, L"OPTION", L"ERROR", 30, 137, 315, 26},
    {IDC_OPT_MESSAGEOFF, L"OPTION", L"MESSAGEOFF", 30, 164, 315, 26},
    {IDC_OPT_AUTOCONNECT, L"OPTION", L"AUTO_CONNECT", 30, 191, 315, 26},
    {IDC_GROUP_TIMER, L"GROUP", L"TIMER", 13, 236, 339, 52},
    {IDC_TIMER_LABEL, L"OPTION", L"TIMER", 30, 254, 200, 22},
    {IDC_TIMER_FIELD, L"OPTION", nullptr, 248, 254, 50, 22},
    {IDC_TIMER_UPDOWN, nullptr, nullptr, 296, 254, 16, 22},
    {IDC_RANGE_LABEL, L"OPTION", L"RANGE", 320, 254, 30, 22},
    {-1, nullptr, nullptr, 0, 0, 0, 0},
};

const ThemeItemInfo kBroadcastLayout[] = {
    {IDD_OPTION_BROADCAST, L"TAB", L"TAB01", 0, 0, 350, 250},
    {IDC_PAGE_ICON, nullptr, nullptr, 14, 16, 32, 32},
    {IDC_PAGE_TEXT, L"OPTION", L"BROADCAST_00", 60, 16, 285, 40},
    {IDC_GROUP, L"GROUP", nullptr, 13, 66, 339, 180},
    {IDC_OPT_BROADCAST, L"OPTION", L"BROADCAST", 22, 60, 190, 26},
    {IDC_ADDRESS, nullptr, nullptr, 38, 90, 170, 21},
    {IDC_ADDRESS_LIST, L"OPTION", nullptr, 38, 120, 170, 112},
    {IDC_ADD, L"BUTTON", L"ADD", 230, 90, 94, 21},
    {IDC_DELETE, L"BUTTON", L"DELETE", 230, 120, 94, 21},
    {-1, nullptr, nullptr, 0, 0, 0, 0},
};

int Warn(HWND page, const wchar_t* textKey, const wchar_t* titleKey) {
    return IniMessageBox(g_app.instance, page, g_app.iniPath, L"ERROR", textKey, titleKey, MB_ICONEXCLAMATION,
                         nullptr);
}

void PageChanged(HWND page) { SendMessageW(page, UM_PAGE_CHANGED, 0, 0); }

RECT ChildRect(HWND page, HWND control) {
    RECT rc{};
    GetWindowRect(control, &rc);
    MapWindowPoints(nullptr, page, reinterpret_cast<POINT*>(&rc), 2);
    return rc;
}

void MoveChild(HWND control, const RECT& rc) {
    SetWindowPos(control, nullptr, rc.left, rc.top, rc.right - rc.left, rc.bottom - rc.top,
                 SWP_NOZORDER | SWP_NOACTIVATE);
}

// ---- General page

// The unit label grows to its text, pushing the seconds field, its arrows and the end of the
// interval label leftwards; an interval label that wraps higher than its row moves up.
void LayoutGeneralPage(HWND page) {
    HFONT font = g_app.mainFont;
    HWND range = GetDlgItem(page, IDC_RANGE_LABEL);
    RECT rangeRect = ChildRect(page, range);
    const int grow = MeasureText(range, font, IniText(g_app.iniPath, L"OPTION", L"RANGE").c_str(), 0) -
                     (rangeRect.right - rangeRect.left);
    HWND label = GetDlgItem(page, IDC_TIMER_LABEL);
    RECT labelRect = ChildRect(page, label);
    if (grow > 0) {
        rangeRect.left -= grow;
        MoveChild(range, rangeRect);
        for (int id : {IDC_TIMER_FIELD, IDC_TIMER_UPDOWN}) {
            HWND control = GetDlgItem(page, id);
            RECT rc = ChildRect(page, control);
            OffsetRect(&rc, -grow, 0);
            MoveChild(control, rc);
        }
        labelRect.right -= grow;
        MoveChild(label, labelRect);
    }
    RECT wrapped{0, 0, labelRect.right - labelRect.left, 0};
    const int height = MeasureTextRect(label, font, IniText(g_app.iniPath, L"OPTION", L"TIMER").c_str(), &wrapped);
    const int rowHeight = labelRect.bottom - labelRect.top;
    if (height > rowHeight) {
        SetWindowLongPtrW(label, GWL_STYLE, GetWindowLongPtrW(label, GWL_STYLE) & ~static_cast<LONG_PTR>(SS_CENTERIMAGE));
        labelRect.top -= (height - rowHeight) / 2 + 3;
        labelRect.bottom = labelRect.top + height;
        MoveChild(label, labelRect);
    }
}

bool ValidateTimerField(HWND page) {
    BOOL ok = FALSE;
    int seconds = static_cast<int>(GetDlgItemInt(page, IDC_TIMER_FIELD, &ok, TRUE));
    if (ok && seconds >= static_cast<int>(kStatusTimerMinSeconds) && seconds <= static_cast<int>(kStatusTimerMaxSeconds)) {
        return true;
    }
    Warn(page, L"MESSAGE03", L"CONFIG");
    HWND field = GetDlgItem(page, IDC_TIMER_FIELD);
    SetFocus(field);
    SendMessageW(field, EM_SETSEL, 0, -1);
    return false;
}

INT_PTR CALLBACK GeneralPageProc(HWND page, UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
        case WM_INITDIALOG: {
            InitTabPage(page, kGeneralLayout, theme::kIconGeneralPage);
            LayoutGeneralPage(page);
            CheckDlgButton(page, IDC_OPT_STARTUP, g_settings.startup ? BST_CHECKED : BST_UNCHECKED);
            CheckDlgButton(page, IDC_OPT_MINI, g_settings.miniMode ? BST_CHECKED : BST_UNCHECKED);
            CheckDlgButton(page, IDC_OPT_ERROR, g_settings.errorNotice ? BST_CHECKED : BST_UNCHECKED);
            CheckDlgButton(page, IDC_OPT_MESSAGEOFF, g_settings.permitMessage ? BST_CHECKED : BST_UNCHECKED);
            CheckDlgButton(page, IDC_OPT_AUTOCONNECT, g_settings.autoStart ? BST_CHECKED : BST_UNCHECKED);
            HWND updown = GetDlgItem(page, IDC_TIMER_UPDOWN);
            SendMessageW(updown, UDM_SETBUDDY, reinterpret_cast<WPARAM>(GetDlgItem(page, IDC_TIMER_FIELD)), 0);
            SendMessageW(updown, UDM_SETRANGE32, kStatusTimerMinSeconds, kStatusTimerMaxSeconds);
            SendMessageW(updown, UDM_SETPOS32, 0, g_settings.statusTimer / 1000);
            SendDlgItemMessageW(page, IDC_TIMER_FIELD, EM_LIMITTEXT, 2, 0);
            return TRUE;
        }
        case WM_COMMAND:
            switch (LOWORD(wParam)) {
                case IDC_OPT_STARTUP:
                case IDC_OPT_MINI:
                case IDC_OPT_ERROR:
                case IDC_OPT_MESSAGEOFF:
                case IDC_OPT_AUTOCONNECT:
                    PageChanged(page);
                    break;
                case IDC_TIMER_FIELD:
                    if (HIWORD(wParam) == EN_CHANGE) PageChanged(page);
                    break;
                default:
                    break;
            }
            return TRUE;
        case UM_PAGE_VALIDATE:
            return HandleTabPageMessage(page, message, ValidateTimerField(page));
        default:
            return HandleTabPageMessage(page, message, true);
    }
}

// ---- Broadcast page

void EnableBroadcastButtons(HWND page) {
    const bool on = IsDlgButtonChecked(page, IDC_OPT_BROADCAST) == BST_CHECKED;
    const LRESULT count = SendDlgItemMessageW(page, IDC_ADDRESS_LIST, LB_GETCOUNT, 0, 0);
    EnableDlgItem(page, IDC_ADD, on);
    EnableDlgItem(page, IDC_ADDRESS, on);
    EnableDlgItem(page, IDC_ADDRESS_LIST, on);
    EnableDlgItem(page, IDC_DELETE, on && count > 0);
}

void FocusAddress(HWND page) { SetFocus(GetDlgItem(page, IDC_ADDRESS)); }

void AddBroadcastAddress(HWND page) {
    HWND control = GetDlgItem(page, IDC_ADDRESS);
    DWORD address = 0;
    const LRESULT filled = SendMessageW(control, IPM_GETADDRESS, 0, reinterpret_cast<LPARAM>(&address));
    if (filled != 4 || address == 0) {
        Warn(page, L"MESSAGE05", L"TITLE");
        FocusAddress(page);
        return;
    }
    if (address == 0xFFFFFFFFu) {
        Warn(page, L"MESSAGE06", L"TITLE");
        FocusAddress(page);
        return;
    }
    wchar_t text[20];
    std::swprintf(text, 20, L"%d.%d.%d.%d", FIRST_IPADDRESS(address), SECOND_IPADDRESS(address),
                  THIRD_IPADDRESS(address), FOURTH_IPADDRESS(address));
    HWND list = GetDlgItem(page, IDC_ADDRESS_LIST);
    const LRESULT count = SendMessageW(list, LB_GETCOUNT, 0, 0);
    if (count >= kMaxBroadcastList) {
        Warn(page, L"MESSAGE04", L"TITLE");
        FocusAddress(page);
        return;
    }
    if (SendMessageW(list, LB_FINDSTRINGEXACT, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(text)) != LB_ERR) {
        Warn(page, L"MESSAGE07", L"TITLE");
        FocusAddress(page);
        return;
    }
    const bool noneSelected = SendMessageW(list, LB_GETCURSEL, 0, 0) == LB_ERR;
    LRESULT index = SendMessageW(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text));
    if (noneSelected) EnableDlgItem(page, IDC_DELETE, TRUE);
    SendMessageW(list, LB_SETCURSEL, index, 0);
    PageChanged(page);
}

void DeleteBroadcastAddress(HWND page) {
    HWND list = GetDlgItem(page, IDC_ADDRESS_LIST);
    LRESULT selected = SendMessageW(list, LB_GETCURSEL, 0, 0);
    if (selected == LB_ERR) return;
    SendMessageW(list, LB_DELETESTRING, selected, 0);
    const LRESULT count = SendMessageW(list, LB_GETCOUNT, 0, 0);
    if (count > 0) {
        SendMessageW(list, LB_SETCURSEL, selected < count ? selected : count - 1, 0);
    } else {
        HWND remove = GetDlgItem(page, IDC_DELETE);
        SetFocus(GetDlgItem(page, IDC_ADD));
        EnableWindow(remove, FALSE);
        SendMessageW(remove, BM_SETSTYLE, BS_PUSHBUTTON, TRUE);
    }
    PageChanged(page);
}

void ApplyBroadcastAddresses(HWND page) {
    HWND list = GetDlgItem(page, IDC_ADDRESS_LIST);
    const LRESULT count = SendMessageW(list, LB_GETCOUNT, 0, 0);
    uint32_t addresses[kMaxBroadcastList] = {};
    uint32_t n = 0;
    for (LRESULT i = 0; i < count && n < kMaxBroadcastList; ++i) {
        wchar_t text[32] = {};
        if (SendMessageW(list, LB_GETTEXTLEN, i, 0) >= 32) continue;
        SendMessageW(list, LB_GETTEXT, i, reinterpret_cast<LPARAM>(text));
        char narrow[32] = {};
        WideCharToMultiByte(CP_ACP, 0, text, -1, narrow, sizeof narrow - 1, nullptr, nullptr);
        const uint32_t network = inet_addr(narrow);
        const auto* b = reinterpret_cast<const unsigned char*>(&network);
        wchar_t hex[16];
        std::swprintf(hex, 16, L"%02x%02x%02x%02x", b[0], b[1], b[2], b[3]);
        addresses[n++] = ParseNumber(hex, 16);
    }
    if (g_app.service) g_pnx.PnxSetBroadcastAddr(g_app.service, addresses, n);
}

INT_PTR CALLBACK BroadcastPageProc(HWND page, UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
        case WM_INITDIALOG: {
            InitTabPage(page, kBroadcastLayout, theme::kIconBroadcastPage);
            // The explanation grows to its wrapped height; everything below moves with it.
            HWND text = GetDlgItem(page, IDC_PAGE_TEXT);
            RECT rc = ChildRect(page, text);
            std::wstring words = IniText(g_app.iniPath, L"OPTION", L"BROADCAST_00", 1023);
            int grown = FitWindowToTextHeight(text, g_app.mainFont, words.c_str(), &rc) - (rc.bottom - rc.top);
            if (grown > 0) {
                for (int id : {IDC_GROUP, IDC_OPT_BROADCAST, IDC_ADDRESS, IDC_ADDRESS_LIST, IDC_ADD, IDC_DELETE}) {
                    HWND control = GetDlgItem(page, id);
                    const RECT c = ChildRect(page, control);
                    SetWindowPos(control, nullptr, c.left, c.top + grown, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
                }
            }
            g_options.addressFont = CreateIniFont(L"IPADDR", g_app.iniPath);
            if (g_options.addressFont) {
                SendDlgItemMessageW(page, IDC_ADDRESS, WM_SETFONT, reinterpret_cast<WPARAM>(g_options.addressFont), TRUE);
            }
            uint32_t addresses[128] = {};
            uint32_t count = 0;
            if (g_app.service) g_pnx.PnxGetBroadcastAddr(g_app.service, addresses, sizeof addresses, &count);
            if (count > 128) count = 128;
            for (uint32_t i = 0; i < count; ++i) {
                wchar_t line[20];
                const uint32_t a = addresses[i];
                std::swprintf(line, 20, L"%d.%d.%d.%d", (a >> 24) & 0xFF, (a >> 16) & 0xFF, (a >> 8) & 0xFF, a & 0xFF);
                SendDlgItemMessageW(page, IDC_ADDRESS_LIST, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(line));
            }
            SendDlgItemMessageW(page, IDC_ADDRESS_LIST, LB_SETCURSEL, 0, 0);
            CheckDlgButton(page, IDC_OPT_BROADCAST, g_settings.broadcast ? BST_CHECKED : BST_UNCHECKED);
            std::wstring label = IniText(g_app.iniPath, L"OPTION", L"BROADCAST", 1023);
            FitWindowToText(GetDlgItem(page, IDC_OPT_BROADCAST), g_app.mainFont, label.c_str(), 12, 26);
            EnableBroadcastButtons(page);
            return TRUE;
        }
        case WM_COMMAND:
            switch (LOWORD(wParam)) {
                case IDC_ADD:
                    AddBroadcastAddress(page);
                    break;
                case IDC_DELETE:
                    DeleteBroadcastAddress(page);
                    break;
                case IDC_OPT_BROADCAST:
                    EnableBroadcastButtons(page);
                    PageChanged(page);
                    break;
                default:
                    break;
            }
            return TRUE;
        case WM_DESTROY:
            if (g_options.addressFont) DeleteObject(g_options.addressFont);
            g_options.addressFont = nullptr;
            return HandleTabPageMessage(page, message, true);
        default:
            return HandleTabPageMessage(page, message, true);
    }
}

// ---- Container

void ApplyOptions(HWND tab) {
    HWND general = GetTabPage(tab, 0);
    g_settings.startup = IsDlgButtonChecked(general, IDC_OPT_STARTUP) == BST_CHECKED;
    g_settings.miniMode = IsDlgButtonChecked(general, IDC_OPT_MINI) == BST_CHECKED;
    g_settings.errorNotice = IsDlgButtonChecked(general, IDC_OPT_ERROR) == BST_CHECKED;
    g_settings.permitMessage = IsDlgButtonChecked(general, IDC_OPT_MESSAGEOFF) == BST_CHECKED;
    g_settings.autoStart = IsDlgButtonChecked(general, IDC_OPT_AUTOCONNECT) == BST_CHECKED;
    BOOL ok = FALSE;
    const int seconds = static_cast<int>(GetDlgItemInt(general, IDC_TIMER_FIELD, &ok, TRUE));
    if (ok) g_settings.statusTimer = ClampStatusTimer(static_cast<uint32_t>(seconds) * 1000);
    HWND broadcast = GetTabPage(tab, 1);
    g_settings.broadcast = IsDlgButtonChecked(broadcast, IDC_OPT_BROADCAST) == BST_CHECKED;
    ApplyBroadcastAddresses(broadcast);
    ReadColumnSettings(GetTabPage(tab, 2), g_options.callerCopy);
    ApplyStartupShortcut(&g_settings, g_app.iniPath);
    SaveUserOptions(&g_settings);
    if (g_settings.startup) WriteShortcutPath(g_app.iniPath);
}

INT_PTR CALLBACK OptionsDlgProc(HWND container, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_INITDIALOG: {
            const auto* parameter = reinterpret_cast<const OptionsParameter*>(lParam);
            g_options.callerCopy = parameter->columns;
            const TabPageRow pages[kPageCount] = {
                {IDD_OPTION_GENERAL, L"TAB00", 0, GeneralPageProc},
                {IDD_OPTION_BROADCAST, L"TAB01", 0, BroadcastPageProc},
                {IDD_OPTION_DISPLAY, L"TAB02", reinterpret_cast<LPARAM>(parameter->columns), DisplayPageProc},
            };
            InitTabDialog(container, &g_options.dialog,
                          {kContainerLayout, pages, kPageCount, parameter->startPage, ApplyOptions});
            return TRUE;
        }
        case WM_ENDSESSION:
            CloseTabDialog(container, &g_options.dialog);
            return FALSE;
        default:
            return HandleTabDialogMessage(container, &g_options.dialog, message, wParam, lParam);
    }
}

}  // namespace

INT_PTR ShowOptionsDialog(HWND owner, int startPage) {
    if (g_options.dialog.window) {
        SetForegroundWindow(g_options.dialog.window);
        return 0;
    }
    if (g_app.service) g_pnx.PnxSuspendService(g_app.service, 0);
    ListColumnRow local[kListColumns];
    std::memcpy(local, g_settings.columns, sizeof local);
    OptionsParameter parameter{startPage, local};
    const INT_PTR result = DialogBoxParamW(g_app.instance, MAKEINTRESOURCEW(IDD_OPTIONS), owner, OptionsDlgProc,
                                           reinterpret_cast<LPARAM>(&parameter));
    if (result > 0) {
        PropertyInfo property{};
        ServiceProperties properties{};
        properties.size = 10;
        if (g_app.service) {
            g_pnx.PnxGetDefaultPropertyInfo(g_app.service, &property);
            if (g_settings.autoStart) {
                property.property |= 0x9;
            } else {
                property.property &= static_cast<uint16_t>(~0x9);
            }
            g_pnx.PnxSetDefaultPropertyInfo(g_app.service, &property);
            g_pnx.PnxGetServiceProperties(g_app.service, &properties);
        }
        properties.timer = g_settings.statusTimer;
        properties.useBroadAddress = g_settings.broadcast ? 1 : 0;
        std::memcpy(g_settings.columns, local, sizeof local);
        SaveWindowState(&g_settings);
        if (g_app.service) g_pnx.PnxResumeService(g_app.service, &properties);
        return 1;
    }
    if (g_app.service) g_pnx.PnxResumeService(g_app.service, nullptr);
    return 0;
}

HWND GetOptionsDialogWindow() { return g_options.dialog.window; }
