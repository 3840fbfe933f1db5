// The per-device settings store: round trips through the registry and an INI file, and stored
// values that were damaged or written by an older release.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>
#include <string>
#include <vector>

#include "device_heap.h"
#include "lib_test_support.h"
#include "registry_test_key.h"
#include "settings_store.h"
#include "win_handles.h"

namespace {

// A device record that points into the test's own storage.
struct SampleDevice {
    std::string name = "Laser Printer";
    std::string locations = "1-1,1-2";
    std::string serial = "SN0042";
    uint16_t classes[2] = {0x0007, 0x00FF};
    uint16_t subclasses[2] = {0x0001, 0x0102};
    UsbDeviceInfo info = {};

    SampleDevice() {
        info.name = name.data();
        info.locations = locations.data();
        info.serial = serial.data();
        info.vid = 0x0A5C;
        info.pid = 0x0001;
        info.interfaceClasses = classes;
        info.interfaceSubclasses = subclasses;
        info.interfaceCount = 2;
    }
    void MakeComPort() {
        locations = "R1-3";
        info.locations = locations.data();
    }
};

std::vector<uint8_t> kTwoPaths = {'C', ':', '\\', 'a', '.', 'e', 'x', 'e', 0, 'b', 0, 0};

PropertyInfo SampleProperty(char* name) {
    PropertyInfo p = {};
    p.favoriteName = name;
    p.property = 0x000B;
    p.application = 0x0105;
    p.applicationList = kTwoPaths.data();
    p.applicationCount = 2;
    p.applicationSize = static_cast<uint32_t>(kTwoPaths.size());
    p.printer = 0x0005;
    p.waitTimer = 25000;
    p.com = 1;
    p.comPortNumber = 7;
    return p;
}

class SettingsStoreTest : public ::testing::Test {
protected:
    void SetUp() override { blocksBefore = DeviceHeapBlocksInUse(); }
    void TearDown() override {
        FreePropertyInfoParts(&read);
        EXPECT_EQ(DeviceHeapBlocksInUse(), blocksBefore);
    }

    HKEY DeviceKey(const SettingsStore& store, const char* deviceKey) {
        RegOpenKeyExA(store.root, DeviceKeyPath(store, deviceKey).c_str(), 0, KEY_ALL_ACCESS, key.put());
        return key.get();
    }

    long blocksBefore = 0;
    PropertyInfo read = {};
    qz::RegKey key;
    RegistryTestKey scratch{"SettingsStore"};
    TempFolder folder;
    SampleDevice device;
    char favorite[16] = "My Printer";
};

TEST_F(SettingsStoreTest, RegistryRoundTripKeepsIdentityAndSettings) {
    SettingsStore store = SettingsStoreFromLocation(scratch.location().c_str());
    ASSERT_EQ(store.kind, qz::SettingsLocation::kRegistry);
    EXPECT_FALSE(DeviceKeyExists(&store, "K1"));
    PropertyInfo written = SampleProperty(favorite);
    ASSERT_TRUE(WriteDeviceIdentity(&store, "K1", &device.info));
    ASSERT_TRUE(WriteDeviceProperties(&store, "K1", &device.info, &written));
    EXPECT_TRUE(DeviceKeyExists(&store, "K1"));

    uint8_t interfaces[4] = {};
    EXPECT_TRUE(scratch.Read("Device\\K1", "Interface", interfaces, 4));
    EXPECT_EQ(std::vector<uint8_t>(interfaces, interfaces + 4), (std::vector<uint8_t>{7, 0, 0xFF, 0}));
    uint8_t comPort = 0;
    EXPECT_FALSE(scratch.Read("Device\\K1", "ComPort", &comPort, 1)) << "only COM-port devices keep it";

    ASSERT_TRUE(ReadDeviceProperties(&store, "K1", &device.info, &read));
    EXPECT_STREQ(read.favoriteName, "My Printer");
    EXPECT_EQ(read.property, 0x000B);
    EXPECT_EQ(read.application, 0x0105);
    ASSERT_EQ(read.applicationSize, kTwoPaths.size());
    EXPECT_EQ(std::memcmp(read.applicationList, kTwoPaths.data(), kTwoPaths.size()), 0);
    EXPECT_EQ(read.applicationCount, 2u);
    EXPECT_EQ(read.printer, 0x0005);
    EXPECT_EQ(read.waitTimer, 25000u);
    EXPECT_EQ(read.comPortNumber, 0) << "not read for a device that is no COM-port device";
    EXPECT_FALSE(ReadDeviceProperties(&store, "Unknown", &device.info, &read));
}

TEST_F(SettingsStoreTest, ComPortDevicesKeepTheirComSettings) {
    device.MakeComPort();
    SettingsStore store = SettingsStoreFromLocation(scratch.location().c_str());
    PropertyInfo written = SampleProperty(favorite);
    ASSERT_TRUE(WriteDeviceProperties(&store, "COM", &device.info, &written));
    ASSERT_TRUE(ReadDeviceProperties(&store, "COM", &device.info, &read));
    EXPECT_EQ(read.com, 1);
    EXPECT_EQ(read.comPortNumber, 7);
}

TEST_F(SettingsStoreTest, IniStoreGivesEachDeviceItsOwnSection) {
    SettingsStore store = SettingsStoreFromLocation(folder.File("store.ini").c_str());
    ASSERT_EQ(store.kind, qz::SettingsLocation::kIni);
    device.MakeComPort();
    PropertyInfo first = SampleProperty(favorite);
    char otherName[] = "Scanner";
    PropertyInfo second = SampleProperty(otherName);
    second.property = 0x0001;
    second.waitTimer = 0xFFFFFFFF;
    EXPECT_FALSE(DeviceKeyExists(&store, "A"));
    ASSERT_TRUE(WriteDeviceIdentity(&store, "A", &device.info));
    ASSERT_TRUE(WriteDeviceProperties(&store, "A", &device.info, &first));
    ASSERT_TRUE(WriteDeviceProperties(&store, "B", &device.info, &second));
    EXPECT_TRUE(DeviceKeyExists(&store, "A"));

    char text[64] = {};
    GetPrivateProfileStringA("A", "INTERFACE", "", text, sizeof text, store.iniFile.c_str());
    EXPECT_STREQ(text, "0700ff00");
    ASSERT_TRUE(ReadDeviceProperties(&store, "A", &device.info, &read));
    EXPECT_STREQ(read.favoriteName, "My Printer");
    EXPECT_EQ(read.property, 0x000B);
    EXPECT_EQ(read.comPortNumber, 7);
    EXPECT_EQ(read.applicationList, nullptr) << "application paths are not kept in an INI file";
    ASSERT_TRUE(ReadDeviceProperties(&store, "B", &device.info, &read));
    EXPECT_STREQ(read.favoriteName, "Scanner");
    EXPECT_EQ(read.property, 0x0001);
    EXPECT_EQ(read.waitTimer, 0xFFFFFFFFu);
}

TEST_F(SettingsStoreTest, IniValuesThatAreNoNumberOfTheirWidthLeaveTheField) {
    std::string ini = folder.File("damaged.ini");
    SettingsStore store = SettingsStoreFromLocation(ini.c_str());
    WritePrivateProfileStringA("D", "PROPERTY", "123456", ini.c_str());   // wider than four digits
    WritePrivateProfileStringA("D", "PRINTER", "zz", ini.c_str());
    WritePrivateProfileStringA("D", "WAIT_TIMER", "1f4", ini.c_str());
    EXPECT_FALSE(ReadDeviceProperties(&store, "D", &device.info, &read)) << "no favorite name";
    WritePrivateProfileStringA("D", "FAVORITE_NAME", std::string(1000, 'n').c_str(), ini.c_str());
    WritePrivateProfileStringA(nullptr, nullptr, nullptr, ini.c_str());
    read.property = 0x42;
    read.printer = 0x43;
    ASSERT_TRUE(ReadDeviceProperties(&store, "D", &device.info, &read));
    EXPECT_EQ(std::string(read.favoriteName), std::string(1000, 'n'));
    EXPECT_EQ(read.property, 0x42);
    EXPECT_EQ(read.printer, 0x43);
    EXPECT_EQ(read.waitTimer, 500u);
}

TEST_F(SettingsStoreTest, RegistryValuesOfTheWrongSizeOrCountAreNotTrusted) {
    SettingsStore store = SettingsStoreFromLocation(scratch.location().c_str());
    ASSERT_TRUE(WriteDeviceIdentity(&store, "X", &device.info));
    HKEY k = DeviceKey(store, "X");
    const uint8_t oneByte = 9;
    RegSetValueExA(k, "Property", 0, REG_BINARY, &oneByte, 1);            // short binary
    RegSetValueExA(k, "WaitTimer", 0, REG_BINARY, &oneByte, 1);
    const char unterminated[4] = {'a', 'b', 'c', 'd'};
    RegSetValueExA(k, "FavoriteName", 0, REG_SZ, reinterpret_cast<const BYTE*>(unterminated), 4);
    const char paths[5] = {'x', 0, 'y', 'z', 'w'};                         // second path unterminated
    RegSetValueExA(k, "ApplicationPath", 0, REG_MULTI_SZ, reinterpret_cast<const BYTE*>(paths), 5);
    DWORD oversized = 5000;
    RegSetValueExA(k, "ApplicationCount", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&oversized), 4);

    read.property = 0x11;
    read.waitTimer = 10000;
    ASSERT_TRUE(ReadDeviceProperties(&store, "X", &device.info, &read));
    EXPECT_EQ(read.property, 0x11);
    EXPECT_EQ(read.waitTimer, 10000u);
    EXPECT_STREQ(read.favoriteName, "abcd");
    EXPECT_EQ(read.applicationCount, 2u) << "the count names no more paths than the block holds";
    ASSERT_EQ(read.applicationSize, 7u);
    EXPECT_EQ(std::memcmp(read.applicationList, "x\0yzw\0\0", 7), 0);
}

TEST_F(SettingsStoreTest, PlainStringApplicationPathBecomesAMultiStringOnFirstRead) {
    SettingsStore store = SettingsStoreFromLocation(scratch.location().c_str());
    ASSERT_TRUE(WriteDeviceIdentity(&store, "Old", &device.info));
    HKEY k = DeviceKey(store, "Old");
    const char path[] = "C:\\Tools\\scan.exe";
    RegSetValueExA(k, "ApplicationPath", 0, REG_SZ, reinterpret_cast<const BYTE*>(path), sizeof path);
    ASSERT_TRUE(ReadDeviceProperties(&store, "Old", &device.info, &read));
    EXPECT_EQ(read.applicationCount, 1u);
    EXPECT_EQ(read.applicationSize, std::strlen(path) + 2);
    DWORD type = 0;
    char stored[64] = {};
    DWORD count = 0;
    EXPECT_TRUE(scratch.Read("Device\\Old", "ApplicationPath", stored, sizeof path + 1, &type));
    EXPECT_EQ(type, static_cast<DWORD>(REG_MULTI_SZ));
    EXPECT_TRUE(scratch.Read("Device\\Old", "ApplicationCount", &count, 4));
    EXPECT_EQ(count, 1u);

    const char empty[] = "";
    RegSetValueExA(k, "ApplicationPath", 0, REG_SZ, reinterpret_cast<const BYTE*>(empty), 1);
    ASSERT_TRUE(ReadDeviceProperties(&store, "Old", &device.info, &read));
    EXPECT_EQ(read.applicationList, nullptr);
    EXPECT_EQ(read.applicationCount, 0u);
    EXPECT_EQ(read.applicationSize, 0u);
}

}  // namespace
