// The synchronous renew of one server's device list (PnxRenewUsbDevices mode 2): the blocking
// request for the list and the hand-over of its reply to the device-list code.
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>

#include "server_entry.h"

// The device-list command and the reply message that goes with a protocol level.
const char* DeviceListCommand(uint16_t rwpLevel);
UINT DeviceListReplyMessage(uint16_t rwpLevel);

// Fetches the server's device list with a blocking request and hands it on; with no reply
// the server's devices get error kind 5 and the server a network-error status. Blocks the
// calling thread; no lock may be held. False when no reply came.
bool RenewDeviceListNow(HWND service, ServerEntry* entry);

// Takes a device-list reply as if it had come on the server's monitor channel with
// `replyMessage`.
void TakeDeviceListReply(ServerEntry* entry, UINT replyMessage, const uint8_t* reply, size_t length);
