// The library's record of one device of a server (DeviceEntry, behind every HPnxDv) and the
// server window's device list that holds them. Entries are the item data of the list view
// kIdDeviceList of a server window; they and their parts are read and written under the
// library lock.
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "child_windows.h"
#include "messages.h"
#include "pnxscapi.h"
#include "usb_device_info.h"

struct NasInfo;
struct ServerInfo;

// DeviceEntry::busy values.
constexpr uint16_t kDeviceBusyConnecting = 1;
constexpr uint16_t kDeviceBusyDisconnecting = 2;

// DeviceEntry::pending bits.
constexpr uint16_t kPendingAutoConnect = 0x1;
constexpr uint16_t kPendingAutoPrinter = 0x2;
constexpr uint16_t kPendingApplication = 0x4;

// State images of a device-list row during one device-list update.
constexpr int kRowStateNotSeen = 1;
constexpr int kRowStateSeen = 2;

// The Plug and Play ids of a device: the bus device of each port, the devices Windows
// installed below them and the print-class devices of its printer functions.
struct DeviceIdSet {
    std::vector<std::string> busIds;
    std::vector<std::string> deviceIds;
    std::vector<std::string> printerIds;
    uint32_t printerInterfaces = 0;  // interfaces of class 7, counted when the entry was made
};

// The library's record of one device (or storage entry) of a server; HPnxDv points to it.
struct DeviceEntry {
    HWND serverWindow;
    uint16_t pending;              // kPending* bits; library lock
    uint16_t busy;                 // kDeviceBusyConnecting / kDeviceBusyDisconnecting, else 0
    uint8_t keepAliveLost;         // the bus driver lost a port of a device this PC uses
    uint16_t connectAction;        // action of the last connect or disconnect; 0 when none
    uint8_t deleteMark;            // delete at the next missing-device pass
    void* autoApplication;
    void* autoPrinter;
    DeviceIdSet* ids;
    UsbDeviceInfo* info;           // from NewUsbDeviceInfo
    PropertyInfo* property;        // from NewPropertyInfo
    NasInfo* storage;              // set for a storage entry
    uint32_t printerListChanged;
    uint8_t blackoutWatch;         // takes part in the blackout query
    uint64_t callerValue;          // PnxGetDeviceParam / PnxSetDeviceParam
    // Connect requests that name the entry keep it alive after its row is deleted; the last
    // one to let go releases it. Both under the library lock.
    uint32_t requestRefs;
    bool removed;                  // no longer a row: nothing may act on it any more
};

// The device list of a server window, or null. Remembered per window: every export on a device
// handle looks it up.
inline HWND ServerDeviceList(HWND serverWindow) {
    return serverWindow && IsWindow(serverWindow) ? ChildWindow(serverWindow, kIdDeviceList) : nullptr;
}

// The entries of a server window's device list in row order, valid while the caller keeps
// holding the library lock.
std::vector<DeviceEntry*> DeviceEntriesLocked(HWND serverWindow);

// True while `device` is a row of the server window's device list.
bool DeviceListedLocked(HWND serverWindow, const DeviceEntry* device);

// The row of `device` in the server window's device list, or -1.
int DeviceRowLocked(HWND serverWindow, const DeviceEntry* device);

// --- Entries.

// A new entry for a device first seen in a reply: a zero-filled entry with its own info (a
// deep copy of `record`), property and id set, the printer interfaces counted. Not listed
// yet. Null when any allocation fails (nothing is left allocated).
DeviceEntry* NewDeviceEntry(HWND serverWindow, const UsbDeviceInfo& record);

// Releases an entry with everything it owns. The entry must no longer be a row.
void DestroyDeviceEntry(DeviceEntry* device);

// Every entry made and not yet destroyed, device or storage. A handle from a caller is found
// here before anything of it is read; a stale or made-up handle is simply not found.
void RememberLiveEntry(const DeviceEntry* entry);
bool IsLiveEntry(const void* handle);

// A connect request takes and drops its hold on an entry. Dropping the last hold of an entry
// whose row is gone releases it.
void HoldDeviceEntryLocked(DeviceEntry* device);
void DropDeviceEntryLocked(DeviceEntry* device);

// Creates the entry of a device first seen in a reply and appends it as the last row of the
// server window's device list with state image kRowStateSeen: starting settings from the
// extended defaults or the default property, then the settings store's record of the device
// (settings, ids, connect mark) when it has one, else the device is recorded there.
// Null when the entry could not be made or listed.
DeviceEntry* CreateDeviceEntryLocked(HWND serverWindow, const ServerInfo& server, const UsbDeviceInfo& record);

// Deletes the row of `device` from its server window's device list and releases the entry.
// False when the device is not listed there.
bool DeleteDeviceRowLocked(HWND serverWindow, DeviceEntry* device);

// Called under the library lock for a device whose row is deleted, while the entry is still
// held: the connect queue lets go of the device's waiting requests. The connect layer
// registers it at library start (LibraryAttach).
using DeviceRowDeletedHook = void (*)(DeviceEntry* device);
void SetDeviceRowDeletedHook(DeviceRowDeletedHook hook);

// The device key of an entry's device; empty when the entry has no info
// or its server no record.
std::string DeviceKeyOfLocked(const DeviceEntry* device);
