#include "detected_servers.h"
#include "child_windows.h"

#include <commctrl.h>
#include <cstring>

#include "listview_util.h"
#include "messages.h"
#include "row_index.h"
#include "text_util.h"
#include "win_handles.h"

namespace {
HWND DetectedList(HWND serviceWindow) {
    if (!serviceWindow || !IsWindow(serviceWindow)) return nullptr;
    return ChildWindow(serviceWindow, kIdDetectedServers);
}
}  // namespace

int FindDetectedServer(HWND serviceWindow, const char* hardwareText) {
    HWND list = DetectedList(serviceWindow);
    LPARAM data = FindRowByKey(list, 0, hardwareText);
    return data ? RowOfItemData(list, data) : -1;
}

bool DetectedServerKnown(HWND serviceWindow, const char* hardwareText) {
    return FindDetectedServer(serviceWindow, hardwareText) >= 0;
}

void AddDetectedServer(HWND serviceWindow, const DetectedServer& server) {
    HWND list = DetectedList(serviceWindow);
    if (!list) return;
    // The row owns a process-heap copy; the service window frees it when the row goes.
    qz::HeapBlock block(HeapAlloc(GetProcessHeap(), 0, sizeof(DetectedServer)));
    auto* copy = static_cast<DetectedServer*>(block.get());
    if (!copy) return;
    *copy = server;
    copy->hostName[sizeof copy->hostName - 1] = '\0';
    copy->modelName[sizeof copy->modelName - 1] = '\0';
    std::string text = HardwareAddressText(server.hardwareAddress);
    LVITEMA item = {};
    item.mask = LVIF_TEXT | LVIF_PARAM;
    item.iItem = ListView_GetItemCount(list);
    item.pszText = text.data();
    item.lParam = reinterpret_cast<LPARAM>(copy);
    // Taken by the row when it goes in; freed here otherwise.
    if (SendMessageA(list, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item)) < 0) return;
    block.release();
    RowIndexAdd(list, text.c_str(), item.lParam);
}

void ClearDetectedServers(HWND serviceWindow) {
    if (HWND list = DetectedList(serviceWindow)) {
        ListView_DeleteAllItems(list);
        RowIndexClear(list);
    }
}

int DetectedServerCount(HWND serviceWindow) {
    HWND list = DetectedList(serviceWindow);
    return list ? ListView_GetItemCount(list) : 0;
}

const DetectedServer* DetectedServerAt(HWND serviceWindow, int row) {
    return static_cast<const DetectedServer*>(ListViewItemData(DetectedList(serviceWindow), row));
}
