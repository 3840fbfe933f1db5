// Auto Printer: one thread per device that watches the print jobs of the device's printers,
// asks for a connect when jobs appear and for a disconnect once they are gone (after the
// device's wait time), and tells the printer helper service which (driver, port) pairs belong
// to the device while its printers are open.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

struct DeviceEntry;

constexpr size_t kMaxWatchedPrinters = 63;

struct PrinterPair {
    std::string driver;
    std::string port;
};

// Starts the device's Auto Printer on its pairs, or on the manual printer names.
bool StartAutoPrinter(DeviceEntry* device, std::vector<PrinterPair> pairs, bool manual, std::string manualNames,
                      uint32_t manualCount);
// Tells the thread to end (never waits; a named disconnect wait is released at once).
void EndAutoPrinter(DeviceEntry* device);
// Suspended, the thread asks for no connect or disconnect, whatever wakes it, and a running
// disconnect wait is broken off; resumed, it renews and acts on the jobs it then finds.
void SuspendAutoPrinter(DeviceEntry* device);
void ResumeAutoPrinter(DeviceEntry* device);
// The printers may have changed: reopen them.
void RenewAutoPrinter(DeviceEntry* device);
bool HasAutoPrinter(DeviceEntry* device);
// True while the device's Auto Printer counts print jobs.
bool AutoPrinterHasJobs(DeviceEntry* device);
// Ends a running disconnect wait early (its named event).
void ReleaseAutoPrinterWait(DeviceEntry* device);
