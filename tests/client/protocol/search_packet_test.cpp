// The search datagram's bytes and the acceptance of search replies.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "search_packet.h"

namespace {

std::vector<uint8_t> Reply(uint16_t type, uint16_t rule, size_t length = 244) {
    std::vector<uint8_t> bytes(length, 0);
    const uint8_t head[4] = {uint8_t(type >> 8), uint8_t(type), uint8_t(rule >> 8), uint8_t(rule)};
    std::memcpy(bytes.data(), head, length < 4 ? length : 4);
    return bytes;
}

TEST(SearchPacket, CarriesCommandAndRuleBigEndianAndNothingElse) {
    SearchPacket packet = BuildSearchPacket(0x9506);
    std::vector<uint8_t> expected(88, 0);
    expected[1] = 4;
    expected[2] = 0x95;
    expected[3] = 0x06;
    EXPECT_EQ(std::memcmp(&packet, expected.data(), 88), 0);
}

TEST(SearchReplyAcceptance, OnlyTypeTwoWithTheConfiguredRuleWithinTheBounds) {
    EXPECT_TRUE(AcceptSearchReply(Reply(2, 0x9506).data(), 244, 0x9506));
    EXPECT_TRUE(AcceptSearchReply(Reply(2, 0x1234, 4).data(), 4, 0x1234));
    // A rule that differs by any amount is refused.
    for (uint32_t rule = 0; rule <= 0xFFFF; ++rule) {
        if (rule == 0x9506) continue;
        std::vector<uint8_t> bytes = Reply(2, static_cast<uint16_t>(rule), 4);
        ASSERT_FALSE(AcceptSearchReply(bytes.data(), bytes.size(), 0x9506)) << std::hex << rule;
    }
    for (uint16_t type : {0, 1, 3, 4, 0x0200}) EXPECT_FALSE(AcceptSearchReply(Reply(type, 0x9506).data(), 244, 0x9506));
    std::vector<uint8_t> bytes = Reply(2, 0x9506, 600);
    EXPECT_TRUE(AcceptSearchReply(bytes.data(), 512, 0x9506));
    EXPECT_FALSE(AcceptSearchReply(bytes.data(), 513, 0x9506));
    EXPECT_FALSE(AcceptSearchReply(bytes.data(), 3, 0x9506));
    EXPECT_FALSE(AcceptSearchReply(nullptr, 244, 0x9506));
}

}  // namespace
