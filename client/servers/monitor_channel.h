// Monitor channels: hidden windows of class "HIDE.MONITOR.CLASS.TW", one per server port, that
// keep a UDP socket open, run request/response exchanges driven by socket notices on the GUI
// thread, and post each complete reply to their owner (the server window) as
// PNXM_MONITOR_* (client/messages.h) with wParam = the channel window and lParam = the reply
// buffer. The buffer belongs to the channel and stays valid until its next request or its
// destruction; its length is MonitorReceivedLength().
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>

#include "address_record.h"

// Registers the monitor window class; reassemblySize is the largest reply a channel collects.
bool RegisterMonitorWindowClass(HINSTANCE instance, size_t reassemblySize);
void UnregisterMonitorWindowClass(HINSTANCE instance);

// Creates a channel to `server` (address and port) owned by `owner`; null when the window
// could not be created. A channel whose socket failed still gets its window (its senders
// give 0). Destroying the window (CloseMonitorChannel) closes the socket and frees the record.
HWND CreateMonitorChannel(HWND owner, const AddressRecord& server, const char* name,
                          int showCommand);
void CloseMonitorChannel(HWND channel);

enum class DeviceListKind { Basic, Ex, ExII };  // 1229, 1246, 1247

// Each gives 1 when the request went out whole, else 0 (also for a window that is gone).
int MonitorSendDeviceList(HWND channel, DeviceListKind kind);
int MonitorSendStorageList(HWND channel);

// Length of the channel's last complete reply (0 for a window that is not a channel).
size_t MonitorReceivedLength(HWND channel);
// The bytes of the channel's last complete reply, never more than its buffer holds. False
// (and nothing written) for a window that is not a live channel of this process. The bytes
// stay valid until the channel's next request or its destruction.
bool MonitorLastReply(HWND channel, const uint8_t** data, size_t* length);
// Name the last storage-list reply gave the channel (empty until one came); never null.
const char* MonitorChannelName(HWND channel);
