#include "setup_pages.h"

#include "registry_value.h"
#include "../helper/test_printers.h"

#include <win_handles.h>

#include <gtest/gtest.h>

namespace {

constexpr char kWindowsKey[] = "Software\\Microsoft\\Windows NT\\CurrentVersion\\Windows";
constexpr char kDevicesKey[] = "Software\\Microsoft\\Windows NT\\CurrentVersion\\Devices";

std::string DefaultPrinterDevice() {
    char value[520] = "";
    DWORD size = sizeof value - 1;
    DWORD type = 0;
    if (!ReadRegistryValue(HKEY_CURRENT_USER, kWindowsKey, "Device", value, &size, &type)) return "(none)";
    return value;
}

TEST(PrinterListPage, APrinterWhosePortCannotBeSetDoesNotBecomeTheDefault) {
    helper_test::TestPrinter printer(helper_test::UniqueName("QZSETUP_PORT_"), "setup test");
    ASSERT_TRUE(printer.ok());
    // The spooler's Devices entry that a default printer is made from.
    std::string device = "winspool," + printer.port();
    ASSERT_TRUE(WriteRegistryValue(HKEY_CURRENT_USER, kDevicesKey, printer.name().c_str(), device.c_str(),
                                   static_cast<DWORD>(device.size() + 1), REG_SZ));
    helper_test::PrinterSetLock lock;
    std::string before = DefaultPrinterDevice();
    EXPECT_FALSE(MovePrinterToPort(printer.name().c_str(), "QZ_NO_SUCH_PORT_9", true));
    std::string after = DefaultPrinterDevice();
    EXPECT_EQ(after, before);
    if (after != before && before != "(none)") {
        WriteRegistryValue(HKEY_CURRENT_USER, kWindowsKey, "Device", before.c_str(),
                           static_cast<DWORD>(before.size() + 1), REG_SZ);
    }
    qz::RegKey key;
    if (after != before && before == "(none)" &&
        RegOpenKeyExA(HKEY_CURRENT_USER, kWindowsKey, 0, KEY_SET_VALUE, key.put()) == ERROR_SUCCESS) {
        RegDeleteValueA(key.get(), "Device");
    }
    if (RegOpenKeyExA(HKEY_CURRENT_USER, kDevicesKey, 0, KEY_SET_VALUE, key.put()) == ERROR_SUCCESS) {
        RegDeleteValueA(key.get(), printer.name().c_str());
    }
}

}  // namespace
