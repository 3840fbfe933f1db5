// Settings of an older release brought into the current store, and the printer-bit
// conversion over every stored printer device.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>
#include <string>
#include <vector>

#include "broadcast_list.h"
#include "lib_state.h"
#include "lib_test_support.h"
#include "pnxscapi.h"
#include "registry_test_key.h"

namespace {

class OldDataConversionTest : public ::testing::Test {
protected:
    void SetUp() override {
        EnsureLibraryAttached();
        ResetBroadcastListForTests();
        UseStore(scratch.location() + "\\Cur");
    }
    void TearDown() override {
        g_lib.location[0] = '\0';
        ResetBroadcastListForTests();
    }

    void UseStore(const std::string& location) {
        std::memcpy(g_lib.location, location.c_str(), location.size() + 1);
    }
    std::string Path(const std::string& sub) const { return scratch.location().substr(4) + "\\" + sub; }
    void Set(const std::string& sub, const char* name, DWORD type, const void* data, size_t size) {
        RegSetKeyValueA(HKEY_CURRENT_USER, Path(sub).c_str(), name, type, data, static_cast<DWORD>(size));
    }
    void SetText(const std::string& sub, const char* name, const char* text) {
        Set(sub, name, REG_SZ, text, std::strlen(text) + 1);
    }
    void SetBytes(const std::string& sub, const char* name, std::vector<uint8_t> bytes) {
        Set(sub, name, REG_BINARY, bytes.data(), bytes.size());
    }
    bool KeyExists(const std::string& sub) {
        HKEY key = nullptr;
        if (RegOpenKeyExA(HKEY_CURRENT_USER, Path(sub).c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
        RegCloseKey(key);
        return true;
    }
    uint16_t Word(const std::string& sub, const char* name) {
        uint16_t value = 0xEEEE;
        scratch.Read(sub.c_str(), name, &value, 2);
        return value;
    }
    DWORD Dword(const std::string& sub, const char* name) {
        DWORD value = 0xEEEEEEEE;
        scratch.Read(sub.c_str(), name, &value, 4);
        return value;
    }

    // One device of the older release: a one-interface disk on server 00-11-22-33-44-55.
    void WriteOldDisk(const std::string& sub) {
        SetText(sub, "VERSION", "2.3.0");
        SetBytes(sub, "ADDRESS", {192, 168, 0, 5});
        SetText(sub, "HOST", "server-with-a-long-host-name");
        SetBytes(sub, "ETHERNET", {0x00, 0x11, 0x22, 0x33, 0x44, 0x55});
        SetText(sub, "SERVER", "ZK-100");
        SetBytes(sub, "PID", {0x01, 0x00});
        SetBytes(sub, "VID", {0x5C, 0x0A});
        SetText(sub, "POSITION", "1-1");
        SetBytes(sub, "CLASS", {0x08, 0x00});
        SetText(sub, "DEVICE", "Disk");
        SetText(sub, "DISPNAME", "Office disk");
        SetBytes(sub, "AUTO_START", {1});
        SetBytes(sub, "END_APPLI", {0});
        SetText(sub, "EXEPATH", "C:\\backup.exe");
    }

    RegistryTestKey scratch{"OldData"};
};

constexpr const char* kDiskKey = "Cur\\Device\\0A5C0001&001122334455&1-1&Disk";

TEST_F(OldDataConversionTest, OldDeviceBecomesACurrentDeviceKey) {
    WriteOldDisk("Old\\DEVICE\\1");
    ASSERT_EQ(PnxConvertOldUsbData(nullptr, (scratch.location() + "\\Old").c_str(), 0), 1);

    ASSERT_TRUE(KeyExists(kDiskKey));
    EXPECT_EQ(Word(kDiskKey, "Property"), 0x0009) << "AUTO_START gives automatic connect";
    EXPECT_EQ(Word(kDiskKey, "Application"), 0x0000) << "missing and zero flags count as 0";
    EXPECT_EQ(Dword(kDiskKey, "WaitTimer"), 10000u) << "the default when WAIT_TIMER is missing";
    EXPECT_EQ(Dword(kDiskKey, "ApplicationCount"), 1u);
    EXPECT_EQ(Dword(kDiskKey, "InterfaceCount"), 1u);
    EXPECT_EQ(Word(kDiskKey, "Interface"), 0x0008);
    EXPECT_EQ(Dword(kDiskKey, "IpAddress"), 0xC0A80005u);
    EXPECT_EQ(Word(kDiskKey, "FirmLevel"), 3);
    char host[16] = {};
    EXPECT_TRUE(scratch.Read(kDiskKey, "HostName", host, 16)) << "the host name is cut to its field";
    EXPECT_STREQ(host, "server-with-a-l");
    EXPECT_TRUE(KeyExists("Old")) << "kept unless asked to delete";
}

TEST_F(OldDataConversionTest, ClassesFollowTheLocationCountAndTheBroadcastListIsCopied) {
    WriteOldDisk("Old\\DEVICE\\1");
    SetText("Old\\DEVICE\\1", "POSITION", "1-1,1-2,1-3");  // three interfaces, one stored class
    DWORD waitTimer = 3000;
    Set("Old\\DEVICE\\1", "WAIT_TIMER", REG_DWORD, &waitTimer, 4);
    DWORD count = 2, first = 0xC0A80AFF, second = 0x0A0000FF;
    Set("Old\\BROADCAST", "UDPCount", REG_DWORD, &count, 4);
    Set("Old\\BROADCAST", "UDP00", REG_DWORD, &first, 4);
    Set("Old\\BROADCAST", "UDP01", REG_DWORD, &second, 4);
    ASSERT_EQ(PnxInitBroadcastAddr(nullptr, (scratch.location() + "\\Cur\\Broadcast").c_str()), 1);

    ASSERT_EQ(PnxConvertOldUsbData(nullptr, (scratch.location() + "\\Old").c_str(), 1), 1);

    const std::string key = "Cur\\Device\\0A5C0001&001122334455&1-1,1-2,1-3&Disk";
    EXPECT_EQ(Dword(key, "InterfaceCount"), 3u);
    uint8_t classes[6] = {0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE};
    EXPECT_TRUE(scratch.Read(key.c_str(), "Interface", classes, 6));
    EXPECT_EQ(std::vector<uint8_t>(classes, classes + 6), (std::vector<uint8_t>{8, 0, 0, 0, 0, 0}));
    EXPECT_EQ(Dword(key, "WaitTimer"), 3000u);
    EXPECT_EQ(Dword("Cur\\Broadcast", "UDPCount"), 2u);
    EXPECT_EQ(Dword("Cur\\Broadcast", "UDP01"), 0x0A0000FFu);
    EXPECT_FALSE(KeyExists("Old"));
}

TEST_F(OldDataConversionTest, DeletingAnOldKeyThatHoldsTheCurrentStoreKeepsTheStore) {
    UseStore(scratch.location() + "\\Old\\Pnxscapi");
    WriteOldDisk("Old\\DEVICE\\1");
    ASSERT_EQ(PnxConvertOldUsbData(nullptr, (scratch.location() + "\\Old").c_str(), 1), 1);
    EXPECT_TRUE(KeyExists("Old\\Pnxscapi\\Device\\0A5C0001&001122334455&1-1&Disk"));
    EXPECT_FALSE(KeyExists("Old\\DEVICE\\1"));
}

TEST_F(OldDataConversionTest, OnlyARegistryLocationIsConverted) {
    EXPECT_EQ(PnxConvertOldUsbData(nullptr, "", 1), 0);
    EXPECT_EQ(PnxConvertOldUsbData(nullptr, nullptr, 1), 0);
    EXPECT_EQ(PnxConvertOldUsbData(nullptr, "C:\\old\\settings.ini", 1), 1);
    EXPECT_FALSE(KeyExists("Cur"));
}

// The conversion asks for the service window of a registered client.
class ConvertPropertyTest : public OldDataConversionTest {
protected:
    void SetUp() override {
        OldDataConversionTest::SetUp();
        OneTimeInitialize();
        service = PnxRegisterNotification(client.get(), nullptr);
        ASSERT_NE(service, nullptr);
        UseStore(scratch.location() + "\\Cur");  // registration chose no store
    }
    void TearDown() override {
        if (IsWindow(service)) PnxUnRegisterNotification(service);
        TakeQuitMessage();
        ResetLibStateForTests();
        OldDataConversionTest::TearDown();
    }

    TestClientWindow client;
    HWND service = nullptr;
    void StoreDevice(const char* name, DWORD interfaceCount, std::vector<uint8_t> classes) {
        std::string sub = std::string("Cur\\Device\\") + name;
        Set(sub, "InterfaceCount", REG_DWORD, &interfaceCount, 4);
        SetBytes(sub, "Interface", classes);
    }
};

TEST_F(ConvertPropertyTest, PrinterBitsChangeOnlyOnPrinterDevices) {
    StoreDevice("Printer", 2, {3, 0, 7, 0});
    SetBytes("Cur\\Device\\Printer", "Printer", {0x01, 0x00});
    StoreDevice("Disk", 1, {8, 0});
    StoreDevice("Damaged", 5000, {7, 0});         // count far beyond the stored classes
    StoreDevice("Hidden", 1, {8, 0, 7, 0});       // the printer class lies past the count
    StoreDevice("NoCount", 0, {7, 0});
    const uint16_t bits = 2;

    EXPECT_EQ(PnxConvertProperty(service, 1, 5, &bits, 4), 0);
    EXPECT_EQ(PnxConvertProperty(service, 1, 4, &bits, 2), 0);
    EXPECT_EQ(PnxConvertProperty(nullptr, 1, 5, &bits, 2), 0);
    EXPECT_EQ(Word("Cur\\Device\\Printer", "Printer"), 0x0001) << "a refused call changes nothing";

    ASSERT_EQ(PnxConvertProperty(service, 1, 5, &bits, 2), 1);
    EXPECT_EQ(Word("Cur\\Device\\Printer", "Printer"), 0x0003);
    EXPECT_EQ(Word("Cur\\Device\\Damaged", "Printer"), 0x0002);
    EXPECT_EQ(Word("Cur\\Device\\Disk", "Printer"), 0xEEEE) << "no printer interface, no value";
    EXPECT_EQ(Word("Cur\\Device\\Hidden", "Printer"), 0xEEEE);
    EXPECT_EQ(Word("Cur\\Device\\NoCount", "Printer"), 0xEEEE);

    const uint16_t autoPrinter = 1;
    ASSERT_EQ(PnxConvertProperty(service, 0, 5, &autoPrinter, 2), 1);
    EXPECT_EQ(Word("Cur\\Device\\Printer", "Printer"), 0x0002);
}

}  // namespace
