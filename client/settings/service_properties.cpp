#include "service_properties.h"

#include <windows.h>

#include <cstring>
#include <string>

#include "lib_lock.h"
#include "lib_state.h"
#include "settings_location.h"

namespace {
constexpr const char* kCommunicateMode = "CommunicateMode";
constexpr const char* kTimer = "Timer";
constexpr const char* kUseBroadAddress = "UseBroadAddress";
constexpr const char* kRdpPort = "RDPPort";
// The registry kind holds the values in the location's "Mode" key, the INI kind in [CONFIG].
qz::SettingsLocation g_store;          // library lock
uint32_t g_rdpPort = kDefaultRdpPort;  // library lock

qz::SettingsLocation StoreCopy() {
    LibraryLock lock;
    return g_store;
}

// Reads a key, or writes `value` (the current setting) when it is missing, empty, no number
// or above `max`.
uint32_t ReadOrCreateIni(const qz::SettingsLocation& store, const char* key, uint32_t value, uint32_t max) {
    uint32_t read;
    if (store.ReadNumber(kPropertiesIniSection, key, &read) && read <= max) return read;
    store.WriteNumber(kPropertiesIniSection, key, value);
    return value;
}

ServiceProperties LoadFromIni(const qz::SettingsLocation& store, ServiceProperties p) {
    p.communicateMode = static_cast<uint8_t>(ReadOrCreateIni(store, kCommunicateMode, p.communicateMode, 0xFF));
    p.timer = ReadOrCreateIni(store, kTimer, p.timer, 0xFFFFFFFF);
    p.useBroadAddress = static_cast<uint8_t>(ReadOrCreateIni(store, kUseBroadAddress, p.useBroadAddress, 0xFF));
    return p;
}

ServiceProperties LoadFromRegistry(const qz::SettingsLocation& store, ServiceProperties p) {
    store.ReadOrCreateValue(nullptr, kCommunicateMode, REG_BINARY, &p.communicateMode, 1);
    DWORD timer = p.timer;
    store.ReadOrCreateValue(nullptr, kTimer, REG_DWORD, &timer, sizeof timer);
    p.timer = timer;
    store.ReadOrCreateValue(nullptr, kUseBroadAddress, REG_BINARY, &p.useBroadAddress, 1);
    return p;
}
}  // namespace

bool LoadServiceProperties(const char* location) {
    qz::SettingsLocation store = qz::SettingsLocation::Parse(location).Below(kPropertiesSubKey);
    ServiceProperties properties = CurrentServiceProperties();
    {
        LibraryLock lock;
        g_store = store;
    }
    if (store.kind == qz::SettingsLocation::kNone) return false;
    properties = store.ini() ? LoadFromIni(store, properties) : LoadFromRegistry(store, properties);
    TakeServiceProperties(properties);
    if (store.registry()) {
        // The desktop port is only ever kept in the registry; take it when it is there.
        uint32_t port = 0;
        if (store.ReadNumber(nullptr, kRdpPort, &port) && port >= 1 && port <= 65535) {
            LibraryLock lock;
            g_rdpPort = port;
        }
    }
    return true;
}

void SaveServiceProperties() {
    qz::SettingsLocation store = StoreCopy();
    ServiceProperties p = CurrentServiceProperties();
    if (store.ini()) {
        store.WriteNumber(kPropertiesIniSection, kCommunicateMode, p.communicateMode);
        store.WriteNumber(kPropertiesIniSection, kTimer, p.timer);
        store.WriteNumber(kPropertiesIniSection, kUseBroadAddress, p.useBroadAddress);
    } else if (store.registry()) {
        store.WriteValue(nullptr, kCommunicateMode, REG_BINARY, &p.communicateMode, 1);
        store.WriteNumber(nullptr, kTimer, p.timer);
        store.WriteValue(nullptr, kUseBroadAddress, REG_BINARY, &p.useBroadAddress, 1);
    }
}

int PropertiesStoreKind() {
    LibraryLock lock;
    return g_store.kind;
}

void TakeServiceProperties(const ServiceProperties& properties) {
    LibraryLock lock;
    g_lib.properties.communicateMode = properties.communicateMode;
    g_lib.properties.timer = properties.timer;
    g_lib.properties.useBroadAddress = properties.useBroadAddress;
}

ServiceProperties CurrentServiceProperties() {
    LibraryLock lock;
    return g_lib.properties;
}

uint32_t RdpPort() {
    LibraryLock lock;
    return g_rdpPort;
}

bool LoadRdpPort() {
    qz::SettingsLocation store = StoreCopy();
    if (!store.registry()) return false;
    DWORD port = RdpPort();
    if (!store.ReadOrCreateValue(nullptr, kRdpPort, REG_DWORD, &port, sizeof port)) return true;
    LibraryLock lock;
    g_rdpPort = port;
    return true;
}

bool StoreRdpPort(uint32_t port) {
    {
        LibraryLock lock;
        g_rdpPort = port;
    }
    qz::SettingsLocation store = StoreCopy();
    if (!store.registry()) return true;
    return store.WriteNumber(nullptr, kRdpPort, port);
}

void ResetServicePropertiesStoreForTests() {
    LibraryLock lock;
    g_store = qz::SettingsLocation{};
    g_rdpPort = kDefaultRdpPort;
}
