#include "device_status.h"

#include <vector>

#include "device_entry.h"
#include "lib_lock.h"
#include "notify.h"

namespace {

constexpr uint16_t kChangeFlagsStatus = 4;

struct RefreshPlan {
    std::vector<DeviceChangeRecord> records;
    std::vector<DeviceEntry*> doomed;  // rows deleted after the notices
};

void PlanSearchStartLocked(HWND serverWindow, RefreshPlan& plan) {
    for (DeviceEntry* device : DeviceEntriesLocked(serverWindow)) {
        UsbDeviceInfo* info = device->info;
        if (!info) continue;
        info->previousStatus = info->status;
        info->previousStatusEx = info->statusEx;
        DeviceChangeRecord record;
        if (info->status == kDeviceStatusNoDevice) {
            if (FillChangeRecord(&record, device, PNXET_DELETE, 0, "*** (SearchPacket - Error) ***", nullptr)) {
                plan.records.push_back(record);
            }
            plan.doomed.push_back(device);
        } else {
            info->status = kDeviceStatusGetStatus;
            if (FillChangeRecord(&record, device, PNXET_CHANGE, kChangeFlagsStatus, "*** (SearchPacket - GetStatus) ***",
                                 nullptr)) {
                plan.records.push_back(record);
            }
        }
    }
}

void PlanDestroyLocked(HWND serverWindow, RefreshPlan& plan) {
    for (DeviceEntry* device : DeviceEntriesLocked(serverWindow)) {
        DeviceChangeRecord record;
        if (FillChangeRecord(&record, device, PNXET_DELETE, 0, "*** (Destroy) ***", nullptr)) {
            plan.records.push_back(record);
        }
        plan.doomed.push_back(device);
    }
}

}  // namespace

void RefreshDeviceStatuses(HWND serverWindow, int mode) {
    RefreshPlan plan;
    {
        LibraryLock lock;
        if (mode == kRefreshDestroy) {
            PlanDestroyLocked(serverWindow, plan);
        } else {
            PlanSearchStartLocked(serverWindow, plan);
        }
    }
    NotifyDevices(serverWindow, plan.records.data(), plan.records.size());
    LibraryLock lock;
    // The client's handlers ran in between: delete only rows that are still there.
    for (DeviceEntry* device : plan.doomed) DeleteDeviceRowLocked(serverWindow, device);
}
