#include "tray_menu_model.h"

namespace {

bool Listed(const TrayRow& row) {
    return row.storage || row.status == 1 || row.status == 2 || row.status == 3;
}

}  // namespace

TrayMenuPlan PlanTrayMenu(const std::vector<TrayRow>& rows, std::vector<TrayIds>& ids) {
    ids.assign(rows.size(), TrayIds{});
    TrayMenuPlan plan;
    uint32_t next = kTrayFirstId;
    for (size_t i = rows.size(); i-- > 0;) {
        const TrayRow& row = rows[i];
        ids[i].handle = row.handle;
        if (!Listed(row)) continue;
        plan.separatorOnTop = true;
        TrayEntry entry;
        entry.row = i;
        const int count = row.storage ? 3 : 4;
        for (int k = 0; k < count; ++k) ids[i].ids[k] = next + static_cast<uint32_t>(k);
        next += static_cast<uint32_t>(count);
        if (row.storage) {
            entry.enabled[0] = entry.enabled[1] = entry.enabled[2] = true;
        } else {
            entry.enabled[0] = row.status == 1;
            entry.enabled[1] = row.status == 2;
            entry.enabled[2] = row.status == 3 && !row.requestBlocked;
            entry.enabled[3] = true;
        }
        plan.entries.insert(plan.entries.begin(), entry);
    }
    return plan;
}

TrayHit FindTrayCommand(const std::vector<TrayIds>& ids, const std::vector<bool>& storage, uint32_t id) {
    static const TrayAction kUsb[4] = {TrayAction::Connect, TrayAction::Disconnect, TrayAction::Request,
                                       TrayAction::Property};
    static const TrayAction kStorage[4] = {TrayAction::Mount, TrayAction::Open, TrayAction::Remove,
                                           TrayAction::None};
    if (id < kTrayFirstId) return {};
    for (size_t i = 0; i < ids.size(); ++i) {
        for (int k = 0; k < 4; ++k) {
            if (ids[i].ids[k] != id) continue;
            const bool isStorage = i < storage.size() && storage[i];
            return TrayHit{ids[i].handle, isStorage ? kStorage[k] : kUsb[k]};
        }
    }
    return {};
}
