#include "ini_text.h"
#include "page_common.h"
#include "registry_value.h"
#include "resource.h"
#include "setup_frame.h"
#include "setup_log.h"
#include "setup_pages.h"

#include <commctrl.h>
#include <winspool.h>

#include <cstdio>
#include <string>
#include <vector>

// The Printer list page: the local printers, one of which may be moved to the port the
// installation created for the device server and made the default printer.
namespace {

const LayoutRow kPrinterLayout[] = {
    {IDD_PRINTERS, nullptr, nullptr, kTopPageX, kTopPageY, kTopPageWidth, kTopPageHeight},
    {IDC_PRINTER_LABEL, "LABEL", "PRINTER_00", 49, 22, 482, 30},
    {IDC_PRINTER_CHECK, "LABEL", "PRINTER_01", 49, 52, 500, 30},
    {IDC_PRINTER_LIST, "LABEL", "PRINTER_02", 49, 82, 500, 120},
    {0, nullptr, nullptr, 0, 0, 0, 0},
};
constexpr int kColumnWidths[] = {150, 150, 158};
constexpr int kColumnCount = 3;
constexpr int kIconSize = 16;
constexpr int kTextMargin = 6;
constexpr uint16_t kOsWith32BitIcons = 6;
constexpr char kWindowsKey[] = "Software\\Microsoft\\Windows NT\\CurrentVersion\\Windows";
constexpr char kDevicesKey[] = "Software\\Microsoft\\Windows NT\\CurrentVersion\\Devices";
enum Icon { kIconDefault, kIconOther, kIconKeep };

struct PrinterRow {
    std::string text[kColumnCount];
    int image;
};

struct PrinterState {
    std::vector<PrinterRow> rows;  // row 0 leaves the printers as they are
    HIMAGELIST images;
    int sortColumn;
    bool descending;
    char chosen[260];
};
PrinterState g_printers;

HWND List(HWND page) { return GetDlgItem(page, IDC_PRINTER_LIST); }

std::string DefaultPrinterName() {
    char device[MAX_PATH] = "";
    DWORD bytes = sizeof device - 1;
    DWORD type = 0;
    if (!ReadRegistryValue(HKEY_CURRENT_USER, kWindowsKey, "Device", device, &bytes, &type)) return {};
    device[sizeof device - 1] = '\0';
    std::string name = device;
    return name.substr(0, name.find(','));
}

std::vector<BYTE> EnumLocalPrinters(DWORD* count) {
    DWORD needed = 0;
    *count = 0;
    EnumPrintersA(PRINTER_ENUM_LOCAL, nullptr, 2, nullptr, 0, &needed, count);
    std::vector<BYTE> block(needed);
    if (needed == 0 || !EnumPrintersA(PRINTER_ENUM_LOCAL, nullptr, 2, block.data(), needed, &needed, count)) *count = 0;
    return block;
}

void FillPrinterList(HWND page) {
    g_printers.rows.clear();
    g_printers.rows.push_back({{MessageText("LABEL", "PRINTER_02", 259), "", ""}, kIconKeep});
    std::string defaultName = DefaultPrinterName();
    DWORD count = 0;
    std::vector<BYTE> block = EnumLocalPrinters(&count);
    auto* printers = reinterpret_cast<const PRINTER_INFO_2A*>(block.data());
    for (DWORD i = 0; i < count; ++i) {
        const PRINTER_INFO_2A& p = printers[i];
        std::string name = p.pPrinterName ? p.pPrinterName : "";
        g_printers.rows.push_back({{name, p.pPortName ? p.pPortName : "", p.pComment ? p.pComment : ""},
                                   name == defaultName ? kIconDefault : kIconOther});
    }
    HWND list = List(page);
    ListView_DeleteAllItems(list);
    for (size_t i = 0; i < g_printers.rows.size(); ++i) {
        LVITEMA item{};
        item.mask = LVIF_TEXT | LVIF_PARAM;
        item.iItem = static_cast<int>(i);
        item.pszText = g_printers.rows[i].text[0].data();
        item.lParam = static_cast<LPARAM>(i);
        ListView_InsertItem(list, &item);
    }
}

int CALLBACK CompareRows(LPARAM left, LPARAM right, LPARAM) {
    if (left == 0 || right == 0) return left == 0 ? -1 : 1;  // the first row stays first
    int order = strcmp(g_printers.rows[left].text[g_printers.sortColumn].c_str(),
                       g_printers.rows[right].text[g_printers.sortColumn].c_str());
    return g_printers.descending ? -order : order;
}

void SortBy(HWND page, int column) {
    g_printers.descending = column == g_printers.sortColumn ? !g_printers.descending : false;
    g_printers.sortColumn = column;
    ListView_SortItems(List(page), CompareRows, 0);
}

void InitPrinterPage(HWND page) {
    AttachPageText(page, "PRNLIST_TITLE", "PRNLIST_CONTENTS");
    LayoutPage(page, kPrinterLayout, g_setup.messageIni);
    CheckDlgButton(page, IDC_PRINTER_CHECK, BST_CHECKED);
    HWND list = List(page);
    for (int i = 0; i < kColumnCount; ++i) {
        std::string title = MessageText("LABEL", IniListKey("PRINTER_%02d", 3 + i).c_str(), 259);
        LVCOLUMNA column{};
        column.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_FMT;
        column.fmt = LVCFMT_LEFT;
        column.cx = kColumnWidths[i];
        column.pszText = title.data();
        ListView_InsertColumn(list, i, &column);
    }
    UINT flags = (g_setup.osCode >= kOsWith32BitIcons ? ILC_COLOR32 : ILC_COLOR16) | ILC_MASK;
    g_printers.images = ImageList_Create(kIconSize, kIconSize, flags, 3, 0);
    for (int id : {IDI_PRINTER_DEFAULT, IDI_PRINTER_OTHER, IDI_PRINTER_KEEP}) {
        HICON icon = static_cast<HICON>(LoadImageA(g_setup.instance, MAKEINTRESOURCEA(id), IMAGE_ICON, kIconSize, kIconSize, 0));
        ImageList_AddIcon(g_printers.images, icon);
        if (icon) DestroyIcon(icon);
    }
    FillPrinterList(page);
    g_printers.sortColumn = 0;
    g_printers.descending = false;
    ListView_SortItems(list, CompareRows, 0);
    ListView_SetItemState(list, 0, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
}

// The column's text, cut with "..." when it is wider than the column less a margin.
std::string FitColumn(HDC dc, const std::string& text, int width) {
    SIZE size{};
    GetTextExtentPoint32A(dc, text.c_str(), static_cast<int>(text.size()), &size);
    if (size.cx <= width) return text;
    for (size_t n = text.size(); n > 0; --n) {
        char cut[300];
        snprintf(cut, sizeof cut, "%s...", text.substr(0, n - 1).c_str());
        GetTextExtentPoint32A(dc, cut, static_cast<int>(strlen(cut)), &size);
        if (size.cx <= width) return cut;
    }
    return "...";
}

void DrawRow(const DRAWITEMSTRUCT* d) {
    size_t index = static_cast<size_t>(d->itemData);
    if (index >= g_printers.rows.size()) return;
    const PrinterRow& row = g_printers.rows[index];
    bool selected = (d->itemState & ODS_SELECTED) != 0;
    bool focused = GetFocus() == d->hwndItem;
    FillRect(d->hDC, &d->rcItem, GetSysColorBrush(!selected ? COLOR_WINDOW : focused ? COLOR_HIGHLIGHT : COLOR_INACTIVEBORDER));
    if (d->itemState & ODS_FOCUS) DrawFocusRect(d->hDC, &d->rcItem);
    SetTextColor(d->hDC, GetSysColor(selected && focused ? COLOR_HIGHLIGHTTEXT : COLOR_WINDOWTEXT));
    SetBkMode(d->hDC, TRANSPARENT);
    int top = d->rcItem.top + (d->rcItem.bottom - d->rcItem.top - kIconSize) / 2;
    ImageList_Draw(g_printers.images, row.image, d->hDC, d->rcItem.left + 2, top, ILD_TRANSPARENT);
    int x = d->rcItem.left;
    for (int i = 0; i < kColumnCount; ++i) {
        int width = ListView_GetColumnWidth(d->hwndItem, i);
        int left = x + (i == 0 ? kIconSize + 4 : 0) + kTextMargin / 2;
        RECT cell = {left, d->rcItem.top, x + width - kTextMargin / 2, d->rcItem.bottom};
        std::string shown = FitColumn(d->hDC, row.text[i], cell.right - cell.left);
        LVCOLUMNA column{};
        column.mask = LVCF_FMT;
        ListView_GetColumn(d->hwndItem, i, &column);
        UINT align = (column.fmt & LVCFMT_JUSTIFYMASK) == LVCFMT_RIGHT ? DT_RIGHT
                     : (column.fmt & LVCFMT_JUSTIFYMASK) == LVCFMT_CENTER ? DT_CENTER : DT_LEFT;
        DrawTextA(d->hDC, shown.c_str(), -1, &cell, align | DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX);
        x += width;
    }
}

INT_PTR OnNotify(HWND page, const NMHDR* header) {
    if (header->idFrom != IDC_PRINTER_LIST) return FALSE;
    auto* view = reinterpret_cast<const NMLISTVIEW*>(header);
    if (header->code == LVN_COLUMNCLICK) {
        SortBy(page, view->iSubItem);
    } else if (header->code == LVN_ITEMCHANGED && (view->uNewState & LVIS_SELECTED)) {
        size_t index = static_cast<size_t>(view->lParam);
        if (index < g_printers.rows.size()) {
            snprintf(g_printers.chosen, sizeof g_printers.chosen, "%s", index == 0 ? "" : g_printers.rows[index].text[0].c_str());
        }
    }
    return FALSE;
}

void MakeDefault(const char* printer) {
    char device[MAX_PATH] = "";
    DWORD bytes = sizeof device - 1;
    DWORD type = 0;
    if (!ReadRegistryValue(HKEY_CURRENT_USER, kDevicesKey, printer, device, &bytes, &type)) return;
    device[sizeof device - 1] = '\0';
    std::string value = std::string(printer) + "," + device;
    WriteRegistryValue(HKEY_CURRENT_USER, kWindowsKey, "Device", value.c_str(), static_cast<DWORD>(value.size() + 1), REG_SZ);
}

}  // namespace

bool MovePrinterToPort(const char* printer, const char* port, bool makeDefault) {
    PRINTER_DEFAULTSA access{nullptr, nullptr, PRINTER_ALL_ACCESS};
    HANDLE handle = nullptr;
    if (!OpenPrinterA(const_cast<char*>(printer), &handle, &access)) return false;
    DWORD needed = 0;
    GetPrinterA(handle, 5, nullptr, 0, &needed);
    std::vector<BYTE> block(needed);
    bool done = false;
    if (needed && GetPrinterA(handle, 5, block.data(), needed, &needed)) {
        auto* info = reinterpret_cast<PRINTER_INFO_5A*>(block.data());
        std::string newPort = port;
        info->pPortName = newPort.data();
        done = SetPrinterA(handle, 5, block.data(), 0) != FALSE;
        // Only a printer that now prints to the new port becomes the default.
        if (done && makeDefault) MakeDefault(printer);
    }
    ClosePrinter(handle);
    return done;
}

namespace {

INT_PTR LeavePrinterPage(HWND page) {
    HCURSOR old = SetCursor(LoadCursorA(nullptr, IDC_WAIT));
    HWND list = List(page);
    int selected = ListView_GetNextItem(list, -1, LVNI_SELECTED);
    LVITEMA item{};
    item.mask = LVIF_PARAM;
    item.iItem = selected;
    bool other = selected >= 0 && ListView_GetItem(list, &item) && item.lParam != 0;
    // A printer is moved only to a port the installation really created.
    if (ListView_GetItemCount(list) > 1 && other && g_printers.chosen[0] && g_setup.createdPortName[0]) {
        bool makeDefault = IsDlgButtonChecked(page, IDC_PRINTER_CHECK) == BST_CHECKED;
        if (!MovePrinterToPort(g_printers.chosen, g_setup.createdPortName, makeDefault)) {
            ShowPageMessage(page, "MESSAGE_19", MB_OK | MB_ICONWARNING, g_printers.chosen);
        }
        LogPrintf("*** PrnList ***");
        LogPrintf("  SetPrinter : %s(%s)", g_printers.chosen, g_setup.createdPortName);
    }
    SetCursor(old);
    return AcceptTo(page, g_setup.finishPage ? kPageFinish : kPageRestart);
}

INT_PTR ShowPrinterPage(HWND page) {
    EnableFrameClose(true);
    SetFrameCaption(IDC_NEXT, "NEXT");
    EnableFrameButton(IDC_NEXT, true);
    EnableFrameButton(IDC_BACK, false);
    EnableFrameButton(IDCANCEL, true);
    if (IsSilent(g_setup)) PostMessageA(g_setup.frame, WM_COMMAND, IDC_NEXT, 0);
    return PageAnswer(page, 1);
}

void FreePrinterPage(HWND page) {
    if (g_printers.images) ImageList_Destroy(g_printers.images);
    g_printers.images = nullptr;
    g_printers.rows.clear();
    FreePageData(page);
}

}  // namespace

INT_PTR CALLBACK PrinterListPageProc(HWND page, UINT message, WPARAM, LPARAM lParam) {
    switch (message) {
    case WM_INITDIALOG: return FALSE;
    case kWizardInit: InitPrinterPage(page); return PageAnswer(page, 1);
    case kWizardShown: return ShowPrinterPage(page);
    case kWizardNext: return LeavePrinterPage(page);
    case kWizardBack: return PageAnswer(page, 0);
    case WM_DRAWITEM: DrawRow(reinterpret_cast<const DRAWITEMSTRUCT*>(lParam)); return TRUE;
    case WM_NOTIFY: return OnNotify(page, reinterpret_cast<const NMHDR*>(lParam));
    case WM_CTLCOLORDLG:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORSTATIC: return WhiteBrush();
    case WM_DESTROY:
    case WM_ENDSESSION: FreePrinterPage(page); return TRUE;
    default: return FALSE;
    }
}
