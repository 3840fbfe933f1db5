#include "registry_value.h"
#include "version_info.h"

#include "registry_test_key.h"
#include "scratch.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <string>


TEST(RegistryValue, WriteCreatesSetNeedsTheKeyReadReturnsSizeAndType) {
    RegistryTestKey scratch("setupcommon");
    std::string sub = scratch.location().substr(4) + "\\Deep\\Er";  // below HKEY_CURRENT_USER
    const char text[] = "hello";
    EXPECT_EQ(SetRegistryValue(HKEY_CURRENT_USER, sub.c_str(), "Name", text, sizeof text, REG_SZ), 0);
    ASSERT_EQ(WriteRegistryValue(HKEY_CURRENT_USER, sub.c_str(), "Name", text, sizeof text, REG_SZ), 1);
    DWORD number = 0x01020304;
    ASSERT_EQ(SetRegistryValue(HKEY_CURRENT_USER, sub.c_str(), "Number", &number, sizeof number, REG_DWORD), 1);

    char back[32] = "";
    DWORD size = sizeof back, type = 0;
    ASSERT_EQ(ReadRegistryValue(HKEY_CURRENT_USER, sub.c_str(), "Name", back, &size, &type), 1);
    EXPECT_STREQ(back, "hello");
    EXPECT_EQ(size, sizeof text);
    EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
    DWORD n = 0;
    size = sizeof n;
    ASSERT_EQ(QueryRegistryValue(HKEY_CURRENT_USER, sub.c_str(), "Number", &n, &size, &type), 1);
    EXPECT_EQ(n, number);
    char tiny[2];
    size = sizeof tiny;
    EXPECT_EQ(ReadRegistryValue(HKEY_CURRENT_USER, sub.c_str(), "Name", tiny, &size, &type), 0);  // too small
    EXPECT_EQ(ReadRegistryValue(HKEY_CURRENT_USER, (sub + "\\Missing").c_str(), "Name", back, &size, &type), 0);
}

TEST(FileVersion, StringsOfTheLastTranslationAndTheFixedNumbers) {
    std::string dll = BesideTheTests("setupcommon_versioned.dll");
    char buffer[260];
    ASSERT_EQ(GetFileVersionString(buffer, dll.c_str(), "FileVersion"), 1);
    EXPECT_STREQ(buffer, "2.10.300 japanese");  // the last translation decides
    ASSERT_EQ(GetFileVersionString(buffer, dll.c_str(), "InternalName"), 1);
    EXPECT_STREQ(buffer, "");  // the last translation has none
    DWORD number = 0;
    ASSERT_EQ(GetFileVersionNumber(dll.c_str(), "fileversionms", &number), 1);
    EXPECT_EQ(number, 0x0002000Au);
    ASSERT_EQ(GetFileVersionNumber(dll.c_str(), "FileVersionLS", &number), 1);
    EXPECT_EQ(number, (300u << 16) | 4000u);
    ASSERT_EQ(GetFileVersionNumber(dll.c_str(), "Other", &number), 1);
    EXPECT_EQ(number, 0u);

    std::string plain = BesideTheTests("setupcommon_tests.exe");  // no version resource
    std::strcpy(buffer, "old");
    EXPECT_EQ(GetFileVersionString(buffer, plain.c_str(), "FileVersion"), 0);
    EXPECT_STREQ(buffer, "");
    EXPECT_EQ(GetFileVersionNumber(plain.c_str(), "FileVersionMS", &number), 0);
    EXPECT_EQ(GetFileVersionNumber(BesideTheTests("missing.dll").c_str(), "FileVersionMS", &number), 0);
}

TEST(VersionText, ParseAndCompare) {
    VersionParts p;
    EXPECT_EQ(ParseVersionString(&p, "1.10.2a"), 1);
    EXPECT_EQ(p.first, 1);
    EXPECT_EQ(p.second, 10);
    EXPECT_EQ(p.third, 2);
    EXPECT_STREQ(p.suffix, "a");
    EXPECT_EQ(ParseVersionString(&p, "3.4 beta"), 0);  // two fields: suffix from the second
    EXPECT_EQ(p.second, 4);
    EXPECT_STREQ(p.suffix, "beta");
    EXPECT_EQ(ParseVersionString(&p, "7"), 0);
    EXPECT_EQ(ParseVersionString(&p, "1.2.3 with a very long suffix text"), 1);
    EXPECT_EQ(std::strlen(p.suffix), 15u);

    const struct { const char* a; const char* b; int sign; } kCases[] = {
        {"1.10.0", "1.9.5", 1},  {"1.2.3a", "1.2.3b", -1}, {"2.0.0", "2.0.0", 0},   {"2.0", "2.0.1", -1},
        {"1.0.0 ", "1.0.0", 0},   {"2147483647.0.0", "-2147483648.0.0", 1},  // no overflow
        {"-2147483648.0.0", "1.0.0", -1}, {"1.0.99999999999", "1.0.1", 1},
    };
    for (const auto& c : kCases) {
        int r = CompareVersionStrings(c.a, c.b);
        EXPECT_EQ((r > 0) - (r < 0), c.sign) << c.a << " vs " << c.b;
    }
}
