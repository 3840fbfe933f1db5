// The system's spooler as the port-monitor steps use it, against Wine's own spooler with a
// printer and a port of the test's own. Runs only in the throwaway prefix of
// run_in_driver_prefix.sh (QZ_DRIVER_PREFIX=1): it adds printers and ports, and a monitor step
// that went wrong there could take keys of HKEY_LOCAL_MACHINE with it.
#include "monitor_steps.h"
#include "spooler_platform.h"

#include "../helper/test_printers.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace {

bool Listed(const std::string& printer, const std::string& port) {
    for (const PrinterOnPort& p : Spooler().ListPrinters()) {
        if (p.printer == printer && p.port == port) return true;
    }
    return false;
}

bool KeyExists(const char* path) {
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path, 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
    RegCloseKey(key);
    return true;
}

}  // namespace

TEST(RealSpooler, PortsPrintersMonitorsAndUnfilledMonitorRecords) {
    if (!std::getenv("QZ_DRIVER_PREFIX")) GTEST_SKIP() << "runs in the throwaway driver prefix only";
    SpoolerPlatform& spooler = Spooler();
    helper_test::TestPrinter printer(helper_test::UniqueName("QZSP") + ":", "");
    ASSERT_TRUE(printer.ok());
    std::string lower = printer.port();
    CharLowerA(lower.data());
    EXPECT_TRUE(spooler.PortExists(lower.c_str()));  // ports compare in any case
    EXPECT_TRUE(Listed(printer.name(), printer.port()));
    EXPECT_TRUE(spooler.MonitorExists("Local Port"));
    EXPECT_FALSE(spooler.MonitorExists("local port"));  // monitors in their exact case
    EXPECT_FALSE(spooler.HasQueuedJob(printer.name().c_str()));
    ASSERT_TRUE(spooler.MovePrinter(printer.name().c_str(), "FILE:"));
    EXPECT_TRUE(Listed(printer.name(), "FILE:"));

    // A monitor whose library is not there is refused and is not there to delete.
    EXPECT_NE(spooler.InstallMonitor("Qz Missing Monitor", "Windows x64", "qzmissingmon.dll"), 0ul);
    EXPECT_FALSE(spooler.RemoveMonitor("Windows x64", "Qz Missing Monitor"));
    // Neither does an unfilled record or one of another key reach the registry: a failed add
    // deletes the monitor's key again.
    std::string sentinel = "Software\\QzSentinel" + std::to_string(GetCurrentProcessId());
    RegSetKeyValueA(HKEY_LOCAL_MACHINE, sentinel.c_str(), "Kept", REG_SZ, "1", 2);
    const struct { const char* name; const char* keyPath; } kRecords[] = {
        {"", ""},
        {"Qz Missing Monitor", sentinel.c_str()},
        {"Qz Missing Monitor", "System\\CurrentControlSet\\Control\\Print\\Monitors\\.."},
        {"Qz Missing Monitor", "System\\CurrentControlSet\\Control\\Print\\Monitors\\Local Port\\.."},
    };
    for (const auto& r : kRecords) {
        MonitorRecord monitor{};
        lstrcpyA(monitor.name, r.name);
        lstrcpyA(monitor.keyPath, r.keyPath);
        lstrcpyA(monitor.dllName, "qzmissingmon.dll");
        EXPECT_EQ(InstallPortMonitor(nullptr, nullptr, &monitor, "C:\\Qz"), 0) << r.keyPath;
    }
    char kept[8] = "", path[MAX_PATH] = "";
    DWORD size = sizeof kept;
    EXPECT_EQ(RegGetValueA(HKEY_LOCAL_MACHINE, sentinel.c_str(), "Kept", RRF_RT_REG_SZ, nullptr, kept, &size),
              ERROR_SUCCESS);
    size = sizeof path;
    EXPECT_NE(RegGetValueA(HKEY_LOCAL_MACHINE, sentinel.c_str(), "InstallPath", RRF_RT_REG_SZ, nullptr, path, &size),
              ERROR_SUCCESS);
    EXPECT_FALSE(KeyExists((sentinel + "\\Ports").c_str()));
    EXPECT_TRUE(KeyExists("System\\CurrentControlSet\\Control\\Print\\Monitors\\Local Port"));
    RegDeleteTreeA(HKEY_LOCAL_MACHINE, sentinel.c_str());
    RegDeleteKeyA(HKEY_LOCAL_MACHINE, sentinel.c_str());

    EXPECT_TRUE(spooler.RemovePort(printer.port().c_str()));
    EXPECT_FALSE(spooler.PortExists(printer.port().c_str()));
}
