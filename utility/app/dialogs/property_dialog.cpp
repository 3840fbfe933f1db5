// The device property dialog (1005): its device and options pages in the shared tab dialog,
// and the writing back of the device's settings.
#include <windows.h>
#include <commctrl.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "app.h"
#include "app_ids.h"
#include "device_category.h"
#include "dialog_layout.h"
#include "ini_text.h"
#include "list_view.h"
#include "message_box.h"
#include "pnx_api.h"
#include "property_dialog.h"
#include "property_pages.h"
#include "property_rules.h"
#include "request_options.h"
#include "resource.h"
#include "safe_format.h"
#include "shell_launch.h"
#include "tab_dialog.h"
#include "user_settings.h"
#include "utility_log.h"
#include "../../../client/server_entry.h"

PropertyDialogState g_property;

namespace {

constexpr int kPageCount = 2;
constexpr size_t kNameBytes = 260;

const ThemeItemInfo kContainerLayout[] = {
    {IDD_PROPERTY, nullptr, nullptr, 0, 0, 393, 486},
    {IDOK, L"BUTTON", L"OK", 105, 432, 88, 24},
    {IDCANCEL, L"BUTTON", L"CANCEL", 199, 432, 88, 24},
    {IDC_APPLY, L"BUTTON", L"APPLY", 293, 432, 88, 24},
    {IDC_TAB, L"TAB", nullptr, 7, 6, 375, 418},
    {-1, nullptr, nullptr, 0, 0, 0, 0},
};

std::string ToCodePage(UINT codePage, const std::wstring& text, size_t maxBytes) {
    std::string out(maxBytes + 1, '\0');
    const int n = WideCharToMultiByte(codePage, 0, text.c_str(), -1, out.data(), static_cast<int>(maxBytes), nullptr,
                                      nullptr);
    out.resize(n > 0 ? static_cast<size_t>(n - 1) : 0);
    if (n == 0) {  // too long: keep what fits
        out.assign(maxBytes, '\0');
        WideCharToMultiByte(codePage, 0, text.c_str(), static_cast<int>(text.size()), out.data(),
                            static_cast<int>(maxBytes), nullptr, nullptr);
        out.resize(strnlen(out.c_str(), maxBytes));
    }
    return out;
}

std::wstring ItemText(HWND page, int id, int maxChars) {
    std::wstring text(static_cast<size_t>(maxChars) + 1, L'\0');
    const int n = GetDlgItemTextW(page, id, text.data(), maxChars + 1);
    text.resize(n > 0 ? static_cast<size_t>(n) : 0);
    return text;
}

bool Checked(HWND page, int id) { return IsDlgButtonChecked(page, id) == BST_CHECKED; }

std::wstring DisplayName(HPnxDv device) {
    UsbDeviceInfo info{};
    PropertyInfo property{};
    g_pnx.PnxInitUsbDeviceInfo(g_app.service, &info, &property);
    std::wstring name;
    if (g_pnx.PnxGetUsbDeviceInfo(g_app.service, device, &info, &property) == 1) {
        name = FromOem(property.favoriteName);
        if (name.empty()) name = FromOem(info.name);
    }
    g_pnx.PnxFreeUsbDeviceInfo(g_app.service, &info, &property);
    return name;
}

void ApplyPages(HWND tab) { ApplyPropertyOptions(GetTabPage(tab, 0), GetTabPage(tab, 1)); }

INT_PTR CALLBACK PropertyDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message != WM_INITDIALOG) return HandleTabDialogMessage(dialog, &g_property.dialog, message, wParam, lParam);
    const TabPageRow pages[kPageCount] = {
        {IDD_PROPERTY_DEVICE, L"TAB10", 0, DevicePageProc},
        {IDD_PROPERTY_OPTIONS, L"TAB11", 0, OptionsPageProc},
    };
    InitTabDialog(dialog, &g_property.dialog, {kContainerLayout, pages, kPageCount, 0, ApplyPages});
    const std::wstring title = SafeFormat(IniText(g_app.iniPath, L"TITLE", L"PROPERTY", 1023).c_str(),
                                          {DisplayName(g_property.device).c_str()});
    SetWindowTextW(dialog, title.c_str());
    return TRUE;
}

// The settings as the options page shows them.
PropertyChoices OptionChoices(HWND page) {
    PropertyChoices c;
    c.printer = g_property.printer;
    c.autoConnectOn = Checked(page, IDC_AUTO_ON);
    c.autoConnectFree = Checked(page, IDC_AUTO_FREE);
    c.autoPrinter = Checked(page, IDC_AUTO_PRINTER);
    c.autoConnect = Checked(page, IDC_OPT_AUTOCONNECT);
    c.reconnect = Checked(page, IDC_ERROR_CONNECT);
    c.startApplication = Checked(page, IDC_BEGIN_APPLI);
    c.endApplication = Checked(page, IDC_END_APPLI);
    c.encryption = IsWindowEnabled(GetDlgItem(page, IDC_ENCRYPTION)) && Checked(page, IDC_ENCRYPTION);
    c.requestRelease = Checked(page, IDC_REQ_DISCONNECT);
    c.minutesText = ItemText(page, IDC_TIMER_FIELD, 8);
    c.application = ItemText(page, IDC_APPLICATION, MAX_PATH - 1);
    return c;
}

void SelectField(HWND page, int id) {
    HWND control = GetDlgItem(page, id);
    SetFocus(control);
    SendMessageW(control, EM_SETSEL, 0, -1);
}

}  // namespace

std::wstring FromOem(const char* text) {
    if (!text || !*text) return {};
    const int n = MultiByteToWideChar(CP_OEMCP, 0, text, -1, nullptr, 0);
    std::wstring out(n > 0 ? static_cast<size_t>(n - 1) : 0, L'\0');
    if (n > 1) MultiByteToWideChar(CP_OEMCP, 0, text, -1, out.data(), n);
    return out;
}

void PropertyWarning(HWND owner, const wchar_t* key, const wchar_t* titleKey, const wchar_t* argument) {
    IniMessageBox(g_app.instance, owner, g_app.iniPath, L"ERROR", key, titleKey, MB_ICONEXCLAMATION, argument);
    WriteLog(L"[MessageBox] : %s", key);
}

uint32_t DevicePrinterCount(HPnxDv device) {
    UsbDeviceInfo info{};
    PropertyInfo property{};
    g_pnx.PnxInitUsbDeviceInfo(g_app.service, &info, &property);
    uint32_t source = 0;
    if (g_pnx.PnxGetUsbDeviceInfo(g_app.service, device, &info, &property) == 1) {
        source = (property.printer & kPrinterManualList) ? 1 : 0;
    }
    g_pnx.PnxFreeUsbDeviceInfo(g_app.service, &info, &property);
    uint32_t count = 0;
    if (g_pnx.PnxGetPrinterInfo(g_app.service, device, &count, nullptr, nullptr, source) != 1) return 0;
    return count;
}

bool ValidateDevicePage(HWND page) {
    if (!page) return true;
    const wchar_t* key = ValidateDeviceName(ItemText(page, IDC_DISPNAME, 64));
    if (!key) return true;
    PropertyWarning(page, key, L"CONFIG");
    SelectField(page, IDC_DISPNAME);
    return false;
}

bool ValidatePropertyOptionsPage(HWND page) {
    if (!page) return true;
    if (Checked(page, IDC_BEGIN_APPLI)) {
        std::wstring path = ItemText(page, IDC_APPLICATION, MAX_PATH - 1);
        if (!path.empty()) {
            wchar_t expanded[MAX_PATH] = {};
            if (ExpandEnvironmentStringsW(path.c_str(), expanded, MAX_PATH) > 0 && expanded[0]) {
                SetDlgItemTextW(page, IDC_APPLICATION, expanded);
            }
        }
    }
    const PropertyChoices choices = OptionChoices(page);
    OptionField field = OptionField::None;
    const wchar_t* key = ValidatePropertyOptions(
        choices,
        [](const std::wstring& path) {
            const DWORD attributes = GetFileAttributesW(path.c_str());
            return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
        },
        [] { return DevicePrinterCount(g_property.device); }, &field);
    if (!key) return true;
    PropertyWarning(page, key, L"CONFIG", field == OptionField::Application ? choices.application.c_str() : nullptr);
    switch (field) {
        case OptionField::Application:
            SelectField(page, IDC_APPLICATION);
            break;
        case OptionField::AutoPrinter:
            SetFocus(GetDlgItem(page, IDC_AUTO_PRINTER));
            break;
        default:
            SelectField(page, IDC_TIMER_FIELD);
            break;
    }
    return false;
}

void ApplyPropertyOptions(HWND devicePage, HWND optionsPage) {
    HPnxDv device = g_property.device;
    UsbDeviceInfo info{};
    PropertyInfo property{};
    g_pnx.PnxInitUsbDeviceInfo(g_app.service, &info, &property);
    if (g_pnx.PnxGetUsbDeviceInfo(g_app.service, device, &info, &property) != 1) {
        g_pnx.PnxFreeUsbDeviceInfo(g_app.service, &info, &property);
        return;
    }
    const PropertyChoices choices = OptionChoices(optionsPage);
    PropertyInfo changed = property;
    std::string name = ToCodePage(CP_OEMCP, ItemText(devicePage, IDC_DISPNAME, 64), kNameBytes);
    changed.favoriteName = name.data();
    changed.application = ApplicationBitsOf(choices);
    std::string list = ToCodePage(CP_THREAD_ACP, choices.application, MAX_PATH);
    std::vector<uint8_t> entries(list.begin(), list.end());
    if (list.empty()) {
        changed.applicationList = nullptr;
        changed.applicationCount = 0;
        changed.applicationSize = 0;
    } else {
        entries.push_back(0);
        entries.push_back(0);
        changed.applicationList = entries.data();
        changed.applicationCount = 1;
        changed.applicationSize = static_cast<uint32_t>(list.size() + 2);
    }
    changed.property = PropertyWordOf(choices);
    if (g_property.printer) changed.printer = PrinterWordOf(choices);
    g_pnx.PnxSetUsbDeviceInfo(g_app.service, device, &changed);
    g_pnx.PnxFreeUsbDeviceInfo(g_app.service, &info, &property);

    RequestOptions options;
    LoadRequestOptions(device, &options);
    options.flags = choices.requestRelease ? (options.flags | kRequestOptionCountdown)
                                           : static_cast<uint16_t>(options.flags & ~kRequestOptionCountdown);
    const int minutes = ParseRequestMinutes(choices.minutesText);
    if (minutes > 0) options.seconds = static_cast<uint32_t>(minutes) * 60;
    SaveRequestOptions(device, &options);
}

int ShowPropertyDialog(HWND owner, HPnxDv device) {
    if (g_property.dialog.window || !device) return 0;
    if (g_app.service) g_pnx.PnxSuspendService(g_app.service, 0);
    g_property.device = device;
    g_property.category = GetDeviceCategory(device);
    g_property.printer = IsPrinterCategory(g_property.category);
    if (g_settings.mainView == 0 && g_app.mainDialog) {
        HWND list = GetDlgItem(g_app.mainDialog, IDC_DEVICE_LIST);
        ListSelectOnly(list, ListFindRowByHandle(list, reinterpret_cast<uint64_t>(device)));
    }
    const INT_PTR result = DialogBoxParamW(g_app.instance, MAKEINTRESOURCEW(IDD_PROPERTY), owner, PropertyDlgProc, 0);
    g_property.dialog.window = nullptr;
    g_property.device = nullptr;
    if (g_app.service) g_pnx.PnxResumeService(g_app.service, nullptr);
    return result == 1 ? 1 : 0;
}

HWND GetPropertyDialogWindow() { return g_property.dialog.window; }
HWND GetPrinterDialogWindow() { return g_property.printerDialog; }

BOOL IsComPortDevice(HPnxDv device) {
    UsbDeviceInfo info{};
    PropertyInfo property{};
    g_pnx.PnxInitUsbDeviceInfo(g_app.service, &info, &property);
    BOOL com = FALSE;
    if (g_pnx.PnxGetUsbDeviceInfo(g_app.service, device, &info, &property) == 1 && info.locations) {
        com = info.locations[0] == 'R' || info.locations[0] == 'r';
    }
    g_pnx.PnxFreeUsbDeviceInfo(g_app.service, &info, &property);
    return com;
}

void OpenServerWebPage(HWND owner, HPnxSv server) {
    ServerInfo info{};
    if (!server || g_pnx.PnxGetServerInfo(g_app.service, server, &info) != 1) return;
    const auto* b = reinterpret_cast<const uint8_t*>(&info.ipAddress);
    wchar_t url[40];
    std::swprintf(url, 40, L"http://%u.%u.%u.%u/", b[0], b[1], b[2], b[3]);
    ShellLaunch(owner, L"open", url);
}
