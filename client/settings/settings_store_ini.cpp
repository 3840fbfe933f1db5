// The INI kind of the settings store: one section per device, named by the device key, so that
// every device keeps its own settings. Numbers are hexadecimal texts; application paths are
// not kept in this kind.
#include <cstdio>
#include <optional>
#include <string>

#include "device_heap.h"
#include "settings_store_backends.h"

namespace {

// Device identity keys.
constexpr const char* kKeyDeviceName = "DEVICENAME";
constexpr const char* kKeyLocation = "LOCATION";
constexpr const char* kKeyPid = "PID";
constexpr const char* kKeyVid = "VID";
constexpr const char* kKeyInterfaceCount = "INTERFACE_COUNT";
constexpr const char* kKeyInterface = "INTERFACE";
constexpr const char* kKeySubProtocol = "SUBPROTOCOL";
constexpr const char* kKeySerialNumber = "SERIALNUMBER";

// Device settings keys.
constexpr const char* kKeyFavoriteName = "FAVORITE_NAME";
constexpr const char* kKeyProperty = "PROPERTY";
constexpr const char* kKeyApplication = "APPLICATION";
constexpr const char* kKeyPrinter = "PRINTER";
constexpr const char* kKeyWaitTimer = "WAIT_TIMER";
constexpr const char* kKeyCom = "COM";
constexpr const char* kKeyComPort = "COM_PORT";

std::string Hex(unsigned value, int digits) {
    char text[16];
    std::snprintf(text, sizeof text, "%0*x", digits, value);
    return text;
}

// Four digits per interface; each u16 is written low byte first, as it lies in memory.
std::string InterfaceText(const uint16_t* values, uint32_t count) {
    std::string text;
    if (!values) return text;
    for (uint32_t i = 0; i < count; ++i) {
        text += Hex(values[i] & 0xFFu, 2);
        text += Hex(values[i] >> 8, 2);
    }
    return text;
}

void Write(const SettingsStore& store, const char* section, const char* key, const std::string& text) {
    store.WriteText(section, key, text.c_str());
}

void Flush(const SettingsStore& store) { store.Flush(); }

// The whole text of a key (empty when missing or too long to be a setting).
std::string ReadText(const SettingsStore& store, const char* section, const char* key) {
    std::string text;
    return store.ReadText(section, key, &text) ? text : std::string();
}

// A number of at most maxDigits hexadecimal digits; anything else (empty, too long, not
// hexadecimal) is no number, and the field it was meant for keeps its value.
std::optional<uint32_t> ReadHex(const SettingsStore& store, const char* section, const char* key, size_t maxDigits) {
    std::string text = ReadText(store, section, key);
    if (text.empty() || text.size() > maxDigits) return std::nullopt;
    uint32_t value = 0;
    for (char c : text) {
        int digit = (c >= '0' && c <= '9') ? c - '0' : (c >= 'a' && c <= 'f') ? c - 'a' + 10
                  : (c >= 'A' && c <= 'F') ? c - 'A' + 10 : -1;
        if (digit < 0) return std::nullopt;
        value = value * 16 + static_cast<uint32_t>(digit);
    }
    return value;
}

}  // namespace

bool IniDeviceKeyExists(const SettingsStore& store, const char* deviceKey) {
    char probe[16];
    return GetPrivateProfileSectionA(deviceKey, probe, sizeof probe, store.iniFile.c_str()) > 0;
}

bool IniWriteDeviceIdentity(const SettingsStore& store, const char* deviceKey, const UsbDeviceInfo& info) {
    Write(store, deviceKey, kKeyDeviceName, info.name ? info.name : "");
    Write(store, deviceKey, kKeyLocation, info.locations ? info.locations : "");
    Write(store, deviceKey, kKeyPid, Hex(info.pid, 4));
    Write(store, deviceKey, kKeyVid, Hex(info.vid, 4));
    Write(store, deviceKey, kKeyInterfaceCount, Hex(info.interfaceCount, 8));
    Write(store, deviceKey, kKeyInterface, InterfaceText(info.interfaceClasses, info.interfaceCount));
    if (info.interfaceSubclasses) {
        Write(store, deviceKey, kKeySubProtocol, InterfaceText(info.interfaceSubclasses, info.interfaceCount));
    }
    if (info.serial && *info.serial) Write(store, deviceKey, kKeySerialNumber, info.serial);
    Flush(store);
    return IniDeviceKeyExists(store, deviceKey);
}

bool IniReadDeviceProperties(const SettingsStore& store, const char* deviceKey, const UsbDeviceInfo& info,
                             PropertyInfo* property) {
    std::string name = ReadText(store, deviceKey, kKeyFavoriteName);
    if (name.empty()) return false;
    if (char* copy = DeviceStrDupN(name.data(), name.size())) {
        DeviceHeapFree(property->favoriteName);
        property->favoriteName = copy;
    }
    if (auto v = ReadHex(store, deviceKey, kKeyProperty, 4)) property->property = static_cast<uint16_t>(*v);
    if (auto v = ReadHex(store, deviceKey, kKeyApplication, 4)) property->application = static_cast<uint16_t>(*v);
    if (auto v = ReadHex(store, deviceKey, kKeyPrinter, 4)) property->printer = static_cast<uint16_t>(*v);
    if (auto v = ReadHex(store, deviceKey, kKeyWaitTimer, 8)) property->waitTimer = *v;
    if (IsComPortLocation(info.locations)) {
        if (auto v = ReadHex(store, deviceKey, kKeyCom, 4)) property->com = static_cast<uint16_t>(*v);
        if (auto v = ReadHex(store, deviceKey, kKeyComPort, 2)) property->comPortNumber = static_cast<uint8_t>(*v);
    }
    return true;
}

bool IniWriteDeviceProperties(const SettingsStore& store, const char* deviceKey, const UsbDeviceInfo& info,
                              const PropertyInfo& property) {
    // A device without a favorite name keeps the stored one: an empty one would make the
    // whole section unreadable.
    if (property.favoriteName && *property.favoriteName) {
        Write(store, deviceKey, kKeyFavoriteName, property.favoriteName);
    }
    Write(store, deviceKey, kKeyProperty, Hex(property.property, 4));
    Write(store, deviceKey, kKeyApplication, Hex(property.application, 4));
    Write(store, deviceKey, kKeyPrinter, Hex(property.printer, 4));
    Write(store, deviceKey, kKeyWaitTimer, Hex(property.waitTimer, 8));
    if (IsComPortLocation(info.locations)) {
        Write(store, deviceKey, kKeyCom, Hex(property.com, 4));
        Write(store, deviceKey, kKeyComPort, Hex(property.comPortNumber, 2));
    }
    Flush(store);
    return IniDeviceKeyExists(store, deviceKey);
}
