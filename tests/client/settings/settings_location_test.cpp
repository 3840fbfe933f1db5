#include "settings_location.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

using qz::SettingsLocation;

TEST(SettingsLocationParse, EveryRootNameInAnyCaseElseAnIniFile) {
    const std::pair<const char*, HKEY> roots[] = {
        {"HLM", HKEY_LOCAL_MACHINE}, {"HKEY_LOCAL_MACHINE", HKEY_LOCAL_MACHINE},
        {"hcu", HKEY_CURRENT_USER},  {"HKEY_Current_User", HKEY_CURRENT_USER},
        {"HCR", HKEY_CLASSES_ROOT},  {"HKEY_CLASSES_ROOT", HKEY_CLASSES_ROOT},
        {"Hu", HKEY_USERS},          {"HKEY_USERS", HKEY_USERS},
        {"HCC", HKEY_CURRENT_CONFIG}, {"hkey_current_config", HKEY_CURRENT_CONFIG},
    };
    for (const auto& [name, root] : roots) {
        SettingsLocation location = SettingsLocation::Parse((std::string(name) + "\\Software\\A").c_str());
        EXPECT_TRUE(location.registry()) << name;
        EXPECT_EQ(location.root, root) << name;
        EXPECT_EQ(location.keyPath, "Software\\A") << name;
        EXPECT_EQ(location.Below("Mode").keyPath, "Software\\A\\Mode") << name;
    }
    const std::string tooLong = "HCU\\" + std::string(261, 'k');
    for (const char* text : {"C:\\Program Files\\Pnx.ini", "Pnx.ini", "HCU", "HKCU\\Software", "HCUX\\Software",
                             tooLong.c_str()}) {
        SettingsLocation location = SettingsLocation::Parse(text);
        EXPECT_TRUE(location.ini()) << text;
        EXPECT_EQ(location.iniFile, text);
        EXPECT_EQ(location.Below("Mode").iniFile, text);
    }
    EXPECT_EQ(SettingsLocation::Parse("").kind, SettingsLocation::kNone);
    EXPECT_EQ(SettingsLocation::Parse(nullptr).kind, SettingsLocation::kNone);
}

// Texts and numbers by section and name read back the same from both kinds; a number stored
// as text that is no number, or a text where a number should be, reads as missing.
TEST(SettingsLocationValues, TextsAndNumbersInBothKinds) {
    char ini[MAX_PATH];
    GetTempPathA(sizeof ini, ini);
    std::string file = std::string(ini) + "qz_location_" + std::to_string(GetCurrentProcessId()) + ".ini";
    std::string key = "Software\\QzTest\\location_" + std::to_string(GetCurrentProcessId());
    for (const SettingsLocation& location :
         {SettingsLocation::Parse(file.c_str()), SettingsLocation::Registry(HKEY_CURRENT_USER, key)}) {
        const char* section = location.ini() ? "CONFIG" : "Mode";
        ASSERT_TRUE(location.WriteText(section, "Name", "abc def"));
        ASSERT_TRUE(location.WriteNumber(section, "Timer", 4294967295u));
        ASSERT_TRUE(location.WriteText(section, "Junk", "12x"));
        location.Flush();
        std::string text;
        uint32_t number = 0;
        EXPECT_TRUE(location.ReadText(section, "Name", &text));
        EXPECT_EQ(text, "abc def");
        EXPECT_TRUE(location.ReadNumber(section, "Timer", &number));
        EXPECT_EQ(number, 4294967295u);
        EXPECT_FALSE(location.ReadNumber(section, "Junk", &number));
        EXPECT_FALSE(location.ReadText(section, "Missing", &text));
        EXPECT_FALSE(location.ReadNumber(section, "Missing", &number));
        EXPECT_TRUE(location.Remove(section, "Name"));
        EXPECT_FALSE(location.ReadText(section, "Name", &text));
    }
    DeleteFileA(file.c_str());
    RegDeleteTreeA(HKEY_CURRENT_USER, key.c_str());
    RegDeleteKeyA(HKEY_CURRENT_USER, "Software\\QzTest");  // only when no other key is left
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
        EXPECT_TRUE(at().ReadValue(nullptr, name, &value, &size, type)) << name;
        return value;
    }
    SettingsLocation at() const { return SettingsLocation::Registry(HKEY_CURRENT_USER, key_); }
    char key_[128];
};

TEST_F(RegistryValues, ReadOrCreateWritesTheDefaultOnlyWhenMissingOrMistyped) {
    DWORD value = 10000;
    ASSERT_TRUE(at().ReadOrCreateValue(nullptr, "Timer", REG_DWORD, &value, 4));
    EXPECT_EQ(ReadDword("Timer"), 10000u);  // key was missing
    value = 1;
    ASSERT_TRUE(at().ReadOrCreateValue(nullptr, "Mode", REG_DWORD, &value, 4));
    EXPECT_EQ(ReadDword("Mode"), 1u);  // value was missing
    value = 5;
    ASSERT_TRUE(at().ReadOrCreateValue(nullptr, "Timer", REG_DWORD, &value, 4));
    EXPECT_EQ(value, 10000u);  // value there: read, not written
    EXPECT_EQ(ReadDword("Timer"), 10000u);

    ASSERT_TRUE(at().WriteValue(nullptr, "Broad", REG_SZ, "junk", 5));
    value = 3000;
    ASSERT_TRUE(at().ReadOrCreateValue(nullptr, "Broad", REG_DWORD, &value, 4));
    DWORD type = 0;
    EXPECT_EQ(ReadDword("Broad", &type), 3000u);
    EXPECT_EQ(type, static_cast<DWORD>(REG_DWORD));
}

TEST_F(RegistryValues, StringsAreWrittenByTextAndReadTerminated) {
    char text[64] = "default";
    ASSERT_TRUE(at().ReadOrCreateValue(nullptr, "Folder", REG_SZ, text, sizeof text));
    char stored[64];
    DWORD size = sizeof stored;
    ASSERT_TRUE(at().ReadValue(nullptr, "Folder", stored, &size));
    EXPECT_EQ(size, 8u);
    EXPECT_STREQ(stored, "default");

    ASSERT_TRUE(at().WriteValue(nullptr, "Name", REG_SZ, "abcd", 4));  // no NUL
    char fits[8] = "#######";
    size = sizeof fits;
    ASSERT_TRUE(at().ReadValue(nullptr, "Name", fits, &size));
    EXPECT_STREQ(fits, "abcd");
    char tooSmall[4];
    size = sizeof tooSmall;
    EXPECT_FALSE(at().ReadValue(nullptr, "Name", tooSmall, &size));
    EXPECT_FALSE(at().ReadValue(nullptr, "Missing", fits, &size));
}
