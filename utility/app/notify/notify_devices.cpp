// PNXN_DEVICE: USB devices appear in the list and under their server in the tree, change
// and go; not-found balloons; automatic connect and disconnect batches.
#include <algorithm>

#include "app.h"
#include "tray.h"
#include "device_category.h"
#include "device_operations.h"
#include "list_view.h"
#include "notify_handlers.h"
#include "notify_records.h"
#include "pnx_api.h"
#include "tree_view.h"
#include "utility_log.h"
#include "view_batch.h"
#include "view_rules.h"

using namespace notify_detail;

namespace {

constexpr uint16_t kChangeBase = 0x1;
constexpr uint16_t kChangeFunction = 0x2;
constexpr uint16_t kChangeStatus = 0x4;
constexpr uint16_t kStatusExNotFound = 0x2;
constexpr uint32_t kBalloonMs = 10000;

void FillDeviceTexts(DeviceRowData* row, TreeDeviceData* item, HPnxDv device, const DeviceFacts& facts) {
    CopyText(row->displayName, 512, facts.displayName);
    // The category from the records already read: each library call on a device handle costs.
    const int category = facts.serverHandle ? CategoryOf(facts.server.rwpLevel, facts.info.name, facts.info.function,
                                                         facts.info.interfaceClasses, facts.info.interfaceCount)
                                            : GetDeviceCategory(device);
    row->classRow = static_cast<uint32_t>(ClassRowOfCategory(category));
    row->stateRow = static_cast<uint32_t>(StateRowOfCode(facts.info.status));
    row->autoConnect = (facts.property.property & kPropertyAutomatic) ? 1 : 0;
    item->classRow = row->classRow;
    item->stateRow = row->stateRow;
    CopyText(item->deviceName, 65, Wide(facts.info.name));
    CopyText(item->displayName, 65, facts.displayName);
}

// The user PC text: the name of the PC that uses the device (status 3), else empty.
void SetUserPcText(DeviceRowData* row, TreeDeviceData* item, const DeviceFacts& facts) {
    if (facts.info.status == kDeviceStatusOtherPc) {
        const std::wstring name = Wide(facts.info.userPcName);
        if (name.empty()) return;
        CopyText(row->userPcName, 256, name);
        CopyText(item->userPcName, 64, name);
    } else {
        row->userPcName[0] = L'\0';
        item->userPcName[0] = L'\0';
    }
}

void OnNewDevice(HPnxDv device) {
    DeviceFacts facts;
    if (!ReadDeviceFacts(device, &facts)) return;
    WriteLog(L"*** New Device ***");
    WriteLog(L"  New: %hS", facts.info.name ? facts.info.name : "");
    HWND list = Views().list, tree = Views().tree;
    const auto handle = reinterpret_cast<uint64_t>(device);
    if (ListRecordByHandle(list, handle)) return;
    auto* row = new DeviceRowData{};
    auto* item = new TreeDeviceData{};
    FillServerTexts(row, facts.server);
    FillDeviceTexts(row, item, device, facts);
    std::wstring user = Wide(facts.info.userPcName);
    if (user.empty() && facts.info.userAddress) user = AddressText(facts.info.userAddress);
    CopyText(row->userPcName, 256, user);
    CopyText(item->userPcName, 64, user);
    auto* record = new ListRowRecord{};
    record->handle = handle;
    record->data = row;
    record->lastState = facts.info.status;
    if (InsertListRow(list, record, ListView_GetItemCount(list)) >= 0) RequestResort(list, WithinStartWindow());
    InsertTreeChild(tree, reinterpret_cast<uint64_t>(facts.serverHandle), handle, item);
}

void OnDeleteDevice(HPnxDv device) {
    RemoveBalloons(g_app.mainWindow, reinterpret_cast<uint64_t>(device));
    // Every row of the device leaves the Request queue (it may have been queued twice).
    while (RemoveRequest(g_app.mainWindow, reinterpret_cast<uint64_t>(device)) >= 0) {
    }
    const auto handle = reinterpret_cast<uint64_t>(device);
    HWND list = Views().list, tree = Views().tree;
    HTREEITEM item = TreeFindDevice(tree, handle);
    const int row = ListFindRowByHandle(list, handle);
    if (row >= 0) {
        const TreeItemRecord* record = TreeGetItemData(tree, item);
        DeviceFacts facts;
        std::wstring name = ReadDeviceFacts(device, &facts) ? Wide(facts.info.name)
                            : record && record->deviceData ? record->deviceData->deviceName
                                                           : L"";
        WriteLog(L"*** Delete Device ***");
        WriteLog(L"  Delete: %s", name.c_str());
        // A lost server or the program's end deletes its devices one notice at a time: as a
        // burst they redraw once, at the flush.
        NoteViewChange(list);
        ListView_DeleteItem(list, row);
    }
    if (item) {
        NoteViewChange(tree);
        TreeView_DeleteItem(tree, item);
    }
}

void TellRequestDialogs(HPnxDv device, int code) {
    if (Hooks().deviceChanged) Hooks().deviceChanged(device, code);
}

void ApplyStatusChange(HPnxDv device, ListRowRecord* record, TreeItemRecord* item, DeviceFacts& facts) {
    DeviceRowData* row = record->data;
    const uint16_t status = facts.info.status;
    FillDeviceTexts(row, item->deviceData, device, facts);
    SetUserPcText(row, item->deviceData, facts);
    if (status != record->lastState && Hooks().ownerDialog && Hooks().ownerDialog()) {
        if (status == kDeviceStatusFree || status == kDeviceStatusOtherPc) TellRequestDialogs(device, 1);
        if (status == kDeviceStatusNoDevice || status == kDeviceStatusError) TellRequestDialogs(device, 2);
    }
    const bool wasNotFound = (facts.info.previousStatusEx & kStatusExNotFound) != 0;
    const bool notFound = (facts.info.statusEx & kStatusExNotFound) != 0;
    if (notFound && !wasNotFound) {
        if (record->lastState == kDeviceStatusConnected && status != kDeviceStatusConnected &&
            g_pnx.PnxGetConnectAction(g_app.service, device) != 0) {
            QueueBalloon(g_app.mainWindow, reinterpret_cast<uint64_t>(device), row->displayName, L"ERROR", L"TITLE",
                         L"MESSAGE17", row->displayName, kBalloonMs);
            WriteLog(L">> BalloonHelp(Not Found): %s", row->displayName);
        }
        TellRequestDialogs(device, 2);
    } else if (wasNotFound && !notFound) {
        RemoveBalloons(g_app.mainWindow, reinterpret_cast<uint64_t>(device));
        WriteLog(L">> BalloonHelp(Not Found) - Delete: %s", row->displayName);
        TellRequestDialogs(device, 2);
    }
    if (status != 0) record->lastState = status;
}

LRESULT OnDeviceStatusChange(const NotifyEvent& event, HPnxDv device) {
    HWND list = Views().list, tree = Views().tree;
    const auto handle = reinterpret_cast<uint64_t>(device);
    ListRowRecord* record = ListRecordByHandle(list, handle);
    HTREEITEM treeItem = TreeFindDevice(tree, handle);
    TreeItemRecord* item = TreeGetItemData(tree, treeItem);
    if (!record || !record->data || !item || !item->deviceData) return 0;
    DeviceFacts facts;
    if (!ReadDeviceFacts(device, &facts)) return 0;
    WriteLog(L"*** Change Device Status  ***");
    WriteLog(L"  %hS - %s", facts.info.name ? facts.info.name : "", FormatChangeReason(PNXN_DEVICE, event).c_str());
    const DeviceRowData before = *record->data;
    const uint32_t classBefore = item->deviceData->classRow;
    const std::wstring nameBefore = item->deviceData->displayName;
    if (event.flags & kChangeBase) SetUserPcText(record->data, item->deviceData, facts);
    if (event.flags & kChangeFunction) {
        record->data->autoConnect = (facts.property.property & kPropertyAutomatic) ? 1 : 0;
        g_pnx.PnxSetUsbDeviceInfo(g_app.service, device, &facts.property);
    }
    if (event.flags & kChangeStatus) ApplyStatusChange(device, record, item, facts);
    ListRowChanged(list, record, ChangedRowColumns(before, *record->data));
    const bool sortKeyChanged = classBefore != item->deviceData->classRow || nameBefore != item->deviceData->displayName;
    TreeUpdateItem(tree, treeItem, 0, item, sortKeyChanged);
    return 1;
}

LRESULT OnAutoConnectDevices(const NotifyEvent& event, const AutoDeviceList* devices) {
    if (!devices || !devices->items) return 0;
    HWND owner = nullptr;
    if (Hooks().requesterDialog) owner = Hooks().requesterDialog();
    if (!owner && Hooks().ownerDialog) owner = Hooks().ownerDialog();
    const bool connect = event.kind == PNXET_CONNECT;
    const UINT code = connect ? DEVOP_CONNECT : DEVOP_DISCONNECT;
    const wchar_t* text = connect ? L"Connect" : L"Disconnect";
    WriteLog(L"*** Auto Connect Device ***");
    bool autoPrinting = false;
    std::vector<DeviceOperation> kept;
    for (uint32_t i = 0; i < devices->count; ++i) {
        const AutoDeviceItem& entry = devices->items[i];
        auto device = reinterpret_cast<HPnxDv>(entry.device);
        if (connect && entry.type == kActionNewAutoPrintDevice) {
            autoPrinting = true;
            if (owner || !IsPrinterCategory(GetDeviceCategory(device))) continue;
        }
        kept.push_back({entry.device, code, entry.type});
        DeviceFacts facts;
        const bool known = ReadDeviceFacts(device, &facts);
        WriteLog(L"   Device(%s): %hS", text, known && facts.info.name ? facts.info.name : "");
    }
    if (kept.empty()) return 1;  // nothing to run, whatever the batch
    DeviceOperationList list;
    if (!AllocateOperations(list, static_cast<int>(kept.size()))) return 1;
    std::copy(kept.begin(), kept.end(), list.operations);
    list.batchKind = autoPrinting ? kBatchAutoPrinter : kBatchPlain;
    RunDeviceOperations(Views().dialog, owner, list);
    return 1;
}

}  // namespace

LRESULT OnDeviceNotify(const NotifyEvent* event, LPARAM lParam) {
    if (!event || !lParam) return 0;
    auto device = reinterpret_cast<HPnxDv>(lParam);
    switch (event->kind) {
        case PNXET_NEW:
            OnNewDevice(device);
            break;
        case PNXET_DELETE:
            OnDeleteDevice(device);
            break;
        case PNXET_CHANGE:
            OnDeviceStatusChange(*event, device);
            break;
        case PNXET_CONNECT:
        case PNXET_DISCONNECT:
            if (g_app.ignoreDeviceLists) return 0;
            OnAutoConnectDevices(*event, reinterpret_cast<const AutoDeviceList*>(lParam));
            break;
        default:
            return 0;
    }
    UpdateButtons();
    return 1;
}
