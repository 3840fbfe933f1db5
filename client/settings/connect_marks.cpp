#include "connect_marks.h"

#include <cstring>
#include <string>

#include "no_throw.h"
#include "win_handles.h"

namespace {
constexpr const char* kConnectKey = "Connect";  // below "Device"; the INI section of the marks
constexpr const char kMarkText[] = "0";

bool Usable(const SettingsStore* store) {
    return store && (store->kind == qz::SettingsLocation::kRegistry || store->kind == qz::SettingsLocation::kIni);
}

bool UsableKey(const SettingsStore* store, const char* deviceKey) {
    return Usable(store) && deviceKey && *deviceKey;
}

// Registry: the key of the marks below the location's key.
std::string ConnectSection() {
    return std::string(kStoreDeviceKey) + "\\" + kConnectKey;
}

bool IniWrite(const SettingsStore& store, const char* deviceKey, const char* text) {
    bool written = text ? store.WriteText(kConnectKey, deviceKey, text) : store.Remove(kConnectKey, deviceKey);
    store.Flush();
    return written;
}
}  // namespace

bool QueryConnectMark(const SettingsStore* store, const char* deviceKey) {
    if (!UsableKey(store, deviceKey)) return false;
    return qz::NoThrow([&] {
        if (store->ini()) {
            std::string text;
            return store->ReadText(kConnectKey, deviceKey, &text) && !text.empty();
        }
        qz::RegKey key;
        return store->OpenKey(ConnectSection().c_str(), false, &key) &&
               RegQueryValueExA(key.get(), deviceKey, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
    });
}

bool SetConnectMark(const SettingsStore* store, const char* deviceKey) {
    if (!UsableKey(store, deviceKey)) return false;
    return qz::NoThrow([&] {
        if (store->ini()) return IniWrite(*store, deviceKey, kMarkText);
        return store->WriteText(ConnectSection().c_str(), deviceKey, kMarkText);
    });
}

bool DeleteConnectMark(const SettingsStore* store, const char* deviceKey) {
    if (!UsableKey(store, deviceKey)) return false;
    return qz::NoThrow([&] {
        if (store->ini()) return IniWrite(*store, deviceKey, nullptr);
        return store->Remove(ConnectSection().c_str(), deviceKey);
    });
}

bool DeleteConnectMarks(const SettingsStore* store) {
    if (!Usable(store)) return false;
    return qz::NoThrow([&] {
        if (store->ini()) return IniWrite(*store, nullptr, nullptr);
        return RegDeleteTreeA(store->root, store->KeyOf(ConnectSection().c_str()).c_str()) == ERROR_SUCCESS;
    });
}

void DropConnectMarks() {
    qz::NoThrow([] {
        SettingsStore store = CurrentSettingsStore();
        return DeleteConnectMarks(&store);
    });
}
