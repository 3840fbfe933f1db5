#include "spooler_platform.h"

#include <windows.h>
#include <winspool.h>

#include <vector>

namespace {

class SystemSpooler final : public SpoolerPlatform {
public:
    bool PortExists(const char* name) override {
        std::vector<BYTE> buffer = Enum([](BYTE* b, DWORD size, DWORD* needed, DWORD* count) {
            return EnumPortsA(nullptr, 1, b, size, needed, count);
        });
        auto* ports = reinterpret_cast<PORT_INFO_1A*>(buffer.data());
        for (DWORD i = 0; i < count_; ++i) {
            if (ports[i].pName && lstrcmpiA(ports[i].pName, name) == 0) return true;
        }
        return false;
    }
    std::vector<PrinterOnPort> ListPrinters() override {
        std::vector<BYTE> buffer = Enum([](BYTE* b, DWORD size, DWORD* needed, DWORD* count) {
            return EnumPrintersA(PRINTER_ENUM_LOCAL, nullptr, 5, b, size, needed, count);
        });
        std::vector<PrinterOnPort> list;
        auto* printers = reinterpret_cast<PRINTER_INFO_5A*>(buffer.data());
        for (DWORD i = 0; i < count_; ++i) {
            list.push_back({printers[i].pPrinterName ? printers[i].pPrinterName : "",
                            printers[i].pPortName ? printers[i].pPortName : ""});
        }
        return list;
    }
    bool MovePrinter(const char* printer, const char* port) override {
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
            ok = SetPrinterA(handle, 5, record.data(), 0) != FALSE;
        }
        ClosePrinter(handle);
        return ok;
    }
    bool RemovePort(const char* name) override {
        return ::DeletePortA(nullptr, nullptr, const_cast<char*>(name)) != FALSE;
    }

    bool MonitorExists(const char* name) override {
        std::vector<BYTE> buffer = Enum([](BYTE* b, DWORD size, DWORD* needed, DWORD* count) {
            return EnumMonitorsA(nullptr, 1, b, size, needed, count);
        });
        auto* monitors = reinterpret_cast<MONITOR_INFO_1A*>(buffer.data());
        for (DWORD i = 0; i < count_; ++i) {
            if (monitors[i].pName && lstrcmpA(monitors[i].pName, name) == 0) return true;
        }
        return false;
    }
    unsigned long InstallMonitor(const char* name, const char* environment, const char* dll) override {
        MONITOR_INFO_2A info{const_cast<char*>(name), const_cast<char*>(environment), const_cast<char*>(dll)};
        return ::AddMonitorA(nullptr, 2, reinterpret_cast<BYTE*>(&info)) ? ERROR_SUCCESS : GetLastError();
    }
    bool RemoveMonitor(const char* environment, const char* name) override {
        return ::DeleteMonitorA(nullptr, const_cast<char*>(environment), const_cast<char*>(name)) != FALSE;
    }
    bool HasQueuedJob(const char* printer) override {
        HANDLE handle = nullptr;
        if (!OpenPrinterA(const_cast<char*>(printer), &handle, nullptr)) return false;
        DWORD needed = 0, count = 0;
        EnumJobsA(handle, 0, 4, 1, nullptr, 0, &needed, &count);
        std::vector<BYTE> jobs(needed ? needed : 1);
        bool any = needed && EnumJobsA(handle, 0, 4, 1, jobs.data(), needed, &needed, &count) && count > 0;
        ClosePrinter(handle);
        return any;
    }

private:
    template <typename Call>
    std::vector<BYTE> Enum(Call call) {
        DWORD needed = 0;
        count_ = 0;
        call(nullptr, 0, &needed, &count_);
        std::vector<BYTE> buffer(needed);
        if (!needed || !call(buffer.data(), needed, &needed, &count_)) {
            count_ = 0;
            buffer.clear();
        }
        return buffer;
    }
    DWORD count_ = 0;
};

SystemSpooler g_systemSpooler;
SpoolerPlatform* g_spooler = nullptr;  // set by tests only

}  // namespace

SpoolerPlatform& Spooler() { return g_spooler ? *g_spooler : g_systemSpooler; }
void SetSpoolerPlatform(SpoolerPlatform* platform) { g_spooler = platform; }
