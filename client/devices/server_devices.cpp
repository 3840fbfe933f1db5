#include "server_devices.h"

#include <commctrl.h>

#include <cstdio>

#include "device_entry.h"
#include "device_status.h"
#include "lib_lock.h"
#include "text_util.h"

int DeviceCount(const ServerEntry* entry) {
    LibraryLock lock;
    return entry ? static_cast<int>(DeviceEntriesLocked(entry->serverWindow).size()) : 0;
}

void RefreshDeviceStatusForSearch(ServerEntry* entry) {
    HWND serverWindow;
    {
        LibraryLock lock;
        if (!entry) return;
        serverWindow = entry->serverWindow;
    }
    if (serverWindow) RefreshDeviceStatuses(serverWindow, kRefreshSearchStart);
}

void CollectLostServerDevices(ServerEntry* entry, std::vector<AutoDeviceItem>& items) {
    LibraryLock lock;
    if (!entry) return;
    for (DeviceEntry* device : DeviceEntriesLocked(entry->serverWindow)) {
        if (!device->info) continue;
        if (device->info->status == kDeviceStatusConnected || device->connectAction != 0) {
            items.push_back({reinterpret_cast<uint64_t>(device), kAutoDeviceServerLost});
        }
    }
}

bool ReadDeviceNotifyInfo(HPnxDv device, DeviceNotifyInfo* info) {
    if (!device || !info) return false;
    LibraryLock lock;
    const UsbDeviceInfo* d = device->info;
    if (!d) return false;
    CopyCut(TextOrEmpty(d->name), info->name);
    CopyCut(TextOrEmpty(d->locations), info->location);
    info->status = d->status;
    info->statusPrevious = d->previousStatus;
    info->statusEx = d->statusEx;
    info->statusExPrevious = d->previousStatusEx;
    info->function = d->function;
    info->functionPrevious = d->previousFunction;
    info->reserve = device->pending;
    info->comPort = IsComPortLocation(d->locations) ? d->comPort : 0;
    return true;
}

HWND DeviceServerWindow(HPnxDv device) {
    if (!device) return nullptr;
    LibraryLock lock;
    return device->serverWindow;
}
