// Reading a device-list reply that arrived for a server window: the reply form from the
// message it came with, what the parse needs to know about the server and the PC, and the
// log of the records read.
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>

#include "device_list_parse.h"
#include "server_entry.h"

// The form of a reply message (PNXM_MONITOR_DEVICE_LIST, _EX, _EX_II); false for another one.
bool DeviceListFormOfMessage(UINT message, DeviceListForm* form);

// The parse context of a server (library lock taken inside).
DeviceListContext DeviceListContextOf(const ServerEntry* entry);
// The same for the server of a window, looked up under the lock (for threads that hold no
// entry of their own); an empty server part when the window has none.
DeviceListContext DeviceListContextOfWindow(HWND serverWindow);

// Parses a reply for the server window and, with logging on, logs the records. Empty when the
// window has no server entry or the reply no device.
ParsedDeviceList ReadDeviceListReply(HWND serverWindow, DeviceListForm form, const uint8_t* data, size_t length);

// The log lines of parsed records.
void LogParsedDevices(HWND logWindow, const ParsedDeviceList& devices);
