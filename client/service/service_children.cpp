#include <windows.h>
#include <commctrl.h>

#include "connect_queue.h"
#include "messages.h"
#include "row_index.h"
#include "service_window.h"

namespace {
constexpr DWORD kListStyle = LVS_REPORT | LVS_SHOWSELALWAYS;

constexpr ServiceChildColumn kServerColumns[] = {
    {"Ethernet Address", 120}, {"IP Address", 100}, {"Host Name", 100}, {"Rwp Version", 100}};
constexpr ServiceChildColumn kQueueColumns[] = {{"Connect USB Device", 200}, {"Mode", 100}};
// "Priner" is the column title older builds show; tools that read the window expect it.
constexpr ServiceChildColumn kPrinterColumns[] = {{"Priner", 100}, {"Port", 100}};
constexpr ServiceChildColumn kProcessColumns[] = {{"Path", 100}, {"Application", 100}, {"Process ID", 100}};
constexpr ServiceChildColumn kDetectedColumns[] = {{"Detected Ethernet", 100}};

constexpr ServiceChildSpec kChildren[] = {
    {kIdServerList, WC_LISTVIEWA, kListStyle, 0, 0, -5, 150, kServerColumns, 4},
    {kIdConnectQueue, WC_LISTVIEWA, kListStyle, 0, 151, -5, 150, kQueueColumns, 2},
    {kIdPrinterList, WC_LISTVIEWA, kListStyle, 0, 302, 200, 150, kPrinterColumns, 2},
    {kIdProcessList, WC_LISTVIEWA, kListStyle | LVS_NOSORTHEADER, 201, 302, -210, 150, kProcessColumns, 3},
    {kIdLogList, "LISTBOX", WS_VSCROLL | WS_BORDER | LBS_NOINTEGRALHEIGHT, 0, 453, -5, 150, nullptr, 0},
    {kIdDetectedServers, WC_LISTVIEWA, kListStyle | LVS_NOSORTHEADER, 0, 604, -5, 150, kDetectedColumns, 1},
};

bool AddColumns(HWND list, const ServiceChildSpec& spec) {
    for (int i = 0; i < spec.columnCount; ++i) {
        LVCOLUMNA column = {};
        column.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_SUBITEM;
        column.pszText = const_cast<char*>(spec.columns[i].title);
        column.cx = spec.columns[i].width;
        column.iSubItem = i;
        if (SendMessageA(list, LVM_INSERTCOLUMNA, i, reinterpret_cast<LPARAM>(&column)) < 0) return false;
    }
    return true;
}

HWND CreateChild(HWND window, const ServiceChildSpec& spec, int clientWidth, HFONT font) {
    int width = spec.width > 0 ? spec.width : clientWidth + spec.width;
    HWND child = CreateWindowExA(0, spec.windowClass, "", WS_CHILD | WS_VISIBLE | spec.extraStyle, spec.x, spec.y,
                                 width, spec.height, window,
                                 reinterpret_cast<HMENU>(static_cast<INT_PTR>(spec.id)),
                                 reinterpret_cast<HINSTANCE>(GetWindowLongPtrA(window, GWLP_HINSTANCE)), nullptr);
    if (!child) return nullptr;
    RowIndexClear(child);  // a new list: nothing of a list that had its handle before
    if (font) SendMessageA(child, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    // The service window is hidden until someone shows it: its lists need not repaint.
    if (!IsWindowVisible(window)) SendMessageA(child, WM_SETREDRAW, FALSE, 0);
    if (spec.columns) {
        ListView_SetExtendedListViewStyle(child, LVS_EX_FULLROWSELECT);
        if (!AddColumns(child, spec)) {
            DestroyWindow(child);
            return nullptr;
        }
    }
    return child;
}
}  // namespace

const ServiceChildSpec* ServiceChildSpecs(int* count) {
    if (count) *count = static_cast<int>(sizeof kChildren / sizeof kChildren[0]);
    return kChildren;
}

bool CreateServiceChildren(HWND window, HFONT font) {
    RECT client = {};
    GetClientRect(window, &client);
    for (const ServiceChildSpec& spec : kChildren) {
        HWND child = CreateChild(window, spec, client.right - client.left, font);
        if (!child) return false;
        if (spec.id == kIdConnectQueue && !AttachConnectQueueState(child)) return false;
    }
    return true;
}
