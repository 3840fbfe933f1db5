#include "device_list_parse.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "device_heap.h"
#include "device_reply_builder.h"

namespace {

constexpr DeviceListForm kForms[] = {DeviceListForm::Plain, DeviceListForm::Ex, DeviceListForm::ExII};

uint32_t Address(uint8_t a, uint8_t b, uint8_t c, uint8_t d) {
    uint8_t bytes[4] = {a, b, c, d};
    uint32_t value;
    std::memcpy(&value, bytes, 4);
    return value;
}

ParsedDeviceList Parse(const DeviceReply& reply, const DeviceListContext& context = {}) {
    return ParseUsbDeviceList(reply.bytes().data(), reply.bytes().size(), reply.form(), context);
}

TEST(DeviceListParse, EachFormGivesTheRecordItsLayoutCarries) {
    for (DeviceListForm form : kForms) {
        SCOPED_TRACE(static_cast<int>(form));
        ReplyDevice d = Device("1", "1-1", "Disk");
        d.vid = 0x04B8;
        d.pid = 0x0202;
        d.interfaceClass = 7;
        d.interfaceSubclass = 1;
        ParsedDeviceList list = Parse(DeviceReply(form).Add(d));
        ASSERT_EQ(list.size(), 1u);
        const UsbDeviceInfo& r = list[0];
        EXPECT_STREQ(r.name, "Disk");
        EXPECT_STREQ(r.ports, "1");
        EXPECT_STREQ(r.locations, "1-1");
        EXPECT_EQ(r.vid, 0x04B8);
        EXPECT_EQ(r.pid, 0x0202);
        ASSERT_EQ(r.interfaceCount, 1u);
        EXPECT_EQ(r.interfaceClasses[0], 7);
        EXPECT_EQ(r.status, kDeviceStatusFree);
        if (form == DeviceListForm::ExII) {
            ASSERT_NE(r.interfaceSubclasses, nullptr);
            EXPECT_EQ(r.interfaceSubclasses[0], 1);
        } else {
            EXPECT_EQ(r.interfaceSubclasses, nullptr);
        }
        if (form == DeviceListForm::Plain) {
            EXPECT_EQ(r.serial, nullptr);
        } else {
            EXPECT_STREQ(r.serial, "SN0001");
        }
    }
}

TEST(DeviceListParse, SeveralDevicesKeepTheirOrderAndSerialPortsAndEmptyLocationsAreSkipped) {
    for (DeviceListForm form : kForms) {
        SCOPED_TRACE(static_cast<int>(form));
        DeviceReply reply(form);
        reply.Add(Device("1", "1-1", "Printer"))
            .Add(Device("2", "R1-2", "Modem"))
            .Add(Device("3", "", "Ghost"))
            .Add(Device("4", "r1-4", "Modem 2"))
            .Add(Device("5", "1-5", "Scanner"));
        ParsedDeviceList list = Parse(reply);
        ASSERT_EQ(list.size(), 2u);
        EXPECT_STREQ(list[0].name, "Printer");
        EXPECT_STREQ(list[1].name, "Scanner");
        EXPECT_STREQ(list[1].ports, "5");
    }
}

TEST(DeviceListParse, InterfacesOfOneCompositeDeviceFoldIntoOneRecord) {
    ReplyDevice a = Device("a", "1M1", "Combo");
    a.interfaceClass = 7;
    a.interfaceSubclass = 1;
    ReplyDevice b = Device("b", "1M2", "Combo");
    b.interfaceClass = 8;
    b.interfaceSubclass = 6;
    b.user[0] = 10, b.user[1] = 77, b.user[2] = 0, b.user[3] = 9;  // the second interface is in use
    ReplyDevice other = Device("c", "1M3", "Other");
    other.pid = 0x9999;  // same location prefix, other ids: its own device
    ParsedDeviceList list = Parse(DeviceReply(DeviceListForm::ExII).Add(a).Add(b).Add(other));
    ASSERT_EQ(list.size(), 2u);
    const UsbDeviceInfo& r = list[0];
    EXPECT_STREQ(r.ports, "a,b");
    EXPECT_STREQ(r.locations, "1M1,1M2");
    ASSERT_EQ(r.interfaceCount, 2u);
    EXPECT_EQ(r.interfaceClasses[0], 7);
    EXPECT_EQ(r.interfaceClasses[1], 8);
    EXPECT_EQ(r.interfaceSubclasses[0], 1);
    EXPECT_EQ(r.interfaceSubclasses[1], 6);
    EXPECT_EQ(r.status, kDeviceStatusOtherPc);  // the larger status wins
    EXPECT_EQ(r.userAddress, Address(10, 77, 0, 9));
    EXPECT_EQ(list[1].interfaceCount, 1u);
}

TEST(DeviceListParse, AnEncryptingServerClearsTheFunctionOfAMixedDevice) {
    ReplyDevice a = Device("a", "2M1");
    a.flags = kReplyFlagPresent | kReplyFlagEncryption;
    ReplyDevice b = Device("b", "2M2");
    b.flags = kReplyFlagPresent | kReplyFlagIsoep;  // no encryption on this interface
    DeviceListContext context;
    context.encryption = true;
    ParsedDeviceList list = Parse(DeviceReply(DeviceListForm::Plain).Add(a).Add(b), context);
    ASSERT_EQ(list.size(), 1u);
    EXPECT_EQ(list[0].function, 0);
    context.encryption = false;
    list = Parse(DeviceReply(DeviceListForm::Plain).Add(a).Add(b), context);
    EXPECT_EQ(list[0].function, kDeviceFunctionEncryption | kDeviceFunctionIsoep);
}

TEST(DeviceListParse, StatusFollowsTheFlagsAndWhoUsesTheDevice) {
    DeviceListContext context;
    context.ownAddress = Address(10, 77, 0, 2);
    context.localAddresses = {Address(192, 168, 1, 5)};
    struct Case {
        uint8_t user[4];
        uint16_t flags;
        uint16_t status;
        uint16_t function;
        uint16_t statusEx;
    } cases[] = {
        {{0, 0, 0, 0}, kReplyFlagIsoep, kDeviceStatusNoDevice, kDeviceFunctionIsoep, 0},
        {{10, 77, 0, 2}, kReplyFlagEncryption | kReplyFlagPermission, kDeviceStatusNoDevice, 0, 0},
        {{0, 0, 0, 0}, kReplyFlagPresent | kReplyFlagPermission | kReplyFlagEncrypted, kDeviceStatusFree, 0, 0},
        {{10, 77, 0, 2}, kReplyFlagPresent | kReplyFlagPermission | kReplyFlagEncrypted, kDeviceStatusConnected,
         kDeviceFunctionPermission, kDeviceStatusExEncryption},
        {{192, 168, 1, 5}, kReplyFlagPresent, kDeviceStatusConnected, 0, 0},
        {{10, 77, 0, 9}, kReplyFlagPresent | kReplyFlagPermission | kReplyFlagEncryption, kDeviceStatusOtherPc,
         kDeviceFunctionEncryption, 0},
    };
    for (const Case& c : cases) {
        ReplyDevice d;
        std::memcpy(d.user, c.user, 4);
        d.flags = c.flags;
        ParsedDeviceList list = Parse(DeviceReply(DeviceListForm::Plain).Add(d), context);
        ASSERT_EQ(list.size(), 1u);
        EXPECT_EQ(list[0].status, c.status) << int(c.user[3]) << " flags " << c.flags;
        EXPECT_EQ(list[0].function, c.function) << int(c.user[3]) << " flags " << c.flags;
        EXPECT_EQ(list[0].statusEx, c.statusEx) << int(c.user[3]) << " flags " << c.flags;
    }
}

TEST(DeviceListParse, NamesAreNormalisedAndAMissingNameIsMadeFromTheIds) {
    ReplyDevice spaced = Device("1", "1-1", "  Photo   Printer \r\n");
    ReplyDevice unnamed = Device("2", "1-2", "");
    unnamed.vid = 0x0a5c;
    unnamed.pid = 0xbeef;
    ParsedDeviceList list = Parse(DeviceReply(DeviceListForm::Plain).Add(spaced).Add(unnamed));
    ASSERT_EQ(list.size(), 2u);
    EXPECT_STREQ(list[0].name, " Photo Printer");
    EXPECT_STREQ(list[1].name, "VID [0x0A5C] PID [0xBEEF]");
}

TEST(DeviceListParse, FullWidthTextFieldsAreCutAtTheirWidthAndTerminated) {
    for (DeviceListForm form : {DeviceListForm::Ex, DeviceListForm::ExII}) {
        ReplyDevice d = Device("1", std::string(16, 'L').c_str());
        d.serial = std::string(100, 'S');  // fills the field without a terminator
        ParsedDeviceList list = Parse(DeviceReply(form).Add(d));
        ASSERT_EQ(list.size(), 1u);
        EXPECT_EQ(std::string(list[0].locations), std::string(16, 'L'));
        EXPECT_EQ(std::string(list[0].serial), std::string(form == DeviceListForm::Ex ? 64 : 80, 'S'));
    }
}

TEST(DeviceListParse, ACountWithoutItsEntriesKeepsWhatWasComplete) {
    EXPECT_TRUE(Parse(DeviceReply(DeviceListForm::Plain)).empty());
    EXPECT_TRUE(Parse(DeviceReply(DeviceListForm::Plain).Add(Device("1", "1-1")).Count(0)).empty());
    ParsedDeviceList list = Parse(DeviceReply(DeviceListForm::Ex).Add(Device("1", "1-1")).Count(200));
    EXPECT_EQ(list.size(), 1u);
    EXPECT_TRUE(ParseUsbDeviceList(nullptr, 10, DeviceListForm::Plain, {}).empty());
}

// Every prefix of a reply parses without reading past it, and yields exactly the devices
// whose entries it holds whole.
TEST(DeviceListParse, EveryTruncationKeepsTheWholeEntriesOnly) {
    long blocksBefore = DeviceHeapBlocksInUse();
    for (DeviceListForm form : kForms) {
        DeviceReply reply(form);
        std::vector<size_t> ends;
        const ReplyDevice devices[] = {Device("1", "1-1", "One"), Device("2", "R1-2", "Modem"), Device("3", "1-3", ""),
                                       Device("44", "4M1", "Combo"), Device("45", "4M2", "Combo")};
        for (const ReplyDevice& d : devices) {
            reply.Add(d);
            ends.push_back(reply.bytes().size());
        }
        const size_t wholeRecords[] = {1, 1, 2, 3, 3};  // records after each entry (merge, skip)
        const std::vector<uint8_t>& full = reply.bytes();
        for (size_t length = 0; length <= full.size(); ++length) {
            // A copy of exactly `length` bytes, so that a read past it is a read past the block.
            std::vector<uint8_t> prefix(full.begin(), full.begin() + static_cast<long>(length));
            ParsedDeviceList list = ParseUsbDeviceList(prefix.data(), prefix.size(), form, {});
            size_t expected = 0;
            for (size_t i = 0; i < ends.size(); ++i) {
                if (ends[i] <= length) expected = wholeRecords[i];
            }
            ASSERT_EQ(list.size(), expected) << "form " << static_cast<int>(form) << " length " << length;
            for (size_t i = 0; i < list.size(); ++i) {
                ASSERT_NE(list[i].name, nullptr);
                ASSERT_NE(list[i].locations, nullptr);
            }
            if (length >= ends[4]) {
                EXPECT_EQ(list[2].interfaceCount, 2u);
            }
        }
    }
    EXPECT_EQ(DeviceHeapBlocksInUse(), blocksBefore);
}

}  // namespace
