// System helpers: numbers, addresses, registry paths and values, single instance, paths and
// the Startup-folder shortcut.
#include <windows.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <string>

#include "registry_util.h"
#include "shortcut.h"
#include "system_util.h"
#include "test_support.h"

namespace {

TEST(ParseNumber, DigitsBelowTheBaseEndAtTheFirstTooLargeOne) {
    struct Case {
        const wchar_t* text;
        int base;
        uint32_t value;
    } cases[] = {
        {L"1f", 16, 31},      {L"1g", 16, 0xFFFFFFFFu}, {L"", 16, 0},   {L"FFFF", 16, 0xFFFF},
        {L"129", 10, 129},    {L"19a", 10, 19},         {L"12", 0, 0xFFFFFFFFu},
        {L"7 ", 16, 0xFFFFFFFFu}, {L"101", 2, 5},
    };
    for (const Case& c : cases) EXPECT_EQ(ParseNumber(c.text, c.base), c.value) << c.text;
}

TEST(FormatAddress, HardwareAndIpv4TextsAndBuffersTooSmall) {
    const uint8_t ip[4] = {0x0A, 0x00, 0x00, 0x01};
    const uint8_t mac[6] = {0x00, 0x11, 0x22, 0x33, 0x44, 0x55};
    wchar_t out[32] = L"old";
    EXPECT_TRUE(FormatAddress(ip, out, 32, kAddressIpv4));
    EXPECT_STREQ(out, L"10.0.0.1");
    EXPECT_TRUE(FormatAddress(mac, out, 32, kAddressHardware));
    EXPECT_STREQ(out, L"00:11:22:33:44:55");
    wchar_t small[17] = L"old";
    EXPECT_TRUE(FormatAddress(mac, small, 17, kAddressHardware));
    EXPECT_STREQ(small, L"old");
    EXPECT_TRUE(FormatAddress(ip, out, 32, 3));
    EXPECT_STREQ(out, L"00:11:22:33:44:55");
    EXPECT_FALSE(FormatAddress(nullptr, out, 32, kAddressIpv4));
}

TEST(SplitRegistryPath, KnownRootsInAnyCaseAndNothingElse) {
    struct Case {
        const wchar_t* path;
        HKEY root;
        const wchar_t* rest;
    } cases[] = {
        {L"hcu\\Software\\Orvik", HKEY_CURRENT_USER, L"Software\\Orvik"},
        {L"HKEY_LOCAL_MACHINE\\SOFTWARE", HKEY_LOCAL_MACHINE, L"SOFTWARE"},
        {L"HCR\\.txt", HKEY_CLASSES_ROOT, L".txt"},
        {L"hu\\S-1-5-18", HKEY_USERS, L"S-1-5-18"},
        {L"HCC\\System", HKEY_CURRENT_CONFIG, L"System"},
        {L"HKCU\\Software", nullptr, nullptr},
        {L"HCU", nullptr, nullptr},
        {L"HCUX\\a", nullptr, nullptr},
    };
    for (const Case& c : cases) {
        wchar_t sub[64] = L"";
        EXPECT_EQ(SplitRegistryPath(c.path, sub, 64), c.root) << c.path;
        if (c.rest) {
            EXPECT_STREQ(sub, c.rest);
        }
    }
    wchar_t tiny[4];
    EXPECT_EQ(SplitRegistryPath(L"HCU\\abcd", tiny, 4), nullptr) << "sub-key does not fit";
    EXPECT_EQ(SplitRegistryPath(nullptr, tiny, 4), nullptr);
}

TEST(AppendPath, JoinsWithOneSeparatorWithinTheCapacity) {
    wchar_t path[32] = L"C:\\Program\\";
    EXPECT_EQ(AppendPath(path, 32, L"Themes"), wcslen(L"C:\\Program\\Themes"));
    EXPECT_STREQ(path, L"C:\\Program\\Themes");
    wchar_t small[12] = L"C:\\Program";
    AppendPath(small, 12, L"Themes");
    EXPECT_STREQ(small, L"C:\\Program");
}

TEST(CheckSingleInstance, TheFirstOwnerHoldsTheNameForTheProcess) {
    std::wstring name = L"QZ_TEST_INSTANCE_" + std::to_wstring(GetCurrentProcessId());
    EXPECT_FALSE(CheckSingleInstance(name.c_str(), FALSE, FALSE)) << "a pure test holds nothing";
    EXPECT_FALSE(CheckSingleInstance(name.c_str(), FALSE, FALSE));
    EXPECT_FALSE(CheckSingleInstance(name.c_str(), TRUE, TRUE));
    EXPECT_TRUE(CheckSingleInstance(name.c_str(), TRUE, FALSE));
    EXPECT_TRUE(CheckSingleInstance(name.c_str(), TRUE, TRUE));
    EXPECT_FALSE(CheckSingleInstance(name.c_str(), FALSE, FALSE)) << "local name differs from Global";
}

TEST(RegistryValues, DefaultIsWrittenOnceAndReadAfterwards) {
    std::wstring key = L"Software\\QzTests\\Registry" + std::to_wstring(GetCurrentProcessId());
    DWORD value = 15, size = sizeof value;
    EXPECT_TRUE(ReadOrCreateRegistryValue(HKEY_CURRENT_USER, key.c_str(), L"StartupTimer", &value,
                                          &size, REG_DWORD));
    DWORD stored = 0, storedSize = sizeof stored, type = 0;
    ASSERT_TRUE(ReadRegistryValue(HKEY_CURRENT_USER, key.c_str(), L"StartupTimer", &stored,
                                  &storedSize, &type));
    EXPECT_EQ(stored, 15u);
    EXPECT_EQ(type, static_cast<DWORD>(REG_DWORD));
    DWORD seven = 7;
    EXPECT_TRUE(WriteRegistryValue(HKEY_CURRENT_USER, key.c_str(), L"StartupTimer", &seven,
                                   sizeof seven, REG_DWORD));
    value = 15;
    size = sizeof value;
    EXPECT_TRUE(ReadOrCreateRegistryValue(HKEY_CURRENT_USER, key.c_str(), L"StartupTimer", &value,
                                          &size, REG_DWORD));
    EXPECT_EQ(value, 7u) << "an existing value is read, not overwritten";
    EXPECT_FALSE(ReadRegistryValue(HKEY_CURRENT_USER, (key + L"\\none").c_str(), L"x", &stored,
                                   &storedSize, &type));
    RegDeleteKeyW(HKEY_CURRENT_USER, key.c_str());
}

TEST(StartupShortcut, CreatedReadBackKeptAndDeleted) {
    std::wstring name = L"Qz Test " + std::to_wstring(GetCurrentProcessId());
    wchar_t startup[MAX_PATH];
    ASSERT_GT(GetSpecialFolderPath(CSIDL_STARTUP, startup), 0u);
    std::wstring link = std::wstring(startup) + L"\\" + name + L".lnk";
    ASSERT_TRUE(DeleteShortcut(name.c_str())) << "absent counts as deleted";

    ASSERT_TRUE(EnsureStartupShortcut(name.c_str(), L"Quelbo Plus", L"-s15"));
    EXPECT_NE(GetFileAttributesW(link.c_str()), INVALID_FILE_ATTRIBUTES);
    wchar_t target[MAX_PATH] = L"", description[MAX_PATH] = L"", arguments[MAX_PATH] = L"";
    ASSERT_TRUE(ReadStartupShortcut(name.c_str(), target, description, arguments));
    wchar_t program[MAX_PATH];
    GetModuleFileNameW(nullptr, program, MAX_PATH);
    EXPECT_EQ(_wcsicmp(target, program), 0) << target;
    EXPECT_STREQ(description, L"Quelbo Plus");
    EXPECT_STREQ(arguments, L"-s15");

    // An existing shortcut is kept as it is.
    ASSERT_TRUE(EnsureStartupShortcut(name.c_str(), L"Other", L"-s30"));
    ASSERT_TRUE(ReadStartupShortcut(name.c_str(), target, description, arguments));
    EXPECT_STREQ(arguments, L"-s15");

    EXPECT_TRUE(DeleteShortcut(name.c_str()));
    EXPECT_EQ(GetFileAttributesW(link.c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_FALSE(ReadStartupShortcut(name.c_str(), target, description, arguments));
    EXPECT_FALSE(EnsureStartupShortcut(nullptr, L"", L""));
    EXPECT_FALSE(DeleteShortcut(nullptr));
}

}  // namespace
