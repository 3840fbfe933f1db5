#include "install_wait.h"

#include <algorithm>
#include <string>
#include <vector>

#include "bus_driver.h"
#include "connect_queue.h"
#include "connect_target.h"
#include "device_entry.h"
#include "device_ids.h"
#include "lib_lock.h"
#include "log.h"
#include "os_info.h"
#include "pnp_tree.h"
#include "settings_store.h"
#include "usb_device_info.h"

namespace {

constexpr int kBusIdTries = 30;
constexpr int kChildTries = 10;
constexpr int kPrinterTries = 10;

std::string OemText(const std::wstring& wide) {
    if (wide.empty()) return {};
    int size = WideCharToMultiByte(CP_OEMCP, 0, wide.c_str(), static_cast<int>(wide.size()), nullptr, 0, nullptr, nullptr);
    if (size <= 0) return {};
    std::string text(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(CP_OEMCP, 0, wide.c_str(), static_cast<int>(wide.size()), text.data(), size, nullptr, nullptr);
    return text;
}

bool PortUpAt(const ConnectTarget& target, const std::string& location) {
    PortStatus status = {};
    return QueryPortStatus(target.serverAddress, location.c_str(), &status, false) &&
           (status.state == 2 || status.state == 4);
}

bool PortStillUp(const ConnectTarget& target) { return PortUpAt(target, target.locations[0]); }

bool OnWindows2000() { return GetOsCode(nullptr, nullptr) == kOsWin2000; }

// Replaces one list of the entry and the store when it differs; true when it did.
bool StoreIds(DeviceEntry* device, const ConnectTarget& target, std::vector<std::string> DeviceIdSet::*list,
              uint32_t which, const std::vector<std::string>& ids) {
    DeviceIdSet copy;
    {
        LibraryLock lock;
        if (device->removed || !device->ids) return false;
        if (device->ids->*list == ids) return false;
        device->ids->*list = ids;
        copy = *device->ids;
    }
    SettingsStore store = CurrentSettingsStore();
    DeleteDeviceIds(store, target.deviceKey, copy, which);
    WriteDeviceIds(store, target.deviceKey, copy, which);
    return true;
}

DeviceIdSet IdsOf(DeviceEntry* device) {
    LibraryLock lock;
    return device->ids && !device->removed ? *device->ids : DeviceIdSet{};
}

bool UsedHere(const ConnectTarget& t) { return t.status == kDeviceStatusConnected; }

// The pause between two looks; false when the request was cancelled meanwhile or the device
// went, so that a cancelled installation wait ends at once.
bool Pause(DeviceEntry* device) {
    if (WaitConnectCancel(g_installRetryMs)) return false;
    return DeviceStillListed(device);
}

}  // namespace

namespace {

enum class IdAsk { kFound, kEmpty, kPnpFailed, kTimedOut, kStopped };

// Asks the driver for the bus device id of one port, again and again in full mode while it
// has none. Only a driver call that failed for a port the driver no longer holds stops the
// asking early.
IdAsk AskBusId(HWND log, DeviceEntry* device, const ConnectTarget& t, const std::string& location, bool quick,
               std::string* id) {
    LogLine(log, "  IP Address: %s, Location: %s", AddressText(t.serverAddress).c_str(), location.c_str());
    int tries = quick ? 1 : kBusIdTries;
    for (int i = 0; i < tries; ++i) {
        std::wstring wide;
        bool callFailed = false;
        id->clear();
        if (GetPortDeviceId(t.serverAddress, location.c_str(), &wide, &callFailed)) *id = OemText(wide);
        LogLine(log, "  Zkuptp Device ID(%d): %s", i, id->c_str());
        if (!id->empty()) return IdAsk::kFound;
        LogLine(log, "  Fail Device ID ...");
        if (callFailed && !PortUpAt(t, location)) {
            LogLine(log, "  PnP is Failed(Device ID) ...");
            return IdAsk::kPnpFailed;
        }
        if (i + 1 < tries && !Pause(device)) return IdAsk::kStopped;
    }
    return quick ? IdAsk::kEmpty : IdAsk::kTimedOut;
}

}  // namespace

bool WaitZkuptpDeviceId(HWND log, DeviceEntry* device, bool quick) {
    ConnectTarget t;
    if (!SnapshotDevice(device, &t) || t.locations.empty()) return false;
    if (quick && (!UsedHere(t) || !t.busId.empty())) return false;
    // Windows 2000 makes a bus device per interface, and only printers and storage need theirs.
    bool perInterface = OnWindows2000();
    if (perInterface && !t.HasClass(kInterfaceClassPrinter) && !t.HasClass(kInterfaceClassStorage)) return false;
    const char* name = t.name.c_str();
    const char* loc = t.locations[0].c_str();
    LogLine(log, "### Zkuptp Device ID: %s(%s) -> Start ###", name, loc);
    size_t count = perInterface ? std::max<size_t>(t.UsableInterfaces(), 1) : 1;
    std::vector<std::string> ids;
    for (size_t k = 0; k < count; ++k) {
        std::string id;
        IdAsk asked = AskBusId(log, device, t, t.locations[k], quick, &id);
        if (asked == IdAsk::kStopped) return false;
        if (asked == IdAsk::kTimedOut) {
            LogLine(log, "### Zkuptp Device ID: %s(%s) -> End: Timeout. ###", name, loc);
            return false;
        }
        if (id.empty()) {
            LogLine(log, "### Zkuptp Device ID: %s(%s) -> End: Fail Device ID(2) ###", name, loc);
            return false;
        }
        ids.push_back(id);
    }
    if (StoreIds(device, t, &DeviceIdSet::busIds, kIdListBus, ids)) {
        LogLine(log, "### Zkuptp Device ID: %s(%s) -> End: New Device ID!! ###", name, loc);
    } else {
        LogLine(log, "### Zkuptp Device ID: %s(%s) -> End: Same Device ID!! ###", name, loc);
    }
    return true;
}

bool WaitChildDeviceId(HWND log, DeviceEntry* device, bool quick) {
    ConnectTarget t;
    if (!SnapshotDevice(device, &t) || t.locations.empty() || t.busId.empty()) return false;
    if (quick && (!UsedHere(t) || !IdsOf(device).deviceIds.empty())) return false;
    const char* name = t.name.c_str();
    const char* loc = t.locations[0].c_str();
    LogLine(log, "### Child Device ID: %s(%s) -> Start ###", name, loc);
    int tries = quick ? 1 : kChildTries;
    bool healthy = false;
    for (int i = 0; i < tries && !healthy; ++i) {
        ULONG status = 0, problem = 0;
        healthy = GetDeviceNodeStatus(t.busId, &status, &problem) && problem == 0;
        if (healthy) break;
        LogLine(log, "  Device has a problem ...");
        if (i + 1 < tries && !Pause(device)) return false;
    }
    if (!healthy) {
        LogLine(log, quick ? "### Child Device ID: %s(%s) -> End: Device has a problem. ###"
                           : "### Child Device ID: %s(%s) -> End: TimeOut. ###", name, loc);
        return false;
    }
    std::vector<std::string> ids;
    if (OnWindows2000()) {
        // There each interface has a bus device of its own, which is the device itself.
        ids = IdsOf(device).busIds;
    } else {
        std::string service;
        if (!GetDeviceProperty(t.busId, kDevicePropertyService, &service)) {
            LogLine(log, "### Child Device ID: %s(%s) -> End: Fail Service. ###", name, loc);
            return false;
        }
        if (_stricmp(service.c_str(), "usbccgp") == 0) {
            LogLine(log, "  usbccgp Find!! (%s)", t.busId.c_str());
            ids = GetChildDeviceIds(t.busId);
        } else {
            ids.push_back(t.busId);
        }
    }
    LogLine(log, "  New Device Count: %d", static_cast<int>(ids.size()));
    if (StoreIds(device, t, &DeviceIdSet::deviceIds, kIdListDevice, ids)) {
        LogLine(log, "    New or Renew Device ID. (Count: %d)", static_cast<int>(ids.size()));
    }
    for (size_t i = 0; i < ids.size(); ++i) {
        std::string childService;
        GetDeviceProperty(ids[i], kDevicePropertyService, &childService);
        LogLine(log, "    [%d] Device ID: %s, Service: %s", static_cast<int>(i), ids[i].c_str(), childService.c_str());
    }
    LogLine(log, "### Child Device ID: %s(%s) - End: Success. ###", name, loc);
    return true;
}

bool WaitPrinterDeviceId(HWND log, DeviceEntry* device, bool quick) {
    ConnectTarget t;
    if (!SnapshotDevice(device, &t) || t.locations.empty() || t.busId.empty()) return false;
    if (quick && (!UsedHere(t) || !IdsOf(device).printerIds.empty())) return false;
    const char* name = t.name.c_str();
    const char* loc = t.locations[0].c_str();
    LogLine(log, "### Printer Device ID: %s(%s) -> Start ###", name, loc);
    if (t.printerInterfaces == 0) {
        LogLine(log, "    Printer is Not Found.");
        LogLine(log, "### Printer Device ID: %s(%s) -> End ###", name, loc);
        return true;
    }
    LogLine(log, "    Printer is Found !!");
    for (int attempt = 1;; ++attempt) {
        std::vector<std::string> printIds, services;
        for (const std::string& id : IdsOf(device).deviceIds) {
            std::string service;
            if (GetDeviceProperty(id, kDevicePropertyService, &service) &&
                (_stricmp(service.c_str(), "usbprint") == 0 || _stricmp(service.c_str(), "dot4") == 0)) {
                printIds.push_back(id);
                services.push_back(service);
            }
        }
        if (printIds.size() >= t.printerInterfaces) {
            std::vector<std::string> printers;
            for (size_t i = 0; i < printIds.size(); ++i) {
                std::string printerId, port, description;
                if (GetDot4ChildPort(printIds[i], services[i], &printerId, &port, &description)) {
                    LogLine(log, "    -->ID: %s, Driver: %s, Port: %s", printerId.c_str(), description.c_str(), port.c_str());
                    printers.push_back(printerId);
                }
            }
            if (printers.size() >= t.printerInterfaces) {
                if (StoreIds(device, t, &DeviceIdSet::printerIds, kIdListPrinter, printers)) LogLine(log, "    New or Renew Printer ID.");
                for (size_t i = 0; i < printers.size(); ++i) LogLine(log, "    [%d] Printer ID: %s", static_cast<int>(i), printers[i].c_str());
                LogLine(log, "### Printer Device ID (End) ###");
                return true;
            }
        }
        LogLine(log, "  Printer is not installed ...");
        if (!PortStillUp(t)) {
            LogLine(log, "### Printer Device ID:%s(%s) -> End: PnP is Failed(Printer 1) ###", name, loc);
            return false;
        }
        if (!EnumKeyExists(t.busId)) {
            LogLine(log, "### Printer Device ID:%s(%s) -> End: PnP is Failed(Printer 2) ###", name, loc);
            return false;
        }
        if (quick) {
            LogLine(log, "### Printer Device ID:%s(%s) -> End: Printer is not installed(Printer 3) ###", name, loc);
            return false;
        }
        if (attempt >= kPrinterTries) {
            LogLine(log, "### Printer Device ID:%s(%s) -> End: Timeout ###", name, loc);
            return false;
        }
        if (!Pause(device)) return false;
    }
}

void WaitDeviceInstalled(DeviceEntry* device) {
    ConnectTarget t;
    if (!SnapshotDevice(device, &t)) return;
    WaitZkuptpDeviceId(t.serverWindow, device, false);
    WaitChildDeviceId(t.serverWindow, device, false);
    WaitPrinterDeviceId(t.serverWindow, device, false);
}

void RefreshDeviceIdsQuick(HWND log, DeviceEntry* device) {
    WaitZkuptpDeviceId(log, device, true);
    WaitChildDeviceId(log, device, true);
    WaitPrinterDeviceId(log, device, true);
}
