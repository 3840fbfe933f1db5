// Brings a server's device list up to date from one device-list reply: known devices matched
// with the fresh records and updated, new devices added, vanished ones marked or deleted, each
// change reported to the client, and the automatic-connect candidates collected.
#pragma once

#include <windows.h>

#include <cstdint>
#include <unordered_set>

#include "auto_connect_list.h"
#include "device_list_parse.h"

struct DeviceEntry;

enum class MissingMode {
    TimeOut,     // the server stopped answering: every device takes part
    ZeroDevice,  // the reply had no device: every device takes part
    NoDevice,    // only the devices the reply did not name take part
};

// The rows that a reply named (NoDevice mode leaves them alone).
using SeenDevices = std::unordered_set<const DeviceEntry*>;

// Steps of one update that precede the notifications of the candidate lists: every change is
// applied and notified, and `lists` holds the candidates the client is to be told about. Runs
// on the server window's thread with no lock held.
void UpdateDeviceList(HWND serverWindow, ParsedDeviceList& fresh, AutoDeviceCandidates& lists);

// What an update asks of the layers above it, all on the server window's thread with no lock
// held. The server session, the connect layer and automation register these at library start
// (LibraryAttach).
struct DeviceListHooks {
    bool (*deviceQueued)(const DeviceEntry* device) = nullptr;  // any connect request queued for it
    uint8_t (*refreshComPort)(DeviceEntry* device) = nullptr;   // the COM port the bus driver gave it, or 0
    void (*refreshIdsQuick)(HWND logWindow, DeviceEntry* device) = nullptr;     // its Plug and Play ids
    void (*warnDisconnect)(HWND serverWindow, DeviceEntry* device) = nullptr;   // the disconnect warning
    void (*listUpdated)(HWND serverWindow) = nullptr;  // the end of each update: automation starts
    // The server's status word: 1 no device, 2 devices (ApplyServerStatusUpdate's types).
    void (*serverStatus)(HWND serverWindow, int type, bool apply) = nullptr;
    void (*startBlackout)(HWND serverWindow) = nullptr;  // a display adapter is watched: its timer
};
void SetDeviceListHooks(const DeviceListHooks& hooks);

// Devices that the server no longer reports get `status`. `seen` is used in NoDevice mode.
// Vanished devices are deleted when the server's remove-missing mark is set, and devices
// marked for deletion when its delete mark is set. No lock held.
void MarkDevicesMissing(HWND serverWindow, MissingMode mode, uint16_t status, const SeenDevices* seen);

// A reply without devices.
void ClearDeviceList(HWND serverWindow);
