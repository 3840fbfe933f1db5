#include "spooler_platform.h"

#include <cstdint>
#include <vector>

namespace {

// The records of an EnumXxx call at the given level: sized first, then filled; empty (count 0)
// when either call fails.
template <typename Call>
std::vector<BYTE> Enum(Call call, DWORD& count) {
    DWORD needed = 0;
    count = 0;
    call(nullptr, 0, &needed, &count);
    std::vector<BYTE> buffer(needed);
    if (!needed || !call(buffer.data(), needed, &needed, &count)) {
        count = 0;
        buffer.clear();
    }
    return buffer;
}

SystemSpoolerPlatform g_systemSpooler;
SpoolerPlatform* g_spooler = nullptr;  // set by tests only

}  // namespace

bool SystemSpoolerPlatform::PortExists(const char* name) {
    DWORD count = 0;
    std::vector<BYTE> buffer = Enum([](BYTE* b, DWORD size, DWORD* needed, DWORD* n) {
        return EnumPortsA(nullptr, 1, b, size, needed, n);
    }, count);
    auto* ports = reinterpret_cast<PORT_INFO_1A*>(buffer.data());
    for (DWORD i = 0; i < count; ++i) {
        if (ports[i].pName && lstrcmpiA(ports[i].pName, name) == 0) return true;
    }
    return false;
}

std::vector<PrinterOnPort> SystemSpoolerPlatform::ListPrinters() {
    DWORD count = 0;
    std::vector<BYTE> buffer = Enum([](BYTE* b, DWORD size, DWORD* needed, DWORD* n) {
        return EnumPrintersA(PRINTER_ENUM_LOCAL, nullptr, 5, b, size, needed, n);
    }, count);
    std::vector<PrinterOnPort> list;
    auto* printers = reinterpret_cast<PRINTER_INFO_5A*>(buffer.data());
    for (DWORD i = 0; i < count; ++i) {
        list.push_back({printers[i].pPrinterName ? printers[i].pPrinterName : "",
                        printers[i].pPortName ? printers[i].pPortName : ""});
    }
    return list;
}

BOOL SystemSpoolerPlatform::SetPrinterPort(HANDLE printer, PRINTER_INFO_5A* record) {
    SetLastError(ERROR_SUCCESS);
    if (SetPrinterA(printer, 5, reinterpret_cast<BYTE*>(record), 0)) return TRUE;
    if (GetLastError() != ERROR_SUCCESS) return FALSE;
    // Wine's SetPrinter knows no level 5 and fails without an error code: the port goes in with
    // the printer's level-2 record there.
    DWORD needed = 0;
    GetPrinterA(printer, 2, nullptr, 0, &needed);
    std::vector<uint64_t> block(needed / sizeof(uint64_t) + 1);
    if (!needed || !GetPrinterA(printer, 2, reinterpret_cast<BYTE*>(block.data()), needed, &needed)) return FALSE;
    auto* full = reinterpret_cast<PRINTER_INFO_2A*>(block.data());
    full->pPortName = record->pPortName;
    return SetPrinterA(printer, 2, reinterpret_cast<BYTE*>(full), 0);
}

bool SystemSpoolerPlatform::MovePrinter(const char* printer, const char* port) {
    PRINTER_DEFAULTSA access{nullptr, nullptr, PRINTER_ALL_ACCESS};
    HANDLE handle = nullptr;
    if (!OpenPrinterA(const_cast<char*>(printer), &handle, &access)) return false;
    DWORD needed = 0;
    GetPrinterA(handle, 5, nullptr, 0, &needed);
    std::vector<BYTE> record(needed ? needed : 1);
    bool ok = needed && GetPrinterA(handle, 5, record.data(), needed, &needed);
    if (ok) {
        auto* info = reinterpret_cast<PRINTER_INFO_5A*>(record.data());
        info->pPortName = const_cast<char*>(port);
        ok = SetPrinterPort(handle, info) != FALSE;
    }
    ClosePrinter(handle);
    return ok;
}

bool SystemSpoolerPlatform::RemovePort(const char* name) {
    return ::DeletePortA(nullptr, nullptr, const_cast<char*>(name)) != FALSE;
}

bool SystemSpoolerPlatform::MonitorExists(const char* name) {
    DWORD count = 0;
    std::vector<BYTE> buffer = Enum([](BYTE* b, DWORD size, DWORD* needed, DWORD* n) {
        return EnumMonitorsA(nullptr, 1, b, size, needed, n);
    }, count);
    auto* monitors = reinterpret_cast<MONITOR_INFO_1A*>(buffer.data());
    for (DWORD i = 0; i < count; ++i) {
        if (monitors[i].pName && lstrcmpA(monitors[i].pName, name) == 0) return true;
    }
    return false;
}

unsigned long SystemSpoolerPlatform::InstallMonitor(const char* name, const char* environment, const char* dll) {
    MONITOR_INFO_2A info{const_cast<char*>(name), const_cast<char*>(environment), const_cast<char*>(dll)};
    if (::AddMonitorA(nullptr, 2, reinterpret_cast<BYTE*>(&info))) return ERROR_SUCCESS;
    DWORD error = GetLastError();
    return error ? error : ERROR_GEN_FAILURE;
}

bool SystemSpoolerPlatform::RemoveMonitor(const char* environment, const char* name) {
    return ::DeleteMonitorA(nullptr, const_cast<char*>(environment), const_cast<char*>(name)) != FALSE;
}

bool SystemSpoolerPlatform::HasQueuedJob(const char* printer) {
    HANDLE handle = nullptr;
    if (!OpenPrinterA(const_cast<char*>(printer), &handle, nullptr)) return false;
    DWORD needed = 0, count = 0;
    EnumJobsA(handle, 0, 4, 1, nullptr, 0, &needed, &count);
    std::vector<BYTE> jobs(needed ? needed : 1);
    bool any = needed && EnumJobsA(handle, 0, 4, 1, jobs.data(), needed, &needed, &count) && count > 0;
    ClosePrinter(handle);
    return any;
}

SpoolerPlatform& Spooler() { return g_spooler ? *g_spooler : g_systemSpooler; }
void SetSpoolerPlatform(SpoolerPlatform* platform) { g_spooler = platform; }
