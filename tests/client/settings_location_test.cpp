#include "settings_location.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

TEST(ParseSettingsLocation, EveryRootNameInAnyCase) {
    const std::pair<const char*, HKEY> roots[] = {
        {"HLM", HKEY_LOCAL_MACHINE}, {"HKEY_LOCAL_MACHINE", HKEY_LOCAL_MACHINE},
        {"hcu", HKEY_CURRENT_USER},  {"HKEY_Current_User", HKEY_CURRENT_USER},
        {"HCR", HKEY_CLASSES_ROOT},  {"HKEY_CLASSES_ROOT", HKEY_CLASSES_ROOT},
        {"Hu", HKEY_USERS},          {"HKEY_USERS", HKEY_USERS},
        {"HCC", HKEY_CURRENT_CONFIG}, {"hkey_current_config", HKEY_CURRENT_CONFIG},
    };
    for (const auto& [name, root] : roots) {
        char path[64] = "";
        EXPECT_EQ(ParseSettingsLocation((std::string(name) + "\\Software\\A").c_str(), path,
                                        sizeof path), root) << name;
        EXPECT_STREQ(path, "Software\\A") << name;
    }
}

TEST(ParseSettingsLocation, IniPathsUnknownRootsAndLongPathsGiveNoRoot) {
    char path[8] = "untouch";
    for (const char* location : {"C:\\Program Files\\Pnx.ini", "Pnx.ini", "HCU", "HKCU\\Software",
                                 "HCUX\\Software", "HCU\\Software" /* 9 bytes */}) {
        EXPECT_EQ(ParseSettingsLocation(location, path, sizeof path), nullptr) << location;
    }
    EXPECT_STREQ(path, "untouch");
    EXPECT_EQ(ParseSettingsLocation("HCU\\Softwar", path, sizeof path), HKEY_CURRENT_USER);
    EXPECT_STREQ(path, "Softwar");
}

// A key under HKEY_CURRENT_USER\Software\QzTest that is deleted afterwards.
class RegistryValues : public ::testing::Test {
protected:
    void SetUp() override {
        std::snprintf(key_, sizeof key_, "Software\\QzTest\\settings_%lu_%lu",
                      GetCurrentProcessId(), GetTickCount());
    }
    void TearDown() override {
        RegDeleteTreeA(HKEY_CURRENT_USER, key_);
        RegDeleteKeyA(HKEY_CURRENT_USER, "Software\\QzTest");  // only when no other key is left
    }
    DWORD ReadDword(const char* name, DWORD* type = nullptr) {
        DWORD value = 0, size = sizeof value;
        EXPECT_TRUE(RegReadValue(HKEY_CURRENT_USER, key_, name, &value, &size, type)) << name;
        return value;
    }
    char key_[128];
};

TEST_F(RegistryValues, ReadOrCreateWritesTheDefaultOnlyWhenMissingOrMistyped) {
    DWORD value = 10000;
    ASSERT_TRUE(RegReadOrCreateValue(HKEY_CURRENT_USER, key_, "Timer", REG_DWORD, &value, 4));
    EXPECT_EQ(ReadDword("Timer"), 10000u);  // key was missing
    value = 1;
    ASSERT_TRUE(RegReadOrCreateValue(HKEY_CURRENT_USER, key_, "Mode", REG_DWORD, &value, 4));
    EXPECT_EQ(ReadDword("Mode"), 1u);  // value was missing
    value = 5;
    ASSERT_TRUE(RegReadOrCreateValue(HKEY_CURRENT_USER, key_, "Timer", REG_DWORD, &value, 4));
    EXPECT_EQ(value, 10000u);  // value there: read, not written
    EXPECT_EQ(ReadDword("Timer"), 10000u);

    ASSERT_TRUE(RegWriteValue(HKEY_CURRENT_USER, key_, "Broad", REG_SZ, "junk", 5));
    value = 3000;
    ASSERT_TRUE(RegReadOrCreateValue(HKEY_CURRENT_USER, key_, "Broad", REG_DWORD, &value, 4));
    DWORD type = 0;
    EXPECT_EQ(ReadDword("Broad", &type), 3000u);
    EXPECT_EQ(type, static_cast<DWORD>(REG_DWORD));
}

TEST_F(RegistryValues, StringsAreWrittenByTextAndReadTerminated) {
    char text[64] = "default";
    ASSERT_TRUE(RegReadOrCreateValue(HKEY_CURRENT_USER, key_, "Folder", REG_SZ, text, sizeof text));
    char stored[64];
    DWORD size = sizeof stored;
    ASSERT_TRUE(RegReadValue(HKEY_CURRENT_USER, key_, "Folder", stored, &size));
    EXPECT_EQ(size, 8u);
    EXPECT_STREQ(stored, "default");

    ASSERT_TRUE(RegWriteValue(HKEY_CURRENT_USER, key_, "Name", REG_SZ, "abcd", 4));  // no NUL
    char fits[8] = "#######";
    size = sizeof fits;
    ASSERT_TRUE(RegReadValue(HKEY_CURRENT_USER, key_, "Name", fits, &size));
    EXPECT_STREQ(fits, "abcd");
    char tooSmall[4];
    size = sizeof tooSmall;
    EXPECT_FALSE(RegReadValue(HKEY_CURRENT_USER, key_, "Name", tooSmall, &size));
    EXPECT_FALSE(RegReadValue(HKEY_CURRENT_USER, key_, "Missing", fits, &size));
}
