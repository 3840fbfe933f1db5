#include "settings_store.h"

#include "lib_state.h"
#include "no_throw.h"
#include "settings_location.h"
#include "settings_store_backends.h"

namespace {
constexpr size_t kKeyPathCapacity = 261;

bool Usable(const SettingsStore* store, const char* deviceKey) {
    return store && deviceKey && *deviceKey &&
           (store->kind == kSettingsStoreRegistry || store->kind == kSettingsStoreIni);
}
}  // namespace

SettingsStore SettingsStoreFromLocation(const char* location) {
    SettingsStore store;
    if (!location || !*location) return store;
    char keyPath[kKeyPathCapacity] = {};
    if (HKEY root = ParseSettingsLocation(location, keyPath, sizeof keyPath)) {
        store.kind = kSettingsStoreRegistry;
        store.root = root;
        store.keyPath = keyPath;
    } else {
        store.kind = kSettingsStoreIni;
        store.iniFile = location;
    }
    return store;
}

SettingsStore CurrentSettingsStore() {
    // The location is written only while the client registers, before any device exists.
    return SettingsStoreFromLocation(g_lib.location);
}

std::string DeviceKeyPath(const SettingsStore& store, const char* deviceKey) {
    return store.keyPath + "\\" + kStoreDeviceKey + "\\" + (deviceKey ? deviceKey : "");
}

bool DeviceKeyExists(const SettingsStore* store, const char* deviceKey) {
    if (!Usable(store, deviceKey)) return false;
    return qz::NoThrow([&] {
        return store->kind == kSettingsStoreRegistry ? RegistryDeviceKeyExists(*store, deviceKey)
                                                     : IniDeviceKeyExists(*store, deviceKey);
    });
}

bool WriteDeviceIdentity(const SettingsStore* store, const char* deviceKey, const UsbDeviceInfo* info) {
    if (!Usable(store, deviceKey) || !info) return false;
    return qz::NoThrow([&] {
        return store->kind == kSettingsStoreRegistry ? RegistryWriteDeviceIdentity(*store, deviceKey, *info)
                                                     : IniWriteDeviceIdentity(*store, deviceKey, *info);
    });
}

bool ReadDeviceProperties(const SettingsStore* store, const char* deviceKey, const UsbDeviceInfo* info,
                          PropertyInfo* property) {
    if (!Usable(store, deviceKey) || !info || !property) return false;
    return qz::NoThrow([&] {
        return store->kind == kSettingsStoreRegistry ? RegistryReadDeviceProperties(*store, deviceKey, *info, property)
                                                     : IniReadDeviceProperties(*store, deviceKey, *info, property);
    });
}

bool WriteDeviceProperties(const SettingsStore* store, const char* deviceKey, const UsbDeviceInfo* info,
                           const PropertyInfo* property) {
    if (!Usable(store, deviceKey) || !info || !property) return false;
    return qz::NoThrow([&] {
        return store->kind == kSettingsStoreRegistry
                   ? RegistryWriteDeviceProperties(*store, deviceKey, *info, *property)
                   : IniWriteDeviceProperties(*store, deviceKey, *info, *property);
    });
}
