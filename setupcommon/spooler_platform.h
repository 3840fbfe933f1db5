// The print spooler as the port-monitor steps use it. The production version passes each call
// to winspool (where Wine lacks a level, it says so beside the call); the suite's port monitor
// is not in Wine's spooler, so tests use a fake.
#pragma once

#include <windows.h>
#include <winspool.h>

#include <string>
#include <vector>

struct PrinterOnPort {
    std::string printer;
    std::string port;
};

class SpoolerPlatform {
public:
    virtual ~SpoolerPlatform() = default;
    // EnumPorts at level 1 holds the port (any case).
    virtual bool PortExists(const char* name) = 0;
    virtual std::vector<PrinterOnPort> ListPrinters() = 0;
    // Puts a printer on another port (SetPrinter).
    virtual bool MovePrinter(const char* printer, const char* port) = 0;
    virtual bool RemovePort(const char* name) = 0;
    // EnumMonitors at level 1 holds a monitor of exactly that name.
    virtual bool MonitorExists(const char* name) = 0;
    // AddMonitor at level 2: ERROR_SUCCESS or the error.
    virtual unsigned long InstallMonitor(const char* name, const char* environment, const char* dll) = 0;
    virtual bool RemoveMonitor(const char* environment, const char* name) = 0;
    // The printer's queue holds a job (EnumJobs, the first four at level 1).
    virtual bool HasQueuedJob(const char* printer) = 0;
};

// The system's spooler, every call passed straight to winspool.
class SystemSpoolerPlatform : public SpoolerPlatform {
public:
    bool PortExists(const char* name) override;
    std::vector<PrinterOnPort> ListPrinters() override;
    bool MovePrinter(const char* printer, const char* port) override;
    bool RemovePort(const char* name) override;
    bool MonitorExists(const char* name) override;
    unsigned long InstallMonitor(const char* name, const char* environment, const char* dll) override;
    bool RemoveMonitor(const char* environment, const char* name) override;
    bool HasQueuedJob(const char* printer) override;

private:
    // SetPrinterA at level 5 with the printer's own record and the new port.
    BOOL SetPrinterPort(HANDLE printer, PRINTER_INFO_5A* record);
};

SpoolerPlatform& Spooler();
void SetSpoolerPlatform(SpoolerPlatform* platform);  // null: the system
