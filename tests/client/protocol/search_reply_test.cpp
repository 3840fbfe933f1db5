// Taking search replies apart: version gate and level, fixed texts, extra data kinds, short
// replies and the model table.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "search_reply.h"
#include "search_reply_builder.h"

namespace {

SearchReply Parse(const ReplyBuilder& builder) {
    SearchReply reply;
    EXPECT_TRUE(ParseSearchReply(builder.data(), builder.size(), &reply));
    return reply;
}

TEST(SearchReplyVersion, GateAndLevelFollowMajorAndMinor) {
    struct Case {
        const char* text;
        bool accepted;
        uint16_t level;
    } cases[] = {
        {"Ver 2.1.0", false, 1}, {"Ver 3.0.0", false, 4}, {"Ver 2.2.0", true, 2},
        {"Ver 2.3.5", true, 3},  {"Ver 2.4.0", true, 4},  {"Ver 3.2.0", true, 4},
    };
    for (const Case& c : cases) {
        SearchReply reply = Parse(ReplyBuilder().Version(c.text));
        ASSERT_TRUE(reply.versionValid) << c.text;
        EXPECT_EQ(ReplyVersionAccepted(reply.version), c.accepted) << c.text;
        if (c.accepted) {
            EXPECT_EQ(RwpLevel(reply.version), c.level) << c.text;
        }
    }
}

TEST(SearchReplyVersion, FieldsAreHexadecimalAndThreeAreNeeded) {
    ReplyVersion version;
    ASSERT_TRUE(ParseReplyVersion("Ver 2.0A.1f", 16, &version));
    EXPECT_EQ(version.major, 2u);
    EXPECT_EQ(version.minor, 10u);
    EXPECT_EQ(version.build, 31u);
    // An unreadable field reads as 0; two fields are not a version.
    ASSERT_TRUE(ParseReplyVersion("Ver 2.x.1", 16, &version));
    EXPECT_EQ(version.minor, 0u);
    EXPECT_FALSE(ParseReplyVersion("Ver 2.4", 16, &version));
    EXPECT_FALSE(ParseReplyVersion("Ver 2..4", 16, &version));
    // Without the prefix the server is of the first generation, which the gate refuses.
    ASSERT_TRUE(ParseReplyVersion("2.4.0", 16, &version));
    EXPECT_EQ(version.major, 1u);
    EXPECT_FALSE(ReplyVersionAccepted(version));
    SearchReply reply = Parse(ReplyBuilder().Version("2.4.0"));
    EXPECT_FALSE(ReplyVersionAccepted(reply.version));
}

TEST(SearchReplyFields, AreReadAtTheirOffsets) {
    SearchReply reply = Parse(ReplyBuilder()
                                  .Mac({0xDE, 0xAD, 0xBE, 0xEF, 0x00, 0x01})
                                  .Ipv4(10, 77, 0, 42)
                                  .Flags(0x0300)
                                  .FunctionFlags(0x0290)
                                  .Host("printer-room")
                                  .Model("ZK-9000")
                                  .Storage(true));
    EXPECT_EQ(reply.type, kSearchReplyType);
    EXPECT_EQ(reply.rule, 0x9506);
    const uint8_t mac[6] = {0xDE, 0xAD, 0xBE, 0xEF, 0x00, 0x01};
    EXPECT_EQ(std::memcmp(reply.hardwareAddress, mac, 6), 0);
    const uint8_t ip[4] = {10, 77, 0, 42};
    EXPECT_EQ(std::memcmp(reply.ipv4, ip, 4), 0);
    EXPECT_EQ(reply.flags, 0x0300);
    EXPECT_EQ(reply.functionFlags, 0x0290);  // little-endian on the wire
    EXPECT_STREQ(reply.hostName, "printer-room");
    EXPECT_STREQ(reply.model, "ZK-9000");
    EXPECT_TRUE(reply.storage);
    EXPECT_STREQ(reply.versionText, "Ver 2.4.0");
}

TEST(SearchReplyFields, FixedTextsStayInsideTheirFields) {
    ReplyBuilder builder;
    // A model that fills its 16 bytes: its last byte is the storage flag, not a character.
    builder.Text(kReplyModelOffset, "ABCDEFGHIJKLMNOQ", 16);
    builder.Text(kReplyHostOffset, "0123456789abcdefXYZ", 19);
    // A version text that runs into the function flags.
    builder.Text(kReplyVersionOffset, "Ver 2.4.0123", 10).FunctionFlags(0x4141);
    SearchReply reply = Parse(builder);
    EXPECT_STREQ(reply.model, "ABCDEFGHIJKLMNO");
    EXPECT_TRUE(reply.storage);  // 'Q' is odd
    EXPECT_STREQ(reply.hostName, "0123456789abcde");
    EXPECT_STREQ(reply.versionText, "Ver 2.4.01");
    EXPECT_EQ(reply.version.build, 1u);
}

TEST(SearchReplyExtra, RawKindForTheRawRuleOnlyPastOffset164) {
    ReplyBuilder builder;
    builder.Rule(kRuleRawExtra).Length(200);
    for (size_t i = 164; i < 200; ++i) builder.Byte(i, static_cast<uint8_t>(i));
    SearchReply reply = Parse(builder);
    EXPECT_EQ(reply.extraKind, kExtraRaw);
    ASSERT_EQ(reply.extraLength, 36u);
    EXPECT_EQ(reply.extra[0], 164);
    EXPECT_EQ(reply.extra[35], 199);

    EXPECT_EQ(Parse(ReplyBuilder().Rule(kRuleRawExtra).Length(164)).extraLength, 0u);
    EXPECT_EQ(Parse(ReplyBuilder().Rule(kRuleRawExtra).Length(512)).extraLength, 64u);
}

TEST(SearchReplyExtra, SevenBytesWhenTheKindByteIsOne) {
    ReplyBuilder builder;
    builder.Byte(kReplyKindZeroOffset, 0).Byte(kReplyKindOffset, 1);
    for (size_t i = 1; i < 7; ++i) builder.Byte(kReplyKindOffset + i, static_cast<uint8_t>(0xA0 + i));
    SearchReply reply = Parse(builder);
    EXPECT_EQ(reply.extraKind, kExtraSeven);
    ASSERT_EQ(reply.extraLength, 7u);
    EXPECT_EQ(reply.extra[0], 1);
    EXPECT_EQ(reply.extra[6], 0xA6);
    EXPECT_STREQ(reply.firmware, "");
}

TEST(SearchReplyExtra, SixtyFourBytesAndFirmwareFromVersion24On) {
    ReplyBuilder builder;
    builder.Text(kReplyFirmwareOffset, "1.02.0003-build-XYZ", 16);
    for (size_t i = 0; i < 64; ++i) builder.Byte(kReplyExtra2Offset + i, static_cast<uint8_t>(i + 1));
    SearchReply reply = Parse(builder);
    EXPECT_EQ(reply.extraKind, kExtraSixtyFour);
    ASSERT_EQ(reply.extraLength, 64u);
    EXPECT_EQ(reply.extra[63], 64);
    EXPECT_STREQ(reply.firmware, "1.02.0003-build");

    EXPECT_EQ(Parse(ReplyBuilder(builder).Version("Ver 3.2.0")).extraKind, kExtraSixtyFour);
    SearchReply older = Parse(ReplyBuilder(builder).Version("Ver 2.3.0"));
    EXPECT_EQ(older.extraLength, 0u);
    EXPECT_STREQ(older.firmware, "");
    EXPECT_EQ(Parse(ReplyBuilder(builder).Length(164)).extraLength, 0u);
}

TEST(SearchReplyShort, MissingBytesReadAsZero) {
    SearchReply reply;
    const uint8_t three[3] = {0, 2, 0x95};
    EXPECT_FALSE(ParseSearchReply(three, sizeof three, &reply));
    EXPECT_FALSE(ParseSearchReply(nullptr, 100, &reply));

    // Cut inside the version text: the reply is kept but has no version the gate takes.
    ReplyBuilder builder;
    builder.Length(75);
    ASSERT_TRUE(ParseSearchReply(builder.data(), builder.size(), &reply));
    EXPECT_STREQ(reply.versionText, "Ver");
    EXPECT_STREQ(reply.hostName, "");
    EXPECT_FALSE(ReplyVersionAccepted(reply.version));

    // A reply of 170 bytes: kind 2, the extra bytes past the end are zero.
    ReplyBuilder cut;
    for (size_t i = 164; i < 244; ++i) cut.Byte(i, 0x55);
    cut.Length(170);
    ASSERT_TRUE(ParseSearchReply(cut.data(), cut.size(), &reply));
    EXPECT_EQ(reply.extraKind, kExtraSixtyFour);
    EXPECT_EQ(reply.extra[0], 0);
}

TEST(ModelTable, WirelessModelsIgnoreTheirFlags) {
    uint16_t function = 0xFFFF;
    uint16_t status = 0xFFFF;
    for (const char* model : {"ZK-5260TD", "M-2150K", "T-5820K", "Braidmesh"}) {
        ModelTableWords(model, 0x80 | 0x10 | 0x2, &function, &status);
        EXPECT_EQ(function, kServerFunctionWireless) << model;
        EXPECT_EQ(status, 0) << model;
    }
    // Only an exact name counts.
    ModelTableWords("braidmesh", 0, &function, &status);
    EXPECT_EQ(function, 0);
}

TEST(ModelTable, FlagsCountOnlyWithTheValidBit) {
    uint16_t function = 0;
    uint16_t status = 0;
    ModelTableWords("QZ-100", 0x10 | 0x8 | 0x200 | 0x1 | 0x2, &function, &status);
    EXPECT_EQ(function, 0);
    EXPECT_EQ(status, 0);
    ModelTableWords("QZ-100", 0x80 | 0x10 | 0x2, &function, &status);
    EXPECT_EQ(function, kServerFunctionEncryption);
    EXPECT_EQ(status, kServerStatusOverCurrent);
    ModelTableWords("QZ-100", 0x80 | 0x8 | 0x200 | 0x1, &function, &status);
    EXPECT_EQ(function, kServerFunctionWireless | kServerFunctionKeepAlive | kServerFunctionAccessPoint);
    EXPECT_EQ(status, 0);
}

}  // namespace
