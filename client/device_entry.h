// The device records of a server: UsbDeviceInfo (what a device is and who uses it) and the
// library's DeviceEntry behind every HPnxDv. Entries are the item data of a server window's
// device list (control kIdDeviceList); they and their parts are read and written under the
// library lock.
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <vector>

#include "messages.h"
#include "pnxscapi.h"

struct PropertyInfo;
struct DeviceIdSet;
struct NasInfo;

// Device status values.
constexpr uint16_t kDeviceStatusGetStatus = 0;
constexpr uint16_t kDeviceStatusFree = 1;
constexpr uint16_t kDeviceStatusConnected = 2;     // used by this PC
constexpr uint16_t kDeviceStatusOtherPc = 3;       // used by another PC
constexpr uint16_t kDeviceStatusNoDevice = 4;
constexpr uint16_t kDeviceStatusError = 5;

// DeviceEntry::busy values.
constexpr uint16_t kDeviceBusyConnecting = 1;
constexpr uint16_t kDeviceBusyDisconnecting = 2;

constexpr size_t kUserPcNameSize = 65;

#pragma pack(push, 1)
// Caller-owned record of one USB device (filled by the library; strings on the local heap).
struct UsbDeviceInfo {
    char* name;
    char* ports;                   // comma-separated port names, one per interface
    char* locations;               // comma-separated location texts, one per interface
    char* serial;
    uint16_t vid;
    uint16_t pid;
    uint16_t* interfaceClasses;
    uint16_t* interfaceSubclasses;
    uint32_t interfaceCount;
    uint32_t userAddress;          // IPv4 of the PC that uses the device, network order
    char userPcName[kUserPcNameSize];
    uint8_t comPort;
    uint16_t previousFunction;
    uint16_t previousStatus;
    uint16_t previousStatusEx;
    uint16_t function;
    uint16_t status;
    uint16_t statusEx;
};
#pragma pack(pop)
static_assert(offsetof(UsbDeviceInfo, vid) == 4 * sizeof(void*));
static_assert(offsetof(UsbDeviceInfo, userPcName) == 12 + 6 * sizeof(void*));
static_assert(sizeof(UsbDeviceInfo) == 90 + 6 * sizeof(void*));  // 138 bytes in 64-bit builds

// The library's record of one device (or storage entry) of a server; HPnxDv points to it.
struct DeviceEntry {
    HWND serverWindow;
    uint16_t pending;              // automatic-connect bits
    uint16_t busy;                 // kDeviceBusyConnecting / kDeviceBusyDisconnecting, else 0
    uint8_t keepAliveLost;         // the bus driver lost a port of a device this PC uses
    uint16_t connectAction;        // action of the last connect or disconnect; 0 when none
    uint8_t deleteMark;
    void* autoApplication;
    void* autoPrinter;
    DeviceIdSet* ids;
    UsbDeviceInfo* info;
    PropertyInfo* property;
    NasInfo* storage;              // set for a storage entry
    uint32_t printerListChanged;
    uint8_t blackoutWatch;         // takes part in the blackout query
    uint64_t callerValue;
};

// The device list of a server window, or null.
inline HWND ServerDeviceList(HWND serverWindow) {
    return serverWindow && IsWindow(serverWindow) ? GetDlgItem(serverWindow, kIdDeviceList) : nullptr;
}

// The entries of a server window's device list in row order. The caller holds the library lock
// for as long as it uses them.
std::vector<DeviceEntry*> DeviceEntriesLocked(HWND serverWindow);

// True while `device` is a row of the server window's device list (library lock held).
bool DeviceListedLocked(HWND serverWindow, const DeviceEntry* device);
