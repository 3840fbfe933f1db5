#include "device_printers.h"

#include <windows.h>
#include <winspool.h>

#include <algorithm>
#include <cstring>

#include "device_entry.h"
#include "lib_lock.h"
#include "pnp_tree.h"
#include "pnxscapi.h"
#include "printer_list.h"
#include "registry_value.h"
#include "settings_store.h"
#include "win_handles.h"
#include "text_util.h"

namespace {

constexpr uint32_t kManualMode = 1;
constexpr uint32_t kMaxManualPrinters = 255;

std::string DeviceKeyOf(DeviceEntry* device) {
    LibraryLock lock;
    return device->removed ? std::string() : DeviceKeyOfLocked(device);
}

qz::RegKey OpenStoreKey(const std::string& deviceKey, bool write) {
    qz::RegKey key;
    OpenDeviceStoreKey(CurrentSettingsStore(), deviceKey.c_str(), write, &key);
    return key;
}

// A block of entries the caller releases with PnxFreePrinterInfo (LocalFree).
PrinterInfo* NewBlock(const std::vector<PrinterInfo>& entries) {
    auto* block = static_cast<PrinterInfo*>(LocalAlloc(LPTR, std::max<size_t>(1, entries.size()) * sizeof(PrinterInfo)));
    if (block && !entries.empty()) memcpy(block, entries.data(), entries.size() * sizeof(PrinterInfo));
    return block;
}

bool AnyLocalPrinter(bool (*match)(const PRINTER_INFO_2A&, const std::vector<PrinterInfo>&),
                     const std::vector<PrinterInfo>& entries) {
    DWORD count = 0;
    qz::HeapBlock block = EnumLocalPrinters(2, &count);
    auto* printers = static_cast<const PRINTER_INFO_2A*>(block.get());
    for (DWORD i = 0; printers && i < count; ++i) {
        if (match(printers[i], entries)) return true;
    }
    return false;
}

bool MatchesInstalled(const PRINTER_INFO_2A& p, const std::vector<PrinterInfo>& entries) {
    for (const PrinterInfo& e : entries) {
        if (p.pDriverName && p.pPortName && strcmp(p.pDriverName, e.first) == 0 && strcmp(p.pPortName, e.second) == 0) return true;
    }
    return false;
}

bool MatchesManual(const PRINTER_INFO_2A& p, const std::vector<PrinterInfo>& entries) {
    for (const PrinterInfo& e : entries) {
        if (p.pPrinterName && _stricmp(p.pPrinterName, e.first) == 0) return true;
    }
    return false;
}

}  // namespace

std::vector<std::string> SplitManualPrinters(const std::string& names, uint32_t count) {
    std::vector<std::string> out;
    count = std::min(count, kMaxManualPrinters);
    size_t start = 0;
    while (out.size() < count && start <= names.size()) {
        size_t comma = names.find(',', start);
        std::string name = names.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
        if (name.size() >= kPrinterSlotChars) name.resize(kPrinterSlotChars - 1);
        out.push_back(name);
        if (comma == std::string::npos) break;
        start = comma + 1;
    }
    return out;
}

bool FindInstalledPrinters(DeviceEntry* device, std::vector<PrinterInfo>* entries) {
    std::vector<std::string> ids;
    uint32_t printerInterfaces;
    {
        LibraryLock lock;
        if (device->removed || !device->ids) return false;
        ids = device->ids->printerIds;
        printerInterfaces = device->ids->printerInterfaces;
    }
    entries->clear();
    bool described = true;
    for (const std::string& id : ids) {
        std::string port, description;
        GetPortNameAndDriverDesc(id, &port, &description);
        PrinterInfo e = {};
        CopyCut(description, e.first);
        CopyCut(port, e.second);
        described &= !description.empty();
        entries->push_back(e);
    }
    return entries->size() >= printerInterfaces && !entries->empty() && described &&
           AnyLocalPrinter(MatchesInstalled, *entries);
}

bool DeviceHasInstalledPrinter(DeviceEntry* device) {
    std::vector<PrinterInfo> entries;
    return device && FindInstalledPrinters(device, &entries);
}

int DeviceGetPrinters(HWND, HPnxDv device, uint32_t* count, PrinterInfo** names, uint32_t* size,
                      uint32_t source) {
    if (!device) return 0;
    std::vector<PrinterInfo> entries;
    bool found;
    if (source == kManualMode) {
        qz::RegKey key = OpenStoreKey(DeviceKeyOf(device), false);
        uint32_t stored = 0;
        std::string text;
        if (!key || !ReadRegistryDword(key.get(), "PrnManualCount", &stored) || stored == 0 ||
            !ReadRegistryText(key.get(), "PrnManualNames", &text)) {
            return 0;
        }
        for (const std::string& name : SplitManualPrinters(text, stored)) {
            PrinterInfo e = {};
            CopyCut(name, e.first);
            entries.push_back(e);
        }
        found = AnyLocalPrinter(MatchesManual, entries);
    } else {
        {
            LibraryLock lock;
            if (device->removed || !device->ids) return 0;
        }
        found = FindInstalledPrinters(device, &entries);
    }
    if (!found) entries.clear();
    if (count) *count = static_cast<uint32_t>(entries.size());
    if (size) *size = static_cast<uint32_t>(entries.size() * sizeof(PrinterInfo));
    if (names) *names = found ? NewBlock(entries) : nullptr;
    return 1;
}

int FreePrinterBlock(HWND, PrinterInfo* names) {
    if (names) LocalFree(names);
    return 1;
}

int DeviceSetPrinters(HWND, HPnxDv device, const char* names, uint32_t count) {
    if (!device) return 0;
    qz::RegKey key = OpenStoreKey(DeviceKeyOf(device), true);
    if (key) {
        WriteRegistryDword(key.get(), "PrnManualCount", count);
        WriteRegistryText(key.get(), "PrnManualNames", count && names ? names : "");
    }
    LibraryLock lock;
    if (!device->removed) device->printerListChanged = 1;
    return 1;
}
