#include "connect_marks.h"

#include <cstring>
#include <string>

#include "no_throw.h"
#include "win_handles.h"

namespace {
constexpr const char* kConnectKey = "Connect";  // below "Device"; the INI section of the marks
constexpr const char kMarkText[] = "0";

bool Usable(const SettingsStore* store) {
    return store && (store->kind == kSettingsStoreRegistry || store->kind == kSettingsStoreIni);
}

bool UsableKey(const SettingsStore* store, const char* deviceKey) {
    return Usable(store) && deviceKey && *deviceKey;
}

std::string ConnectKeyPath(const SettingsStore& store) {
    return store.keyPath + "\\" + kStoreDeviceKey + "\\" + kConnectKey;
}

bool OpenConnectKey(const SettingsStore& store, qz::RegKey* key) {
    return RegOpenKeyExA(store.root, ConnectKeyPath(store).c_str(), 0, KEY_ALL_ACCESS, key->put()) == ERROR_SUCCESS;
}

bool IniMarkPresent(const SettingsStore& store, const char* deviceKey) {
    char text[8] = {};
    return GetPrivateProfileStringA(kConnectKey, deviceKey, "", text, sizeof text, store.iniFile.c_str()) > 0;
}

bool IniWrite(const SettingsStore& store, const char* deviceKey, const char* text) {
    bool written = WritePrivateProfileStringA(kConnectKey, deviceKey, text, store.iniFile.c_str()) != FALSE;
    WritePrivateProfileStringA(nullptr, nullptr, nullptr, store.iniFile.c_str());  // flush
    return written;
}
}  // namespace

bool QueryConnectMark(const SettingsStore* store, const char* deviceKey) {
    if (!UsableKey(store, deviceKey)) return false;
    return qz::NoThrow([&] {
        if (store->kind == kSettingsStoreIni) return IniMarkPresent(*store, deviceKey);
        qz::RegKey key;
        return OpenConnectKey(*store, &key) &&
               RegQueryValueExA(key.get(), deviceKey, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
    });
}

bool SetConnectMark(const SettingsStore* store, const char* deviceKey) {
    if (!UsableKey(store, deviceKey)) return false;
    return qz::NoThrow([&] {
        if (store->kind == kSettingsStoreIni) return IniWrite(*store, deviceKey, kMarkText);
        qz::RegKey key;
        if (RegCreateKeyExA(store->root, ConnectKeyPath(*store).c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                            KEY_ALL_ACCESS, nullptr, key.put(), nullptr) != ERROR_SUCCESS) {
            return false;
        }
        return RegSetValueExA(key.get(), deviceKey, 0, REG_SZ, reinterpret_cast<const BYTE*>(kMarkText),
                              sizeof kMarkText) == ERROR_SUCCESS;
    });
}

bool DeleteConnectMark(const SettingsStore* store, const char* deviceKey) {
    if (!UsableKey(store, deviceKey)) return false;
    return qz::NoThrow([&] {
        if (store->kind == kSettingsStoreIni) return IniWrite(*store, deviceKey, nullptr);
        qz::RegKey key;
        return OpenConnectKey(*store, &key) && RegDeleteValueA(key.get(), deviceKey) == ERROR_SUCCESS;
    });
}

bool DeleteConnectMarks(const SettingsStore* store) {
    if (!Usable(store)) return false;
    return qz::NoThrow([&] {
        if (store->kind == kSettingsStoreIni) return IniWrite(*store, nullptr, nullptr);
        return RegDeleteTreeA(store->root, ConnectKeyPath(*store).c_str()) == ERROR_SUCCESS;
    });
}

void DropConnectMarks() {
    qz::NoThrow([] {
        SettingsStore store = CurrentSettingsStore();
        return DeleteConnectMarks(&store);
    });
}
