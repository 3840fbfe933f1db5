// The data of the connect and disconnect commands, byte for byte, and the field limit.
#include <gtest/gtest.h>

#include <winsock2.h>

#include <string>
#include <vector>

#include "connect_command.h"

namespace {

ConnectCommand Command(uint16_t level, uint16_t function, uint16_t flags, const char* port = "1") {
    ConnectCommand c;
    c.address = htonl(0x0A4D0001);
    c.protocolPort = 0x1234;
    c.level = level;
    const uint8_t mac[6] = {0x00, 0x80, 0x92, 0x01, 0x02, 0x03};
    memcpy(c.hardwareAddress, mac, 6);
    c.serverFunction = function;
    c.port = port;
    c.flags = flags;
    return c;
}

TEST(ConnectCommandData, LaysOutTheFixedPartAndTheParametersOfEachForm) {
    const ConnectExtension extension = {0x0102, 0x03040506};
    struct Case {
        const char* what;
        ConnectCommand command;
        bool connect;
        const ConnectExtension* extension;
        std::vector<uint8_t> params;
    } cases[] = {
        {"level 1 connect: the port only", Command(1, 0, 0), true, nullptr, {'1'}},
        {"disconnect: the port only", Command(4, 4, 4), false, &extension, {'1'}},
        {"level 2, no keep-alive", Command(2, 0, 0), true, nullptr, {'1', 0, 0x12, 0x34, 0x00}},
        {"server flag and keep-alive", Command(3, 4, kCommandFlagServerFlag), true, nullptr,
         {'1', 0, 0x12, 0x34, 0x03, 0xC0, 0x53}},
        {"level 4 extension", Command(4, 0, 0), true, &extension, {'1', 0, 0x12, 0x34, 0x00, 1, 2, 3, 4, 5, 6}},
    };
    for (const Case& c : cases) {
        uint8_t prefix[12];
        std::vector<uint8_t> params;
        ASSERT_TRUE(BuildConnectCommandData(c.command, c.connect, c.extension, prefix, &params)) << c.what;
        const uint8_t expectedPrefix[12] = {1, 6, 0x00, 0x80, 0x92, 0x01, 0x02, 0x03, 10, 77, 0, 1};
        EXPECT_EQ(0, memcmp(prefix, expectedPrefix, 12)) << c.what;
        EXPECT_EQ(params, c.params) << c.what;
    }
}

TEST(ConnectCommandData, APortNameThatWouldOverflowTheCommandFieldIsRefused) {
    uint8_t prefix[12];
    std::vector<uint8_t> params;
    // "EXEC SCANNER CONNECT:" (21) + 12 + port + 4 parameter bytes must fit 80.
    EXPECT_TRUE(BuildConnectCommandData(Command(2, 0, 0, std::string(43, 'p').c_str()), true, nullptr, prefix, &params));
    EXPECT_FALSE(BuildConnectCommandData(Command(2, 0, 0, std::string(44, 'p').c_str()), true, nullptr, prefix, &params));
}

}  // namespace
