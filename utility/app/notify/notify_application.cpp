// PNXN_APPLICATION: a watched application of a device started or its last one ended.
//
// A free device whose application starts while the requester dialog of a use request for
// another device is open waits in the Request queue until that request has been answered;
// otherwise it is connected at once, with the open request dialog (if any) as owner.
#include "app.h"
#include "device_operations.h"
#include "list_view.h"
#include "notify_handlers.h"
#include "notify_records.h"
#include "pnx_api.h"
#include "tray.h"

using namespace notify_detail;

namespace {

constexpr uint16_t kAutoConnectApplication = 2;

HWND OpenRequestDialog() {
    HWND owner = Hooks().requesterDialog ? Hooks().requesterDialog() : nullptr;
    if (!owner && Hooks().ownerDialog) owner = Hooks().ownerDialog();
    return owner;
}

void RunOne(HPnxDv device, UINT code) {
    DeviceOperationList list;
    if (!AllocateOperations(list, 1)) return;
    list.operations[0] = {reinterpret_cast<uint64_t>(device), code, kActionApplication};
    list.batchKind = kBatchPlain;
    RunDeviceOperations(Views().dialog, OpenRequestDialog(), list);
}

void OnApplicationStarted(HPnxDv device, ListRowRecord* record, const DeviceFacts& facts) {
    if (!(facts.property.property & kPropertyAutomatic)) return;
    record->applicationMark = 1;
    switch (facts.info.status) {
        case kDeviceStatusFree: {
            const bool otherRequest = Hooks().requesterDialog && Hooks().requesterDialog() &&
                                      (!Hooks().requesterDevice || Hooks().requesterDevice() != device);
            if (otherRequest) {
                QueueRequest(g_app.mainWindow, reinterpret_cast<uint64_t>(device));
            } else {
                RunOne(device, DEVOP_CONNECT);
            }
            break;
        }
        case kDeviceStatusConnected:
            break;
        default:
            g_pnx.PnxSetAutoConnect(g_app.service, device, kAutoConnectApplication);
            break;
    }
}

void OnApplicationEnded(HPnxDv device, ListRowRecord* record, const DeviceFacts& facts) {
    g_pnx.PnxDeleteAutoConnect(g_app.service, device, kAutoConnectApplication);
    record->applicationMark = 0;
    if ((facts.property.property & kPropertyAutomatic) && facts.info.status == kDeviceStatusConnected &&
        g_pnx.PnxGetConnectAction(g_app.service, device) == kActionApplication) {
        RunOne(device, DEVOP_DISCONNECT);
    }
}

}  // namespace

LRESULT OnApplicationTrigger(const NotifyEvent* event, HPnxDv device) {
    if (!event || !device) return 0;
    ListRowRecord* record = ListRecordByHandle(Views().list, reinterpret_cast<uint64_t>(device));
    if (!record) return 0;
    DeviceFacts facts;
    if (!ReadDeviceFacts(device, &facts)) return 0;
    if (event->kind == PNXET_CONNECT) {
        OnApplicationStarted(device, record, facts);
    } else if (event->kind == PNXET_DISCONNECT) {
        OnApplicationEnded(device, record, facts);
    } else {
        return 0;
    }
    UpdateButtons();
    return 1;
}
