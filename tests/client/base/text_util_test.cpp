#include "text_util.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>

TEST(ParseNumber, DigitsBasesAndTheDigitThatEndsTheNumber) {
    EXPECT_EQ(ParseNumber("1234", 10), 1234);
    EXPECT_EQ(ParseNumber("C0a8", 16), 0xC0A8);
    EXPECT_EQ(ParseNumber("1011", 2), 11);
    EXPECT_EQ(ParseNumber("129", 8), 012);  // 9 above the base ends it
    EXPECT_EQ(ParseNumber("178", 8), 017);  // and so does a digit equal to the base
    EXPECT_EQ(ParseNumber("10a", 10), 10);
    EXPECT_EQ(ParseNumber("", 10), 0);
    EXPECT_EQ(static_cast<unsigned long>(ParseNumber("FFFFFFFF", 16)), 0xFFFFFFFFul);
}

TEST(ParseNumber, BadBaseOrNonHexCharacterIsMinusOne) {
    EXPECT_EQ(ParseNumber("12", 0), -1);
    EXPECT_EQ(ParseNumber("12", -16), -1);
    EXPECT_EQ(ParseNumber("12x", 16), -1);
    EXPECT_EQ(ParseNumber(" 12", 10), -1);
    EXPECT_EQ(ParseNumber(nullptr, 10), -1);
}

TEST(ReplaceHeapString, CopiesNBytesAndKeepsTheOldOneOnFailure) {
    char* s = nullptr;
    EXPECT_EQ(ReplaceHeapString(&s, "hello world", 5), 5u);
    EXPECT_STREQ(s, "hello");
    EXPECT_EQ(ReplaceHeapString(&s, nullptr, 4), 0u);
    EXPECT_EQ(ReplaceHeapString(&s, "new", 0), 0u);
    EXPECT_STREQ(s, "hello");
    HeapFree(GetProcessHeap(), 0, s);
}

TEST(FormatU16Run, StepOneIsAByteDumpAndWideStepsLeaveBlankGaps) {
    const uint8_t in[] = {0xAB, 0xCD, 0xEF, 0x00, 0x02, 0xFF};
    char out[32];
    EXPECT_EQ(FormatU16Run(in, 3, 1, "%04x", out, sizeof out), 6u);
    EXPECT_STREQ(out, "abcdef");
    EXPECT_EQ(FormatU16Run(in, 5, 2, "%04x", out, sizeof out), 8u);  // odd last byte: no value
    EXPECT_STREQ(out, "abcdef00");
    EXPECT_EQ(FormatU16Run(in, 6, 3, "%04x", out, sizeof out), 13u);
    EXPECT_STREQ(out, "abcd     0002");
}

TEST(FormatU16Run, StaysInsideInputAndOutput) {
    const uint8_t in[] = {0x11, 0x22, 0x33, 0x44, 0x55, 0x66};
    char out[16];
    std::memset(out, '#', sizeof out);
    EXPECT_EQ(FormatU16Run(in, sizeof in, 2, "%04x", out, 9), 8u);  // third value doesn't fit
    EXPECT_STREQ(out, "11223344");
    EXPECT_EQ(out[9], '#');
    std::memset(out, '#', sizeof out);
    EXPECT_EQ(FormatU16Run(in, sizeof in, 2, "%04x", out, 4), 0u);
    EXPECT_STREQ(out, "");
    EXPECT_EQ(out[4], '#');
    EXPECT_EQ(FormatU16Run(in, 1, 1, "%04x", out, sizeof out), 0u);  // half a value
    EXPECT_EQ(FormatU16Run(in, sizeof in, 0, "%04x", out, sizeof out), 0u);
}

TEST(HexTextToBytes, PairsWithinLengthAndOutput) {
    uint8_t out[8] = {};
    ASSERT_EQ(HexTextToBytes("00a0B1ff", 8, out, sizeof out), 4u);
    EXPECT_EQ(out[1], 0xA0);
    EXPECT_EQ(out[2], 0xB1);
    EXPECT_EQ(out[3], 0xFF);
    EXPECT_EQ(HexTextToBytes("123", 3, out, sizeof out), 1u);
    EXPECT_EQ(HexTextToBytes("aabbccdd", 8, out, 2), 2u);
    EXPECT_EQ(HexTextToBytes("11zz22", 6, out, sizeof out), 1u);
}

TEST(FormatAddressText, HardwareAndIpv4Texts) {
    const uint8_t mac[6] = {0x00, 0x80, 0x92, 0xAB, 0x0C, 0xFF};
    const uint8_t ip[4] = {10, 77, 0, 255};
    uint32_t networkOrder;
    std::memcpy(&networkOrder, ip, 4);
    EXPECT_EQ(HardwareAddressText(mac), "00:80:92:AB:0C:FF");
    EXPECT_EQ(Ipv4Text(networkOrder), "10.77.0.255");
}

TEST(FormatAddressText, CopiesOnlyWhenItFitsAndTheKindIsKnown) {
    const uint8_t mac[6] = {1, 2, 3, 4, 5, 6};
    char out[18] = "untouched";
    EXPECT_EQ(FormatAddressText(kAddressHardware, mac, out, 17), 0);  // no room for the NUL
    EXPECT_EQ(FormatAddressText(3, mac, out, sizeof out), 0);
    EXPECT_EQ(FormatAddressText(kAddressHardware, nullptr, out, sizeof out), 0);
    EXPECT_STREQ(out, "untouched");
    EXPECT_EQ(FormatAddressText(kAddressHardware, mac, out, 18), 1);
    EXPECT_STREQ(out, "01:02:03:04:05:06");
}
