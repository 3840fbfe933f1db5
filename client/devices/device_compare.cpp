#include "device_compare.h"

#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr uint16_t kDisplayLinkVendor = 0x17E9;
constexpr uint16_t kDisplayLinkProducts[] = {0x026F, 0x0270, 0x0271, 0x0272, 0x4300, 0x432E};

std::vector<std::string> ListItems(const char* list, uint32_t count) {
    std::vector<std::string> items;
    std::string item;
    for (uint32_t i = 0; i < count && GetListItem(list, i, &item); ++i) items.push_back(item);
    return items;
}

bool EqualFromSecondIgnoringCase(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 1; i < a.size(); ++i) {
        auto lower = [](char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; };
        if (lower(a[i]) != lower(b[i])) return false;
    }
    return true;
}

bool SameText(const char* a, const char* b) {
    if (!a || !b) return a == b;
    return std::strcmp(a, b) == 0;
}

// Null texts count as empty, as the client sees them.
bool SameShownText(const char* a, const char* b) { return std::strcmp(a ? a : "", b ? b : "") == 0; }

bool SameSubclasses(const UsbDeviceInfo& a, const UsbDeviceInfo& b) {
    if (!a.interfaceSubclasses || !b.interfaceSubclasses) return a.interfaceSubclasses == b.interfaceSubclasses;
    if (a.interfaceCount != b.interfaceCount) return false;
    return std::memcmp(a.interfaceSubclasses, b.interfaceSubclasses, sizeof(uint16_t) * a.interfaceCount) == 0;
}

}  // namespace

int CompareLocationLists(uint32_t countA, const char* listA, uint32_t countB, const char* listB) {
    if (countA == 0 || countB == 0 || !listA || !*listA || !listB || !*listB) return kLocationsInvalid;
    std::vector<std::string> a = ListItems(listA, countA);
    std::vector<std::string> b = ListItems(listB, countB);
    bool any = false;
    for (const std::string& itemA : a) {
        for (const std::string& itemB : b) {
            if (EqualFromSecondIgnoringCase(itemA, itemB)) any = true;
        }
    }
    if (!any) return kLocationsDifferent;
    return countA == countB ? kLocationsSame : kLocationsPartial;
}

bool IsSameDevice(uint16_t level, const UsbDeviceInfo& known, const UsbDeviceInfo& fresh, int* partial) {
    if (level == 1) return true;
    int locations = CompareLocationLists(known.interfaceCount, known.locations, fresh.interfaceCount, fresh.locations);
    if (locations == kLocationsPartial) {
        if (partial) *partial = 1;
        return false;
    }
    return locations == kLocationsSame && SameShownText(known.name, fresh.name) && known.vid == fresh.vid &&
           known.pid == fresh.pid;
}

bool IsDeviceChanged(uint16_t level, const UsbDeviceInfo& known, const UsbDeviceInfo& fresh) {
    if (level == 1) return known.userAddress != fresh.userAddress || known.status != fresh.status;
    return known.status != fresh.status || known.statusEx != fresh.statusEx || known.vid != fresh.vid ||
           known.pid != fresh.pid || !SameShownText(known.name, fresh.name) ||
           !SameShownText(known.ports, fresh.ports) || known.userAddress != fresh.userAddress ||
           known.function != fresh.function || !SameShownText(known.locations, fresh.locations) ||
           !SameText(known.serial, fresh.serial) || !SameSubclasses(known, fresh);
}

bool UpdateDeviceRecord(uint16_t level, UsbDeviceInfo* known, const UsbDeviceInfo& fresh) {
    if (!known) return false;
    if (level == 1) {
        known->status = fresh.status;
        known->userAddress = fresh.userAddress;
        return true;
    }
    // Copy first, then swap: a failed allocation must not leave the arrays and their count
    // disagreeing.
    UsbDeviceInfo copy = {};
    if (!CopyUsbDeviceInfo(&copy, fresh)) return false;
    // Field by field by value: the records are packed, so no reference to a field is taken.
    UsbDeviceInfo old = *known;
    known->name = copy.name;
    known->ports = copy.ports;
    known->locations = copy.locations;
    known->serial = copy.serial;
    known->interfaceClasses = copy.interfaceClasses;
    known->interfaceSubclasses = copy.interfaceSubclasses;
    known->interfaceCount = fresh.interfaceCount;
    known->vid = fresh.vid;
    known->pid = fresh.pid;
    known->status = fresh.status;
    known->statusEx = fresh.statusEx;
    known->userAddress = fresh.userAddress;
    known->function = fresh.function;
    FreeUsbDeviceInfoParts(&old);  // the known record's old parts
    return true;
}

bool IsDisplayLinkDevice(uint16_t vid, uint16_t pid) {
    if (vid != kDisplayLinkVendor) return false;
    for (uint16_t product : kDisplayLinkProducts) {
        if (pid == product) return true;
    }
    return false;
}
