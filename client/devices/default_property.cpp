#include "default_property.h"

#include <windows.h>

#include <algorithm>
#include <cstring>
#include <new>
#include <vector>

#include "lib_lock.h"
#include "pnxscapi.h"

namespace {

// library lock: the default property (never with a favorite name) and the extended table
// with the value its caller gave.
PropertyInfo g_defaultProperty = {};
std::vector<PropertyInfoEx> g_defaultTable;  // each property owns its strings and block
uint32_t g_defaultTableValue = 0;

PropertyInfo BuiltInDefault() {
    PropertyInfo property = {};
    property.waitTimer = kDefaultWaitTimer;
    property.comPortNumber = kDefaultComPortNumber;
    return property;
}

void FreeDefaultTableLocked() {
    for (PropertyInfoEx& entry : g_defaultTable) FreePropertyInfoParts(&entry.property);
    g_defaultTable.clear();
    g_defaultTable.shrink_to_fit();
    g_defaultTableValue = 0;
}

}  // namespace

void ResetDefaultPropertyInfo() {
    LibraryLock lock;
    FreePropertyInfoParts(&g_defaultProperty);
    g_defaultProperty = BuiltInDefault();
    FreeDefaultTableLocked();
}

void FreeDefaultPropertyLists() {
    LibraryLock lock;
    FreePropertyInfoParts(&g_defaultProperty);
    FreeDefaultTableLocked();
}

bool DefaultEntryMatches(const PropertyInfoEx& entry, uint16_t vid, uint16_t pid) {
    if ((entry.matchFlags & kMatchVendor) && entry.vid != vid) return false;
    if (entry.matchFlags & kMatchProduct) {
        uint16_t mask = 0xFFFF;
        if (entry.matchFlags & kMatchProductHighByte) {
            mask = 0xFF00;
        } else if (entry.matchFlags & kMatchProductLowByte) {
            mask = 0x00FF;
        }
        if ((entry.pid & mask) != (pid & mask)) return false;
    }
    return true;
}

bool StartingPropertyLocked(uint16_t vid, uint16_t pid, const char* deviceName, PropertyInfo* out) {
    if (!out) return false;
    auto match = std::find_if(g_defaultTable.begin(), g_defaultTable.end(),
                              [&](const PropertyInfoEx& e) { return DefaultEntryMatches(e, vid, pid); });
    bool fromTable = match != g_defaultTable.end();
    const PropertyInfo& source = fromTable ? match->property : g_defaultProperty;
    if (!CopyPropertyInfo(out, source, fromTable)) return false;
    if (!out->favoriteName && deviceName) {
        out->favoriteName = DeviceStrDup(deviceName);
        if (!out->favoriteName) {
            FreePropertyInfoParts(out);
            return false;
        }
    }
    return true;
}

int GetDefaultProperty(HWND, PropertyInfo* property) {
    if (!property) return 0;
    LibraryLock lock;
    char* favoriteName = property->favoriteName;  // the caller's, left as it is
    PropertyInfo copy = {};
    if (!CopyPropertyInfo(&copy, g_defaultProperty, false)) return 0;
    *property = copy;
    property->favoriteName = favoriteName;
    return 1;
}

int SetDefaultProperty(HWND, const PropertyInfo* property) {
    if (!property) return 0;
    PropertyInfo copy = {};
    if (!CopyPropertyInfo(&copy, *property, false)) return 0;
    LibraryLock lock;
    FreePropertyInfoParts(&g_defaultProperty);
    g_defaultProperty = copy;
    return 1;
}

int SetDefaultPropertyTable(HWND, const PropertyInfoEx* list, uint32_t count, uint32_t value) {
    LibraryLock lock;
    FreeDefaultTableLocked();
    if (!list || count == 0) return 1;
    std::vector<PropertyInfoEx> table;
    try {
        table.resize(count);
    } catch (const std::bad_alloc&) {
        return 0;
    }
    for (uint32_t i = 0; i < count; ++i) {
        PropertyInfoEx& entry = table[i];
        std::memcpy(&entry, &list[i], offsetof(PropertyInfoEx, property));
        entry.property = {};
        if (!CopyPropertyInfo(&entry.property, list[i].property, true)) {
            for (uint32_t j = 0; j < i; ++j) FreePropertyInfoParts(&table[j].property);
            return 0;
        }
    }
    g_defaultTable = std::move(table);
    g_defaultTableValue = value;
    return 1;
}

// The caller's buffer holds as many bytes as the size query reported: only whole entries that
// fit in that many bytes are copied. The copies share the table's strings, which stay valid
// until the next Set.
int GetDefaultPropertyTable(HWND, void* buffer, uint32_t, uint32_t* value) {
    LibraryLock lock;
    if (buffer) {
        size_t entries = std::min<size_t>(g_defaultTable.size(), g_defaultTableValue / sizeof(PropertyInfoEx));
        auto* out = static_cast<PropertyInfoEx*>(buffer);
        // Each entry's strings are the caller's own copies (released like any PropertyInfo's),
        // never the library's: a caller that frees them must not free the table.
        for (size_t i = 0; i < entries; ++i) {
            PropertyInfoEx entry = g_defaultTable[i];
            entry.property = PropertyInfo{};
            if (!CopyPropertyInfo(&entry.property, g_defaultTable[i].property, true)) return 0;
            std::memcpy(out + i, &entry, sizeof entry);
        }
    }
    if (value) *value = g_defaultTableValue;
    return 1;
}
