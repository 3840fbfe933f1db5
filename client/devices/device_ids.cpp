#include "device_ids.h"

#include <algorithm>

#include "pnp_tree.h"
#include "registry_value.h"
#include "win_handles.h"

namespace {

struct IdList {
    uint32_t bit;
    const char* countName;
    const char* slotFormat;
    std::vector<std::string> DeviceIdSet::*slots;
};

constexpr IdList kLists[] = {
    {kIdListBus, "ZkuptpIdCount", "ZkuptpId%02u", &DeviceIdSet::busIds},
    {kIdListDevice, "DeviceIdCount", "DeviceId%02u", &DeviceIdSet::deviceIds},
    {kIdListPrinter, "PrinterIdCount", "PrinterId%02u", &DeviceIdSet::printerIds},
};

std::string SlotName(const IdList& list, uint32_t index) {
    char name[32];
    snprintf(name, sizeof(name), list.slotFormat, static_cast<unsigned>(index));
    return name;
}

qz::RegKey OpenDeviceKey(const SettingsStore& store, const std::string& deviceKey, bool write) {
    qz::RegKey key;
    OpenDeviceStoreKey(store, deviceKey.c_str(), write, &key);
    return key;
}

}  // namespace

bool ReadDeviceIds(const SettingsStore& store, const std::string& deviceKey, DeviceIdSet* ids, uint32_t lists) {
    qz::RegKey key = OpenDeviceKey(store, deviceKey, false);
    if (!key || !ids) return false;
    for (const IdList& list : kLists) {
        if (!(lists & list.bit)) continue;
        std::vector<std::string>& slots = ids->*list.slots;
        slots.clear();
        uint32_t count = 0;
        if (!ReadRegistryDword(key.get(), list.countName, &count)) continue;
        count = std::min(count, kMaxStoredIds);
        for (uint32_t i = 0; i < count; ++i) {
            std::string id;
            ReadRegistryText(key.get(), SlotName(list, i).c_str(), &id, kDeviceIdChars);
            slots.push_back(id);
        }
    }
    return true;
}

bool WriteDeviceIds(const SettingsStore& store, const std::string& deviceKey, const DeviceIdSet& ids, uint32_t lists) {
    qz::RegKey key = OpenDeviceKey(store, deviceKey, true);
    if (!key) return false;
    for (const IdList& list : kLists) {
        if (!(lists & list.bit)) continue;
        uint32_t written = 0;
        for (const std::string& id : ids.*list.slots) {
            if (id.empty() || written >= kMaxStoredIds) continue;
            WriteRegistryText(key.get(), SlotName(list, written++).c_str(), id.c_str());
        }
        WriteRegistryDword(key.get(), list.countName, written);
    }
    return true;
}

bool DeleteDeviceIds(const SettingsStore& store, const std::string& deviceKey, const DeviceIdSet& ids, uint32_t lists) {
    qz::RegKey key = OpenDeviceKey(store, deviceKey, true);
    if (!key) return false;
    for (const IdList& list : kLists) {
        if (!(lists & list.bit)) continue;
        uint32_t stored = 0;
        ReadRegistryDword(key.get(), list.countName, &stored);
        uint32_t slots = std::max<uint32_t>(std::min(stored, kMaxStoredIds), (ids.*list.slots).size());
        for (uint32_t i = 0; i < slots; ++i) RegDeleteValueA(key.get(), SlotName(list, i).c_str());
        RegDeleteValueA(key.get(), list.countName);
    }
    return true;
}

void FreeDeviceIds(DeviceIdSet* ids, uint32_t lists) {
    if (!ids) return;
    for (const IdList& list : kLists) {
        if (lists & list.bit) (ids->*list.slots).clear();
    }
}

bool RemoveStaleEnumKeys(DeviceIdSet* ids, uint32_t lists) {
    bool blanked = false;
    if (!ids) return false;
    for (const IdList& list : kLists) {
        if (!(lists & list.bit)) continue;
        for (std::string& id : ids->*list.slots) {
            if (!id.empty() && !EnumKeyExists(id)) {
                id.clear();
                blanked = true;
            }
        }
    }
    return blanked;
}

void CompactDeviceIds(DeviceIdSet* ids) {
    if (!ids) return;
    for (const IdList& list : kLists) {
        std::vector<std::string>& slots = ids->*list.slots;
        slots.erase(std::remove(slots.begin(), slots.end(), std::string()), slots.end());
    }
}

void LoadDeviceIds(const SettingsStore& store, const std::string& deviceKey, DeviceIdSet* ids) {
    if (!ReadDeviceIds(store, deviceKey, ids, kIdListAll)) return;
    bool blank = false;
    for (const IdList& list : kLists) {
        for (const std::string& id : ids->*list.slots) blank |= id.empty();
    }
    if (RemoveStaleEnumKeys(ids, kIdListAll) || blank) {
        DeleteDeviceIds(store, deviceKey, *ids, kIdListAll);
        CompactDeviceIds(ids);
        WriteDeviceIds(store, deviceKey, *ids, kIdListAll);
    }
}
