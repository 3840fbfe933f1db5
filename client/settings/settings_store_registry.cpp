// The registry kind of the settings store: one key per device below "<path>\Device".
#include <cstring>
#include <string>
#include <vector>

#include "device_heap.h"
#include "registry_value.h"
#include "settings_store_backends.h"
#include "win_handles.h"

namespace {
constexpr size_t kMaxOldApplicationPath = 260;

// Device identity values.
constexpr const char* kValueDeviceName = "DeviceName";
constexpr const char* kValueLocation = "Location";
constexpr const char* kValuePid = "Pid";
constexpr const char* kValueVid = "Vid";
constexpr const char* kValueInterfaceCount = "InterfaceCount";
constexpr const char* kValueInterface = "Interface";
constexpr const char* kValueSubProtocol = "SubProtocol";
constexpr const char* kValueSerialNumber = "SerialNumber";

// Device settings values.
constexpr const char* kValueFavoriteName = "FavoriteName";
constexpr const char* kValueProperty = "Property";
constexpr const char* kValueApplication = "Application";
constexpr const char* kValueApplicationPath = "ApplicationPath";
constexpr const char* kValueApplicationCount = "ApplicationCount";
constexpr const char* kValuePrinter = "Printer";
constexpr const char* kValueWaitTimer = "WaitTimer";
constexpr const char* kValueCom = "Com";
constexpr const char* kValueComPort = "ComPort";

bool OpenDeviceKey(const SettingsStore& store, const char* deviceKey, REGSAM access, qz::RegKey* key) {
    return OpenDeviceStoreKey(store, deviceKey, false, key, access);
}

bool CreateDeviceKey(const SettingsStore& store, const char* deviceKey, qz::RegKey* key) {
    return OpenDeviceStoreKey(store, deviceKey, true, key);
}

// Interface classes or subclasses as the store keeps them: u16 little-endian each.
std::vector<uint8_t> InterfaceBytes(const uint16_t* values, uint32_t count) {
    std::vector<uint8_t> bytes;
    if (!values) return bytes;
    bytes.reserve(size_t{count} * 2);
    for (uint32_t i = 0; i < count; ++i) {
        bytes.push_back(static_cast<uint8_t>(values[i]));
        bytes.push_back(static_cast<uint8_t>(values[i] >> 8));
    }
    return bytes;
}

void ReplaceFavoriteName(PropertyInfo* property, const std::string& name) {
    char* copy = DeviceStrDupN(name.data(), name.size());
    if (!copy) return;
    DeviceHeapFree(property->favoriteName);
    property->favoriteName = copy;
}

void ClearApplicationList(PropertyInfo* property) {
    DeviceHeapFree(property->applicationList);
    property->applicationList = nullptr;
    property->applicationCount = 0;
    property->applicationSize = 0;
}

void SetApplicationList(PropertyInfo* property, const std::vector<uint8_t>& block, uint32_t count) {
    auto* copy = static_cast<uint8_t*>(DeviceHeapAlloc(block.size()));
    if (!copy) return ClearApplicationList(property);
    std::memcpy(copy, block.data(), block.size());
    DeviceHeapFree(property->applicationList);
    property->applicationList = copy;
    property->applicationSize = static_cast<uint32_t>(block.size());
    property->applicationCount = count;
}

// A stored multi-string need not end in its two terminators; whoever walks the block later
// relies on them, so they are added. Gives the number of paths before the first empty one.
uint32_t TerminateMultiString(std::vector<uint8_t>* block) {
    if (block->empty() || block->back() != 0) block->push_back(0);
    if (block->size() < 2 || (*block)[block->size() - 2] != 0) block->push_back(0);
    uint32_t paths = 0;
    size_t at = 0;
    while (at < block->size() && (*block)[at] != 0) {
        ++paths;
        while ((*block)[at] != 0) ++at;  // stops at the terminator added above at the latest
        ++at;
    }
    return paths;
}

void ReadMultiStringApplications(HKEY key, std::vector<uint8_t> block, PropertyInfo* property) {
    if (block.empty()) return ClearApplicationList(property);
    uint32_t paths = TerminateMultiString(&block);
    if (paths == 0) return ClearApplicationList(property);
    uint32_t count = paths;
    // The stored count never names more paths than the block holds.
    if (ReadRegistryDword(key, kValueApplicationCount, &count) && count > paths) count = paths;
    SetApplicationList(property, block, count);
}

// The older form kept one path as a plain string: it becomes a multi-string of that one path.
void ConvertSingleApplication(HKEY key, const RegistryValue& value, PropertyInfo* property) {
    std::string path;
    RegistryText(value, &path, kMaxOldApplicationPath);
    RegDeleteValueA(key, kValueApplicationPath);
    std::vector<uint8_t> block(path.begin(), path.end());
    uint32_t count = path.empty() ? 0 : 1;
    if (count) block.insert(block.end(), {0, 0});
    WriteRegistryDword(key, kValueApplicationCount, count);
    RegSetValueExA(key, kValueApplicationPath, 0, REG_MULTI_SZ, block.data(), static_cast<DWORD>(block.size()));
    if (count == 0) return ClearApplicationList(property);
    SetApplicationList(property, block, count);
}

void ReadApplicationList(const SettingsStore& store, const char* deviceKey, PropertyInfo* property) {
    qz::RegKey key;
    RegistryValue value;
    if (!OpenDeviceKey(store, deviceKey, KEY_ALL_ACCESS, &key) ||
        !ReadRegistryValue(key.get(), kValueApplicationPath, &value)) {
        return ClearApplicationList(property);
    }
    if (value.type == REG_MULTI_SZ) return ReadMultiStringApplications(key.get(), std::move(value.data), property);
    if (value.type == REG_SZ || value.type == REG_EXPAND_SZ) return ConvertSingleApplication(key.get(), value, property);
    ClearApplicationList(property);
}

}  // namespace

bool RegistryDeviceKeyExists(const SettingsStore& store, const char* deviceKey) {
    qz::RegKey key;
    return OpenDeviceKey(store, deviceKey, KEY_READ, &key);
}

bool RegistryWriteDeviceIdentity(const SettingsStore& store, const char* deviceKey, const UsbDeviceInfo& info) {
    qz::RegKey key;
    if (!CreateDeviceKey(store, deviceKey, &key)) return false;
    HKEY k = key.get();
    WriteRegistryText(k, kValueDeviceName, info.name);
    WriteRegistryText(k, kValueLocation, info.locations);
    WriteRegistryU16(k, kValuePid, info.pid);
    WriteRegistryU16(k, kValueVid, info.vid);
    WriteRegistryDword(k, kValueInterfaceCount, info.interfaceCount);
    std::vector<uint8_t> classes = InterfaceBytes(info.interfaceClasses, info.interfaceCount);
    WriteRegistryBinary(k, kValueInterface, classes.data(), classes.size());
    if (info.interfaceSubclasses) {
        std::vector<uint8_t> subclasses = InterfaceBytes(info.interfaceSubclasses, info.interfaceCount);
        WriteRegistryBinary(k, kValueSubProtocol, subclasses.data(), subclasses.size());
    }
    if (info.serial && *info.serial) WriteRegistryText(k, kValueSerialNumber, info.serial);
    return true;
}

bool RegistryReadDeviceProperties(const SettingsStore& store, const char* deviceKey, const UsbDeviceInfo& info,
                                  PropertyInfo* property) {
    qz::RegKey key;
    if (!OpenDeviceKey(store, deviceKey, KEY_READ, &key)) return false;
    HKEY k = key.get();
    std::string name;
    if (ReadRegistryText(k, kValueFavoriteName, &name)) ReplaceFavoriteName(property, name);
    // Through locals: the record is packed, its fields cannot be written through pointers.
    uint16_t word = 0;
    uint32_t dword = 0;
    uint8_t byte = 0;
    if (ReadRegistryU16(k, kValueProperty, &word)) property->property = word;
    if (ReadRegistryU16(k, kValueApplication, &word)) property->application = word;
    ReadApplicationList(store, deviceKey, property);
    if (ReadRegistryU16(k, kValuePrinter, &word)) property->printer = word;
    if (ReadRegistryDword(k, kValueWaitTimer, &dword)) property->waitTimer = dword;
    if (IsComPortLocation(info.locations)) {
        if (ReadRegistryU16(k, kValueCom, &word)) property->com = word;
        if (ReadRegistryU8(k, kValueComPort, &byte)) property->comPortNumber = byte;
    }
    return true;
}

bool RegistryWriteDeviceProperties(const SettingsStore& store, const char* deviceKey, const UsbDeviceInfo& info,
                                   const PropertyInfo& property) {
    qz::RegKey key;
    if (!CreateDeviceKey(store, deviceKey, &key)) return false;
    HKEY k = key.get();
    if (property.favoriteName) WriteRegistryText(k, kValueFavoriteName, property.favoriteName);
    WriteRegistryU16(k, kValueProperty, property.property);
    WriteRegistryU16(k, kValueApplication, property.application);
    DWORD size = property.applicationList ? property.applicationSize : 0;
    RegSetValueExA(k, kValueApplicationPath, 0, REG_MULTI_SZ, property.applicationList, size);
    WriteRegistryDword(k, kValueApplicationCount, property.applicationList ? property.applicationCount : 0);
    WriteRegistryU16(k, kValuePrinter, property.printer);
    WriteRegistryDword(k, kValueWaitTimer, property.waitTimer);
    if (IsComPortLocation(info.locations)) {
        WriteRegistryU16(k, kValueCom, property.com);
        uint8_t port = property.comPortNumber;
        WriteRegistryBinary(k, kValueComPort, &port, 1);
    }
    return true;
}
