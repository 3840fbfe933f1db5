#include "usb_device_info.h"

#include <cstdio>
#include <cstring>

#include "device_heap.h"

namespace {

// The records are packed: their pointer fields are read and assigned by value only, never
// through a reference or pointer to the (possibly misaligned) field.
template <typename T>
T* Freed(T* block) {
    DeviceHeapFree(block);
    return nullptr;
}

// A heap copy of `count` u16 values, or null; *ok goes false when memory fails.
uint16_t* CopyU16Array(const uint16_t* from, uint32_t count, bool* ok) {
    if (!from || count == 0) return nullptr;
    auto* copy = static_cast<uint16_t*>(DeviceHeapAlloc(sizeof(uint16_t) * count));
    if (!copy) {
        *ok = false;
        return nullptr;
    }
    std::memcpy(copy, from, sizeof(uint16_t) * count);
    return copy;
}

// A heap copy of a text, or null; *ok goes false when memory fails.
char* CopyText(const char* from, bool* ok) {
    if (!from) return nullptr;
    char* copy = DeviceStrDup(from);
    if (!copy) *ok = false;
    return copy;
}

char ToLowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

}  // namespace

char* DeviceStrDupN(const char* text, size_t n) {
    if (!text) return nullptr;
    auto* copy = static_cast<char*>(DeviceHeapAlloc(n + 1));
    if (!copy) return nullptr;
    if (n) std::memcpy(copy, text, n);
    copy[n] = '\0';
    return copy;
}

char* DeviceStrDup(const char* text) { return text ? DeviceStrDupN(text, std::strlen(text)) : nullptr; }

void FreeUsbDeviceInfoParts(UsbDeviceInfo* info) {
    if (!info) return;
    info->name = Freed(info->name);
    info->ports = Freed(info->ports);
    info->locations = Freed(info->locations);
    info->serial = Freed(info->serial);
    info->interfaceClasses = Freed(info->interfaceClasses);
    info->interfaceSubclasses = Freed(info->interfaceSubclasses);
}

void FreePropertyInfoParts(PropertyInfo* property) {
    if (!property) return;
    property->favoriteName = Freed(property->favoriteName);
    property->applicationList = Freed(property->applicationList);
}

bool CopyUsbDeviceInfo(UsbDeviceInfo* to, const UsbDeviceInfo& from) {
    if (!to) return false;
    UsbDeviceInfo copy = from;  // every number, userPcName and comPort
    copy.name = copy.ports = copy.locations = copy.serial = nullptr;
    copy.interfaceClasses = copy.interfaceSubclasses = nullptr;
    copy.userPcName[kUserPcNameSize - 1] = '\0';
    bool ok = true;
    copy.name = CopyText(from.name, &ok);
    copy.ports = CopyText(from.ports, &ok);
    copy.locations = CopyText(from.locations, &ok);
    copy.serial = CopyText(from.serial, &ok);
    copy.interfaceClasses = CopyU16Array(from.interfaceClasses, from.interfaceCount, &ok);
    copy.interfaceSubclasses = CopyU16Array(from.interfaceSubclasses, from.interfaceCount, &ok);
    if (!ok) {
        FreeUsbDeviceInfoParts(&copy);
        return false;
    }
    *to = copy;
    return true;
}

bool CopyPropertyInfo(PropertyInfo* to, const PropertyInfo& from, bool withFavoriteName) {
    if (!to) return false;
    PropertyInfo copy = from;
    copy.favoriteName = nullptr;
    copy.applicationList = nullptr;
    bool ok = true;
    if (withFavoriteName) copy.favoriteName = CopyText(from.favoriteName, &ok);
    if (!ok) return false;
    if (from.applicationList && from.applicationSize) {
        copy.applicationList = static_cast<uint8_t*>(DeviceHeapAlloc(from.applicationSize));
        if (!copy.applicationList) {
            FreePropertyInfoParts(&copy);
            return false;
        }
        std::memcpy(copy.applicationList, from.applicationList, from.applicationSize);
    } else {
        // A size without a block would let a reader run past nothing.
        copy.applicationSize = 0;
    }
    *to = copy;
    return true;
}

UsbDeviceInfo* NewUsbDeviceInfo() { return static_cast<UsbDeviceInfo*>(DeviceHeapAlloc(sizeof(UsbDeviceInfo))); }

void DeleteUsbDeviceInfo(UsbDeviceInfo* info) {
    FreeUsbDeviceInfoParts(info);
    DeviceHeapFree(info);
}

PropertyInfo* NewPropertyInfo() { return static_cast<PropertyInfo*>(DeviceHeapAlloc(sizeof(PropertyInfo))); }

void DeletePropertyInfo(PropertyInfo* property) {
    FreePropertyInfoParts(property);
    DeviceHeapFree(property);
}

std::string NormalizeDeviceName(const std::string& name) {
    std::string text = name;
    if (text.size() >= 2 && text.compare(text.size() - 2, 2, "\r\n") == 0) text.resize(text.size() - 2);
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        if (c == ' ' && !out.empty() && out.back() == ' ') continue;
        out.push_back(c);
    }
    if (!out.empty() && out.back() == ' ') out.pop_back();
    return out;
}

std::string UnnamedDeviceName(uint16_t vid, uint16_t pid) {
    char text[32];
    std::snprintf(text, sizeof text, "VID [0x%04X] PID [0x%04X]", vid, pid);
    return text;
}

bool GetListItem(const char* list, size_t index, std::string* item) {
    if (!list || !*list) return false;
    const char* start = list;
    for (size_t i = 0; i < index; ++i) {
        start = std::strchr(start, ',');
        if (!start) return false;
        ++start;
    }
    const char* end = std::strchr(start, ',');
    if (item) item->assign(start, end ? static_cast<size_t>(end - start) : std::strlen(start));
    return true;
}

bool IsComPortLocation(const char* location) { return location && ToLowerAscii(location[0]) == 'r'; }

std::string FormatDeviceKey(const uint8_t serverHardwareAddress[6], const UsbDeviceInfo& info) {
    char head[32];
    const uint8_t* a = serverHardwareAddress;
    std::snprintf(head, sizeof head, "%04X%04X&%02X%02X%02X%02X%02X%02X&", info.vid, info.pid, a[0], a[1], a[2],
                  a[3], a[4], a[5]);
    std::string key = head;
    key += info.locations ? info.locations : "";
    key += '&';
    key += info.name ? info.name : "";
    // Names and locations come from the server. The key names an INI section, an INI key and
    // a registry key: characters that would end or split one of those are replaced, so that
    // no device can reach another's settings. Ordinary names keep their key as it was.
    for (char& c : key) {
        auto u = static_cast<unsigned char>(c);
        if (u < 0x20 || c == '[' || c == ']' || c == '\\' || c == '=' || c == ';') c = '_';
    }
    constexpr size_t kMaxKeyName = 255;  // the longest registry key name
    if (key.size() > kMaxKeyName) key.resize(kMaxKeyName);
    return key;
}
