// The stored Plug and Play ids of a device: the three id lists of a DeviceIdSet kept as
// numbered values in the device's key of a registry settings store ("ZkuptpId%02d",
// "DeviceId%02d", "PrinterId%02d" with their counts). An INI store keeps no ids.
#pragma once

#include <cstdint>
#include <string>

#include "device_entry.h"
#include "settings_store.h"

// Which lists an operation touches.
constexpr uint32_t kIdListBus = 0x1;
constexpr uint32_t kIdListDevice = 0x2;
constexpr uint32_t kIdListPrinter = 0x4;
constexpr uint32_t kIdListAll = kIdListBus | kIdListDevice | kIdListPrinter;

// Stored counts are untrusted: no list holds more than this many ids.
constexpr uint32_t kMaxStoredIds = 255;

// Reads the chosen lists from the store into `ids` (replacing them). Missing values leave
// blank slots so that stale numbering is seen and repaired. False without a registry store or
// device key.
bool ReadDeviceIds(const SettingsStore& store, const std::string& deviceKey, DeviceIdSet* ids, uint32_t lists);

// Writes the non-blank ids of the chosen lists numbered from 00, then their counts.
bool WriteDeviceIds(const SettingsStore& store, const std::string& deviceKey, const DeviceIdSet& ids, uint32_t lists);

// Deletes the numbered values of every slot and the count of the chosen lists.
bool DeleteDeviceIds(const SettingsStore& store, const std::string& deviceKey, const DeviceIdSet& ids, uint32_t lists);

// Clears the chosen lists.
void FreeDeviceIds(DeviceIdSet* ids, uint32_t lists);

// Blanks every id of the chosen lists whose Enum key is gone; true when any was blanked.
bool RemoveStaleEnumKeys(DeviceIdSet* ids, uint32_t lists);

// Drops the blank slots of every list.
void CompactDeviceIds(DeviceIdSet* ids);

// Reads a device's stored ids and, when any of them is stale, rewrites the store without them.
void LoadDeviceIds(const SettingsStore& store, const std::string& deviceKey, DeviceIdSet* ids);
