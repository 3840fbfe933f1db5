// The printers of a device: the installed ones found through its stored printer ids, and the
// user's manual list kept in the device's key of the settings store.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "pnxscapi.h"

struct DeviceEntry;

constexpr size_t kPrinterSlotChars = 260;

#pragma pack(push, 1)
// One entry of the block PnxGetPrinterInfo hands out: the manual form holds a printer name in
// `first`; the installed form the driver description in `first` and the port in `second`.
struct PrinterInfo {
    char first[kPrinterSlotChars];
    char second[kPrinterSlotChars];
};
#pragma pack(pop)
static_assert(sizeof(PrinterInfo) == 520);

// Splits a stored manual list into at most `count` names of at most 260 characters.
std::vector<std::string> SplitManualPrinters(const std::string& names, uint32_t count);

// The installed printers of the device (driver description and port per printer id), and
// whether a local printer uses one of them as the device expects.
bool FindInstalledPrinters(DeviceEntry* device, std::vector<PrinterInfo>* entries);

// True when a local printer is installed on the device.
bool DeviceHasInstalledPrinter(DeviceEntry* device);

// The printers of a device (source 1: its manual list, else the installed ones), the release
// of the block, and the manual list stored.
int DeviceGetPrinters(HWND ignored, HPnxDv device, uint32_t* count, PrinterInfo** names, uint32_t* size,
                      uint32_t source);
int FreePrinterBlock(HWND ignored, PrinterInfo* names);
int DeviceSetPrinters(HWND ignored, HPnxDv device, const char* names, uint32_t count);
