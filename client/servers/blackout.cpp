#include "blackout.h"

#include <string>
#include <vector>

#include "bus_driver.h"
#include "device_entry.h"
#include "lib_lock.h"
#include "live_session.h"
#include "log.h"
#include "messages.h"
#include "notify.h"
#include "server_entry.h"
#include "server_session.h"

namespace {
constexpr uint16_t kNetworkKindBlackout = 3;
constexpr uint32_t kLimitMax = 0xFFFF;  // the driver takes the limit as a u16

BlackoutInfo g_blackout = {kDefaultBlackoutInterval, kDefaultBlackoutLimit};  // library lock

// One watched device, copied under the lock: the driver is asked without it.
struct WatchedDevice {
    std::string name;
    std::string locations;
};

bool Watched(const DeviceEntry& device) {
    const UsbDeviceInfo* info = device.info;
    if (!info || !device.blackoutWatch || !device.connectAction) return false;
    if (device.busy == kDeviceBusyConnecting || device.busy == kDeviceBusyDisconnecting) return false;
    return info->status == kDeviceStatusGetStatus || info->status == kDeviceStatusConnected;
}

bool SnapshotWatched(HWND window, ServerEntry* entry, uint32_t* ipv4, std::vector<WatchedDevice>* devices) {
    LibraryLock lock;
    if (!entry->record || !entry->record->info || !entry->record->blackoutWatch) return false;
    *ipv4 = entry->record->info->ipAddress;
    for (DeviceEntry* device : DeviceEntriesLocked(window)) {
        if (!Watched(*device)) continue;
        devices->push_back({device->info->name ? device->info->name : "",
                            device->info->locations ? device->info->locations : ""});
    }
    return true;
}

// Asks the driver about every location of the device; true when any is over the limit.
bool QueryDevice(HWND window, uint32_t ipv4, const WatchedDevice& device, uint16_t limit) {
    bool anyOver = false;
    size_t start = 0;
    const std::string& list = device.locations;
    while (start <= list.size()) {
        size_t comma = list.find(',', start);
        if (comma == std::string::npos) comma = list.size();
        std::string location = list.substr(start, comma - start);
        start = comma + 1;
        if (location.empty()) continue;
        uint16_t over = 0;
        uint16_t value = 0;
        if (QueryPortBlackout(ipv4, location.c_str(), limit, &over, &value) != 1) continue;
        LogLine(window, "*** Blackout(%d) - Device = %s, Location = %s, Time = %d ***", over, device.name.c_str(),
                location.c_str(), value);
        anyOver = anyOver || over == 1;
    }
    return anyOver;
}
}  // namespace

BlackoutInfo CurrentBlackoutInfo() {
    LibraryLock lock;
    return g_blackout;
}

void ResetBlackoutInfo() {
    LibraryLock lock;
    g_blackout = {kDefaultBlackoutInterval, kDefaultBlackoutLimit};
}

void StartBlackoutTimer(HWND window) {
    ServerEntry* entry = LiveSessionEntry(window);
    if (!entry) return;
    UINT interval;
    {
        LibraryLock lock;
        // An interval of 0 would ask the driver without pause: like a Timer of 0, it starts none.
        if (!entry->record->blackoutWatch || entry->record->blackoutTimer || g_blackout.interval == 0) return;
        entry->record->blackoutTimer = true;
        interval = g_blackout.interval;
    }
    SetTimer(window, kTimerBlackout, interval, nullptr);
    LogLine(window, "*** Blackout Timer Start! ***");
}

void StopBlackoutTimer(HWND window) {
    ServerEntry* entry = ServerEntryOfWindow(window);
    if (!entry) return;
    {
        LibraryLock lock;
        if (!entry->record || !entry->record->blackoutTimer) return;
        entry->record->blackoutTimer = false;
    }
    KillTimer(window, kTimerBlackout);
    LogLine(window, "*** Blackout Timer End! ***");
}

void OnBlackoutTick(HWND window) {
    ServerEntry* entry = LiveSessionEntry(window);
    uint32_t ipv4 = 0;
    std::vector<WatchedDevice> devices;
    if (!entry || !SnapshotWatched(window, entry, &ipv4, &devices)) return;
    uint32_t limit = CurrentBlackoutInfo().limit;
    uint16_t limit16 = static_cast<uint16_t>(limit < kLimitMax ? limit : kLimitMax);
    bool anyOver = false;
    for (const WatchedDevice& device : devices) anyOver = QueryDevice(window, ipv4, device, limit16) || anyOver;
    if (anyOver) SendClientNotification(PNXN_NETWORK, kNetworkKindBlackout, 0, 0);
}

int GetBlackoutSettings(HWND service, BlackoutInfo* info) {
    if (!service || !info) return 0;
    *info = CurrentBlackoutInfo();
    return 1;
}

int SetBlackoutSettings(HWND service, const BlackoutInfo* info) {
    if (!service || !info) return 0;
    LibraryLock lock;
    g_blackout = *info;
    return 1;
}
