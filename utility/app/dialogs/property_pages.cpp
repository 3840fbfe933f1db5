// The two pages of the property dialog: the device page (name and what the device and its
// server are) and the options page (automatic connect, watched application, encryption and
// the release on request).
#include <windows.h>
#include <commctrl.h>
#include <commdlg.h>
#include <shellapi.h>

#include <cstdio>
#include <string>
#include <vector>

#include "app.h"
#include "app_ids.h"
#include "device_category.h"
#include "device_operations.h"
#include "dialog_layout.h"
#include "ini_text.h"
#include "pnx_api.h"
#include "property_dialog.h"
#include "property_pages.h"
#include "property_rules.h"
#include "request_options.h"
#include "resource.h"
#include "system_util.h"
#include "tab_dialog.h"
#include "theme_resources.h"
#include "../../../client/server_entry.h"

namespace {

constexpr int kNameLimit = 64;
constexpr int kMinutesChars = 2;
constexpr int kNonPrinterShift = -66;  // the auto-connect group holds two rows fewer
constexpr UINT_PTR kDropSubclass = 1;

const ThemeItemInfo kDeviceLayout[] = {
    {IDD_PROPERTY_DEVICE, L"TAB", L"TAB10", 0, 0, 360, 390},
    {IDC_PAGE_ICON, nullptr, nullptr, 14, 16, 32, 32},
    {IDC_PAGE_TEXT, L"PROPERTY", L"DEVICE_00", 60, 16, 285, 40},
    {IDC_LABEL_DISPNAME, L"PROPERTY", L"DISPNAME", 14, 68, 80, 22},
    {IDC_DISPNAME, L"PROPERTY", nullptr, 100, 68, 245, 22},
    {IDC_GROUP, L"GROUP", L"DEVICE", 13, 104, 339, 214},
    {IDC_LABEL_DEVICE, L"PROPERTY", L"DEVICE", 26, 128, 100, 20},
    {IDC_LABEL_SPEED, L"PROPERTY", L"SPEED", 26, 152, 100, 20},
    {IDC_LABEL_SERVER, L"PROPERTY", L"SERVER", 26, 176, 100, 20},
    {IDC_LABEL_HOST, L"PROPERTY", L"HOST", 26, 200, 100, 20},
    {IDC_LABEL_IPADDRESS, L"PROPERTY", L"IPADDRESS", 26, 224, 100, 20},
    {IDC_LABEL_ETHERNET, L"PROPERTY", L"ETHERNET", 26, 248, 100, 20},
    {IDC_FIELD_DEVICE, L"PROPERTY", nullptr, 132, 128, 210, 20},
    {IDC_FIELD_SPEED, L"PROPERTY", nullptr, 132, 152, 210, 20},
    {IDC_FIELD_SERVER, L"PROPERTY", nullptr, 132, 176, 210, 20},
    {IDC_FIELD_HOST, L"PROPERTY", nullptr, 132, 200, 210, 20},
    {IDC_FIELD_IPADDRESS, L"PROPERTY", nullptr, 132, 224, 210, 20},
    {IDC_FIELD_ETHERNET, L"PROPERTY", nullptr, 132, 248, 210, 20},
    {IDC_SERVER_PAGE, L"BUTTON", L"SERVER", 232, 280, 110, 26},
    {-1, nullptr, nullptr, 0, 0, 0, 0},
};

// The printer form; for other devices the rows from the application group on move up.
const ThemeItemInfo kOptionsLayout[] = {
    {IDD_PROPERTY_OPTIONS, L"TAB", L"TAB11", 0, 0, 360, 390},
    {IDC_PAGE_ICON, nullptr, nullptr, 14, 12, 32, 32},
    {IDC_PAGE_TEXT, L"PROPERTY", L"OPTION_00", 60, 12, 285, 34},
    {IDC_GROUP, L"GROUP", L"AUTO_CONNECT", 13, 48, 339, 144},
    {IDC_AUTO_ON, L"PROPERTY", L"AUTO_CONNECT_ON", 26, 66, 315, 20},
    {IDC_OPT_AUTOCONNECT, L"PROPERTY", L"AUTO_CONNECT", 26, 66, 315, 20},
    {IDC_AUTO_FREE, L"PROPERTY", L"AUTO_CONNECT", 44, 88, 290, 20},
    {IDC_AUTO_PRINTER, L"PROPERTY", L"AUTO_PRINTER", 44, 108, 290, 20},
    {IDC_PRINTER_ICON, nullptr, nullptr, 60, 134, 16, 16},
    {IDC_PRINTER_TEXT, L"PROPERTY", nullptr, 82, 130, 160, 18},
    {IDC_PRINTER_CHECK, L"PROPERTY", nullptr, 82, 148, 160, 18},
    {IDC_PRINTER_SETUP, L"BUTTON", nullptr, 248, 134, 94, 24},
    {IDC_ERROR_CONNECT, L"PROPERTY", L"ERROR_CONNECT", 26, 168, 315, 20},
    {IDC_GROUP_TIMER, L"GROUP", nullptr, 13, 198, 339, 96},
    {IDC_BEGIN_APPLI, L"PROPERTY", L"BIGIN_APPLI", 26, 212, 315, 20},
    {IDC_APPLICATION, L"PROPERTY", nullptr, 44, 236, 200, 22},
    {IDC_REFERENCE, L"BUTTON", L"REFERENCE", 248, 235, 94, 24},
    {IDC_END_APPLI, L"PROPERTY", L"END_APPLI", 26, 264, 315, 20},
    {IDC_ENCRYPTION, L"PROPERTY", L"ENCRYPTION", 26, 298, 315, 20},
    {IDC_GROUP_REQUEST, L"GROUP", nullptr, 13, 322, 339, 62},
    {IDC_REQ_DISCONNECT, L"PROPERTY", L"REQ_DISCONNECT", 26, 334, 320, 20},
    {IDC_REQ_TIMEOUT, L"PROPERTY", L"REQ_TIMEOUT", 44, 358, 150, 20},
    {IDC_TIMER_FIELD, L"PROPERTY", nullptr, 200, 357, 36, 22},
    {IDC_TIMER_UPDOWN, nullptr, nullptr, 236, 357, 16, 22},
    {IDC_RANGE_LABEL, L"PROPERTY", L"REQ_RANGE", 258, 358, 90, 20},
    {-1, nullptr, nullptr, 0, 0, 0, 0},
};
constexpr int kPrinterOnlyIds[] = {IDC_AUTO_ON, IDC_AUTO_FREE, IDC_AUTO_PRINTER, IDC_PRINTER_ICON,
                                   IDC_PRINTER_TEXT, IDC_PRINTER_CHECK, IDC_PRINTER_SETUP};

bool Checked(HWND page, int id) { return IsDlgButtonChecked(page, id) == BST_CHECKED; }
void Check(HWND page, int id, bool on) { CheckDlgButton(page, id, on ? BST_CHECKED : BST_UNCHECKED); }
void Changed(HWND page) { PostMessageW(page, UM_PAGE_CHANGED, 0, 0); }

void HideControl(HWND page, int id) {
    HWND control = GetDlgItem(page, id);
    ShowWindow(control, SW_HIDE);
    EnableWindow(control, FALSE);
}

// The device and its server, read once for the pages.
struct DeviceFacts {
    UsbDeviceInfo info{};
    PropertyInfo property{};
    ServerInfo server{};
    bool valid = false;
    bool serverValid = false;
    DeviceFacts() {
        g_pnx.PnxInitUsbDeviceInfo(g_app.service, &info, &property);
        valid = g_pnx.PnxGetUsbDeviceInfo(g_app.service, g_property.device, &info, &property) == 1;
        HPnxSv handle = g_pnx.PnxGetHPnxSv(g_app.service, g_property.device);
        serverValid = handle && g_pnx.PnxGetServerInfo(g_app.service, handle, &server) == 1;
    }
    ~DeviceFacts() { g_pnx.PnxFreeUsbDeviceInfo(g_app.service, &info, &property); }
    DeviceFacts(const DeviceFacts&) = delete;
    DeviceFacts& operator=(const DeviceFacts&) = delete;
};

std::wstring Narrow(const char* text, size_t max) {
    std::string s(text, strnlen(text, max));
    return FromOem(s.c_str());
}

// ---- Device page

void FillDevicePage(HWND page) {
    DeviceFacts facts;
    SendDlgItemMessageW(page, IDC_DISPNAME, EM_LIMITTEXT, kNameLimit, 0);
    if (!facts.valid) return;
    SetDlgItemTextW(page, IDC_DISPNAME, FromOem(facts.property.favoriteName).c_str());
    SetDlgItemTextW(page, IDC_FIELD_DEVICE, FromOem(facts.info.name).c_str());
    const char speed = facts.info.locations ? facts.info.locations[0] : '\0';
    const wchar_t* speedKey = speed == 'H' ? L"HI" : speed == 'F' ? L"FULL" : speed == 'L' ? L"LOW" : nullptr;
    if (speedKey) SetDlgItemTextW(page, IDC_FIELD_SPEED, IniText(g_app.iniPath, L"PROPERTY", speedKey).c_str());
    if (!facts.serverValid) return;
    const ServerInfo& s = facts.server;
    SetDlgItemTextW(page, IDC_FIELD_SERVER, Narrow(s.modelName, sizeof s.modelName).c_str());
    SetDlgItemTextW(page, IDC_FIELD_HOST, Narrow(s.hostName, sizeof s.hostName).c_str());
    const auto* ip = reinterpret_cast<const uint8_t*>(&s.ipAddress);
    wchar_t text[32];
    std::swprintf(text, 32, L"%d.%d.%d.%d", ip[0], ip[1], ip[2], ip[3]);
    SetDlgItemTextW(page, IDC_FIELD_IPADDRESS, text);
    const uint8_t* m = s.hardwareAddress;
    std::swprintf(text, 32, L"%02X:%02X:%02X:%02X:%02X:%02X", m[0], m[1], m[2], m[3], m[4], m[5]);
    SetDlgItemTextW(page, IDC_FIELD_ETHERNET, text);
    if (Narrow(s.modelName, sizeof s.modelName) == L"K-Shuttle") EnableDlgItem(page, IDC_SERVER_PAGE, FALSE);
}

void FocusFirst(HWND page, int id) {
    HWND focus = GetFocus();
    HWND tab = g_property.dialog.window ? GetDlgItem(g_property.dialog.window, IDC_TAB) : nullptr;
    if (focus && focus == tab) return;
    SetFocus(GetDlgItem(page, id));
}

}  // namespace

INT_PTR CALLBACK DevicePageProc(HWND page, UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
        case WM_INITDIALOG:
            InitTabPage(page, kDeviceLayout, ClassIconOfCategory(g_property.category));
            FillDevicePage(page);
            return TRUE;
        case WM_COMMAND:
            if (LOWORD(wParam) == IDC_DISPNAME && HIWORD(wParam) == EN_CHANGE) Changed(page);
            if (LOWORD(wParam) == IDC_SERVER_PAGE) {
                OpenServerWebPage(page, g_pnx.PnxGetHPnxSv(g_app.service, g_property.device));
            }
            return TRUE;
        case UM_PAGE_SHOWN:
            FocusFirst(page, IDC_DISPNAME);
            return TRUE;
        case UM_PAGE_VALIDATE:
            return HandleTabPageMessage(page, message, ValidateDevicePage(page));
        default:
            return HandleTabPageMessage(page, message, true);
    }
}

namespace {

// ---- Options page

void SetPrinterTexts(HWND page, uint32_t printers) {
    const bool known = printers > 0;
    SetDlgItemTextW(page, IDC_PRINTER_TEXT,
                    IniText(g_app.iniPath, L"PROPERTY", known ? L"PRINTER_01" : L"PRINTER_00").c_str());
    SetDlgItemTextW(page, IDC_PRINTER_CHECK,
                    IniText(g_app.iniPath, L"PROPERTY", known ? L"CHECK_01" : L"CHECK_00").c_str());
    SetDlgItemTextW(page, IDC_PRINTER_SETUP, IniText(g_app.iniPath, L"BUTTON", known ? L"CONFIRM" : L"SETUP").c_str());
    const int iconId = known ? theme::kIconStateConnected : theme::kIconNoPrinters;
    auto icon = static_cast<HICON>(LoadImageW(g_app.theme, MAKEINTRESOURCEW(iconId), IMAGE_ICON, 16, 16, 0));
    auto old = reinterpret_cast<HICON>(
        SendDlgItemMessageW(page, IDC_PRINTER_ICON, STM_SETICON, reinterpret_cast<WPARAM>(icon), 0));
    if (old) DestroyIcon(old);
}

void EnablePropertyControls(HWND page) {
    const bool application = Checked(page, IDC_BEGIN_APPLI);
    for (int id : {IDC_APPLICATION, IDC_REFERENCE, IDC_END_APPLI}) EnableDlgItem(page, id, application);
    if (g_property.printer) {
        const bool on = Checked(page, IDC_AUTO_ON);
        EnableDlgItem(page, IDC_AUTO_FREE, on);
        EnableDlgItem(page, IDC_AUTO_PRINTER, on);
        const bool printing = on && Checked(page, IDC_AUTO_PRINTER);
        for (int id : {IDC_PRINTER_TEXT, IDC_PRINTER_CHECK, IDC_PRINTER_SETUP}) EnableDlgItem(page, id, printing);
    }
    const bool request = Checked(page, IDC_REQ_DISCONNECT);
    for (int id : {IDC_REQ_TIMEOUT, IDC_TIMER_FIELD, IDC_TIMER_UPDOWN, IDC_RANGE_LABEL}) EnableDlgItem(page, id, request);
}

std::vector<ThemeItemInfo> OptionsLayoutFor(bool printer) {
    std::vector<ThemeItemInfo> rows(std::begin(kOptionsLayout), std::end(kOptionsLayout));
    if (printer) return rows;
    bool below = false;
    for (ThemeItemInfo& row : rows) {
        if (row.id == IDC_GROUP) row.height += kNonPrinterShift;
        if (row.id == IDC_ERROR_CONNECT) row.y = 92;
        if (row.id == IDC_GROUP_TIMER) below = true;
        if (below && row.id != -1) row.y += kNonPrinterShift;
    }
    return rows;
}

LRESULT CALLBACK DropProc(HWND edit, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR) {
    if (message != WM_DROPFILES) return DefSubclassProc(edit, message, wParam, lParam);
    auto drop = reinterpret_cast<HDROP>(wParam);
    HWND page = GetParent(edit);
    if (DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0) != 1) {
        PropertyWarning(page, L"MESSAGE14", L"CONFIG");
    } else {
        wchar_t path[MAX_PATH] = {};
        DragQueryFileW(drop, 0, path, MAX_PATH);
        wchar_t before[MAX_PATH] = {};
        GetWindowTextW(edit, before, MAX_PATH);
        if (wcscmp(before, path) != 0) {
            SetWindowTextW(edit, path);
            Changed(page);
        }
    }
    DragFinish(drop);
    return 0;
}

void FillOptionsPage(HWND page) {
    DeviceFacts facts;
    if (g_property.printer) {
        HideControl(page, IDC_OPT_AUTOCONNECT);
        SetWindowPos(GetDlgItem(page, IDC_ERROR_CONNECT), GetDlgItem(page, IDC_PRINTER_SETUP), 0, 0, 0, 0,
                     SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    } else {
        for (int id : kPrinterOnlyIds) HideControl(page, id);
    }
    const PropertyChoices c = ChoicesOf(g_property.printer, facts.property.property, facts.property.application,
                                        facts.property.printer);
    Check(page, IDC_AUTO_ON, c.autoConnectOn);
    Check(page, IDC_AUTO_FREE, c.autoConnectFree);
    Check(page, IDC_AUTO_PRINTER, c.autoPrinter);
    Check(page, IDC_OPT_AUTOCONNECT, c.autoConnect);
    Check(page, IDC_ERROR_CONNECT, c.reconnect);
    Check(page, IDC_BEGIN_APPLI, c.startApplication);
    Check(page, IDC_END_APPLI, c.endApplication);
    if (g_property.printer) SetPrinterTexts(page, DevicePrinterCount(g_property.device));
    SendDlgItemMessageW(page, IDC_APPLICATION, EM_LIMITTEXT, MAX_PATH - 1, 0);
    if (facts.property.applicationList && facts.property.applicationCount > 0 && facts.property.applicationSize > 0) {
        const char* first = reinterpret_cast<const char*>(facts.property.applicationList);
        std::string path(first, strnlen(first, facts.property.applicationSize));
        wchar_t wide[MAX_PATH] = {};
        MultiByteToWideChar(CP_THREAD_ACP, 0, path.c_str(), -1, wide, MAX_PATH - 1);
        SetDlgItemTextW(page, IDC_APPLICATION, wide);
    }
    DragAcceptFiles(GetDlgItem(page, IDC_APPLICATION), TRUE);
    SetWindowSubclass(GetDlgItem(page, IDC_APPLICATION), DropProc, kDropSubclass, 0);
    RequestOptions options;
    LoadRequestOptions(g_property.device, &options);
    Check(page, IDC_REQ_DISCONNECT, (options.flags & kRequestOptionCountdown) != 0);
    HWND updown = GetDlgItem(page, IDC_TIMER_UPDOWN);
    SendMessageW(updown, UDM_SETBUDDY, reinterpret_cast<WPARAM>(GetDlgItem(page, IDC_TIMER_FIELD)), 0);
    SendMessageW(updown, UDM_SETRANGE32, kRequestMinutesMin, kRequestMinutesMax);
    SendDlgItemMessageW(page, IDC_TIMER_FIELD, EM_LIMITTEXT, kMinutesChars, 0);
    SetDlgItemInt(page, IDC_TIMER_FIELD, options.seconds / 60, FALSE);
    if (ReadIniValue(g_app.iniPath, L"ENCRYPTION", L"MODE", 64).empty()) {
        HideControl(page, IDC_ENCRYPTION);
    } else if (!(facts.info.function & kDeviceFunctionEncryption)) {
        EnableDlgItem(page, IDC_ENCRYPTION, FALSE);
    } else {
        Check(page, IDC_ENCRYPTION, c.encryption);
    }
    EnablePropertyControls(page);
}

using OpenFileFn = BOOL(WINAPI*)(OPENFILENAMEW*);

void BrowseApplication(HWND page) {
    HMODULE dialogs = LoadLibraryW(L"comdlg32.dll");
    auto open = dialogs ? reinterpret_cast<OpenFileFn>(reinterpret_cast<void*>(GetProcAddress(dialogs, "GetOpenFileNameW")))
                        : nullptr;
    if (!open) {
        if (dialogs) FreeLibrary(dialogs);
        return;
    }
    std::wstring filter = IniText(g_app.iniPath, L"PROPERTY", L"EXEFILE");
    if (filter.empty()) filter = L"Exe File";
    filter += L" (*.exe)";
    filter.push_back(L'\0');
    filter += L"*.exe";
    filter.push_back(L'\0');
    std::wstring all = IniText(g_app.iniPath, L"PROPERTY", L"ALLFILES");
    filter += (all.empty() ? L"All Files" : all) + L" (*.*)";
    filter.push_back(L'\0');
    filter += L"*.*";
    filter.push_back(L'\0');
    wchar_t file[MAX_PATH] = {};
    GetDlgItemTextW(page, IDC_APPLICATION, file, MAX_PATH);
    if (!HasNoneOfChars(file, L"\\/:*?\"<>|")) file[0] = L'\0';
    const std::wstring title = IniText(g_app.iniPath, L"TITLE", L"APPLICATION");
    OPENFILENAMEW ofn{};
    ofn.lStructSize = sizeof ofn;
    ofn.hwndOwner = page;
    ofn.lpstrFilter = filter.c_str();
    ofn.lpstrFile = file;
    ofn.nMaxFile = MAX_PATH;
    ofn.lpstrTitle = title.c_str();
    ofn.lpstrDefExt = L"exe";
    ofn.Flags = OFN_FILEMUSTEXIST | OFN_HIDEREADONLY | OFN_PATHMUSTEXIST;
    if (open(&ofn)) {
        SetDlgItemTextW(page, IDC_APPLICATION, file);
        Changed(page);
    }
    FreeLibrary(dialogs);
}

void SetupAutoPrinter(HWND page) {
    if (DevicePrinterCount(g_property.device) > 0) {
        ShowPrinterDialog(page, g_property.device);
        SetFocus(GetDlgItem(page, IDC_PRINTER_SETUP));
        return;
    }
    uint16_t status = 0;
    std::wstring name;
    {
        DeviceFacts facts;
        status = facts.valid ? facts.info.status : 0;
        name = FromOem(facts.property.favoriteName);
        if (name.empty()) name = FromOem(facts.info.name);
    }
    if (status != kDeviceStatusFree && status != kDeviceStatusConnected) {
        PropertyWarning(page, L"MESSAGE22", L"TITLE", name.c_str());
        return;
    }
    DeviceOperationList list;
    if (AllocateOperations(list, 1)) {
        list.operations[0].device = reinterpret_cast<uint64_t>(g_property.device);
        list.operations[0].code = DEVOP_CONNECT;
        list.operations[0].action = kActionButton;
        list.batchKind = kBatchPropertyDialog;
        RunDeviceOperations(page, g_property.dialog.window, list);
    }
    const uint32_t printers = DevicePrinterCount(g_property.device);
    if (printers > 0) SetPrinterTexts(page, printers);
    SetFocus(GetDlgItem(page, IDC_PRINTER_SETUP));
}

void OnOptionsCommand(HWND page, WPARAM wParam) {
    switch (LOWORD(wParam)) {
        case IDC_BEGIN_APPLI:
        case IDC_END_APPLI:
        case IDC_AUTO_ON:
        case IDC_REQ_DISCONNECT:
        case IDC_AUTO_FREE:
        case IDC_AUTO_PRINTER:
        case IDC_OPT_AUTOCONNECT:
        case IDC_ERROR_CONNECT:
        case IDC_ENCRYPTION:
            EnablePropertyControls(page);
            Changed(page);
            break;
        case IDC_TIMER_FIELD:
        case IDC_APPLICATION:
            if (HIWORD(wParam) == EN_CHANGE) Changed(page);
            break;
        case IDC_REFERENCE:
            BrowseApplication(page);
            break;
        case IDC_PRINTER_SETUP:
            SetupAutoPrinter(page);
            break;
        default:
            break;
    }
}

}  // namespace

INT_PTR CALLBACK OptionsPageProc(HWND page, UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
        case WM_INITDIALOG: {
            const std::vector<ThemeItemInfo> layout = OptionsLayoutFor(g_property.printer);
            InitTabPage(page, layout.data(), OptionsIconOfCategory(g_property.category));
            FillOptionsPage(page);
            return TRUE;
        }
        case WM_COMMAND:
            OnOptionsCommand(page, wParam);
            return TRUE;
        case UM_PAGE_SHOWN:
            FocusFirst(page, g_property.printer ? IDC_AUTO_ON : IDC_OPT_AUTOCONNECT);
            return TRUE;
        case UM_PAGE_VALIDATE:
            return HandleTabPageMessage(page, message, ValidatePropertyOptionsPage(page));
        case WM_DESTROY:
            RemoveWindowSubclass(GetDlgItem(page, IDC_APPLICATION), DropProc, kDropSubclass);
            if (auto icon = reinterpret_cast<HICON>(SendDlgItemMessageW(page, IDC_PRINTER_ICON, STM_GETICON, 0, 0))) {
                DestroyIcon(icon);
            }
            return HandleTabPageMessage(page, message, true);
        default:
            return HandleTabPageMessage(page, message, true);
    }
}
