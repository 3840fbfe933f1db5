// The public interface of Pnxscapi.dll: the records that callers fill or receive, the
// notification messages and event kinds, and the exported functions. Every export is also
// reachable by its fixed ordinal (Pnxscapi.def); callers that bind by ordinal use the function
// types below (decltype(&PnxInitialize) and so on).
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>

struct ServerEntry;
struct DeviceEntry;
struct ServerInfo;  // server_entry.h
struct UsbDeviceInfo;   // usb_device_info.h
struct PropertyInfo;    // usb_device_info.h
struct PropertyInfoEx;  // usb_device_info.h
struct DeviceLookup;    // usb_device_info.h
struct ComPortInfo;     // usb_device_info.h
struct PrinterInfo;     // device_printers.h
struct NasInfo;         // nas_info.h
using HPnxSv = ServerEntry*;   // a server of the server list; valid until reported deleted
using HPnxDv = DeviceEntry*;   // a USB device of a server; valid until reported deleted

// --- Notification messages (sent to the registered window; the connect family to the
// requester window of a request). wParam is the address of a NotifyEvent or ConnectEvent that
// is valid only during the call.
constexpr UINT PNXN_SERVER = 0x8065;
constexpr UINT PNXN_DEVICE = 0x8066;
constexpr UINT PNXN_NAS = 0x8067;
constexpr UINT PNXN_NETWORK = 0x8068;
constexpr UINT PNXN_APPLICATION = 0x8069;
constexpr UINT PNXN_CONNECT = 0x806E;
constexpr UINT PNXN_DISCONNECT = 0x806F;
constexpr UINT PNXN_COMPLETE = 0x8070;
constexpr UINT PNXN_NAS_CONNECT = 0x8078;
constexpr UINT PNXN_NAS_REMOVE = 0x8079;
constexpr UINT kPnxnFirst = 0x8065;
constexpr UINT kPnxnLast = 0x8079;

// --- Event kinds of a NotifyEvent.
constexpr uint16_t PNXET_NEW = 1;
constexpr uint16_t PNXET_DELETE = 2;
constexpr uint16_t PNXET_CHANGE = 3;
constexpr uint16_t PNXET_CONNECT = 4;
constexpr uint16_t PNXET_DISCONNECT = 5;

// PNXN_NETWORK kind 1 (search phase): flags of the lost-server sweep.
constexpr uint16_t kNetworkSweepStart = 1;
constexpr uint16_t kNetworkSweepEnd = 2;

// AutoDeviceItem type of a device whose server was lost.
constexpr uint16_t kAutoDeviceServerLost = 7;

// RegisterConfig.options bit: new devices take part in automatic connect.
constexpr uint32_t kRegisterOptionNewDeviceAutoConnect = 0x1;

// DebugModeInfo.flags bits.
constexpr uint16_t kDebugLogFile = 0x1;
constexpr uint16_t kDebugDebugger = 0x2;
constexpr uint16_t kDebugShowWindow = 0x4;

// PnxRegisterSpecialNotification option bits.
constexpr uint32_t kSpecialNetworkError = 0x2;
constexpr uint32_t kSpecialBlackoutWatch = 0x4;

#pragma pack(push, 1)
// Passed to PnxRegisterNotification. Callers of older releases pass shorter records: the
// options word is read only when size says the record holds it.
struct RegisterConfig {
    char driver[32];      // bus driver device name; empty = "zkuptp"
    char location[261];   // settings location (registry root\key or INI path); empty = none
    uint32_t size;        // size of the record in bytes (301)
    uint32_t options;     // kRegisterOption* bits
};

// Passed to PnxDebugMode.
struct DebugModeInfo {
    uint16_t flags;       // kDebug* bits
    char folder[261];     // log folder; empty = the root of the Windows drive
};

// Filled by PnxGetZkuptpDriverVersion.
struct DriverVersionInfo {
    char name[32];        // in: driver to query (empty = default); out: the name queried
    uint16_t major;
    uint16_t minor;
    uint16_t build;
    uint16_t revision;
    uint32_t size;        // the caller writes 44
};

// wParam of PNXN_SERVER, PNXN_DEVICE, PNXN_NAS, PNXN_NETWORK and PNXN_APPLICATION.
struct NotifyEvent {
    uint16_t kind;        // PNXET_*
    uint16_t flags;       // change bits or reason
};

// wParam of the connect family (PNXN_CONNECT, PNXN_DISCONNECT, PNXN_NAS_CONNECT,
// PNXN_NAS_REMOVE); lParam is the request's device handle.
struct ConnectEvent {
    uint16_t phase;       // 1 Start, 2 Permit, 3 Result, 4 End
    uint16_t result;      // ConnectResult code in the Result phase, else 0
    uint16_t action;      // the action of the request
    uint64_t buffer;      // the caller's buffer, as given with the request
    uint32_t size;        // its size in bytes
    uint16_t reserved;    // 0
};

// Service settings of PnxGetServiceProperties, PnxStartService and PnxResumeService.
struct ServiceProperties {
    uint8_t communicateMode;
    uint32_t timer;           // ms of the auto-search timer and the servers' Status timer
    uint8_t useBroadAddress;
    uint32_t size;            // written as 10 by callers; the library ignores it
};

// One server of the detected-server list (PnxDetectedServer): every server that answered the
// last search and passed the first filter set.
struct DetectedServer {
    uint32_t ipAddress;          // network byte order
    uint8_t hardwareAddress[6];
    char hostName[16];
    char modelName[33];
};

// PnxGetBlackoutInfo / PnxSetBlackoutInfo.
struct BlackoutInfo {
    uint32_t interval;        // ms between two blackout queries of a server (default 5000)
    uint32_t limit;           // ms of cut-off that count as a blackout (default 5000)
};

// One item of an AutoDeviceList.
struct AutoDeviceItem {
    uint64_t device;          // HPnxDv
    uint16_t type;            // reason, or kAutoDeviceServerLost
};

// lParam of PNXN_DEVICE kinds 4 and 5 when one event covers several devices.
struct AutoDeviceList {
    uint32_t count;
    AutoDeviceItem* items;
};
// One queued request as PnxEnumConnect copies it.
struct ConnectEnumItem {
    DeviceEntry* device;
    uint16_t message;     // PNXN_CONNECT or PNXN_DISCONNECT (storage: PNXN_NAS_*)
    uint16_t action;
};
#pragma pack(pop)
static_assert(sizeof(ConnectEnumItem) == sizeof(void*) + 4);

static_assert(sizeof(RegisterConfig) == 301);
static_assert(offsetof(RegisterConfig, location) == 32);
static_assert(offsetof(RegisterConfig, size) == 293);
static_assert(offsetof(RegisterConfig, options) == 297);
// The options word is covered only by records at least this long.
constexpr uint32_t kRegisterConfigSizeWithOptions = offsetof(RegisterConfig, options) + 4;

static_assert(sizeof(DebugModeInfo) == 263);
static_assert(offsetof(DebugModeInfo, folder) == 2);

static_assert(sizeof(DriverVersionInfo) == 44);
static_assert(offsetof(DriverVersionInfo, major) == 32);
static_assert(offsetof(DriverVersionInfo, revision) == 38);
static_assert(offsetof(DriverVersionInfo, size) == 40);

static_assert(sizeof(NotifyEvent) == 4);

static_assert(sizeof(ConnectEvent) == 20);
static_assert(offsetof(ConnectEvent, action) == 4);
static_assert(offsetof(ConnectEvent, buffer) == 6);
static_assert(offsetof(ConnectEvent, size) == 14);

static_assert(sizeof(ServiceProperties) == 10);
static_assert(offsetof(ServiceProperties, timer) == 1);
static_assert(offsetof(ServiceProperties, useBroadAddress) == 5);

static_assert(sizeof(DetectedServer) == 59);
static_assert(offsetof(DetectedServer, hardwareAddress) == 4);
static_assert(offsetof(DetectedServer, hostName) == 10);
static_assert(offsetof(DetectedServer, modelName) == 26);

static_assert(sizeof(AutoDeviceItem) == 10);

static_assert(sizeof(BlackoutInfo) == 8);
static_assert(offsetof(BlackoutInfo, limit) == 4);

// --- Exports built so far (ordinal in brackets).
extern "C" {
int WINAPI PnxInitialize();                                                     // [1]
int WINAPI PnxUninitialize();                                                   // [2]
HWND WINAPI PnxRegisterNotification(HWND clientWindow, const RegisterConfig* config);  // [3]
int WINAPI PnxUnRegisterNotification(HWND service);                             // [4]
int WINAPI PnxDebugMode(HWND service, const DebugModeInfo* info);               // [5]
int WINAPI PnxInitBroadcastAddr(HWND service, const char* location);          // [6]
int WINAPI PnxGetBroadcastAddr(HWND service, uint32_t* addresses, uint32_t capacityBytes, uint32_t* count);  // [7]
int WINAPI PnxSetBroadcastAddr(HWND service, const uint32_t* addresses, uint32_t count);  // [8]
int WINAPI PnxSetPortAndRuleNumber(HWND service, uint32_t port, uint32_t rule);  // [9]
int WINAPI PnxSetSearchFilter(HWND service, int kind, const char* list);        // [10]
int WINAPI PnxGetServiceProperties(HWND service, ServiceProperties* properties);  // [11]
int WINAPI PnxStartService(HWND service, const ServiceProperties* properties);  // [12]
int WINAPI PnxEndService(HWND service);                                         // [13]
int WINAPI PnxSuspendService(HWND service, int keepPrinters);                   // [14]
int WINAPI PnxResumeService(HWND service, const ServiceProperties* properties);  // [15]
int WINAPI PnxRenewService(HWND service, int mode);                             // [16]
int WINAPI PnxGetServerInfo(HWND service, HPnxSv server, ServerInfo* info);     // [22]
int WINAPI PnxEnumServers(HWND service, int index, HPnxSv* server);              // [23]
HPnxSv WINAPI PnxGetHPnxSv(HWND service, HPnxDv device);                         // [25]
// 1 when the bus driver reports a device connected through it.
int WINAPI PnxZkuptpConnection(HWND ignored);                                   // [20]
int WINAPI PnxGetZkuptpDriverVersion(HWND ignored, DriverVersionInfo* info);    // [35]
// Ownership values and the HID filter setting, passed through to the bus driver.
int WINAPI PnxGetOwnershipInterface(HWND ignored, uint32_t* value);             // [59]
int WINAPI PnxSetOwnershipInterface(HWND ignored, uint32_t value);              // [60]
int WINAPI PnxGetOwnershipReleaseTime(HWND ignored, uint32_t* value);           // [61]
int WINAPI PnxSetOwnershipReleaseTime(HWND ignored, uint32_t value);            // [62]
int WINAPI PnxRenewUsbDevices(HWND service, HPnxSv server, uint32_t mode);     // [37]
int WINAPI PnxSetBroadcastAddrMemory(HWND service, const uint32_t* addresses, uint32_t count);  // [63]
int WINAPI PnxRegisterSpecialNotification(HWND ignored, uint32_t options);      // [64]
// mode 0 or no values: nothing is sent and the result is 0.
int WINAPI PnxSetFilteringHIDevice(HWND ignored, uint16_t mode, const uint16_t* values);  // [65]
int WINAPI PnxGetRdpPort(HWND service, uint32_t* port);                         // [66]
int WINAPI PnxSetRdpPort(HWND service, uint32_t port);                          // [67]
int WINAPI PnxSetSearchFilterEx(HWND service, int kind, const char* list);      // [68]
int WINAPI PnxDetectedServer(HWND service, DetectedServer* servers, uint32_t* count);  // [69]
int WINAPI PnxSetSearchFilterRefresh();                                         // [73]
int WINAPI PnxGetPcAddress(HWND logWindow, HPnxSv server, uint32_t* address, uint32_t* mask,
                           uint32_t* segment);                                   // [48]
int WINAPI PnxGetBlackoutInfo(HWND service, BlackoutInfo* info);                 // [74]
int WINAPI PnxSetBlackoutInfo(HWND service, const BlackoutInfo* info);           // [75]
int WINAPI PnxSetServerOption(HWND service, HPnxSv server, uint16_t value);      // [76]
uintptr_t WINAPI PnxGetServerParam(HWND service, HPnxSv server);                // [78]
int WINAPI PnxSetServerParam(HWND service, HPnxSv server, uintptr_t value);     // [79]
// Takes any arguments and ignores them: the caller cleans the stack, whatever it passed.
int __cdecl PnxSetDeviceListPacket(...);                                         // [80]
// Device records and settings.
int WINAPI PnxGetUsbDeviceInfo(HWND service, HPnxDv device, UsbDeviceInfo* info, PropertyInfo* property);  // [24]
int WINAPI PnxSetUsbDeviceInfo(HWND ignored, HPnxDv device, const PropertyInfo* property);  // [26]
int WINAPI PnxEnumUsbDevices(HWND ignored, HPnxSv server, uint32_t index, HPnxDv* device);  // [27]
int WINAPI PnxInitUsbDeviceInfo(HWND service, UsbDeviceInfo* info, PropertyInfo* property);  // [28]
int WINAPI PnxFreeUsbDeviceInfo(HWND service, UsbDeviceInfo* info, PropertyInfo* property);  // [29]
int WINAPI PnxGetDefaultPropertyInfo(HWND ignored, PropertyInfo* property);     // [30]
int WINAPI PnxSetDefaultPropertyInfo(HWND ignored, const PropertyInfo* property);  // [31]
HPnxDv WINAPI PnxGetHPnxDv(HWND ignored, const DeviceLookup* lookup);            // [32]
int WINAPI PnxGetComPortInfo(HWND service, HPnxDv device, ComPortInfo* out);     // [38]
// path must hold MAX_PATH characters; 0 when the path would not fit.
int WINAPI PnxGetUsbDevicePath(HWND service, HPnxDv device, HKEY* root, char* path);  // [39]
uint16_t WINAPI PnxGetConnectAction(HWND ignored, HPnxDv device);               // [49]
// buffer null: *value = the value given at the last Set (the size query). Otherwise copies
// the whole entries that fit in that many bytes.
int WINAPI PnxGetDefaultPropertyInfoEx(HWND ignored, void* buffer, uint32_t ignored2, uint32_t* value);  // [70]
int WINAPI PnxSetDefaultPropertyInfoEx(HWND ignored, const PropertyInfoEx* list, uint32_t count, uint32_t value);  // [71]
int WINAPI PnxEnumDeviceInstanceId(HWND service, HPnxDv device, uint32_t index, char* buffer, int size);  // [81]
uintptr_t WINAPI PnxGetDeviceParam(HWND service, HPnxDv device);                // [82]
int WINAPI PnxSetDeviceParam(HWND service, HPnxDv device, uintptr_t value);     // [83]
// Settings of an older release (a registry location) into the current store; deleteOld 1
// deletes them afterwards. 0 for an empty location.
int WINAPI PnxConvertOldUsbData(HWND ignored, const char* location, uint16_t deleteOld);  // [36]
// Clears (mode 0) or sets (mode 1) bits of a stored setting of every device with a printer
// interface; only type 5 (the printer word, size 2) is accepted.
int WINAPI PnxConvertProperty(HWND service, uint16_t mode, uint16_t type, const uint16_t* bits, uint32_t size);  // [45]
// The connect queue: requests, steering and automatic-connect marks.
int WINAPI PnxConnectUsbDevice(HWND service, HWND requester, HPnxDv device, uint16_t wait, uint16_t action,
                               void* buffer, uint32_t size);                     // [17]
int WINAPI PnxDisconnectUsbDevice(HWND service, HWND requester, HPnxDv device, uint16_t action);  // [18]
int WINAPI PnxConnectCancel(HWND service);                                      // [19]
int WINAPI PnxSetAutoConnect(HWND service, HPnxDv device, uint16_t type);      // [21]
int WINAPI PnxConnectStart(HWND service, uint16_t step);                        // [40]
int WINAPI PnxConnectStop(HWND service);                                        // [41]
int WINAPI PnxEnumConnect(HWND service, int index, ConnectEnumItem* out);       // [42]
int WINAPI PnxConnectInterruption(HWND service, HWND requester, HPnxDv device, uint16_t wait, uint16_t action,
                                  int position);                                 // [43]
int WINAPI PnxDisconnectInterruption(HWND service, HWND requester, HPnxDv device, uint16_t action, int position);  // [44]
int WINAPI PnxDeleteAutoConnect(HWND service, HPnxDv device, uint16_t type);   // [72]
// Printers of a device: source 1 the manual list, else the installed printers. names and size
// are optional; a block handed out is released with PnxFreePrinterInfo.
int WINAPI PnxGetPrinterInfo(HWND ignored, HPnxDv device, uint32_t* count, PrinterInfo** names, uint32_t* size,
                             uint32_t source);                                   // [33]
int WINAPI PnxFreePrinterInfo(HWND ignored, PrinterInfo* names);                // [34]
int WINAPI PnxSetPrinterInfo(HWND ignored, HPnxDv device, const char* names, uint32_t count);  // [58]
int WINAPI PnxSafeRemovalDevice(HWND service, HPnxDv device);                   // [46]
// Network storage.
int WINAPI PnxGetNasInfo(HWND ignored, HPnxDv entry, NasInfo* info);             // [50]
int WINAPI PnxInitNasInfo(HWND service, NasInfo* info);                          // [51]
int WINAPI PnxFreeNasInfo(HWND service, NasInfo* info);                          // [52]
int WINAPI PnxGetDeviceType(HWND ignored, HPnxDv handle);                         // [53]
int WINAPI PnxEnumNasDevices(HWND ignored, HPnxSv server, uint32_t index, HPnxDv* entry);  // [54]
int WINAPI PnxNasConnectDrive(HWND service, HWND requester, HPnxDv entry);        // [55]
int WINAPI PnxNasSafeRemove(HWND service, HWND requester, HPnxDv entry);          // [56]
int WINAPI PnxDefaultNasName(HWND ignored, const wchar_t* name);                  // [57]
}
