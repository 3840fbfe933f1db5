// The rows of the main dialog's device list and tree as the commands, menus and the tray use
// them: handles and selection from the views, states read through the library.
#pragma once

#include <windows.h>

#include <cstdint>
#include <vector>

#include "operation_builders.h"
#include "tray_menu_model.h"

struct ListRowRef {
    uint64_t handle = 0;
    bool storage = false;
    bool selected = false;
};

// Every row of the device list, in list order.
std::vector<ListRowRef> MainListRows();
// The tree's selected item: a server (handle of the server) or a device or storage entry.
struct TreeSelection {
    uint64_t server = 0;
    uint64_t device = 0;
    bool storage = false;
};
TreeSelection MainTreeSelection();

DeviceRow DescribeDeviceRow(const ListRowRef& row);
TrayRow DescribeTrayRow(const ListRowRef& row);
std::vector<DeviceRow> DescribeRows(const std::vector<ListRowRef>& rows);
// The devices and storage entries of a server, read through the library.
ServerModel DescribeServer(uint64_t server);

// A device's status (UsbDeviceInfo), 0 when it cannot be read.
uint16_t DeviceStatus(uint64_t device);
// A use-request dialog (requester or owner side) is open.
bool IsRequestDialogOpen();
// The tray's state suffix of a device: [MENU] MN_FREE, MN_CONNECT or MN_OTHER for status 1, 2
// or 3, copied only when non-empty and shorter than `capacity`; FALSE otherwise.
BOOL GetMenuStateText(uint16_t status, wchar_t* buffer, size_t capacity);
