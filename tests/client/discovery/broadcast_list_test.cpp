// The broadcast-address list: its registry and INI stores, the 128-address cut, and the
// memory list that a reload of the store must keep.
#include <gtest/gtest.h>
#include <winsock2.h>

#include <cstdio>
#include <string>
#include <vector>

#include "broadcast_list.h"
#include "lib_test_support.h"
#include "registry_test_key.h"

namespace {

class BroadcastListTest : public ::testing::Test {
protected:
    void SetUp() override {
        EnsureLibraryAttached();
        ResetBroadcastListForTests();
    }
    void TearDown() override { ResetBroadcastListForTests(); }

    // PnxGetBroadcastAddr into an array of `capacity` entries preset to 0xDEADBEEF.
    std::vector<uint32_t> Get(uint32_t capacity = 128, int* result = nullptr) {
        std::vector<uint32_t> array(capacity, 0xDEADBEEF);
        uint32_t count = 0;
        int rc = PnxGetBroadcastAddr(nullptr, array.data(), capacity * 4, &count);
        if (result) *result = rc;
        array.resize(rc ? count : 0);
        return array;
    }
    static std::string IniText(const std::string& file, const char* key) {
        char text[64] = {};
        GetPrivateProfileStringA(kBroadcastIniSection, key, "<none>", text, sizeof text, file.c_str());
        return text;
    }
    TempFolder folder;
};

std::vector<uint32_t> Sequence(size_t n, uint32_t first) {
    std::vector<uint32_t> list;
    for (size_t i = 0; i < n; ++i) list.push_back(first + static_cast<uint32_t>(i));
    return list;
}

TEST_F(BroadcastListTest, WithoutAStoreNothingIsReadOrWritten) {
    EXPECT_EQ(PnxInitBroadcastAddr(nullptr, ""), 0);
    uint32_t one = 1;
    EXPECT_EQ(PnxSetBroadcastAddr(nullptr, &one, 1), 0);
    int result = -1;
    Get(4, &result);
    EXPECT_EQ(result, 0);
}

TEST_F(BroadcastListTest, RegistryRoundTripKeepsOtherSettingsAndNeedsRoomForEveryEntry) {
    RegistryTestKey key("broadcast");
    key.WriteDword("", "Other", 7);
    key.WriteDword("Mode", "Timer", 5000);
    ASSERT_EQ(PnxInitBroadcastAddr(nullptr, key.location().c_str()), 1);
    std::vector<uint32_t> three = Sequence(3, 0x0A4D0001);
    ASSERT_EQ(PnxSetBroadcastAddr(nullptr, three.data(), 3), 1);
    DWORD value = 0, type = 0;
    ASSERT_TRUE(key.Read("", "UDP02", &value, sizeof value, &type));
    EXPECT_EQ(value, 0x0A4D0003u);
    EXPECT_EQ(type, static_cast<DWORD>(REG_DWORD));
    int result = -1;
    Get(2, &result);
    EXPECT_EQ(result, 0) << "three stored, room for two";

    // A shorter list drops the old entries but nothing else in the key.
    ASSERT_EQ(PnxSetBroadcastAddr(nullptr, three.data(), 1), 1);
    EXPECT_FALSE(key.Read("", "UDP01", &value, sizeof value));
    EXPECT_TRUE(key.Read("", "Other", &value, sizeof value));
    EXPECT_TRUE(key.Read("Mode", "Timer", &value, sizeof value));
    ResetBroadcastListForTests();
    ASSERT_EQ(PnxInitBroadcastAddr(nullptr, key.location().c_str()), 1);
    EXPECT_EQ(Get(), std::vector<uint32_t>{0x0A4D0001});
    EXPECT_EQ(BroadcastSearchList(), std::vector<uint32_t>{0x0A4D0001});

    key.WriteDword("", "UDPCount", 0);
    EXPECT_TRUE(Get(1, &result).empty());
    EXPECT_EQ(result, 1);
    EXPECT_TRUE(BroadcastSearchList().empty());
}

TEST_F(BroadcastListTest, IniRoundTripInItsTextForm) {
    std::string ini = folder.File("discovery.ini");
    ASSERT_EQ(PnxInitBroadcastAddr(nullptr, ini.c_str()), 1);
    EXPECT_EQ(DiscoveryIniFile(), ini);
    const uint32_t addresses[] = {0x0A4D00FF, 0xC0A80101};
    ASSERT_EQ(PnxSetBroadcastAddr(nullptr, addresses, 2), 1);
    EXPECT_EQ(IniText(ini, "UDPCount"), "2");
    EXPECT_EQ(IniText(ini, "UDP01"), "c0a80101");
    ASSERT_EQ(PnxSetBroadcastAddr(nullptr, addresses + 1, 1), 1);
    EXPECT_EQ(IniText(ini, "UDP01"), "<none>");
    EXPECT_EQ(Get(), std::vector<uint32_t>{0xC0A80101});
}

TEST_F(BroadcastListTest, IniEntriesThatAreNoAddressLeaveTheArrayEntryUnchanged) {
    std::string ini = folder.File("hand.ini");
    const char* entries[][2] = {{"UDPCount", "4"}, {"UDP00", "0A4D0001"}, {"UDP01", ""}, {"UDP02", "zz"},
                                {"UDP03", "ffffffff"}};
    for (const auto& e : entries) WritePrivateProfileStringA("UserDefined", e[0], e[1], ini.c_str());
    WritePrivateProfileStringA(nullptr, nullptr, nullptr, ini.c_str());
    ASSERT_EQ(PnxInitBroadcastAddr(nullptr, ini.c_str()), 1);
    EXPECT_EQ(Get(), (std::vector<uint32_t>{0x0A4D0001, 0xDEADBEEF, 0xDEADBEEF, 0xFFFFFFFF}));
    EXPECT_EQ(BroadcastSearchList(), (std::vector<uint32_t>{0x0A4D0001, 0xFFFFFFFF}));
    EXPECT_EQ(Get(2).size(), 2u) << "the array bounds what is read";
}

TEST_F(BroadcastListTest, StoresAreCutAt128Addresses) {
    RegistryTestKey key("broadcast");
    key.WriteDword("", "UDPCount", 200);
    for (int i = 0; i < 200; ++i) {
        char name[16];
        std::snprintf(name, sizeof name, "UDP%02d", i);
        key.WriteDword("", name, i);
    }
    ASSERT_EQ(PnxInitBroadcastAddr(nullptr, key.location().c_str()), 1);
    std::vector<uint32_t> got = Get(256);
    ASSERT_EQ(got.size(), 128u);
    EXPECT_EQ(got.back(), 127u);

    std::string ini = folder.File("cut.ini");
    ASSERT_EQ(PnxInitBroadcastAddr(nullptr, ini.c_str()), 1);
    std::vector<uint32_t> many = Sequence(130, 0x0B000000);
    ASSERT_EQ(PnxSetBroadcastAddr(nullptr, many.data(), 130), 1);
    EXPECT_EQ(IniText(ini, "UDPCount"), "128");
    EXPECT_EQ(Get(256).size(), 128u);
}

TEST_F(BroadcastListTest, MemoryListIsKeptAcrossReloadsAndSearchedAfterTheStore) {
    std::string ini = folder.File("memory.ini");
    ASSERT_EQ(PnxInitBroadcastAddr(nullptr, ini.c_str()), 1);
    std::vector<uint32_t> stored = Sequence(100, 0x0A000000);
    ASSERT_EQ(PnxSetBroadcastAddr(nullptr, stored.data(), 100), 1);
    std::vector<uint32_t> memory;
    for (uint32_t i = 0; i < 40; ++i) memory.push_back(htonl(0x7F000000u + i));
    ASSERT_EQ(PnxSetBroadcastAddrMemory(nullptr, memory.data(), 40), 1);

    for (bool fromStore : {false, true}) {
        ReloadBroadcastList(fromStore);
        std::vector<uint32_t> list = BroadcastSearchList();
        ASSERT_EQ(list.size(), fromStore ? 128u : 40u);
        EXPECT_EQ(list[fromStore ? 100 : 0], 0x7F000000u) << "the memory list follows, in host order";
        EXPECT_EQ(list.back(), fromStore ? 0x7F000000u + 27 : 0x7F000000u + 39) << "cut at 128 in all";
    }
    // Remote-desktop mode searches its own list until the next reload.
    ReplaceBroadcastList({inet_addr("10.77.0.9")});
    EXPECT_EQ(BroadcastSearchList(), std::vector<uint32_t>{0x0A4D0009});
    ReloadBroadcastList(true);
    EXPECT_EQ(BroadcastSearchList().size(), 128u);
    EXPECT_EQ(PnxSetBroadcastAddrMemory(nullptr, nullptr, 3), 1);
    EXPECT_EQ(BroadcastSearchList(), stored);
}

}  // namespace
