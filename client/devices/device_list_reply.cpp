#include "device_list_reply.h"

#include <vector>

#include "auto_connect_list.h"
#include "device_entry.h"
#include "device_list_read.h"
#include "device_list_update.h"
#include "device_status.h"
#include "lib_lock.h"
#include "lib_state.h"
#include "live_session.h"
#include "notify.h"

void HandleDeviceListReply(HWND serverWindow, UINT message, const uint8_t* data, size_t length) {
    DeviceListForm form;
    if (!DeviceListFormOfMessage(message, &form)) return;
    ServerEntry* entry = ServerEntryOfWindow(serverWindow);
    if (!entry) return;
    ParsedDeviceList fresh = ReadDeviceListReply(serverWindow, form, data, length);
    AutoDeviceCandidates lists;
    UpdateDeviceList(serverWindow, fresh, lists);
    // The client may have ended the server while it was told of the changes.
    if (!SessionAlive(serverWindow, entry)) return;
    uint16_t option;
    bool newDeviceBit;
    {
        LibraryLock lock;
        if (!entry->record) return;
        option = entry->record->callerOption;
        newDeviceBit = (g_lib.options & kRegisterOptionNewDeviceAutoConnect) != 0;
    }
    // A reply without devices changes statuses only; nothing is offered for a connect.
    if (fresh.empty()) return;
    SendAutoDeviceLists(serverWindow, option, newDeviceBit, lists);
}

void RenewServerDevices(HWND serverWindow) {
    std::vector<DeviceChangeRecord> records;
    {
        LibraryLock lock;
        for (DeviceEntry* device : DeviceEntriesLocked(serverWindow)) {
            if (!device->info) continue;
            device->info->previousStatus = device->info->status;
            device->info->status = kDeviceStatusGetStatus;
            DeviceChangeRecord record;
            if (FillChangeRecord(&record, device, PNXET_CHANGE, kDeviceChangeStatus, "*** (Renew) ***", nullptr)) {
                records.push_back(record);
            }
        }
    }
    NotifyDevices(serverWindow, records.data(), records.size());
}

void DestroyServerDevices(HWND serverWindow) { RefreshDeviceStatuses(serverWindow, kRefreshDestroy); }

void MarkServerDevicesError(ServerEntry* entry, int errorKind) {
    HWND serverWindow;
    {
        LibraryLock lock;
        if (!entry) return;
        serverWindow = entry->serverWindow;
    }
    if (serverWindow) MarkDevicesMissing(serverWindow, MissingMode::TimeOut, static_cast<uint16_t>(errorKind), nullptr);
}
