#include "usb_device_info.h"

#include <gtest/gtest.h>

#include <cstring>

#include "device_heap.h"

namespace {

TEST(DeviceKey, NamesTheDeviceByIdsServerLocationsAndName) {
    UsbDeviceInfo info = {};
    info.vid = 0x0A5C;
    info.pid = 0x0001;
    info.locations = const_cast<char*>("1-1");
    info.name = const_cast<char*>("Disk");
    const uint8_t hardware[6] = {0x00, 0x11, 0x22, 0x33, 0x44, 0x55};
    EXPECT_EQ(FormatDeviceKey(hardware, info), "0A5C0001&001122334455&1-1&Disk");
    info.locations = nullptr;
    info.name = nullptr;
    EXPECT_EQ(FormatDeviceKey(hardware, info), "0A5C0001&001122334455&&");
}

TEST(ListItems, AreFoundByIndexAndMissingOnesFail) {
    std::string item;
    EXPECT_TRUE(GetListItem("a,bb,", 1, &item));
    EXPECT_EQ(item, "bb");
    EXPECT_TRUE(GetListItem("a,bb,", 2, &item));
    EXPECT_EQ(item, "");
    EXPECT_FALSE(GetListItem("a,bb,", 3, &item));
    EXPECT_FALSE(GetListItem("", 0, &item));
    EXPECT_FALSE(GetListItem(nullptr, 0, &item));
    EXPECT_TRUE(IsComPortLocation("r1"));
    EXPECT_FALSE(IsComPortLocation("1R"));
    EXPECT_FALSE(IsComPortLocation(nullptr));
}

TEST(DeviceRecordCopies, AreDeepAndFreeEverything) {
    long blocksBefore = DeviceHeapBlocksInUse();
    uint16_t classes[2] = {7, 8};
    uint8_t block[6] = {'a', 0, 'b', 0, 0, 0};
    UsbDeviceInfo info = {};
    info.name = const_cast<char*>("Disk");
    info.ports = const_cast<char*>("1,2");
    info.locations = const_cast<char*>("1M1,1M2");
    info.interfaceClasses = classes;
    info.interfaceCount = 2;
    info.comPort = 3;
    std::strcpy(info.userPcName, "PC");
    PropertyInfo property = {};
    property.favoriteName = const_cast<char*>("Mine");
    property.applicationList = block;
    property.applicationSize = sizeof block;
    property.waitTimer = 5000;

    UsbDeviceInfo infoCopy = {};
    PropertyInfo propertyCopy = {};
    ASSERT_TRUE(CopyUsbDeviceInfo(&infoCopy, info));
    ASSERT_TRUE(CopyPropertyInfo(&propertyCopy, property, true));
    EXPECT_NE(infoCopy.ports, info.ports);
    EXPECT_STREQ(infoCopy.locations, "1M1,1M2");
    EXPECT_EQ(infoCopy.interfaceClasses[1], 8);
    EXPECT_EQ(infoCopy.interfaceSubclasses, nullptr);
    EXPECT_EQ(infoCopy.serial, nullptr);
    EXPECT_STREQ(infoCopy.userPcName, "PC");
    EXPECT_EQ(infoCopy.comPort, 3);
    EXPECT_EQ(std::memcmp(propertyCopy.applicationList, block, sizeof block), 0);
    EXPECT_STREQ(propertyCopy.favoriteName, "Mine");
    EXPECT_EQ(propertyCopy.waitTimer, 5000u);

    PropertyInfo withoutName = {};
    ASSERT_TRUE(CopyPropertyInfo(&withoutName, property, false));
    EXPECT_EQ(withoutName.favoriteName, nullptr);

    // A size without a block is not carried over.
    PropertyInfo sizeOnly = {};
    sizeOnly.applicationSize = 400;
    PropertyInfo sizeOnlyCopy = {};
    ASSERT_TRUE(CopyPropertyInfo(&sizeOnlyCopy, sizeOnly, true));
    EXPECT_EQ(sizeOnlyCopy.applicationSize, 0u);

    FreeUsbDeviceInfoParts(&infoCopy);
    FreePropertyInfoParts(&propertyCopy);
    FreePropertyInfoParts(&withoutName);
    EXPECT_EQ(infoCopy.name, nullptr);
    EXPECT_EQ(infoCopy.interfaceClasses, nullptr);
    EXPECT_EQ(propertyCopy.applicationList, nullptr);
    EXPECT_EQ(DeviceHeapBlocksInUse(), blocksBefore);
}

}  // namespace
