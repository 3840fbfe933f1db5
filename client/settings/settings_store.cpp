#include "settings_store.h"

#include "lib_state.h"
#include "no_throw.h"
#include "settings_store_backends.h"

namespace {
bool Usable(const SettingsStore* store, const char* deviceKey) {
    return store && deviceKey && *deviceKey &&
           (store->kind == qz::SettingsLocation::kRegistry || store->kind == qz::SettingsLocation::kIni);
}
}  // namespace

SettingsStore SettingsStoreFromLocation(const char* location) {
    return qz::SettingsLocation::Parse(location);
}

SettingsStore CurrentSettingsStore() {
    // The location is written only while the client registers, before any device exists.
    return SettingsStoreFromLocation(g_lib.location);
}

std::string DeviceKeyPath(const SettingsStore& store, const char* deviceKey) {
    return store.keyPath + "\\" + kStoreDeviceKey + "\\" + (deviceKey ? deviceKey : "");
}

bool OpenDeviceStoreKey(const SettingsStore& store, const char* deviceKey, bool create, qz::RegKey* key,
                        REGSAM access) {
    if (!store.registry() || !deviceKey || !*deviceKey) return false;
    return store.OpenKey((std::string(kStoreDeviceKey) + "\\" + deviceKey).c_str(), create, key, access);
}

bool DeviceKeyExists(const SettingsStore* store, const char* deviceKey) {
    if (!Usable(store, deviceKey)) return false;
    return qz::NoThrow([&] {
        return store->kind == qz::SettingsLocation::kRegistry ? RegistryDeviceKeyExists(*store, deviceKey)
                                                     : IniDeviceKeyExists(*store, deviceKey);
    });
}

bool WriteDeviceIdentity(const SettingsStore* store, const char* deviceKey, const UsbDeviceInfo* info) {
    if (!Usable(store, deviceKey) || !info) return false;
    return qz::NoThrow([&] {
        return store->kind == qz::SettingsLocation::kRegistry ? RegistryWriteDeviceIdentity(*store, deviceKey, *info)
                                                     : IniWriteDeviceIdentity(*store, deviceKey, *info);
    });
}

bool ReadDeviceProperties(const SettingsStore* store, const char* deviceKey, const UsbDeviceInfo* info,
                          PropertyInfo* property) {
    if (!Usable(store, deviceKey) || !info || !property) return false;
    return qz::NoThrow([&] {
        return store->kind == qz::SettingsLocation::kRegistry ? RegistryReadDeviceProperties(*store, deviceKey, *info, property)
                                                     : IniReadDeviceProperties(*store, deviceKey, *info, property);
    });
}

bool WriteDeviceProperties(const SettingsStore* store, const char* deviceKey, const UsbDeviceInfo* info,
                           const PropertyInfo* property) {
    if (!Usable(store, deviceKey) || !info || !property) return false;
    return qz::NoThrow([&] {
        return store->kind == qz::SettingsLocation::kRegistry
                   ? RegistryWriteDeviceProperties(*store, deviceKey, *info, *property)
                   : IniWriteDeviceProperties(*store, deviceKey, *info, *property);
    });
}
