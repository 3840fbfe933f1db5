#include "operation_builders.h"

#include <algorithm>

namespace {

constexpr uint16_t kServerStatusBusyBits = 0x0004 | 0x0008;  // bits 2 and 3

DeviceOperation Op(const DeviceRow& row, uint32_t code) { return DeviceOperation{row.handle, code, kActionButton}; }

class PlanBuilder {
public:
    explicit PlanBuilder(MenuTemplate kind) { plan_.kind = kind; }
    void Set(uint32_t id, bool enabled) {
        for (auto& item : plan_.states) {
            if (item.first == id) {
                item.second = enabled ? kItemEnabled : kItemDisabled;
                return;
            }
        }
        plan_.states.emplace_back(id, enabled ? kItemEnabled : kItemDisabled);
    }
    void Default(uint32_t id) { plan_.defaultId = id; }
    bool Enabled(uint32_t id) const { return plan_.StateOf(id) == kItemEnabled; }
    MenuPlan Done() { return plan_; }

private:
    MenuPlan plan_;
};

MenuPlan StoragePlan(const std::vector<const DeviceRow*>& rows, bool refreshLockedOut) {
    PlanBuilder plan(MenuTemplate::Storage);
    for (uint32_t id : {kCmdMount, kCmdOpen, kCmdRemove}) plan.Set(id, false);
    for (const DeviceRow* row : rows) {
        if (row->storageState != kStorageReady) continue;
        plan.Set(kCmdMount, true);
        plan.Set(kCmdRemove, true);
        plan.Set(kCmdOpen, true);
        plan.Default(kCmdOpen);
    }
    plan.Set(kCmdRefresh, !refreshLockedOut);
    return plan.Done();
}

MenuPlan DevicePlan(const std::vector<const DeviceRow*>& rows, bool refreshLockedOut) {
    PlanBuilder plan(MenuTemplate::Device);
    for (uint32_t id : {kCmdConnect, kCmdDisconnect, kCmdRequest, kCmdProperty}) plan.Set(id, false);
    plan.Set(kCmdRefresh, !refreshLockedOut);
    int elsewhere = 0;
    bool shuttleBlocked = false;
    for (const DeviceRow* row : rows) {
        if (row->status == kStatusFree) plan.Set(kCmdConnect, true);
        if (row->status == kStatusConnectedHere) plan.Set(kCmdDisconnect, true);
        if (row->status == kStatusUsedElsewhere) {
            plan.Set(kCmdRequest, true);
            ++elsewhere;
            if (row->ownShuttle) shuttleBlocked = true;
        }
        plan.Set(kCmdProperty, true);
    }
    if (shuttleBlocked || elsewhere > 1) plan.Set(kCmdRequest, false);
    if (rows.size() > 1) plan.Set(kCmdProperty, false);
    if (plan.Enabled(kCmdConnect)) {
        plan.Default(kCmdConnect);
    } else if (plan.Enabled(kCmdDisconnect)) {
        plan.Default(kCmdDisconnect);
    }
    return plan.Done();
}

}  // namespace

uint32_t MenuPlan::StateOf(uint32_t id) const {
    for (const auto& item : states) {
        if (item.first == id) return item.second;
    }
    return kItemEnabled;
}

std::vector<DeviceOperation> EnterOperations(const std::vector<DeviceRow>& rows) {
    std::vector<DeviceOperation> out;
    for (const DeviceRow& row : rows) {
        if (!row.selected || row.storage) continue;
        if (row.status == kStatusFree) out.push_back(Op(row, DEVOP_CONNECT));
        if (row.status == kStatusConnectedHere) out.push_back(Op(row, DEVOP_DISCONNECT));
    }
    return out;
}

std::vector<DeviceOperation> ConnectOperations(const std::vector<DeviceRow>& rows) {
    std::vector<DeviceOperation> out;
    for (const DeviceRow& row : rows) {
        if (row.selected && !row.storage && row.status == kStatusFree) out.push_back(Op(row, DEVOP_CONNECT));
    }
    return out;
}

std::vector<DeviceOperation> DisconnectOperations(const std::vector<DeviceRow>& rows) {
    std::vector<DeviceOperation> out;
    for (const DeviceRow& row : rows) {
        if (row.selected && !row.storage && row.status == kStatusConnectedHere) {
            out.push_back(Op(row, DEVOP_DISCONNECT));
        }
    }
    return out;
}

bool ConnectFallsBackToMount(const std::vector<DeviceRow>& rows) {
    if (!ConnectOperations(rows).empty()) return false;
    return std::any_of(rows.begin(), rows.end(), [](const DeviceRow& r) { return r.selected && r.storage; });
}

DoubleClickAction DoubleClickOf(const DeviceRow& row, DeviceOperation* operation) {
    if (row.storage) return DoubleClickAction::OpenStorage;
    if (row.status != kStatusFree && row.status != kStatusConnectedHere) return DoubleClickAction::None;
    if (operation) *operation = Op(row, row.status == kStatusFree ? DEVOP_CONNECT : DEVOP_DISCONNECT);
    return DoubleClickAction::Operation;
}

BOOL ToOperationList(const std::vector<DeviceOperation>& operations, DeviceOperationList& list) {
    if (operations.empty() || !AllocateOperations(list, static_cast<int>(operations.size()))) {
        list = DeviceOperationList{};
        return FALSE;
    }
    std::copy(operations.begin(), operations.end(), list.operations);
    return TRUE;
}

MenuPlan ListMenuPlan(const std::vector<DeviceRow>& rows, bool refreshLockedOut) {
    std::vector<const DeviceRow*> storage, devices;
    for (const DeviceRow& row : rows) {
        if (row.selected) (row.storage ? storage : devices).push_back(&row);
    }
    if (!storage.empty() && devices.empty()) return StoragePlan(storage, refreshLockedOut);
    if (!storage.empty()) {
        PlanBuilder plan(MenuTemplate::RefreshOnly);
        plan.Set(kCmdRefresh, !refreshLockedOut);
        return plan.Done();
    }
    return DevicePlan(devices, refreshLockedOut);
}

MenuPlan TreeItemMenuPlan(const DeviceRow& row, bool refreshLockedOut) {
    if (row.storage) return StoragePlan({&row}, refreshLockedOut);
    return DevicePlan({&row}, refreshLockedOut);
}

MenuPlan ServerMenuPlan(const ServerModel& server, bool refreshLockedOut) {
    const bool serverBusy = (server.status & kServerStatusBusyBits) != 0;
    const bool anyMounted = std::any_of(server.storage.begin(), server.storage.end(),
                                        [](const DeviceRow& r) { return r.mounted; });
    if (anyMounted) {
        PlanBuilder plan(server.devices.empty() ? MenuTemplate::ServerStorage : MenuTemplate::ServerAll);
        plan.Set(kCmdServerPage, !serverBusy);
        plan.Set(kCmdRefresh, !refreshLockedOut);
        if (server.devices.empty()) {
            const bool ready = std::any_of(server.storage.begin(), server.storage.end(),
                                           [](const DeviceRow& r) { return r.storageState == kStorageReady; });
            for (uint32_t id : {kCmdAllMount, kCmdAllOpen, kCmdAllRemove}) plan.Set(id, ready);
        }
        return plan.Done();
    }
    PlanBuilder plan(MenuTemplate::Server);
    plan.Set(kCmdAllConnect, false);
    plan.Set(kCmdAllDisconnect, false);
    for (const DeviceRow& row : server.devices) {
        if (row.status == kStatusFree) plan.Set(kCmdAllConnect, true);
        if (row.status == kStatusConnectedHere) plan.Set(kCmdAllDisconnect, true);
    }
    plan.Set(kCmdServerPage, !serverBusy && !server.shuttle);
    plan.Set(kCmdRefresh, !refreshLockedOut);
    return plan.Done();
}

std::vector<HelpItem> HelpMenuItems(bool html, bool company, bool support, bool version) {
    constexpr uint32_t kNone = 0xFFFFFFFFu;
    const HelpItem separator{L"", 0, kNone};
    std::vector<HelpItem> items;
    if (html) {
        items.push_back({L"HELP_MAIN", kCmdHelpMain, 115});
        items.push_back(separator);
    }
    if (company) items.push_back({L"HELP_COMPANY", kCmdHelpCompany, kNone});
    if (support) {
        items.push_back({L"HELP_SUPPORT", kCmdHelpSupport, kNone});
        items.push_back(separator);
    }
    if (version && company && !support) items.push_back(separator);
    items.push_back({L"HELP_VERSION", kCmdAbout, 101});
    return items;
}
