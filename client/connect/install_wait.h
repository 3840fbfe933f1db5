// Waiting for Windows to install a connected device: its bus device id from the driver, the
// devices Windows made below it and the print-class devices of its printer functions. Full
// mode waits as long as installation may take; quick mode (the device-list update) only looks
// once for a device this PC uses whose ids are not stored yet.
#pragma once

#include <windows.h>

struct DeviceEntry;

bool WaitZkuptpDeviceId(HWND logWindow, DeviceEntry* device, bool quick);
bool WaitChildDeviceId(HWND logWindow, DeviceEntry* device, bool quick);
bool WaitPrinterDeviceId(HWND logWindow, DeviceEntry* device, bool quick);

// The three waits in full mode, logged to the device's server window.
void WaitDeviceInstalled(DeviceEntry* device);

// The quick looks of the device-list update: ids of a device this PC uses that are not stored
// yet. No lock may be held.
void RefreshDeviceIdsQuick(HWND logWindow, DeviceEntry* device);

// Pause between two looks of a wait; unit tests shorten it.
inline DWORD g_installRetryMs = 1000;
