// Bringing older settings into the current store: the device settings of an older release
// (PnxConvertOldUsbData) and property bits whose meaning changed (PnxConvertProperty).
#include "old_data_conversion.h"

#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "text_util.h"
#include "broadcast_list.h"
#include "lib_state.h"
#include "pnxscapi.h"
#include "registry_value.h"
#include "server_entry.h"
#include "server_identity.h"
#include "settings_store.h"
#include "win_handles.h"

namespace {
constexpr size_t kMaxBroadcastCopy = 128;
constexpr size_t kOldClassBytes = 128;
constexpr uint32_t kOldDefaultWaitTimer = 10000;

// Watched-application bits: start the applications with the device, disconnect after them.
constexpr uint16_t kApplicationStart = 0x1;
constexpr uint16_t kApplicationEndDisconnect = 0x4;

// Keys and values of the older release.
constexpr const char* kOldBroadcastKey = "BROADCAST";
constexpr const char* kOldDeviceKey = "DEVICE";
constexpr const char* kUdpCount = "UDPCount";

// PnxConvertProperty: the setting types it accepts and the one it can change.
constexpr uint16_t kConvertTypeFirst = 1;
constexpr uint16_t kConvertTypeLast = 8;
constexpr uint16_t kConvertTypePrinter = 5;
constexpr uint16_t kConvertClear = 0;
constexpr uint16_t kConvertSet = 1;

using RegLocation = qz::SettingsLocation;  // registry locations only

// True when `inner` is `outer` or lies below it.
bool Within(const RegLocation& inner, const RegLocation& outer) {
    const std::string& in = inner.keyPath;
    const std::string& out = outer.keyPath;
    if (!inner.root || inner.root != outer.root || in.size() < out.size()) return false;
    if (_strnicmp(in.c_str(), out.c_str(), out.size()) != 0) return false;
    return in.size() == out.size() || in[out.size()] == '\\';
}

std::string UdpName(size_t index) {
    char name[16];
    std::snprintf(name, sizeof name, "UDP%02u", static_cast<unsigned>(index));
    return name;
}

void CopyDword(HKEY from, HKEY to, const char* name) {
    uint32_t value = 0;
    if (ReadRegistryDword(from, name, &value)) WriteRegistryDword(to, name, value);
}

void CopyOldBroadcastList(const RegLocation& old, const RegLocation& current) {
    if (Within(current, old) && Within(old, current)) return;  // the same key
    qz::RegKey from;
    qz::RegKey to;
    uint32_t count = 0;
    if (!old.OpenKey(nullptr, false, &from) || !ReadRegistryDword(from.get(), kUdpCount, &count) ||
        !current.OpenKey(nullptr, true, &to)) {
        return;
    }
    WriteRegistryDword(to.get(), kUdpCount, count);
    size_t copies = count < kMaxBroadcastCopy ? count : kMaxBroadcastCopy;
    for (size_t i = 0; i < copies; ++i) CopyDword(from.get(), to.get(), UdpName(i).c_str());
}

// "major.minor.build" to the server's protocol level.
uint16_t OldRwpLevel(const std::string& version) {
    unsigned major = 0;
    unsigned minor = 0;
    if (std::sscanf(version.c_str(), "%u.%u", &major, &minor) == 2 && major == 2) {
        if (minor <= 1) return 1;
        if (minor == 2) return 2;
        if (minor == 3) return 3;
    }
    return 4;
}

template <size_t N>
void ReadOldText(HKEY key, const char* name, char (&field)[N]) {
    std::string text;
    if (ReadRegistryText(key, name, &text, N - 1)) CopyIfFits(text, field, N);
}

template <size_t N>
void ReadOldBytes(HKEY key, const char* name, uint8_t (&field)[N]) {
    RegistryValue value;
    if (ReadRegistryValue(key, name, &value) && value.data.size() == N) std::memcpy(field, value.data.data(), N);
}

// A flag of the older release: any non-zero byte sets it; a missing value counts as 0.
bool OldFlag(HKEY key, const char* name) {
    RegistryValue value;
    if (!ReadRegistryValue(key, name, &value)) return false;
    for (uint8_t byte : value.data) {
        if (byte) return true;
    }
    return false;
}

size_t ListItemCount(const std::string& list) {
    if (list.empty()) return 0;
    size_t count = 1;
    for (char c : list) count += c == ',';
    return count;
}

// What one device key of the older release held.
struct OldDevice {
    ServerInfo server = {};
    std::string name, locations, favoriteName, applicationPath;
    uint16_t vid = 0;
    uint16_t pid = 0;
    std::vector<uint16_t> classes;
    uint16_t property = 0;
    uint16_t application = 0;
    uint32_t waitTimer = kOldDefaultWaitTimer;
};

void ReadOldServer(HKEY key, ServerInfo* server) {
    std::string version;
    ReadRegistryText(key, "VERSION", &version, 64);
    server->rwpLevel = OldRwpLevel(version);
    uint8_t address[4] = {};
    ReadOldBytes(key, "ADDRESS", address);
    uint32_t ipAddress = 0;
    std::memcpy(&ipAddress, address, sizeof address);  // the bytes stay in network order
    server->ipAddress = ipAddress;
    ReadOldText(key, "HOST", server->hostName);
    ReadOldBytes(key, "ETHERNET", server->hardwareAddress);
    std::string model;
    if (!ReadRegistryText(key, "PRICOM", &model, sizeof server->modelName - 1)) {
        ReadRegistryText(key, "SERVER", &model, sizeof server->modelName - 1);
    }
    std::memcpy(server->modelName, model.c_str(), model.size() + 1);
}

// The interface classes: one per location item; the stored bytes give as many as they hold.
void ReadOldClasses(HKEY key, OldDevice* device) {
    device->classes.assign(ListItemCount(device->locations), 0);
    RegistryValue value;
    if (!ReadRegistryValue(key, "CLASS", &value)) return;
    size_t stored = (value.data.size() < kOldClassBytes ? value.data.size() : kOldClassBytes) / 2;
    for (size_t i = 0; i < stored && i < device->classes.size(); ++i) {
        device->classes[i] = static_cast<uint16_t>(value.data[2 * i] | (value.data[2 * i + 1] << 8));
    }
}

OldDevice ReadOldDevice(HKEY key) {
    OldDevice device;
    ReadOldServer(key, &device.server);
    ReadRegistryU16(key, "PID", &device.pid);
    ReadRegistryU16(key, "VID", &device.vid);
    ReadRegistryText(key, "POSITION", &device.locations);
    ReadOldClasses(key, &device);
    ReadRegistryText(key, "DEVICE", &device.name);
    ReadRegistryText(key, "DISPNAME", &device.favoriteName);
    if (OldFlag(key, "AUTO_START")) device.property |= kPropertyAutoConnect | kPropertyAutomatic;
    if (OldFlag(key, "AUTO_ERROR")) device.property |= kPropertyReconnect;
    if (OldFlag(key, "SSL")) device.property |= kPropertyServerFlag;
    if (OldFlag(key, "BIGIN_APPLI")) device.application |= kApplicationStart;
    if (OldFlag(key, "END_APPLI")) device.application |= kApplicationEndDisconnect;
    ReadRegistryText(key, "EXEPATH", &device.applicationPath);
    ReadRegistryDword(key, "WAIT_TIMER", &device.waitTimer);
    return device;
}

void WriteConvertedDevice(OldDevice& device, const SettingsStore& store) {
    UsbDeviceInfo info = {};
    info.name = device.name.data();
    info.locations = device.locations.data();
    info.vid = device.vid;
    info.pid = device.pid;
    info.interfaceClasses = device.classes.empty() ? nullptr : device.classes.data();
    info.interfaceCount = static_cast<uint32_t>(device.classes.size());

    std::vector<uint8_t> block;
    if (!device.applicationPath.empty()) {
        block.assign(device.applicationPath.begin(), device.applicationPath.end());
        block.insert(block.end(), {0, 0});
    }
    PropertyInfo property = {};
    property.favoriteName = device.favoriteName.empty() ? nullptr : device.favoriteName.data();
    property.property = device.property;
    property.application = device.application;
    property.applicationList = block.empty() ? nullptr : block.data();
    property.applicationCount = block.empty() ? 0 : 1;
    property.applicationSize = static_cast<uint32_t>(block.size());
    property.waitTimer = device.waitTimer;
    property.comPortNumber = kDefaultComPortNumber;

    std::string deviceKey = FormatDeviceKey(device.server.hardwareAddress, info);
    WriteServerIdentity(g_lib.location, deviceKey.c_str(), device.server);
    WriteDeviceIdentity(&store, deviceKey.c_str(), &info);
    WriteDeviceProperties(&store, deviceKey.c_str(), &info, &property);
}

void ConvertOldDeviceEntry(HKEY devices, const std::string& name, const SettingsStore& store) {
    qz::RegKey key;
    if (RegOpenKeyExA(devices, name.c_str(), 0, KEY_READ, key.put()) != ERROR_SUCCESS) return;
    OldDevice device = ReadOldDevice(key.get());
    WriteConvertedDevice(device, store);
}

void ConvertOldDevices(const RegLocation& oldDevices, const SettingsStore& store) {
    // A store that already is the old location holds nothing old to convert.
    if (store.registry() && Within(oldDevices, store.Below(kStoreDeviceKey))) {
        return;
    }
    qz::RegKey devices;
    if (!oldDevices.OpenKey(nullptr, false, &devices)) return;
    for (const std::string& name : RegistrySubKeyNames(devices.get())) ConvertOldDeviceEntry(devices.get(), name, store);
}

// Deletes the old key, but never a key that holds the current settings or broadcast list: a
// current location inside the old key keeps everything of the old key but its two parts.
void DeleteOldSettings(const RegLocation& old, const std::vector<RegLocation>& keep) {
    auto holdsKept = [&](const RegLocation& candidate) {
        for (const RegLocation& current : keep) {
            if (Within(current, candidate)) return true;
        }
        return false;
    };
    if (!holdsKept(old)) {
        RegDeleteTreeA(old.root, old.keyPath.c_str());
        return;
    }
    for (const char* part : {kOldBroadcastKey, kOldDeviceKey}) {
        RegLocation sub = old.Below(part);
        if (!holdsKept(sub)) RegDeleteTreeA(sub.root, sub.keyPath.c_str());
    }
}

// The "Printer" value of a stored device with a printer interface, changed by mode.
void ConvertDevicePrinterBits(HKEY devices, const std::string& name, uint16_t mode, uint16_t bits) {
    qz::RegKey key;
    if (RegOpenKeyExA(devices, name.c_str(), 0, KEY_ALL_ACCESS, key.put()) != ERROR_SUCCESS) return;
    uint32_t count = 0;
    RegistryValue classes;
    if (!ReadRegistryDword(key.get(), "InterfaceCount", &count) || count == 0 ||
        !ReadRegistryValue(key.get(), "Interface", &classes)) {
        return;
    }
    // Only the classes actually stored count, however many the count names.
    size_t stored = classes.data.size() / 2 < count ? classes.data.size() / 2 : count;
    bool printer = false;
    for (size_t i = 0; i < stored && !printer; ++i) {
        printer = (classes.data[2 * i] | (classes.data[2 * i + 1] << 8)) == kInterfaceClassPrinter;
    }
    if (!printer) return;
    uint16_t value = 0;
    ReadRegistryU16(key.get(), "Printer", &value);
    if (mode == kConvertClear) value = static_cast<uint16_t>(value & ~bits);
    else if (mode == kConvertSet) value = static_cast<uint16_t>(value | bits);
    else return;
    WriteRegistryU16(key.get(), "Printer", value);
}

int ConvertOldUsbData(const char* location, uint16_t deleteOld) {
    RegLocation old = qz::SettingsLocation::Parse(location);
    if (!old.registry()) return 1;  // only a registry location can hold the older settings

    HKEY broadcastRoot = nullptr;
    std::string broadcastPath;
    bool broadcastInRegistry = BroadcastRegistryStore(&broadcastRoot, &broadcastPath);
    RegLocation broadcast = qz::SettingsLocation::Registry(broadcastRoot, broadcastPath);
    if (broadcastInRegistry) CopyOldBroadcastList(old.Below(kOldBroadcastKey), broadcast);

    SettingsStore store = CurrentSettingsStore();
    ConvertOldDevices(old.Below(kOldDeviceKey), store);

    if (deleteOld == 1) {
        std::vector<RegLocation> keep;
        if (store.registry()) keep.push_back(store);
        if (broadcastInRegistry) keep.push_back(broadcast);
        DeleteOldSettings(old, keep);
    }
    return 1;
}

int ConvertPrinterBits(uint16_t mode, uint16_t bits) {
    SettingsStore store = CurrentSettingsStore();
    qz::RegKey devices;
    if (!store.OpenKey(kStoreDeviceKey, false, &devices)) return 0;
    for (const std::string& name : RegistrySubKeyNames(devices.get())) {
        ConvertDevicePrinterBits(devices.get(), name, mode, bits);
    }
    return 1;
}

}  // namespace

// Both run on the caller's thread.
int ConvertOldData(HWND, const char* location, uint16_t deleteOld) {
    if (!location || !*location) return 0;
    return ConvertOldUsbData(location, deleteOld);
}

int ConvertPropertyBits(HWND service, uint16_t mode, uint16_t type, const uint16_t* bits, uint32_t size) {
    if (!service || !bits || size == 0 || type < kConvertTypeFirst || type > kConvertTypeLast) return 0;
    // Of the setting types only the printer word can be converted, and it is two bytes.
    if (type != kConvertTypePrinter || size != sizeof(uint16_t)) return 0;
    uint16_t value = 0;
    std::memcpy(&value, bits, sizeof value);
    return ConvertPrinterBits(mode, value);
}
