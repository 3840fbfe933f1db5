// Safe removal of a storage device before its disconnect: the eject request for its device
// node, the walk that finds it on Windows 2000, and PnxSafeRemovalDevice.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

#include "pnxscapi.h"

// 1 when removed, not removable, or without an instance id; 0 when the eject failed.
int SafetyRemove(HWND logWindow, const std::string& instanceId);

// Windows 2000: the USB mass-storage device of that vendor and product that the bus driver
// places on this server and location. 1 when one was removed.
int SafetyRemoveOld(HWND logWindow, uint16_t vid, uint16_t pid, uint32_t serverAddress, const char* location);

// The safe removal of a device's storage functions (PnxSafeRemovalDevice).
int SafeRemoveDevice(HWND service, HPnxDv device);
