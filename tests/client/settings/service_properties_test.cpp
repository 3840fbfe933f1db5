// The service properties' stores: registry ("Mode" sub-key) and INI ([CONFIG]), read-or-create
// and saving.
#include <gtest/gtest.h>

#include <string>

#include "lib_test_support.h"
#include "registry_test_key.h"
#include "service_properties.h"

namespace {

class ServicePropertiesTest : public ::testing::Test {
protected:
    void SetUp() override {
        EnsureLibraryAttached();
        ResetLibStateForTests();
        ResetServicePropertiesStoreForTests();
    }
    void TearDown() override {
        ResetServicePropertiesStoreForTests();
        ResetLibStateForTests();
    }
    static void Expect(uint8_t mode, uint32_t timer, uint8_t broad) {
        ServiceProperties p = CurrentServiceProperties();
        EXPECT_EQ(p.communicateMode, mode);
        EXPECT_EQ(p.timer, timer);
        EXPECT_EQ(p.useBroadAddress, broad);
    }
    TempFolder folder;
};

TEST_F(ServicePropertiesTest, RegistryReadOrCreateThenRoundTrip) {
    RegistryTestKey key("properties");
    key.WriteDword("Mode", "CommunicateMode", 0x10);  // a DWORD where one byte belongs
    key.WriteDword("Mode", "Timer", 2500);
    ASSERT_TRUE(LoadServiceProperties(key.location().c_str()));
    EXPECT_EQ(PropertiesStoreKind(), qz::SettingsLocation::kRegistry);
    Expect(1, 2500, 0);
    // Missing and mistyped values are written with the current settings, one byte each.
    uint8_t byte = 0xFF;
    DWORD type = 0;
    ASSERT_TRUE(key.Read("Mode", "CommunicateMode", &byte, 1, &type));
    EXPECT_EQ(byte, 1);
    EXPECT_EQ(type, static_cast<DWORD>(REG_BINARY));
    ASSERT_TRUE(key.Read("Mode", "UseBroadAddress", &byte, 1));

    TakeServiceProperties({0x1C, 3000, 0x0B, 10});
    SaveServiceProperties();
    ResetLibStateForTests();
    ASSERT_TRUE(LoadServiceProperties(key.location().c_str()));
    Expect(0x1C, 3000, 0x0B);
}

TEST_F(ServicePropertiesTest, IniReadOrCreateThenRoundTrip) {
    std::string ini = folder.File("props.ini");
    WritePrivateProfileStringA("CONFIG", "Timer", "4000", ini.c_str());
    WritePrivateProfileStringA("CONFIG", "UseBroadAddress", "", ini.c_str());
    WritePrivateProfileStringA("CONFIG", "CommunicateMode", "999", ini.c_str());  // no byte
    ASSERT_TRUE(LoadServiceProperties(ini.c_str()));
    EXPECT_EQ(PropertiesStoreKind(), qz::SettingsLocation::kIni);
    Expect(1, 4000, 0);
    char text[16] = {};
    GetPrivateProfileStringA("CONFIG", "UseBroadAddress", "<none>", text, sizeof text, ini.c_str());
    EXPECT_STREQ(text, "0");

    TakeServiceProperties({5, 700, 9, 10});
    SaveServiceProperties();
    ResetLibStateForTests();
    ASSERT_TRUE(LoadServiceProperties(ini.c_str()));
    Expect(5, 700, 9);

    // An empty location chooses no store: nothing is loaded or saved any more.
    EXPECT_FALSE(LoadServiceProperties(""));
    EXPECT_EQ(PropertiesStoreKind(), qz::SettingsLocation::kNone);
    TakeServiceProperties({6, 800, 1, 10});
    SaveServiceProperties();
    GetPrivateProfileStringA("CONFIG", "Timer", "", text, sizeof text, ini.c_str());
    EXPECT_STREQ(text, "700");
}

}  // namespace
