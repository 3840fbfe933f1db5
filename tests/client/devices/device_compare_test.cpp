#include "device_compare.h"

#include <gtest/gtest.h>

#include "device_heap.h"
#include "device_reply_builder.h"

namespace {

// Records as the parser makes them, from one reply entry each (merged when composite).
ParsedDeviceList Records(DeviceListForm form, std::initializer_list<ReplyDevice> devices) {
    DeviceReply reply(form);
    for (const ReplyDevice& d : devices) reply.Add(d);
    return ParseUsbDeviceList(reply.bytes().data(), reply.bytes().size(), form, {});
}

TEST(CompareLocationLists, ItemsMatchFromTheirSecondCharacterIgnoringCase) {
    EXPECT_EQ(CompareLocationLists(2, "1M1,1M2", 2, "2m1,9x9"), kLocationsSame);
    EXPECT_EQ(CompareLocationLists(1, "1M1", 2, "1M1,1M2"), kLocationsPartial);
    EXPECT_EQ(CompareLocationLists(1, "1-1", 1, "1-2"), kLocationsDifferent);
    EXPECT_EQ(CompareLocationLists(0, "1-1", 1, "1-1"), kLocationsInvalid);
    EXPECT_EQ(CompareLocationLists(1, "", 1, "1-1"), kLocationsInvalid);
    EXPECT_EQ(CompareLocationLists(1, "1-1", 1, nullptr), kLocationsInvalid);
    // A count larger than the list has items reads only the items there are.
    EXPECT_EQ(CompareLocationLists(5, "1-1", 5, "1-1"), kLocationsSame);
}

TEST(IsSameDevice, NeedsTheSameLocationsNameAndIdsAndReportsAPartialOverlap) {
    ParsedDeviceList known = Records(DeviceListForm::Plain, {Device("1", "1-1", "Disk")});
    ParsedDeviceList same = Records(DeviceListForm::Plain, {Device("9", "1-1", "Disk")});
    ParsedDeviceList renamed = Records(DeviceListForm::Plain, {Device("1", "1-1", "disk")});
    ParsedDeviceList composite =
        Records(DeviceListForm::Plain, {Device("1", "1M1", "Disk"), Device("2", "1M2", "Disk")});
    ParsedDeviceList knownComposite = Records(DeviceListForm::Plain, {Device("1", "1M1", "Disk")});
    int partial = 0;
    EXPECT_TRUE(IsSameDevice(2, known[0], same[0], &partial));
    EXPECT_FALSE(IsSameDevice(2, known[0], renamed[0], &partial));
    EXPECT_EQ(partial, 0);
    EXPECT_FALSE(IsSameDevice(3, knownComposite[0], composite[0], &partial));
    EXPECT_EQ(partial, 1);
    EXPECT_TRUE(IsSameDevice(1, known[0], composite[0], nullptr));  // a level-1 server has one device
}

TEST(IsDeviceChanged, SeesEveryFieldTheClientShows) {
    ReplyDevice base = Device("1", "1-1");
    ParsedDeviceList known = Records(DeviceListForm::ExII, {base});
    EXPECT_FALSE(IsDeviceChanged(4, known[0], Records(DeviceListForm::ExII, {base})[0]));

    ReplyDevice used = base;
    used.user[0] = 10;
    ReplyDevice serial = base;
    serial.serial = "OTHER";
    ReplyDevice subclass = base;
    subclass.interfaceSubclass = 99;
    ReplyDevice port = base;
    port.port = "7";
    for (const ReplyDevice& d : {used, serial, subclass, port}) {
        EXPECT_TRUE(IsDeviceChanged(4, known[0], Records(DeviceListForm::ExII, {d})[0]));
    }
    // A serial or subclass array on one side only is a change too.
    EXPECT_TRUE(IsDeviceChanged(4, known[0], Records(DeviceListForm::Plain, {base})[0]));
    // Level 1 looks only at the user and the status.
    EXPECT_FALSE(IsDeviceChanged(1, known[0], Records(DeviceListForm::ExII, {port})[0]));
    EXPECT_TRUE(IsDeviceChanged(1, known[0], Records(DeviceListForm::ExII, {used})[0]));
}

TEST(UpdateDeviceRecord, TakesTheInterfaceCountWithTheArraysAndLeaksNothing) {
    long blocksBefore = DeviceHeapBlocksInUse();
    {
        ParsedDeviceList known = Records(DeviceListForm::ExII, {Device("1", "1M1")});
        ParsedDeviceList fresh = Records(DeviceListForm::ExII, {Device("1", "1M1"), Device("2", "1M2"), Device("3", "1M3")});
        known[0].statusEx = kDeviceStatusExWrongDisconnect;
        ASSERT_TRUE(UpdateDeviceRecord(4, &known[0], fresh[0]));
        EXPECT_EQ(known[0].interfaceCount, 3u);
        EXPECT_STREQ(known[0].locations, "1M1,1M2,1M3");
        EXPECT_EQ(known[0].interfaceSubclasses[2], 6);
        EXPECT_EQ(known[0].statusEx, 0);
        EXPECT_NE(known[0].locations, fresh[0].locations);  // a copy, not the fresh record's text
        EXPECT_FALSE(IsDeviceChanged(4, known[0], fresh[0]));

        ReplyDevice used = Device("1", "1M1", "Renamed");
        used.user[0] = 10;
        ParsedDeviceList level1 = Records(DeviceListForm::ExII, {used});
        ASSERT_TRUE(UpdateDeviceRecord(1, &known[0], level1[0]));
        EXPECT_EQ(known[0].status, kDeviceStatusOtherPc);
        EXPECT_STREQ(known[0].name, "Disk");  // level 1 takes only status and user
        EXPECT_EQ(known[0].interfaceCount, 3u);
    }
    EXPECT_EQ(DeviceHeapBlocksInUse(), blocksBefore);
}

TEST(IsDisplayLinkDevice, KnowsTheVendorsDisplayProducts) {
    EXPECT_TRUE(IsDisplayLinkDevice(0x17E9, 0x4300));
    EXPECT_TRUE(IsDisplayLinkDevice(0x17E9, 0x026F));
    EXPECT_FALSE(IsDisplayLinkDevice(0x17E9, 0x0001));
    EXPECT_FALSE(IsDisplayLinkDevice(0x17EA, 0x4300));
}

}  // namespace
