// What the handlers read from the library about one device, and the row and item parts that
// USB devices and storage entries fill alike.
#pragma once

#include <windows.h>

#include <string>

#include "../../../client/pnxscapi.h"
#include "../../../client/server_entry.h"
#include "../../../client/usb_device_info.h"
#include "list_view.h"
#include "tree_view.h"

// A device's records, released with the library when the facts go.
struct DeviceFacts {
    DeviceFacts();
    ~DeviceFacts();
    DeviceFacts(const DeviceFacts&) = delete;
    DeviceFacts& operator=(const DeviceFacts&) = delete;

    UsbDeviceInfo info{};
    PropertyInfo property{};
    std::wstring displayName;  // the property name (OEM code page), else the device name
    ServerInfo server{};
    HPnxSv serverHandle = nullptr;
};
bool ReadDeviceFacts(HPnxDv device, DeviceFacts* facts);

// Host name, address text, hardware address and model of the device's server.
void FillServerTexts(DeviceRowData* row, const ServerInfo& server);
// Inserts a device or storage item under its server's item, which is marked as having
// children; the data is freed when there is no such server item.
void InsertTreeChild(HWND tree, uint64_t server, uint64_t handle, TreeDeviceData* data);
