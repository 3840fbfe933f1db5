// The printers of a device against the prefix's real spooler: the installed form found
// through the device's printer ids (stand-in device nodes with their port and driver
// description), and the manual list kept in the settings store. The spooler's printer list is
// the session's: each test holds the printer-set lock while the library enumerates it.
#include <gtest/gtest.h>

#include "../helper/test_printers.h"
#include "device_printers.h"
#include "device_test_support.h"
#include "registry_test_key.h"

namespace {

using helper_test::TestPrinter;

constexpr const char* kEnum = "System\\CurrentControlSet\\Enum\\";
constexpr const char* kClass = "System\\CurrentControlSet\\Control\\Class\\";

// A printer node of the stand-in tree with its port and its driver's description.
class PrinterNode {
public:
    PrinterNode(const std::string& port, const char* description) {
        id_ = "USBPRINT\\QZTEST\\" + std::to_string(GetCurrentProcessId());
        driver_ = "{4D36E979-E325-11CE-BFC1-08002BE10318}\\9" + std::to_string(GetCurrentProcessId() % 1000);
        std::string node = kEnum + id_;
        RegSetKeyValueA(HKEY_LOCAL_MACHINE, node.c_str(), "QzParent", REG_SZ, "", 1);
        RegSetKeyValueA(HKEY_LOCAL_MACHINE, node.c_str(), "Driver", REG_SZ, driver_.c_str(), driver_.size() + 1);
        RegSetKeyValueA(HKEY_LOCAL_MACHINE, (node + "\\Device Parameters").c_str(), "PortName", REG_SZ, port.c_str(),
                        port.size() + 1);
        RegSetKeyValueA(HKEY_LOCAL_MACHINE, (kClass + driver_).c_str(), "DriverDesc", REG_SZ, description,
                        strlen(description) + 1);
    }
    ~PrinterNode() {
        RegDeleteTreeA(HKEY_LOCAL_MACHINE, (kEnum + id_).c_str());
        RegDeleteKeyA(HKEY_LOCAL_MACHINE, (kEnum + id_).c_str());
        RegDeleteTreeA(HKEY_LOCAL_MACHINE, (kClass + driver_).c_str());
        RegDeleteKeyA(HKEY_LOCAL_MACHINE, (kClass + driver_).c_str());
    }
    const std::string& id() const { return id_; }

private:
    std::string id_, driver_;
};

class DevicePrinters : public DeviceTest {};

TEST_F(DevicePrinters, AnInstalledPrinterIsFoundByItsDriverAndPort) {
    TestPrinter printer("QZP" + std::to_string(GetCurrentProcessId() % 100000) + ":", "");
    ASSERT_TRUE(printer.ok());
    helper_test::PrinterSetLock still;
    PrinterNode node(printer.port(), helper_test::kTestDriver);
    ReplyDevice d = Named("Printer");
    d.interfaceClass = 7;
    DeviceEntry* device = Create(d);
    ASSERT_NE(device, nullptr);
    uint32_t count = 9, size = 0;
    PrinterInfo* names = nullptr;
    EXPECT_EQ(PnxGetPrinterInfo(nullptr, device, &count, &names, &size, 0), 1);
    EXPECT_EQ(count, 0u);  // no printer ids yet
    {
        LibraryLock lock;
        device->ids->printerIds = {node.id()};
    }
    ASSERT_EQ(PnxGetPrinterInfo(nullptr, device, &count, &names, &size, 0), 1);
    ASSERT_EQ(count, 1u);
    EXPECT_EQ(size, sizeof(PrinterInfo));
    EXPECT_STREQ(names[0].first, helper_test::kTestDriver);
    EXPECT_EQ(names[0].second, printer.port());
    PnxFreePrinterInfo(nullptr, names);

    // Unplugged, the device's printer node is no longer present but keeps its port: found still.
    DWORD one = 1;
    RegSetKeyValueA(HKEY_LOCAL_MACHINE, (kEnum + node.id()).c_str(), "QzNotPresent", REG_DWORD, &one, sizeof one);
    ASSERT_EQ(PnxGetPrinterInfo(nullptr, device, &count, &names, &size, 0), 1);
    ASSERT_EQ(count, 1u);
    EXPECT_EQ(names[0].second, printer.port());
    PnxFreePrinterInfo(nullptr, names);
}

TEST_F(DevicePrinters, TheManualListMatchesPrinterNamesInAnyCase) {
    TestPrinter printer("QZM" + std::to_string(GetCurrentProcessId() % 100000) + ":", "");
    ASSERT_TRUE(printer.ok());
    helper_test::PrinterSetLock still;
    RegistryTestKey key("printers");
    UseStore(key.location());
    DeviceEntry* device = Create(Named("Manual"));
    ASSERT_NE(device, nullptr);
    uint32_t count = 0;
    EXPECT_EQ(PnxGetPrinterInfo(nullptr, device, &count, nullptr, nullptr, 1), 0);  // nothing stored
    std::string upper = printer.name();
    for (char& c : upper) c = static_cast<char>(toupper(static_cast<unsigned char>(c)));
    std::string names = "No Such Printer," + upper;
    ASSERT_EQ(PnxSetPrinterInfo(nullptr, device, names.c_str(), 2), 1);
    EXPECT_EQ(PnxGetPrinterInfo(nullptr, device, &count, nullptr, nullptr, 1), 1);
    EXPECT_EQ(count, 2u);
    ASSERT_EQ(PnxSetPrinterInfo(nullptr, device, "ignored", 0), 1);
    char stored[16] = "x";
    std::string deviceKey;
    {
        LibraryLock lock;
        deviceKey = DeviceKeyOfLocked(device);
    }
    EXPECT_TRUE(key.Read(("Device\\" + deviceKey).c_str(), "PrnManualNames", stored, 1));
    EXPECT_EQ(PnxGetPrinterInfo(nullptr, device, &count, nullptr, nullptr, 1), 0);
}

}  // namespace
