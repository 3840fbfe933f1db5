#include "service_properties.h"

#include <windows.h>

#include <cstdio>
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
constexpr size_t kKeyPathCapacity = 261;

struct PropertiesStore {
    int kind = kPropertiesStoreNone;
    HKEY root = nullptr;
    std::string modeKey;    // registry: the location's key followed by "\Mode"
    std::string iniFile;    // INI store
};
PropertiesStore g_store;            // library lock
uint32_t g_rdpPort = kDefaultRdpPort;  // library lock

PropertiesStore StoreCopy() {
    LibraryLock lock;
    return g_store;
}

// A decimal value of at most `max`; false for anything else (empty text included).
bool ReadDecimal(const char* text, uint32_t max, uint32_t* value) {
    if (!text[0]) return false;
    uint64_t result = 0;
    for (const char* p = text; *p; ++p) {
        if (*p < '0' || *p > '9') return false;
        result = result * 10 + static_cast<uint64_t>(*p - '0');
        if (result > max) return false;
    }
    *value = static_cast<uint32_t>(result);
    return true;
}

void WriteIniNumber(const std::string& file, const char* key, uint32_t value) {
    char text[16];
    std::snprintf(text, sizeof text, "%u", static_cast<unsigned>(value));
    WritePrivateProfileStringA(kPropertiesIniSection, key, text, file.c_str());
}

// Reads a key, or writes `value` (the current setting) when it is missing, empty or no number.
uint32_t ReadOrCreateIni(const std::string& file, const char* key, uint32_t value, uint32_t max) {
    char text[32] = {};
    GetPrivateProfileStringA(kPropertiesIniSection, key, "", text, sizeof text, file.c_str());
    uint32_t read;
    if (ReadDecimal(text, max, &read)) return read;
    WriteIniNumber(file, key, value);
    return value;
}

ServiceProperties LoadFromIni(const std::string& file, ServiceProperties p) {
    p.communicateMode = static_cast<uint8_t>(ReadOrCreateIni(file, kCommunicateMode, p.communicateMode, 0xFF));
    p.timer = ReadOrCreateIni(file, kTimer, p.timer, 0xFFFFFFFF);
    p.useBroadAddress = static_cast<uint8_t>(ReadOrCreateIni(file, kUseBroadAddress, p.useBroadAddress, 0xFF));
    return p;
}

ServiceProperties LoadFromRegistry(const PropertiesStore& store, ServiceProperties p) {
    const char* key = store.modeKey.c_str();
    RegReadOrCreateValue(store.root, key, kCommunicateMode, REG_BINARY, &p.communicateMode, 1);
    DWORD timer = p.timer;
    RegReadOrCreateValue(store.root, key, kTimer, REG_DWORD, &timer, sizeof timer);
    p.timer = timer;
    RegReadOrCreateValue(store.root, key, kUseBroadAddress, REG_BINARY, &p.useBroadAddress, 1);
    return p;
}
}  // namespace

bool LoadServiceProperties(const char* location) {
    PropertiesStore store;
    if (location && location[0]) {
        char keyPath[kKeyPathCapacity] = {};
        if (HKEY root = ParseSettingsLocation(location, keyPath, sizeof keyPath)) {
            store.kind = kPropertiesStoreRegistry;
            store.root = root;
            store.modeKey = std::string(keyPath) + "\\" + kPropertiesSubKey;
        } else {
            store.kind = kPropertiesStoreIni;
            store.iniFile = location;
        }
    }
    ServiceProperties properties = CurrentServiceProperties();
    {
        LibraryLock lock;
        g_store = store;
    }
    if (store.kind == kPropertiesStoreNone) return false;
    properties = store.kind == kPropertiesStoreIni ? LoadFromIni(store.iniFile, properties)
                                                   : LoadFromRegistry(store, properties);
    TakeServiceProperties(properties);
    if (store.kind == kPropertiesStoreRegistry) {
        // The desktop port is only ever kept in the registry; take it when it is there.
        DWORD port = 0;
        DWORD size = sizeof port;
        DWORD type = REG_NONE;
        if (RegReadValue(store.root, store.modeKey.c_str(), kRdpPort, &port, &size, &type) && type == REG_DWORD &&
            size == sizeof port && port >= 1 && port <= 65535) {
            LibraryLock lock;
            g_rdpPort = port;
        }
    }
    return true;
}

void SaveServiceProperties() {
    PropertiesStore store = StoreCopy();
    ServiceProperties p = CurrentServiceProperties();
    if (store.kind == kPropertiesStoreIni) {
        WriteIniNumber(store.iniFile, kCommunicateMode, p.communicateMode);
        WriteIniNumber(store.iniFile, kTimer, p.timer);
        WriteIniNumber(store.iniFile, kUseBroadAddress, p.useBroadAddress);
    } else if (store.kind == kPropertiesStoreRegistry) {
        const char* key = store.modeKey.c_str();
        DWORD timer = p.timer;
        RegWriteValue(store.root, key, kCommunicateMode, REG_BINARY, &p.communicateMode, 1);
        RegWriteValue(store.root, key, kTimer, REG_DWORD, &timer, sizeof timer);
        RegWriteValue(store.root, key, kUseBroadAddress, REG_BINARY, &p.useBroadAddress, 1);
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
    PropertiesStore store = StoreCopy();
    if (store.kind != kPropertiesStoreRegistry) return false;
    DWORD port = RdpPort();
    if (!RegReadOrCreateValue(store.root, store.modeKey.c_str(), kRdpPort, REG_DWORD, &port, sizeof port)) return true;
    LibraryLock lock;
    g_rdpPort = port;
    return true;
}

bool StoreRdpPort(uint32_t port) {
    {
        LibraryLock lock;
        g_rdpPort = port;
    }
    PropertiesStore store = StoreCopy();
    if (store.kind != kPropertiesStoreRegistry) return true;
    DWORD value = port;
    return RegWriteValue(store.root, store.modeKey.c_str(), kRdpPort, REG_DWORD, &value, sizeof value);
}

void ResetServicePropertiesStoreForTests() {
    LibraryLock lock;
    g_store = PropertiesStore{};
    g_rdpPort = kDefaultRdpPort;
}
