// The device exports as a caller sees them: records copied out and released, lookups, and
// copies into the caller's buffers that never run past them.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "device_test_support.h"
#include "registry_test_key.h"

namespace {

using DeviceExports = DeviceTest;

TEST_F(DeviceExports, InitAndFreeAnswerForTheRecordsGiven) {
    UsbDeviceInfo info;
    PropertyInfo property;
    std::memset(&info, 0xAB, sizeof info);
    EXPECT_EQ(PnxInitUsbDeviceInfo(service, nullptr, nullptr), 0);
    EXPECT_EQ(PnxInitUsbDeviceInfo(service, &info, nullptr), 1);
    EXPECT_EQ(info.name, nullptr);
    EXPECT_EQ(info.userPcName[0], '\0');
    EXPECT_EQ(PnxInitUsbDeviceInfo(service, nullptr, &property), 1);
    EXPECT_EQ(PnxFreeUsbDeviceInfo(service, nullptr, nullptr), 0);
    EXPECT_EQ(PnxFreeUsbDeviceInfo(service, &info, &property), 1);
}

TEST_F(DeviceExports, GetCopiesEverythingAndRepeatedGetsLeakNothing) {
    DeviceEntry* device = Create(Named("Disk"));
    ASSERT_NE(device, nullptr);
    long listed = DeviceHeapBlocksInUse();
    UsbDeviceInfo info = {};
    PropertyInfo property = {};
    std::strcpy(info.userPcName, "stale name");
    ASSERT_EQ(PnxGetUsbDeviceInfo(service, device, &info, &property), 1);
    // The device's user PC name is empty: the copy says so rather than keeping the old one.
    EXPECT_STREQ(info.userPcName, "");
    EXPECT_STREQ(info.name, "Disk");
    EXPECT_STREQ(info.serial, "SN0001");
    EXPECT_EQ(info.interfaceSubclasses[0], 6);
    EXPECT_STREQ(property.favoriteName, "Disk");
    EXPECT_NE(info.name, device->info->name);
    ASSERT_EQ(PnxGetUsbDeviceInfo(service, device, &info, &property), 1);
    ASSERT_EQ(PnxGetUsbDeviceInfo(service, device, nullptr, &property), 1);
    EXPECT_EQ(PnxFreeUsbDeviceInfo(service, &info, &property), 1);
    EXPECT_EQ(DeviceHeapBlocksInUse(), listed);
    EXPECT_EQ(PnxGetUsbDeviceInfo(service, nullptr, &info, &property), 0);
}

TEST_F(DeviceExports, EnumerationAndLookupFindListedDevicesOnly) {
    DeviceEntry* a = Create(Named("Disk", "1-1"));
    DeviceEntry* b = Create(Named("Printer", "1M1"));
    ASSERT_TRUE(a && b);
    HPnxDv found = nullptr;
    EXPECT_EQ(PnxEnumUsbDevices(service, server, 1, &found), 1);
    EXPECT_EQ(found, b);
    EXPECT_EQ(PnxEnumUsbDevices(service, server, 2, &found), 0);
    EXPECT_EQ(PnxEnumUsbDevices(service, nullptr, 0, &found), 0);

    DeviceLookup lookup = {};
    std::memcpy(lookup.hardwareAddress, server->record->info->hardwareAddress, 6);
    lookup.name = "PRINTER";
    lookup.locations = "1M";
    lookup.vid = 0x0A5C;
    lookup.pid = 0x0001;
    EXPECT_EQ(PnxGetHPnxDv(service, &lookup), b);
    lookup.pid = 2;
    EXPECT_EQ(PnxGetHPnxDv(service, &lookup), nullptr);
    lookup.pid = 1;
    lookup.hardwareAddress[5] ^= 0xFF;
    EXPECT_EQ(PnxGetHPnxDv(service, &lookup), nullptr);

    EXPECT_EQ(PnxSetDeviceParam(service, a, 0x1234), 1);
    EXPECT_EQ(PnxGetDeviceParam(service, a), 0x1234u);
    EXPECT_EQ(PnxGetDeviceParam(nullptr, a), 0u);
    a->connectAction = 4;
    EXPECT_EQ(PnxGetConnectAction(service, a), 4);
}

TEST_F(DeviceExports, InstanceIdsAreCopiedOnlyWithRoomForTheirTerminator) {
    DeviceEntry* device = Create(Named("Disk"));
    ASSERT_NE(device, nullptr);
    const std::string id = "USB\\VID_0A5C&PID_0001\\5&1";
    device->ids->deviceIds = {id};
    char buffer[64];
    std::memset(buffer, 'x', sizeof buffer);
    EXPECT_EQ(PnxEnumDeviceInstanceId(service, device, 0, buffer, static_cast<int>(id.size())), 0);
    EXPECT_EQ(buffer[0], 'x');
    EXPECT_EQ(PnxEnumDeviceInstanceId(service, device, 0, buffer, static_cast<int>(id.size() + 1)), 1);
    EXPECT_EQ(buffer, id);
    EXPECT_EQ(PnxEnumDeviceInstanceId(service, device, 1, buffer, sizeof buffer), 0);
    EXPECT_EQ(PnxEnumDeviceInstanceId(nullptr, device, 0, buffer, sizeof buffer), 0);
}

TEST_F(DeviceExports, TheDevicePathFitsMaxPathOrFails) {
    DeviceEntry* plain = Create(Named("Disk"));
    HKEY root = nullptr;
    char path[MAX_PATH + 8];
    EXPECT_EQ(PnxGetUsbDevicePath(service, plain, &root, path), 0);  // no registry store

    RegistryTestKey key("DevicePath");
    UseStore(key.location());
    DeviceEntry* device = Create(Named("Disk", "2-1"));
    ASSERT_NE(device, nullptr);
    ASSERT_EQ(PnxGetUsbDevicePath(service, device, &root, path), 1);
    EXPECT_EQ(root, HKEY_CURRENT_USER);
    std::string expected = key.location().substr(4) + "\\Device\\" +
                           FormatDeviceKey(server->record->info->hardwareAddress, *device->info);
    EXPECT_EQ(std::string(path), expected);

    DeviceEntry* longName = Create(Named(std::string(MAX_PATH, 'N').c_str(), "2-2"));
    ASSERT_NE(longName, nullptr);
    std::memset(path, 'x', sizeof path);
    EXPECT_EQ(PnxGetUsbDevicePath(service, longName, &root, path), 0);
    EXPECT_EQ(path[MAX_PATH], 'x');
}

TEST_F(DeviceExports, StoringSettingsWithoutReconnectDropsTheWaitingReconnect) {
    DeviceEntry* device = Create(Named("Disk"));
    ASSERT_NE(device, nullptr);
    device->pending = kPendingAutoConnect | kPendingAutoPrinter;
    device->info->statusEx = kDeviceStatusExWrongDisconnect;
    PropertyInfo property = {};
    property.favoriteName = const_cast<char*>("Renamed");
    property.property = kPropertyReconnect;
    property.printer = kPrinterAutoPrinter;
    ASSERT_EQ(PnxSetUsbDeviceInfo(service, device, &property), 1);
    EXPECT_EQ(device->pending, kPendingAutoConnect | kPendingAutoPrinter);  // still asked for
    EXPECT_STREQ(device->property->favoriteName, "Renamed");
    EXPECT_NE(device->property->favoriteName, property.favoriteName);

    property.property = 0;
    property.printer = 0;
    ASSERT_EQ(PnxSetUsbDeviceInfo(service, device, &property), 1);
    EXPECT_EQ(device->pending, 0);
    EXPECT_EQ(device->info->statusEx, 0);
    EXPECT_EQ(device->info->previousStatusEx & kDeviceStatusExWrongDisconnect, kDeviceStatusExWrongDisconnect);
    EXPECT_EQ(PnxSetUsbDeviceInfo(service, device, nullptr), 0);
}

TEST_F(DeviceExports, DefaultPropertiesRoundTripAndTheExtendedTableCopiesWholeEntriesOnly) {
    PropertyInfo defaults = {};
    ASSERT_EQ(PnxGetDefaultPropertyInfo(service, &defaults), 1);
    EXPECT_EQ(defaults.waitTimer, kDefaultWaitTimer);
    EXPECT_EQ(defaults.comPortNumber, kDefaultComPortNumber);
    uint8_t block[4] = {'a', 0, 0, 0};
    defaults.property = 9;
    defaults.applicationList = block;
    defaults.applicationSize = sizeof block;
    defaults.favoriteName = const_cast<char*>("not stored");
    ASSERT_EQ(PnxSetDefaultPropertyInfo(service, &defaults), 1);
    PropertyInfo back = {};
    ASSERT_EQ(PnxGetDefaultPropertyInfo(service, &back), 1);
    EXPECT_EQ(back.property, 9);
    EXPECT_EQ(back.favoriteName, nullptr);
    ASSERT_NE(back.applicationList, block);
    EXPECT_EQ(std::memcmp(back.applicationList, block, sizeof block), 0);
    PnxFreeUsbDeviceInfo(service, nullptr, &back);
    EXPECT_EQ(PnxGetDefaultPropertyInfo(service, nullptr), 0);

    PropertyInfoEx table[3] = {};
    for (int i = 0; i < 3; ++i) table[i].vid = static_cast<uint16_t>(i + 1);
    uint32_t value = 99;
    ASSERT_EQ(PnxSetDefaultPropertyInfoEx(service, table, 3, 2 * sizeof(PropertyInfoEx) + 7), 1);
    ASSERT_EQ(PnxGetDefaultPropertyInfoEx(service, nullptr, 0, &value), 1);
    ASSERT_EQ(value, 2 * sizeof(PropertyInfoEx) + 7);
    std::vector<uint8_t> buffer(value, 0xEE);
    ASSERT_EQ(PnxGetDefaultPropertyInfoEx(service, buffer.data(), 0, &value), 1);
    PropertyInfoEx second;
    std::memcpy(&second, buffer.data() + sizeof(PropertyInfoEx), sizeof second);
    EXPECT_EQ(second.vid, 2);
    for (size_t i = 2 * sizeof(PropertyInfoEx); i < buffer.size(); ++i) EXPECT_EQ(buffer[i], 0xEE) << i;

    ASSERT_EQ(PnxSetDefaultPropertyInfoEx(service, nullptr, 0, 500), 1);
    ASSERT_EQ(PnxGetDefaultPropertyInfoEx(service, nullptr, 0, &value), 1);
    EXPECT_EQ(value, 0u);
}

}  // namespace
