// The main dialog's four action buttons follow the selection of the shown view.
#include "button_states.h"

#include <cstring>

#include "app.h"
#include "app_ids.h"
#include "list_view.h"
#include "notify_records.h"
#include "pnx_api.h"
#include "storage_items.h"
#include "tree_view.h"

namespace {

constexpr uint16_t kStorageMounted = 7;

// A device used by another PC that is this server's own: the request is pointless.
bool HeldByItsServer(const DeviceFacts& facts) {
    return _stricmp(facts.server.modelName, "K-Shuttle") == 0 && facts.info.status == kDeviceStatusOtherPc &&
           facts.info.userAddress == facts.server.ipAddress;
}

void Tally(HPnxDv handle, ButtonFacts* out) {
    if (IsStorageDevice(handle)) {
        ++out->storage;
        StorageFacts facts;
        if (ReadStorageFacts(handle, &facts) && facts.state == kStorageMounted) out->connect = true;
        return;
    }
    ++out->devices;
    DeviceFacts facts;
    if (!ReadDeviceFacts(handle, &facts)) return;
    if (facts.info.status == kDeviceStatusFree) out->connect = true;
    if (facts.info.status == kDeviceStatusConnected) out->disconnect = true;
    if (facts.info.status == kDeviceStatusOtherPc && !HeldByItsServer(facts)) ++out->usedElsewhere;
}

ButtonStates FromListSelection(HWND list) {
    ButtonFacts facts;
    const std::vector<ListRowRecord*> selected = ListGetSelectedRecords(list);
    for (const ListRowRecord* record : selected) Tally(reinterpret_cast<HPnxDv>(record->handle), &facts);
    return ListButtonStates(facts, static_cast<int>(selected.size()));
}

ButtonStates FromTreeSelection(HWND tree) {
    ButtonStates states{L"CONNECT", L"DISCONNECT"};
    HTREEITEM item = TreeView_GetSelection(tree);
    const TreeItemRecord* record = TreeGetItemData(tree, item);
    if (!item || !record) return states;
    if (TreeView_GetParent(tree, item)) {
        ButtonFacts facts;
        Tally(reinterpret_cast<HPnxDv>(record->device), &facts);
        return ListButtonStates(facts, 1);
    }
    auto server = reinterpret_cast<HPnxSv>(record->server);
    ButtonFacts facts;
    for (uint32_t i = 0;; ++i) {
        HPnxDv device = nullptr;
        if (g_pnx.PnxEnumUsbDevices(g_app.service, server, i, &device) != 1 || !device) break;
        Tally(device, &facts);
    }
    for (uint32_t i = 0;; ++i) {
        HPnxDv entry = nullptr;
        if (g_pnx.PnxEnumNasDevices(g_app.service, server, i, &entry) != 1 || !entry) break;
        ++facts.storage;
        StorageFacts storage;
        if (ReadStorageFacts(entry, &storage) && storage.state == kStorageMounted) facts.connect = true;
    }
    return ServerButtonStates(facts);
}

}  // namespace

ButtonStates ListButtonStates(const ButtonFacts& facts, int selected) {
    ButtonStates states{L"CONNECT", L"DISCONNECT"};
    if (selected <= 0) return states;
    if (facts.storage && facts.devices) return states;  // storage and devices mixed: nothing
    states.connect = facts.connect;
    states.disconnect = facts.devices && facts.disconnect;
    if (facts.storage) {
        states.connectTip = L"MOUNT";
        return states;
    }
    states.property = selected == 1;
    states.request = selected == 1 ? facts.usedElsewhere > 0 : facts.usedElsewhere == 1;
    return states;
}

ButtonStates ServerButtonStates(const ButtonFacts& facts) {
    ButtonStates states{L"ACONNECT", L"ADISCONNECT"};
    if (facts.storage && facts.devices) return states;
    if (facts.storage) states.connectTip = L"AMOUNT";
    states.connect = facts.connect;
    states.disconnect = facts.disconnect;
    return states;
}

ButtonStates ComputeButtonStates(HWND list, HWND tree, bool treeShown) {
    return treeShown ? FromTreeSelection(tree) : FromListSelection(list);
}
