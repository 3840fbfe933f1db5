// A scripted spooler with the suite's port monitor in it.
#pragma once

#include "spooler_platform.h"

#include <windows.h>

#include <set>
#include <string>
#include <vector>

// The spooler with the suite's port monitor in it: deleting a port removes its key, as the
// monitor does.
class FakeSpooler final : public SpoolerPlatform {
public:
    explicit FakeSpooler(std::string portsKey = "") : portsKey_(std::move(portsKey)) { SetSpoolerPlatform(this); }
    ~FakeSpooler() override { SetSpoolerPlatform(nullptr); }
    bool PortExists(const char* name) override { return ports.count(name) > 0; }
    std::vector<PrinterOnPort> ListPrinters() override { return printers; }
    bool MovePrinter(const char* printer, const char* port) override {
        if (refusedPorts.count(port)) return false;
        for (auto& p : printers) {
            if (p.printer == printer) p.port = port;
        }
        return true;
    }
    bool RemovePort(const char* name) override {
        deleted.push_back(name);
        ports.erase(name);
        return RegDeleteTreeA(HKEY_LOCAL_MACHINE, (portsKey_ + "\\" + name).c_str()) == ERROR_SUCCESS;
    }
    bool MonitorExists(const char* name) override { return monitors.count(name) > 0; }
    unsigned long InstallMonitor(const char* name, const char* environment, const char* dll) override {
        added.push_back(std::string(name) + "|" + environment + "|" + dll);
        monitors.insert(name);
        return ERROR_SUCCESS;
    }
    bool RemoveMonitor(const char*, const char* name) override { return monitors.erase(name) > 0; }
    bool HasQueuedJob(const char* printer) override { return busyPrinters.count(printer) > 0; }

    std::set<std::string> ports;
    std::set<std::string> monitors;
    std::set<std::string> busyPrinters;
    std::set<std::string> refusedPorts;  // no printer can be put on these
    std::vector<std::string> added;  // "name|environment|dll"
    std::vector<PrinterOnPort> printers;
    std::vector<std::string> deleted;

private:
    std::string portsKey_;
};

