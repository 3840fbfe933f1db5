// Reading a server's device-list reply into UsbDeviceInfo records: the three reply forms,
// the status each device has from the PC's point of view, and the folding of the interfaces
// of one composite device into one record. No window and no lock: the reply is the caller's.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "usb_device_info.h"

// The reply forms, by the command that asked for the list.
enum class DeviceListForm {
    Plain,  // "GET USB_DEVICE_LIST"
    Ex,     // "GET USB_DEVICE_LIST_EX": a reserved u16 after the flags, a 64-byte serial
    ExII,   // "GET USB_DEVICE_LIST_EX_II": also a subclass, an 80-byte serial
};

// Reply status flags.
constexpr uint16_t kReplyFlagIsoep = 0x0004;
constexpr uint16_t kReplyFlagEncryption = 0x0010;    // with kReplyFlagPresent
constexpr uint16_t kReplyFlagEncrypted = 0x0020;     // when this PC uses the device
constexpr uint16_t kReplyFlagPermission = 0x0040;    // when this PC uses the device
constexpr uint16_t kReplyFlagPresent = 0x0100;

// Bytes of an entry besides its two texts; the smallest entry (two empty texts) is
// kDeviceEntryMinimum bytes.
size_t DeviceEntryFixedSize(DeviceListForm form);
constexpr size_t kDeviceEntryMinimum = 34;

// What the parse needs to know about the server and the PC.
struct DeviceListContext {
    uint32_t ownAddress = 0;                 // this PC's address toward the server, network order
    std::vector<uint32_t> localAddresses;    // every address of the PC, network order
    bool encryption = false;                 // the server's function word has its Encryption bit
};

// The records of one reply; owns them and everything they point to.
class ParsedDeviceList {
public:
    ParsedDeviceList() = default;
    ~ParsedDeviceList();
    ParsedDeviceList(ParsedDeviceList&& other) noexcept;
    ParsedDeviceList& operator=(ParsedDeviceList&& other) noexcept;
    ParsedDeviceList(const ParsedDeviceList&) = delete;
    ParsedDeviceList& operator=(const ParsedDeviceList&) = delete;

    size_t size() const { return records_.size(); }
    bool empty() const { return records_.empty(); }
    UsbDeviceInfo& operator[](size_t i) { return *records_[i]; }
    const UsbDeviceInfo& operator[](size_t i) const { return *records_[i]; }

    // Takes ownership of a record from NewUsbDeviceInfo (released on failure).
    bool Add(UsbDeviceInfo* record);
    std::vector<UsbDeviceInfo*>& records() { return records_; }

private:
    void Clear();
    std::vector<UsbDeviceInfo*> records_;
};

// Parses a reply. Entries are read only while the whole entry lies inside the reply; the parse
// stops at the first incomplete entry and keeps what it has. An entry whose location is empty
// or names a serial port is stepped over. Entries of one composite device are merged.
ParsedDeviceList ParseUsbDeviceList(const uint8_t* data, size_t length, DeviceListForm form,
                                    const DeviceListContext& context);

// True when the address is the PC's address toward the server or any address of the PC.
bool IsOwnAddress(uint32_t address, const DeviceListContext& context);

// Sets status, function and statusEx of a record from the reply's flags and its user address.
void SetDeviceStatusFromFlags(const DeviceListContext& context, UsbDeviceInfo* record, uint16_t flags);

// Folds a one-interface record into the earlier record of the same composite device (same
// location up to its "M", same ids); true when folded (the caller then drops `fresh`).
// encryptionMode is 4 when the server encrypts, else 0. False, with nothing changed, when
// there is no such record or memory fails.
bool MergeInterfaceEntry(const UsbDeviceInfo& fresh, std::vector<UsbDeviceInfo*>& records, int encryptionMode);
