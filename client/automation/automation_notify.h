// Automation threads tell the client through the service window: they post, the service
// window (on the thread that owns the client's window) sends.
#pragma once

#include <windows.h>

#include <cstdint>

#include "automation_threads.h"  // the threads that post through here, and their end

struct DeviceEntry;

constexpr UINT PNXM_AUTO_NOTIFY = 0x8199;

// PNXN_DEVICE with {kind, reason} and an AutoDeviceList of the one device.
void NotifyAutoDevice(DeviceEntry* device, uint16_t kind, uint16_t reason);
// PNXN_APPLICATION with {kind, 0} and the device.
void NotifyApplication(DeviceEntry* device, uint16_t kind);
// PNXN_DEVICE PNXET_CHANGE {reason} for the device, logged with `text` (a literal).
void NotifyDeviceChange(DeviceEntry* device, uint16_t reason, const char* text);
// The service window's handler of PNXM_AUTO_NOTIFY.
void DeliverAutoNotice(HWND service, LPARAM notice);
