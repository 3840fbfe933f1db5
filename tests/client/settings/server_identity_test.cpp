// The server's identity written beside one of its devices: registry values and INI keys.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>
#include <string>

#include "lib_test_support.h"
#include "server_entry.h"
#include "server_identity.h"

namespace {

ServerInfo IdentityInfo() {
    ServerInfo info = {};
    const uint8_t ip[4] = {10, 77, 0, 5};
    std::memcpy(&info.ipAddress, ip, 4);
    const uint8_t mac[6] = {0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E};
    std::memcpy(info.hardwareAddress, mac, 6);
    std::strcpy(info.hostName, "store-host");
    std::strcpy(info.modelName, "QZ-300");
    std::strcpy(info.firmwareVersion, "1.0.7");
    info.rwpLevel = 3;
    return info;
}

TEST(ServerIdentity, RegistryValuesRoundTrip) {
    std::string path = "Software\\QzTest\\identity_" + std::to_string(GetCurrentProcessId()) + "_" +
                       std::to_string(GetTickCount64());
    ASSERT_TRUE(WriteServerIdentity(("HCU\\" + path).c_str(), "USB#0001", IdentityInfo()));
    std::string key = path + "\\Device\\USB#0001";
    auto read = [&](const char* name, DWORD type, void* out, DWORD size) {
        EXPECT_EQ(RegGetValueA(HKEY_CURRENT_USER, key.c_str(), name, type, nullptr, out, &size), ERROR_SUCCESS) << name;
        return size;
    };
    DWORD address = 0;
    read("IpAddress", RRF_RT_REG_DWORD, &address, sizeof address);
    EXPECT_EQ(address, 0x0A4D0005u);
    uint8_t mac[8] = {};
    EXPECT_EQ(read("Ethernet", RRF_RT_REG_BINARY, mac, sizeof mac), 6u);
    EXPECT_EQ(mac[5], 0x5E);
    char text[64] = {};
    read("ServerName", RRF_RT_REG_SZ, text, sizeof text);
    EXPECT_STREQ(text, "QZ-300");
    read("HostName", RRF_RT_REG_SZ, text, sizeof text);
    EXPECT_STREQ(text, "store-host");
    uint16_t level = 0;
    read("FirmLevel", RRF_RT_REG_BINARY, &level, sizeof level);
    EXPECT_EQ(level, 3);
    RegDeleteTreeA(HKEY_CURRENT_USER, path.c_str());
}

TEST(ServerIdentity, IniKeysRoundTrip) {
    TempFolder folder;
    std::string ini = folder.File("identity.ini");
    ASSERT_TRUE(WriteServerIdentity(ini.c_str(), "USB#0001", IdentityInfo()));
    auto read = [&](const char* key) {
        char text[64] = {};
        GetPrivateProfileStringA("USB#0001", key, "", text, sizeof text, ini.c_str());
        return std::string(text);
    };
    EXPECT_EQ(read("IPADDRESS"), "0a4d0005");
    EXPECT_EQ(read("ETHERNET"), "001a2b3c4d5e");
    EXPECT_EQ(read("HOSTNAME"), "store-host");
    EXPECT_EQ(read("SERVERNAME"), "QZ-300");
    EXPECT_EQ(read("FIRMVERSION"), "1.0.7");
    EXPECT_EQ(read("FIRMLEVEL"), "0003");
    EXPECT_FALSE(WriteServerIdentity("", "USB#0001", IdentityInfo()));
}

}  // namespace
