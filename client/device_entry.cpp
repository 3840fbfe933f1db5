#include "device_entry.h"

#include <commctrl.h>

#include "listview_util.h"

std::vector<DeviceEntry*> DeviceEntriesLocked(HWND serverWindow) {
    std::vector<DeviceEntry*> devices;
    HWND list = ServerDeviceList(serverWindow);
    if (!list) return devices;
    int count = ListView_GetItemCount(list);
    for (int row = 0; row < count; ++row) {
        if (auto* device = static_cast<DeviceEntry*>(ListViewItemData(list, row))) devices.push_back(device);
    }
    return devices;
}

bool DeviceListedLocked(HWND serverWindow, const DeviceEntry* device) {
    HWND list = ServerDeviceList(serverWindow);
    if (!list || !device) return false;
    LVFINDINFOA find = {};
    find.flags = LVFI_PARAM;
    find.lParam = reinterpret_cast<LPARAM>(device);
    return SendMessageA(list, LVM_FINDITEMA, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(&find)) >= 0;
}
