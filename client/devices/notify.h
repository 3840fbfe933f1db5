// Notifications to the client window: the NotifyEvent that each PNXN_ message carries, the
// server and device notifications with their log lines, and the texts that describe them.
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <vector>

#include "pnxscapi.h"
#include "server_entry.h"

static_assert(sizeof(AutoDeviceItem) == 10);
static_assert(offsetof(AutoDeviceItem, type) == 8);
static_assert(sizeof(AutoDeviceList) == 4 + sizeof(void*));
static_assert(offsetof(AutoDeviceList, items) == 4);

// Flags of a PNXET_CHANGE server event.
constexpr uint16_t kServerChangeBase = 0x1;      // address, host name, model or extra data
constexpr uint16_t kServerChangeFunction = 0x2;
constexpr uint16_t kServerChangeStatus = 0x4;    // status or option word
constexpr uint16_t kServerChangeAnalysed = 0x8;  // the analysis finished

// Flags of a PNXET_CHANGE device event.
constexpr uint16_t kDeviceChangePcName = 0x1;
constexpr uint16_t kDeviceChangeFunction = 0x2;
constexpr uint16_t kDeviceChangeStatus = 0x4;

// Sends `message` with a NotifyEvent {kind, flags} to the registered client window. Kind 0
// means there is nothing to tell: nothing is sent. False when nothing was sent.
bool SendClientNotification(UINT message, uint16_t kind, uint16_t flags, LPARAM lParam);

// Logs the server's words to `logWindow` and, for a kind other than 0, sends PNXN_SERVER with
// {kind, flags} and the entry. 0 for an entry without record, else 1.
int NotifyServer(HWND logWindow, ServerEntry* entry, uint16_t kind, uint16_t flags);

// One device change, filled by the device-list code and notified in batches.
struct DeviceChangeRecord {
    HPnxDv device = nullptr;
    uint16_t kind = 0;
    uint16_t flags = 0;
    char message[128] = {};   // cut to 127 characters
    char data[260] = {};      // optional; empty when absent
};

// Fills a record; 0 (record untouched) when the device has no information.
int FillChangeRecord(DeviceChangeRecord* record, HPnxDv device, uint16_t kind, uint16_t flags,
                     const char* message, const char* data);

// Logs every record with the device's current information and sends PNXN_DEVICE for each
// record whose kind is not 0.
void NotifyDevices(HWND logWindow, const DeviceChangeRecord* records, size_t count);

// Sends PNXN_DEVICE {kind, reason} for several devices at once with an AutoDeviceList in
// lParam. Nothing is sent for an empty list or kind 0.
bool NotifyDeviceList(HWND logWindow, uint16_t kind, uint16_t reason, std::vector<AutoDeviceItem>& items);

// Text routines. Each writes its text into out only when it fits with its terminator and
// then returns true; otherwise out is left untouched.
bool EventKindText(uint16_t kind, char* out, size_t capacity);          // "PNXET_NEW", ...
bool ServerEventText(uint16_t kind, uint16_t flags, char* out, size_t capacity);
bool DeviceEventText(uint16_t kind, uint16_t flags, char* out, size_t capacity);
bool ServerStatusText(uint16_t status, char* out, size_t capacity);
bool ServerFunctionText(uint16_t function, char* out, size_t capacity);
bool DeviceStatusText(uint16_t status, char* out, size_t capacity);
bool DeviceStatusExText(uint16_t statusEx, char* out, size_t capacity);
bool DeviceFunctionText(uint16_t function, char* out, size_t capacity);
bool ReserveText(uint16_t reserve, char* out, size_t capacity);
