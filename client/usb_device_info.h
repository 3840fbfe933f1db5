// The caller-visible records of a USB device: UsbDeviceInfo (what the device is and who uses
// it), PropertyInfo (the user's settings for it), PropertyInfoEx (a default chosen by vendor
// and product id), DeviceLookup and ComPortInfo; their deep copies and frees, and the texts
// that name a device. No Windows header: the device-list parser uses these records and is
// also built natively for fuzzing.
//
// Every string and array that a record points to comes from DeviceHeapAlloc (device_heap.h)
// and is released with DeviceHeapFree, so a caller's record is released by the library alone.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// Device status values.
constexpr uint16_t kDeviceStatusGetStatus = 0;
constexpr uint16_t kDeviceStatusFree = 1;
constexpr uint16_t kDeviceStatusConnected = 2;     // used by this PC
constexpr uint16_t kDeviceStatusOtherPc = 3;       // used by another PC
constexpr uint16_t kDeviceStatusNoDevice = 4;
constexpr uint16_t kDeviceStatusError = 5;

// UsbDeviceInfo::function bits.
constexpr uint16_t kDeviceFunctionIsoep = 0x1;
constexpr uint16_t kDeviceFunctionPermission = 0x2;
constexpr uint16_t kDeviceFunctionEncryption = 0x4;

// UsbDeviceInfo::statusEx bits.
constexpr uint16_t kDeviceStatusExEncryption = 0x1;
constexpr uint16_t kDeviceStatusExWrongDisconnect = 0x2;

// PropertyInfo::property bits.
constexpr uint16_t kPropertyAutoConnect = 0x1;     // with kPropertyAutomatic: connect when free
constexpr uint16_t kPropertyReconnect = 0x2;       // keep a connect mark, reconnect after a loss
constexpr uint16_t kPropertyServerFlag = 0x4;      // passed to the server with a connect
constexpr uint16_t kPropertyAutomatic = 0x8;

// PropertyInfo::printer bits.
constexpr uint16_t kPrinterAutoPrinter = 0x1;
constexpr uint16_t kPrinterNoNewDevice = 0x2;
constexpr uint16_t kPrinterManualList = 0x4;

// PropertyInfoEx::matchFlags bits.
constexpr uint32_t kMatchVendor = 0x2;
constexpr uint32_t kMatchProduct = 0x4;
constexpr uint32_t kMatchProductLowByte = 0x10;   // with kMatchProduct, unless kMatchProductHighByte
constexpr uint32_t kMatchProductHighByte = 0x20;  // with kMatchProduct

constexpr uint32_t kDefaultWaitTimer = 10000;      // ms
constexpr uint8_t kDefaultComPortNumber = 1;
constexpr size_t kUserPcNameSize = 65;
constexpr uint16_t kInterfaceClassPrinter = 7;
constexpr uint16_t kInterfaceClassStorage = 8;

#pragma pack(push, 1)
// Caller-owned record of one USB device.
struct UsbDeviceInfo {
    char* name;
    char* ports;                   // comma-separated port names, one per interface
    char* locations;               // comma-separated location texts, one per interface
    char* serial;                  // null when the reply kind carries none
    uint16_t vid;
    uint16_t pid;
    uint16_t* interfaceClasses;    // interfaceCount entries
    uint16_t* interfaceSubclasses; // interfaceCount entries, or null
    uint32_t interfaceCount;
    uint32_t userAddress;          // IPv4 of the PC that uses the device, network order; 0 free
    char userPcName[kUserPcNameSize];
    uint8_t comPort;               // COM port the bus driver gave a serial device; 0 none
    uint16_t previousFunction;
    uint16_t previousStatus;
    uint16_t previousStatusEx;
    uint16_t function;             // kDeviceFunction* bits
    uint16_t status;               // kDeviceStatus* values
    uint16_t statusEx;             // kDeviceStatusEx* bits
};

// Caller-owned record of a device's settings.
struct PropertyInfo {
    char* favoriteName;
    uint16_t property;             // kProperty* bits
    uint16_t application;          // watched-application bits
    uint8_t* applicationList;      // applicationSize bytes of application paths
    uint32_t applicationCount;
    uint32_t applicationSize;
    uint16_t printer;              // kPrinter* bits
    uint32_t waitTimer;            // ms before an automatic disconnect
    uint16_t com;                  // non-zero: comPortNumber applies
    uint8_t comPortNumber;
};

// One entry of the extended default-property table.
struct PropertyInfoEx {
    uint8_t reserved[5];           // copied as given, never read
    uint16_t vid;
    uint16_t pid;
    uint32_t matchFlags;           // kMatch* bits
    PropertyInfo property;
};

// What PnxGetHPnxDv looks a device up by.
struct DeviceLookup {
    uint8_t hardwareAddress[6];    // the server's
    const char* name;
    const char* locations;
    uint16_t pid;
    uint16_t vid;
};

// What PnxGetComPortInfo writes.
struct ComPortInfo {
    uint8_t comPort;
    uint32_t value;                // the driver's word after the COM port number
};
#pragma pack(pop)

constexpr size_t kPtr = sizeof(void*);
static_assert(offsetof(UsbDeviceInfo, ports) == kPtr);
static_assert(offsetof(UsbDeviceInfo, vid) == 4 * kPtr);
static_assert(offsetof(UsbDeviceInfo, interfaceClasses) == 4 * kPtr + 4);
static_assert(offsetof(UsbDeviceInfo, interfaceCount) == 6 * kPtr + 4);
static_assert(offsetof(UsbDeviceInfo, userAddress) == 6 * kPtr + 8);
static_assert(offsetof(UsbDeviceInfo, userPcName) == 6 * kPtr + 12);
static_assert(offsetof(UsbDeviceInfo, comPort) == 6 * kPtr + 77);
static_assert(offsetof(UsbDeviceInfo, function) == 6 * kPtr + 84);
static_assert(offsetof(UsbDeviceInfo, status) == 6 * kPtr + 86);
static_assert(offsetof(UsbDeviceInfo, statusEx) == 6 * kPtr + 88);
static_assert(sizeof(UsbDeviceInfo) == (kPtr == 8 ? 138 : 114));

static_assert(offsetof(PropertyInfo, property) == kPtr);
static_assert(offsetof(PropertyInfo, applicationList) == kPtr + 4);
static_assert(offsetof(PropertyInfo, applicationCount) == 2 * kPtr + 4);
static_assert(offsetof(PropertyInfo, applicationSize) == 2 * kPtr + 8);
static_assert(offsetof(PropertyInfo, printer) == 2 * kPtr + 12);
static_assert(offsetof(PropertyInfo, waitTimer) == 2 * kPtr + 14);
static_assert(offsetof(PropertyInfo, com) == 2 * kPtr + 18);
static_assert(offsetof(PropertyInfo, comPortNumber) == 2 * kPtr + 20);
static_assert(sizeof(PropertyInfo) == (kPtr == 8 ? 37 : 29));

static_assert(offsetof(PropertyInfoEx, vid) == 5);
static_assert(offsetof(PropertyInfoEx, pid) == 7);
static_assert(offsetof(PropertyInfoEx, matchFlags) == 9);
static_assert(offsetof(PropertyInfoEx, property) == 13);
static_assert(sizeof(PropertyInfoEx) == (kPtr == 8 ? 50 : 42));

static_assert(offsetof(DeviceLookup, name) == 6);
static_assert(offsetof(DeviceLookup, pid) == 6 + 2 * kPtr);
static_assert(offsetof(DeviceLookup, vid) == 8 + 2 * kPtr);
static_assert(sizeof(DeviceLookup) == 10 + 2 * kPtr);

static_assert(sizeof(ComPortInfo) == 5);

// --- Copies and frees. A destination must hold nothing (fresh, or released first): its old
// pointers are overwritten. On a failed allocation the destination is left holding nothing
// new and false is returned.

// A heap copy of a text (null for a null text or a failed allocation).
char* DeviceStrDup(const char* text);
// A heap copy of the first n bytes of a text, terminated.
char* DeviceStrDupN(const char* text, size_t n);

// Releases every string and array of the record and sets the pointers to null.
void FreeUsbDeviceInfoParts(UsbDeviceInfo* info);
void FreePropertyInfoParts(PropertyInfo* property);

// Deep copies: every string, both interface arrays (interfaceCount entries each), every number,
// userPcName (always, an empty one too) and comPort.
bool CopyUsbDeviceInfo(UsbDeviceInfo* to, const UsbDeviceInfo& from);
// Deep copy of the settings; the favorite name only when withFavoriteName.
bool CopyPropertyInfo(PropertyInfo* to, const PropertyInfo& from, bool withFavoriteName);

// A zero-filled record from the device heap, and its release with all its parts.
UsbDeviceInfo* NewUsbDeviceInfo();
void DeleteUsbDeviceInfo(UsbDeviceInfo* info);
PropertyInfo* NewPropertyInfo();
void DeletePropertyInfo(PropertyInfo* property);

// --- Texts.

// A display name as a server reports it: a trailing carriage return and line feed cut, every
// run of blanks made one blank, one blank at the end dropped.
std::string NormalizeDeviceName(const std::string& name);

// The name of a device that the server gives none: "VID [0x%04X] PID [0x%04X]".
std::string UnnamedDeviceName(uint16_t vid, uint16_t pid);

// The index-th item (from 0) of a comma-separated list; false when the list is empty or has
// fewer items.
bool GetListItem(const char* list, size_t index, std::string* item);

// The location text of a serial (COM-port) device begins with 'R' or 'r'.
bool IsComPortLocation(const char* location);

// The key that names a device in the settings store:
// "%04X%04X&%02X%02X%02X%02X%02X%02X&%s&%s" of vendor id, product id, the server's hardware
// address, the location list and the device name.
std::string FormatDeviceKey(const uint8_t serverHardwareAddress[6], const UsbDeviceInfo& info);
