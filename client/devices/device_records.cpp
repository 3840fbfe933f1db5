// What callers read, copy and store of the records of a server's USB devices.
#include "device_records.h"

#include <windows.h>
#include <commctrl.h>

#include <cstring>
#include <string>

#include "bus_driver.h"
#include "connect_marks.h"
#include "device_entry.h"
#include "lib_lock.h"
#include "lib_state.h"
#include "listview_util.h"
#include "server_entry.h"
#include "settings_store.h"
#include "text_util.h"

namespace {

// Driver port states in which a COM port number is given.
constexpr uint16_t kPortStateConnected = 2;
constexpr uint16_t kPortStateComWaiting = 4;

int BothRecordsResult(const void* info, const void* property) { return (property || info) ? 1 : 0; }

// Copies what the caller needs only when it fits with its terminator.
// Clears the connect mark of a device whose settings no longer ask for a reconnect, or that
// is not waiting for one.
void ClearConnectMarkLocked(DeviceEntry* device, const std::string& key) {
    UsbDeviceInfo* info = device->info;
    device->pending &= static_cast<uint16_t>(~kPendingAutoConnect);
    if (info->statusEx & kDeviceStatusExWrongDisconnect) info->previousStatusEx |= kDeviceStatusExWrongDisconnect;
    info->statusEx &= static_cast<uint16_t>(~kDeviceStatusExWrongDisconnect);
    SettingsStore store = CurrentSettingsStore();
    if (store.kind != qz::SettingsLocation::kNone) DeleteConnectMark(&store, key.c_str());
}

}  // namespace

int DeviceEnum(HWND, HPnxSv server, uint32_t index, HPnxDv* device) {
    if (!server || !device) return 0;
    LibraryLock lock;
    std::vector<DeviceEntry*> devices = DeviceEntriesLocked(server->serverWindow);
    if (index >= devices.size()) return 0;
    *device = devices[index];
    return 1;
}

int DeviceInitRecords(HWND, UsbDeviceInfo* info, PropertyInfo* property) {
    if (info) *info = {};
    if (property) *property = {};
    return BothRecordsResult(info, property);
}

int DeviceFreeRecords(HWND, UsbDeviceInfo* info, PropertyInfo* property) {
    FreeUsbDeviceInfoParts(info);
    FreePropertyInfoParts(property);
    return BothRecordsResult(info, property);
}

int DeviceGetInfo(HWND, HPnxDv device, UsbDeviceInfo* info, PropertyInfo* property) {
    if (!device) return 0;
    LibraryLock lock;
    if (!device->info || !device->property) return 0;
    FreeUsbDeviceInfoParts(info);
    FreePropertyInfoParts(property);
    if (info && !CopyUsbDeviceInfo(info, *device->info)) return 0;
    if (property && !CopyPropertyInfo(property, *device->property, true)) {
        FreeUsbDeviceInfoParts(info);
        return 0;
    }
    return 1;
}

int DeviceSetInfo(HWND, HPnxDv device, const PropertyInfo* property) {
    if (!device || !property) return 0;
    PropertyInfo copy = {};
    if (!CopyPropertyInfo(&copy, *property, true)) return 0;
    LibraryLock lock;
    if (!device->info || !device->property) {
        FreePropertyInfoParts(&copy);
        return 0;
    }
    FreePropertyInfoParts(device->property);
    *device->property = copy;
    std::string key = DeviceKeyOfLocked(device);
    SettingsStore store = CurrentSettingsStore();
    if (store.kind != qz::SettingsLocation::kNone) WriteDeviceProperties(&store, key.c_str(), device->info, device->property);
    if (!(copy.property & kPropertyReconnect) || !(device->info->statusEx & kDeviceStatusExWrongDisconnect)) {
        ClearConnectMarkLocked(device, key);
    }
    if (!(copy.printer & kPrinterAutoPrinter)) device->pending &= static_cast<uint16_t>(~kPendingAutoPrinter);
    return 1;
}

int DeviceComPort(HWND, HPnxDv device, ComPortInfo* out) {
    if (!device) return 0;
    uint32_t address = 0;
    std::string location;
    {
        LibraryLock lock;
        ServerEntry* server = ServerEntryOfWindow(device->serverWindow);
        if (!server || !server->record || !server->record->info) return 0;
        address = server->record->info->ipAddress;
        if (device->info) GetListItem(device->info->locations, 0, &location);
    }
    // The driver is asked without the lock held.
    PortStatus status = {};
    if (out && !location.empty() && QueryPortStatus(address, location.c_str(), &status, true) &&
        (status.state == kPortStateConnected || status.state == kPortStateComWaiting)) {
        ComPortInfo info = {status.comPort, status.value};
        std::memcpy(out, &info, sizeof info);
    }
    return 1;
}

// The caller's buffer holds MAX_PATH characters (there is no size argument): a longer path
// fails rather than running past it.
int DeviceStorePath(HWND service, HPnxDv device, HKEY* root, char* path) {
    if (!service || !device || !root || !path) return 0;
    SettingsStore store = CurrentSettingsStore();
    if (store.kind != qz::SettingsLocation::kRegistry) return 0;
    std::string key;
    {
        LibraryLock lock;
        key = DeviceKeyOfLocked(device);
    }
    if (key.empty() || !CopyIfFits(DeviceKeyPath(store, key.c_str()), path, MAX_PATH)) return 0;
    *root = store.root;
    return 1;
}

uint16_t DeviceConnectAction(HWND, HPnxDv device) {
    if (!device) return 0;
    LibraryLock lock;
    return device->connectAction;
}

int DeviceInstanceId(HWND service, HPnxDv device, uint32_t index, char* buffer, int size) {
    if (!service || !device || !buffer || size <= 0) return 0;
    LibraryLock lock;
    if (!device->ids || index >= device->ids->deviceIds.size()) return 0;
    return CopyIfFits(device->ids->deviceIds[index], buffer, static_cast<size_t>(size)) ? 1 : 0;
}

uintptr_t DeviceGetParam(HWND service, HPnxDv device) {
    if (!service || !device) return 0;
    LibraryLock lock;
    return static_cast<uintptr_t>(device->callerValue);
}

int DeviceSetParam(HWND service, HPnxDv device, uintptr_t value) {
    if (!service || !device) return 0;
    LibraryLock lock;
    device->callerValue = value;
    return 1;
}
