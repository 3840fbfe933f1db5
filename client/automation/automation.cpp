#include "automation.h"

#include <string>
#include <vector>

#include "auto_application.h"
#include "auto_printer.h"
#include "device_entry.h"
#include "device_printers.h"
#include "lib_lock.h"
#include "pnp_tree.h"
#include "registry_value.h"
#include "server_list.h"
#include "settings_store.h"
#include "usb_device_info.h"
#include "win_handles.h"

namespace {

std::vector<DeviceEntry*> Devices(HWND serverWindow) {
    LibraryLock lock;
    return DeviceEntriesLocked(serverWindow);
}

// The device's printers as Auto Printer watches them: the manual names, or the (driver, port)
// pairs of its installed printers. False when there are none.
bool PrintersOf(DeviceEntry* device, bool manual, std::vector<PrinterPair>* pairs, std::string* names, uint32_t* count) {
    if (manual) {
        std::string key;
        {
            LibraryLock lock;
            key = DeviceKeyOfLocked(device);
        }
        SettingsStore store = CurrentSettingsStore();
        qz::RegKey stored;
        if (!OpenDeviceStoreKey(store, key.c_str(), false, &stored)) return false;
        return ReadRegistryDword(stored.get(), "PrnManualCount", count) && *count &&
               ReadRegistryText(stored.get(), "PrnManualNames", names);
    }
    std::vector<PrinterInfo> entries;
    if (!FindInstalledPrinters(device, &entries)) return false;
    for (const PrinterInfo& e : entries) pairs->push_back({e.first, e.second});
    return !pairs->empty();
}

}  // namespace

void StartDeviceAutomation(HWND serverWindow, DeviceEntry* device, uint16_t mode) {
    uint16_t property, printer;
    uint32_t printerInterfaces;
    bool listChanged;
    {
        LibraryLock lock;
        if (device->removed || !device->info || !device->property || !device->ids) return;
        property = device->property->property;
        printer = device->property->printer;
        printerInterfaces = device->ids->printerInterfaces;
        listChanged = device->printerListChanged != 0;
    }
    // Every device has its watcher: an application list set later is looked at from then on.
    StartAutoApplication(serverWindow, device);
    if (mode == 1 || printerInterfaces == 0) return;
    if (!(printer & kPrinterAutoPrinter) || !(property & kPropertyAutomatic)) {
        EndAutoPrinter(device);
        return;
    }
    if (listChanged) {
        EndAutoPrinter(device);
        LibraryLock lock;
        device->printerListChanged = 0;
    }
    if (HasAutoPrinter(device)) return;
    bool manual = (printer & kPrinterManualList) != 0;
    std::vector<PrinterPair> pairs;
    std::string names;
    uint32_t count = 0;
    if (!PrintersOf(device, manual, &pairs, &names, &count)) return;
    StartAutoPrinter(device, std::move(pairs), manual, std::move(names), count);
}

void StartServerAutomation(HWND serverWindow) {
    for (DeviceEntry* device : Devices(serverWindow)) StartDeviceAutomation(serverWindow, device, 0);
}

void NotifyPrinterAppeared(HWND service) {
    for (ServerEntry* server : ServerEntries(service)) {
        for (DeviceEntry* device : Devices(server->serverWindow)) RenewAutoPrinter(device);
    }
}

void FreeDeviceEntryCopy(void* copy) {
    LibraryLock lock;
    DropDeviceEntryLocked(static_cast<DeviceEntry*>(copy));
}

void SuspendServerAutomation(HWND serverWindow, bool keepAutoPrinter) {
    for (DeviceEntry* device : Devices(serverWindow)) {
        PauseAutoApplication(device);
        if (!keepAutoPrinter) SuspendAutoPrinter(device);
    }
}

void ResumeServerAutomation(HWND serverWindow) {
    for (DeviceEntry* device : Devices(serverWindow)) {
        ResumeAutoApplication(device);
        ResumeAutoPrinter(device);
        StartDeviceAutomation(serverWindow, device, 0);
    }
}

void RunDeviceApplications(HWND serverWindow, WPARAM, LPARAM lParam) { RunAutoApplication(serverWindow, lParam); }

void ReleaseDeviceAutomation(DeviceEntry* device) {
    if (!device) return;
    // Only tells the threads to end: this runs inside a row's deletion, under the lock, on the
    // thread the automation threads post to.
    StopAutoApplication(device);
    EndAutoPrinter(device);
}
