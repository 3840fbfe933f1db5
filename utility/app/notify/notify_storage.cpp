// PNXN_NAS: storage entries appear in the list and under their server, change and go; an
// entry whose mounted flag drops leaves both views and comes back when it returns.
#include "app.h"
#include "list_view.h"
#include "notify_handlers.h"
#include "notify_records.h"
#include "pnx_api.h"
#include "storage_items.h"
#include "tree_view.h"
#include "utility_log.h"
#include "view_rules.h"

using namespace notify_detail;

namespace {

constexpr uint16_t kChangeBase = 0x1;
constexpr uint16_t kChangeStatus = 0x4;

bool ReadEntry(HPnxDv entry, StorageFacts* facts, ServerInfo* server, HPnxSv* serverHandle) {
    if (!ReadStorageFacts(entry, facts)) return false;
    *serverHandle = g_pnx.PnxGetHPnxSv(g_app.service, entry);
    if (*serverHandle) g_pnx.PnxGetServerInfo(g_app.service, *serverHandle, server);
    return true;
}

void OnNewNasDevice(HPnxDv entry) {
    StorageFacts facts;
    ServerInfo server{};
    HPnxSv serverHandle = nullptr;
    if (!ReadEntry(entry, &facts, &server, &serverHandle)) return;
    WriteLog(L"*** New Device ***");
    WriteLog(L"  New: %s", facts.text.c_str());
    HWND list = Views().list;
    const auto handle = reinterpret_cast<uint64_t>(entry);
    if (ListRecordByHandle(list, handle)) return;
    auto* row = new DeviceRowData{};
    FillServerTexts(row, server);
    CopyText(row->displayName, 512, facts.label);
    row->classRow = static_cast<uint32_t>(NasClassRow());
    row->stateRow = static_cast<uint32_t>(StateRowOfCode(facts.state));
    CopyText(row->userPcName, 256, row->addressText);
    auto* record = new ListRowRecord{};
    record->handle = handle;
    record->data = row;
    record->lastState = facts.state;
    if (InsertListRow(list, record, ListView_GetItemCount(list)) >= 0) RequestResort(list, false);
    auto* item = new TreeDeviceData{};
    item->classRow = row->classRow;
    item->stateRow = row->stateRow;
    CopyText(item->deviceName, 65, facts.label);
    CopyText(item->displayName, 65, facts.label);
    InsertTreeChild(Views().tree, reinterpret_cast<uint64_t>(serverHandle), handle, item);
}

void OnDeleteNasDevice(HPnxDv entry) {
    const auto handle = reinterpret_cast<uint64_t>(entry);
    HWND list = Views().list, tree = Views().tree;
    const int row = ListFindRowByHandle(list, handle);
    if (row >= 0) {
        const ListRowRecord* record = ListGetRowRecord(list, row);
        WriteLog(L"*** Delete Device ***");
        WriteLog(L"  Delete: %s", record && record->data ? record->data->displayName : L"");
        ListView_DeleteItem(list, row);
    }
    if (HTREEITEM item = TreeFindDevice(tree, handle)) TreeView_DeleteItem(tree, item);
}

void OnNasStatusChange(const NotifyEvent& event, HPnxDv entry) {
    HWND list = Views().list, tree = Views().tree;
    const auto handle = reinterpret_cast<uint64_t>(entry);
    ListRowRecord* record = ListRecordByHandle(list, handle);
    StorageFacts facts;
    const bool known = ReadStorageFacts(entry, &facts);
    if (!record) {
        if (known && facts.mounted == 1) OnNewNasDevice(entry);
        return;
    }
    if (!known || !facts.mounted) {
        OnDeleteNasDevice(entry);
        return;
    }
    HTREEITEM treeItem = TreeFindDevice(tree, handle);
    TreeItemRecord* item = TreeGetItemData(tree, treeItem);
    if (!record->data) return;
    if (event.flags & kChangeBase) {
        record->data->userPcName[0] = L'\0';
        if (item && item->deviceData) item->deviceData->userPcName[0] = L'\0';
    }
    if (event.flags & kChangeStatus) {
        record->data->classRow = static_cast<uint32_t>(NasClassRow());
        record->data->stateRow = static_cast<uint32_t>(StateRowOfCode(facts.state));
        record->lastState = facts.state;
        CopyText(record->data->displayName, 512, facts.label);
        if (item && item->deviceData) {
            item->deviceData->classRow = record->data->classRow;
            item->deviceData->stateRow = record->data->stateRow;
            CopyText(item->deviceData->deviceName, 65, facts.label);
            CopyText(item->deviceData->displayName, 65, facts.label);
        }
    }
    UpdateListItem(list, ListRowPosition(list, record));
    if (item) TreeUpdateItem(tree, treeItem, 0, item);
}

}  // namespace

LRESULT OnNasNotify(const NotifyEvent* event, HPnxDv entry) {
    if (!event || !entry) return 0;
    switch (event->kind) {
        case PNXET_NEW:
            OnNewNasDevice(entry);
            break;
        case PNXET_DELETE:
            OnDeleteNasDevice(entry);
            break;
        case PNXET_CHANGE:
            OnNasStatusChange(*event, entry);
            break;
        default:
            return 0;
    }
    UpdateButtons();
    return 1;
}
