// What callers read, copy and store of a server's USB devices: enumeration, the records
// copied out and released, the settings, the COM port, the store path, instance ids
// and the caller's own value.
#pragma once

#include <windows.h>

#include <cstdint>

#include "pnxscapi.h"

int DeviceEnum(HWND ignored, HPnxSv server, uint32_t index, HPnxDv* device);
int DeviceInitRecords(HWND ignored, UsbDeviceInfo* info, PropertyInfo* property);
int DeviceFreeRecords(HWND ignored, UsbDeviceInfo* info, PropertyInfo* property);
int DeviceGetInfo(HWND ignored, HPnxDv device, UsbDeviceInfo* info, PropertyInfo* property);
int DeviceSetInfo(HWND ignored, HPnxDv device, const PropertyInfo* property);
int DeviceComPort(HWND ignored, HPnxDv device, ComPortInfo* out);
int DeviceStorePath(HWND service, HPnxDv device, HKEY* root, char* path);
uint16_t DeviceConnectAction(HWND ignored, HPnxDv device);
int DeviceInstanceId(HWND service, HPnxDv device, uint32_t index, char* buffer, int size);
uintptr_t DeviceGetParam(HWND service, HPnxDv device);
int DeviceSetParam(HWND service, HPnxDv device, uintptr_t value);
