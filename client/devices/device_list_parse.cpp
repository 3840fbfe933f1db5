#include "device_list_parse.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <utility>

#include "byte_reader.h"
#include "device_heap.h"

namespace {

constexpr size_t kLocationWidth = 16;
constexpr size_t kSerialWidthEx = 64;
constexpr size_t kSerialWidthExII = 80;
constexpr int kEncryptionMode = 4;

// One entry as the reply gives it.
struct RawEntry {
    std::string port;
    std::string name;
    uint32_t userAddress = 0;   // network order, as received
    uint16_t flags = 0;
    uint16_t vid = 0;
    uint16_t pid = 0;
    std::string location;
    uint16_t interfaceClass = 0;
    uint16_t interfaceSubclass = 0;
    bool hasSubclass = false;
    bool hasSerial = false;
    std::string serial;
};

size_t SerialWidth(DeviceListForm form) {
    switch (form) {
    case DeviceListForm::Ex:
        return kSerialWidthEx;
    case DeviceListForm::ExII:
        return kSerialWidthExII;
    default:
        return 0;
    }
}

// Reads one entry. False when the entry does not lie whole inside the reply.
bool ReadEntry(qz::ByteReader& reader, DeviceListForm form, RawEntry* entry) {
    if (reader.remaining() < kDeviceEntryMinimum) return false;
    entry->port = reader.cstr(reader.remaining());
    entry->name = reader.cstr(reader.remaining());
    if (!reader.ok() || reader.remaining() < DeviceEntryFixedSize(form)) return false;
    uint8_t address[4];
    reader.bytes(address, sizeof address);
    std::memcpy(&entry->userAddress, address, sizeof address);  // keeps the wire's byte order
    entry->flags = reader.u16le();
    if (form != DeviceListForm::Plain) reader.skip(2);
    entry->vid = reader.u16be();
    entry->pid = reader.u16be();
    entry->location = reader.fixedText(kLocationWidth);
    entry->interfaceClass = reader.u16be();
    entry->hasSubclass = form == DeviceListForm::ExII;
    if (entry->hasSubclass) entry->interfaceSubclass = reader.u16be();
    entry->hasSerial = form != DeviceListForm::Plain;
    if (entry->hasSerial) entry->serial = reader.fixedText(SerialWidth(form));
    reader.skip(4);
    return reader.ok();
}

// A record of one interface from an entry; null when memory fails.
UsbDeviceInfo* RecordFromEntry(const RawEntry& entry, const DeviceListContext& context) {
    UsbDeviceInfo* record = NewUsbDeviceInfo();
    if (!record) return nullptr;
    std::string name = NormalizeDeviceName(entry.name);
    if (name.empty()) name = UnnamedDeviceName(entry.vid, entry.pid);
    record->name = DeviceStrDupN(name.data(), name.size());
    record->ports = DeviceStrDupN(entry.port.data(), entry.port.size());
    record->locations = DeviceStrDupN(entry.location.data(), entry.location.size());
    record->userAddress = entry.userAddress;
    record->vid = entry.vid;
    record->pid = entry.pid;
    SetDeviceStatusFromFlags(context, record, entry.flags);
    record->interfaceClasses = static_cast<uint16_t*>(DeviceHeapAlloc(sizeof(uint16_t)));
    bool ok = record->name && record->ports && record->locations && record->interfaceClasses;
    if (ok) record->interfaceClasses[0] = entry.interfaceClass;
    if (ok && entry.hasSubclass) {
        record->interfaceSubclasses = static_cast<uint16_t*>(DeviceHeapAlloc(sizeof(uint16_t)));
        ok = record->interfaceSubclasses != nullptr;
        if (ok) record->interfaceSubclasses[0] = entry.interfaceSubclass;
    }
    if (ok && entry.hasSerial) {
        record->serial = DeviceStrDupN(entry.serial.data(), entry.serial.size());
        ok = record->serial != nullptr;
    }
    record->interfaceCount = 1;
    if (!ok) {
        DeleteUsbDeviceInfo(record);
        return nullptr;
    }
    return record;
}

// "old,new" on the device heap, replacing *list; false (list unchanged) when memory fails.
bool AppendListItem(char** list, const char* item) {
    std::string joined = *list ? *list : "";
    joined += ',';
    joined += item ? item : "";
    char* copy = DeviceStrDupN(joined.data(), joined.size());
    if (!copy) return false;
    DeviceHeapFree(*list);
    *list = copy;
    return true;
}

// A heap array of count + 1 values: the old ones and `value`; null when memory fails.
uint16_t* GrowArray(const uint16_t* old, uint32_t count, uint16_t value) {
    auto* grown = static_cast<uint16_t*>(DeviceHeapAlloc(sizeof(uint16_t) * (static_cast<size_t>(count) + 1)));
    if (!grown) return nullptr;
    if (old && count) std::memcpy(grown, old, sizeof(uint16_t) * count);
    grown[count] = value;
    return grown;
}

// The part of a location text before its first "M".
std::string PrefixBeforeM(const char* text) {
    if (!text) return {};
    const char* m = std::strchr(text, 'M');
    return m ? std::string(text, static_cast<size_t>(m - text)) : std::string(text);
}

// Adds the new interface to `into`; all or nothing.
bool FoldInterface(UsbDeviceInfo& into, const UsbDeviceInfo& fresh, int encryptionMode) {
    uint16_t freshClass = fresh.interfaceClasses && fresh.interfaceCount ? fresh.interfaceClasses[0] : 0;
    uint16_t freshSubclass = fresh.interfaceSubclasses && fresh.interfaceCount ? fresh.interfaceSubclasses[0] : 0;
    uint16_t* classes = GrowArray(into.interfaceClasses, into.interfaceCount, freshClass);
    uint16_t* subclasses = into.interfaceSubclasses ? GrowArray(into.interfaceSubclasses, into.interfaceCount, freshSubclass)
                                                    : nullptr;
    char* ports = DeviceStrDup(into.ports ? into.ports : "");
    char* locations = DeviceStrDup(into.locations ? into.locations : "");
    bool ok = classes && (subclasses || !into.interfaceSubclasses) && ports && locations &&
              AppendListItem(&ports, fresh.ports) && AppendListItem(&locations, fresh.locations);
    if (!ok) {
        for (void* block : {static_cast<void*>(classes), static_cast<void*>(subclasses), static_cast<void*>(ports),
                            static_cast<void*>(locations)}) {
            DeviceHeapFree(block);
        }
        return false;
    }
    DeviceHeapFree(into.ports);
    DeviceHeapFree(into.locations);
    DeviceHeapFree(into.interfaceClasses);
    DeviceHeapFree(into.interfaceSubclasses);
    into.ports = ports;
    into.locations = locations;
    into.interfaceClasses = classes;
    into.interfaceSubclasses = subclasses;
    into.interfaceCount++;
    into.status = std::max(into.status, fresh.status);
    if (into.status == kDeviceStatusOtherPc && fresh.userAddress != 0) into.userAddress = fresh.userAddress;
    if (fresh.function & kDeviceFunctionIsoep) into.function |= kDeviceFunctionIsoep;
    if (encryptionMode == kEncryptionMode && !(fresh.function & kDeviceFunctionEncryption)) into.function = 0;
    return true;
}

}  // namespace

size_t DeviceEntryFixedSize(DeviceListForm form) {
    // user address 4, flags 2, ids 4, location 16, class 2, reserved 4
    constexpr size_t kPlain = 4 + 2 + 4 + kLocationWidth + 2 + 4;
    switch (form) {
    case DeviceListForm::Ex:
        return kPlain + 2 + kSerialWidthEx;
    case DeviceListForm::ExII:
        return kPlain + 2 + 2 + kSerialWidthExII;
    default:
        return kPlain;
    }
}

ParsedDeviceList::~ParsedDeviceList() { Clear(); }

ParsedDeviceList::ParsedDeviceList(ParsedDeviceList&& other) noexcept : records_(std::move(other.records_)) {
    other.records_.clear();
}

ParsedDeviceList& ParsedDeviceList::operator=(ParsedDeviceList&& other) noexcept {
    if (this != &other) {
        Clear();
        records_ = std::move(other.records_);
        other.records_.clear();
    }
    return *this;
}

void ParsedDeviceList::Clear() {
    for (UsbDeviceInfo* record : records_) DeleteUsbDeviceInfo(record);
    records_.clear();
}

bool ParsedDeviceList::Add(UsbDeviceInfo* record) {
    if (!record) return false;
    try {
        records_.push_back(record);
    } catch (...) {
        DeleteUsbDeviceInfo(record);
        return false;
    }
    return true;
}

bool IsOwnAddress(uint32_t address, const DeviceListContext& context) {
    if (address == context.ownAddress) return true;
    return std::find(context.localAddresses.begin(), context.localAddresses.end(), address) !=
           context.localAddresses.end();
}

void SetDeviceStatusFromFlags(const DeviceListContext& context, UsbDeviceInfo* record, uint16_t flags) {
    if (!record) return;
    if (flags & kReplyFlagIsoep) {
        record->function |= kDeviceFunctionIsoep;
    } else {
        record->function &= static_cast<uint16_t>(~kDeviceFunctionIsoep);
    }
    if (!(flags & kReplyFlagPresent)) {
        record->status = kDeviceStatusNoDevice;
        return;
    }
    if (flags & kReplyFlagEncryption) record->function |= kDeviceFunctionEncryption;
    if (record->userAddress == 0) {
        record->status = kDeviceStatusFree;
    } else if (IsOwnAddress(record->userAddress, context)) {
        record->status = kDeviceStatusConnected;
        if (flags & kReplyFlagPermission) record->function |= kDeviceFunctionPermission;
        if (flags & kReplyFlagEncrypted) record->statusEx |= kDeviceStatusExEncryption;
    } else {
        record->status = kDeviceStatusOtherPc;
    }
}

bool MergeInterfaceEntry(const UsbDeviceInfo& fresh, std::vector<UsbDeviceInfo*>& records, int encryptionMode) {
    if (!fresh.locations || !std::strchr(fresh.locations, 'M')) return false;
    std::string prefix = PrefixBeforeM(fresh.locations);
    for (UsbDeviceInfo* earlier : records) {
        if (!earlier || earlier->pid != fresh.pid || earlier->vid != fresh.vid) continue;
        if (PrefixBeforeM(earlier->locations) != prefix) continue;
        return FoldInterface(*earlier, fresh, encryptionMode);
    }
    return false;
}

ParsedDeviceList ParseUsbDeviceList(const uint8_t* data, size_t length, DeviceListForm form,
                                    const DeviceListContext& context) {
    ParsedDeviceList list;
    qz::ByteReader reader(data, length);
    uint8_t count = reader.u8();
    if (!reader.ok() || count == 0) return list;
    int encryptionMode = context.encryption ? kEncryptionMode : 0;
    for (unsigned i = 0; i < count; ++i) {
        RawEntry entry;
        if (!ReadEntry(reader, form, &entry)) break;
        if (entry.location.empty() || IsComPortLocation(entry.location.c_str())) continue;
        UsbDeviceInfo* record = RecordFromEntry(entry, context);
        if (!record) break;
        if (MergeInterfaceEntry(*record, list.records(), encryptionMode)) {
            DeleteUsbDeviceInfo(record);
        } else if (!list.Add(record)) {
            break;
        }
    }
    return list;
}
