#include "warn_disconnect.h"

#include <string>

#include "bus_driver.h"
#include "connect_hooks.h"
#include "connect_marks.h"
#include "device_entry.h"
#include "lib_lock.h"
#include "log.h"
#include "server_entry.h"
#include "settings_store.h"

namespace {

constexpr uint16_t kPortStateHeld = 2;
constexpr uint16_t kConnectActionAutoPrinter = 3;

// The bus driver may still hold the ports of a serial device: let them go so that the port
// can be opened again once the device is back.
void ReleaseComPorts(HWND serverWindow, uint32_t address, const std::string& locations) {
    std::string location;
    for (size_t i = 0; GetListItem(locations.c_str(), i, &location); ++i) {
        LogLine(serverWindow, "  Location: %s", location.c_str());
        PortStatus status = {};
        if (!QueryPortStatus(address, location.c_str(), &status, false)) {
            LogLine(serverWindow, "  --> Get driver status error.");
            continue;
        }
        if (status.state != kPortStateHeld) continue;
        ForceReleasePort(address, location.c_str());
        PortStatus after = {};
        QueryPortStatus(address, location.c_str(), &after, false);
        LogLine(serverWindow, "  Force Status: 0x%08x", static_cast<unsigned>(after.state));
    }
}

}  // namespace

void WarnDisconnect(HWND serverWindow, DeviceEntry* device) {
    bool first = false;
    std::string name, locations;
    uint32_t address = 0;
    {
        LibraryLock lock;
        if (!DeviceListedLocked(serverWindow, device) || !device->info) return;
        UsbDeviceInfo* info = device->info;
        if (!(info->statusEx & kDeviceStatusExWrongDisconnect)) {
            first = true;
            info->statusEx |= kDeviceStatusExWrongDisconnect;
            info->comPort = 0;
            name = info->name ? info->name : "";
            locations = info->locations ? info->locations : "";
            ServerEntry* entry = ServerEntryOfWindow(serverWindow);
            if (entry && entry->record && entry->record->info) address = entry->record->info->ipAddress;
        }
    }
    if (first) {
        LogLine(serverWindow, "### Warning Disconnect ###");
        LogLine(serverWindow, "  Device: %s", name.c_str());
        if (IsComPortLocation(locations.c_str())) ReleaseComPorts(serverWindow, address, locations);
        LogLine(serverWindow, "### Warning Disconnect(End) ###");
    }
    // A disconnect wait of the device's Auto Printer has nothing left to wait for.
    ReleaseAutoPrinterWaitHook(device);
    LibraryLock lock;
    if (!DeviceListedLocked(serverWindow, device)) return;
    if (device->connectAction == kConnectActionAutoPrinter) {
        device->pending = static_cast<uint16_t>((device->pending & ~kPendingAutoConnect) | kPendingAutoPrinter);
    } else if (device->property && (device->property->property & kPropertyReconnect)) {
        device->pending |= kPendingAutoConnect;
        SettingsStore store = CurrentSettingsStore();
        std::string key = DeviceKeyOfLocked(device);
        if (store.kind != qz::SettingsLocation::kNone && !key.empty()) SetConnectMark(&store, key.c_str());
    }
}
