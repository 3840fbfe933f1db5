// The printer selection dialog (1006): the system's printers that match the device's installed
// printers (same driver and port), and the device's print-job waiting time.
#include <windows.h>
#include <commctrl.h>
#include <uxtheme.h>

#include <algorithm>
#include <cwchar>
#include <string>
#include <vector>

#include "app.h"
#include "app_ids.h"
#include "dialog_layout.h"
#include "ini_text.h"
#include "pnx_api.h"
#include "property_dialog.h"
#include "property_pages.h"
#include "property_rules.h"
#include "resource.h"
#include "shell_printers.h"
#include "../../../client/device_printers.h"

namespace {

constexpr int kWaitChars = 3;
constexpr int kNameColumnWidth = 190;
constexpr int kDriverColumnWidth = 111;
constexpr int kExplorerStyleOsCode = 6;

const ThemeItemInfo kPrinterLayout[] = {
    {IDD_PRINTERS, L"TITLE", L"PRINTER", 0, 0, 340, 300},
    {IDC_PAGE_TEXT, L"PRINTER", L"PRINTER_00", 12, 10, 310, 20},
    {IDC_PRINTER_LIST, L"PRINTER", nullptr, 12, 34, 310, 130},
    {IDC_GROUP, L"GROUP", L"JOB", 12, 172, 310, 52},
    {IDC_TIMER_FIELD, L"PRINTER", nullptr, 28, 192, 44, 22},
    {IDC_TIMER_UPDOWN, nullptr, nullptr, 72, 192, 16, 22},
    {IDC_RANGE_LABEL, L"PRINTER", L"RANGE", 94, 193, 120, 20},
    {IDOK, L"BUTTON", L"OK", 140, 236, 88, 24},
    {IDCANCEL, L"BUTTON", L"CANCEL", 234, 236, 88, 24},
    {-1, nullptr, nullptr, 0, 0, 0, 0},
};

struct PrinterRow {
    std::wstring name;
    std::wstring driver;
    int icon;
};

struct PrinterDialogState {
    HPnxDv device = nullptr;
    PrinterInfo* manual = nullptr;
    PrinterInfo* automatic = nullptr;
    std::vector<PrinterRow> rows;
    int sortColumn = 0;
    bool descending = false;
};
PrinterDialogState g_printers;

std::wstring Wide(const char* text, size_t max) {
    std::string s(text, strnlen(text, max));
    wchar_t out[kPrinterSlotChars + 1] = {};
    MultiByteToWideChar(CP_ACP, 0, s.c_str(), -1, out, kPrinterSlotChars);
    return out;
}

void ReadDevicePrinters() {
    uint32_t count = 0;
    uint32_t size = 0;
    g_pnx.PnxGetPrinterInfo(g_app.service, g_printers.device, &count, &g_printers.manual, &size, 1);
    count = size = 0;
    g_pnx.PnxGetPrinterInfo(g_app.service, g_printers.device, &count, &g_printers.automatic, &size, 0);
    const uint32_t entries = g_printers.automatic ? std::min<uint32_t>(count, size / sizeof(PrinterInfo)) : 0;
    DWORD bytes = 0;
    DWORD found = 0;
    EnumShellPrinters(nullptr, 0, &bytes, &found);
    std::vector<ShellPrinterEntry> system(bytes / sizeof(ShellPrinterEntry) + 1);
    if (!EnumShellPrinters(system.data(), system.size(), &bytes, &found)) found = 0;
    for (DWORD i = 0; i < found && i < system.size(); ++i) {
        for (uint32_t j = 0; j < entries; ++j) {
            const PrinterInfo& p = g_printers.automatic[j];
            if (Wide(p.first, sizeof p.first) == system[i].driver && Wide(p.second, sizeof p.second) == system[i].port) {
                g_printers.rows.push_back({system[i].name, system[i].driver, system[i].iconIndex});
                break;
            }
        }
    }
}

void FillList(HWND list) {
    auto& rows = g_printers.rows;
    const int column = g_printers.sortColumn;
    std::stable_sort(rows.begin(), rows.end(), [column](const PrinterRow& a, const PrinterRow& b) {
        // The sorted column in its direction; ties by the name, ascending.
        const int byName = _wcsicmp(a.name.c_str(), b.name.c_str());
        const int c = column == 1 ? _wcsicmp(a.driver.c_str(), b.driver.c_str()) : byName;
        if (c != 0) return g_printers.descending ? c > 0 : c < 0;
        return byName < 0;
    });
    ListView_DeleteAllItems(list);
    for (size_t i = 0; i < rows.size(); ++i) {
        LVITEMW item{};
        item.mask = LVIF_TEXT | LVIF_IMAGE;
        item.iItem = static_cast<int>(i);
        item.pszText = rows[i].name.data();
        item.iImage = rows[i].icon;
        const int index = ListView_InsertItem(list, &item);
        ListView_SetItemText(list, index, 1, rows[i].driver.data());
    }
}

void InitPrinterDialog(HWND dialog) {
    g_property.printerDialog = dialog;
    if (IsRightToLeft()) MirrorDialogControls(dialog, kPrinterLayout);
    ApplyDialogLayout(dialog, g_app.mainFont, kPrinterLayout, kLayoutSizeOnly, g_app.iniPath);
    HWND list = GetDlgItem(dialog, IDC_PRINTER_LIST);
    ListView_SetExtendedListViewStyle(list, LVS_EX_FULLROWSELECT | LVS_EX_DOUBLEBUFFER);
    if (g_app.osCode >= kExplorerStyleOsCode) SetWindowTheme(list, L"Explorer", nullptr);
    ListView_SetImageList(list, GetSystemImageList(FALSE), LVSIL_SMALL);
    const struct {
        const wchar_t* key;
        int width;
    } columns[] = {{L"CULUM00", kNameColumnWidth}, {L"CULUM01", kDriverColumnWidth}};
    for (int i = 0; i < 2; ++i) {
        std::wstring text = IniText(g_app.iniPath, L"PRINTER", columns[i].key);
        LVCOLUMNW column{};
        column.mask = LVCF_TEXT | LVCF_WIDTH;
        column.pszText = text.data();
        column.cx = columns[i].width;
        ListView_InsertColumn(list, i, &column);
    }
    ReadDevicePrinters();
    FillList(list);
    UsbDeviceInfo info{};
    PropertyInfo property{};
    g_pnx.PnxInitUsbDeviceInfo(g_app.service, &info, &property);
    g_pnx.PnxGetUsbDeviceInfo(g_app.service, g_printers.device, &info, &property);
    HWND updown = GetDlgItem(dialog, IDC_TIMER_UPDOWN);
    SendMessageW(updown, UDM_SETBUDDY, reinterpret_cast<WPARAM>(GetDlgItem(dialog, IDC_TIMER_FIELD)), 0);
    SendMessageW(updown, UDM_SETRANGE32, 0, kPrinterWaitMaxSeconds);
    SendDlgItemMessageW(dialog, IDC_TIMER_FIELD, EM_LIMITTEXT, kWaitChars, 0);
    SetDlgItemInt(dialog, IDC_TIMER_FIELD, property.waitTimer / 1000, FALSE);
    g_pnx.PnxFreeUsbDeviceInfo(g_app.service, &info, &property);
    CenterWindow(dialog, GetWindow(dialog, GW_OWNER));
}

void OnPrinterOk(HWND dialog) {
    BOOL ok = FALSE;
    const UINT seconds = GetDlgItemInt(dialog, IDC_TIMER_FIELD, &ok, FALSE);
    if (!ok || seconds > static_cast<UINT>(kPrinterWaitMaxSeconds)) {
        PropertyWarning(dialog, L"MESSAGE10", L"CONFIG");
        HWND field = GetDlgItem(dialog, IDC_TIMER_FIELD);
        SetFocus(field);
        SendMessageW(field, EM_SETSEL, 0, -1);
        return;
    }
    UsbDeviceInfo info{};
    PropertyInfo property{};
    g_pnx.PnxInitUsbDeviceInfo(g_app.service, &info, &property);
    if (g_pnx.PnxGetUsbDeviceInfo(g_app.service, g_printers.device, &info, &property) == 1) {
        property.waitTimer = seconds * 1000;
        g_pnx.PnxSetUsbDeviceInfo(g_app.service, g_printers.device, &property);
    }
    g_pnx.PnxFreeUsbDeviceInfo(g_app.service, &info, &property);
    EndDialog(dialog, 1);
}

INT_PTR CALLBACK PrinterDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_INITDIALOG:
            InitPrinterDialog(dialog);
            return TRUE;
        case WM_NOTIFY: {
            const auto* notify = reinterpret_cast<const NMLISTVIEW*>(lParam);
            if (notify->hdr.idFrom == IDC_PRINTER_LIST && notify->hdr.code == LVN_COLUMNCLICK) {
                g_printers.descending = notify->iSubItem == g_printers.sortColumn ? !g_printers.descending : false;
                g_printers.sortColumn = notify->iSubItem;
                FillList(notify->hdr.hwndFrom);
            }
            return FALSE;
        }
        case WM_COMMAND:
            if (LOWORD(wParam) == IDOK) OnPrinterOk(dialog);
            if (LOWORD(wParam) == IDCANCEL) EndDialog(dialog, 2);
            return TRUE;
        case WM_DESTROY:
            g_property.printerDialog = nullptr;
            return FALSE;
        default:
            return FALSE;
    }
}

}  // namespace

INT_PTR ShowPrinterDialog(HWND owner, HPnxDv device) {
    if (g_property.printerDialog || !device) return 2;
    g_printers = PrinterDialogState{};
    g_printers.device = device;
    OpenPrintersFolder(owner);
    const INT_PTR result = DialogBoxParamW(g_app.instance, MAKEINTRESOURCEW(IDD_PRINTERS), owner, PrinterDlgProc, 0);
    ClosePrintersFolder();
    if (g_printers.manual) g_pnx.PnxFreePrinterInfo(g_app.service, g_printers.manual);
    if (g_printers.automatic) g_pnx.PnxFreePrinterInfo(g_app.service, g_printers.automatic);
    g_printers = PrinterDialogState{};
    return result;
}
