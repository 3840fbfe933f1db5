#include "ini_text.h"
#include "path_helpers.h"

#include "scratch.h"

#include <gtest/gtest.h>

#include <cstring>

TEST(SafeFormat, ReplacesOneArgumentAndCopiesTheRest) {
    const struct { const char* format; FormatArg arg; const char* expected; } kCases[] = {
        {"Install %s now", "Quelbo", "Install Quelbo now"},
        {"100% done", nullptr, "100% done"},
        {"100%% of %s", "disk", "100% of disk"},
        {"%d files, %d left", 3, "3 files, %d left"},  // one argument: a second conversion is copied
        {"code %08X", 0xBEEF, "code 0000BEEF"},
        {"[%-5s]", "ab", "[ab   ]"},
        {"[%5d]", -42, "[  -42]"},
        {"%s%s", "x", "x%s"},
        {"%lu bytes", 4000000000UL, "4000000000 bytes"},
        {"trailing %", "x", "trailing %"},
        {"%q is not a conversion, %s is", "this", "%q is not a conversion, this is"},
    };
    for (const auto& c : kCases) {
        EXPECT_EQ(qz::SafeFormat(c.format, c.arg), c.expected) << c.format;
    }
    char small[8];
    EXPECT_EQ(qz::SafeFormat(small, sizeof small, "%s", FormatArg("0123456789")), 7u);
    EXPECT_STREQ(small, "0123456");
    std::string longText(5000, 'y');
    EXPECT_EQ(qz::SafeFormat("<%s>", FormatArg(longText.c_str())).size(), 5002u);  // not cut at 1024
}

TEST(AppendPath, JoinsWithOneBackslash) {
    const struct { const char* path; const char* part; size_t size; const char* expected; int result; } kCases[] = {
        {"C:\\Dir\\", "\\file", 260, "C:\\Dir\\file", 11},
        {"C:\\Dir", "file", 260, "C:\\Dir\\file", 11},
        {"", "file", 260, "file", 4},
        {"C:\\Dir", "file", 11, "C:\\Dir", -1},  // 6 + 4 > 11 - 2
        {"C:\\Dir", "fil", 12, "C:\\Dir\\fil", 10},
    };
    for (const auto& c : kCases) {
        char path[260];
        std::strcpy(path, c.path);
        EXPECT_EQ(AppendPath(path, c.size, c.part), c.result) << c.path << " + " << c.part;
        EXPECT_STREQ(path, c.expected);
    }
}

TEST(ParseNumber, DigitsBelowTheBase) {
    const struct { const char* text; int base; DWORD value; } kCases[] = {
        {"1F", 16, 31}, {"1f", 16, 31}, {"a", 10, 0xFFFFFFFF}, {"", 10, 0xFFFFFFFF}, {"12", 0, 0xFFFFFFFF},
        {"101", 2, 5},  {"102", 2, 0xFFFFFFFF}, {"FFFFFFFF", 16, 0xFFFFFFFF}, {"4294967295", 10, 0xFFFFFFFF},
        {"12 ", 10, 0xFFFFFFFF}, {"-1", 10, 0xFFFFFFFF}, {"007", 8, 7},
    };
    for (const auto& c : kCases) EXPECT_EQ(ParseNumber(c.text, c.base), c.value) << c.text << " base " << c.base;
}

TEST(GetToken, FieldsOfACopy) {
    const struct { const char* text; const char* delim; int max; int index; const char* expected; } kCases[] = {
        {"a;b;c", ";", 3, 0, "a"}, {"a;b;c", ";", 3, 2, "c"},   {"a;b;c", ";", 3, 3, nullptr},
        {"a;;c", ";", 3, 1, nullptr}, {";b", ";", 2, 0, ""},    {"plain", ";", 3, 0, "plain"},
        {"plain", ";", 3, 1, nullptr}, {"k::v::w", "::", 3, 1, "v"}, {"", ";", 3, 0, nullptr},
        {"a;b", ";", 3, -1, nullptr},
    };
    for (const auto& c : kCases) {
        char copy[64];
        std::strcpy(copy, c.text);
        const char* got = GetToken(copy, c.delim, c.max, c.index);
        if (c.expected) {
            ASSERT_NE(got, nullptr) << c.text << " #" << c.index;
            EXPECT_STREQ(got, c.expected);
        } else {
            EXPECT_EQ(got, nullptr) << c.text << " #" << c.index;
        }
    }
    EXPECT_EQ(GetToken(nullptr, ";", 3, 0), nullptr);
}

TEST(EscapeAmpersands, DoublesOrUndoublesWithoutOverrun) {
    const struct { const char* text; bool doubled; const char* expected; } kCases[] = {
        {"A&B", true, "A&&B"}, {"A&&B", false, "A&B"}, {"A&B", false, "A&B"},
        {"end&", false, "end&"},  // a trailing ampersand must not skip the terminator
        {"&&&", false, "&&"},     {"", true, ""},
    };
    for (const auto& c : kCases) {
        char out[32];
        EscapeAmpersands(out, sizeof out, c.text, c.doubled);
        EXPECT_STREQ(out, c.expected) << c.text;
    }
    char tight[3];
    EXPECT_EQ(EscapeAmpersands(tight, sizeof tight, "a&b", true), 1u);  // never half a pair
    EXPECT_STREQ(tight, "a");
}

TEST(IniText, EscapesArgumentsAndLineCounts) {
    ScratchFolder dir("ini_text");
    std::string ini = dir / "msg.ini";
    WriteFileText(ini,
                  "[ERROR]\r\nTWO=first\\nsecond\r\nTAB=a\\tb\r\nARG=Install %s?\r\nPCT=100% of %d\r\n"
                  "RAW=%s and %d\r\n");
    char buffer[64];
    EXPECT_EQ(GetIniText(ini.c_str(), "ERROR", "TWO", {}, buffer, sizeof buffer), 2);
    EXPECT_STREQ(buffer, "first\r\nsecond");
    EXPECT_EQ(GetIniText(ini.c_str(), "ERROR", "TAB", {}, buffer, sizeof buffer), 1);
    EXPECT_STREQ(buffer, "a\tb");
    EXPECT_EQ(GetIniText(ini.c_str(), "ERROR", "ARG", "Quelbo", buffer, sizeof buffer), 1);
    EXPECT_STREQ(buffer, "Install Quelbo?");
    GetIniText(ini.c_str(), "ERROR", "PCT", 5, buffer, sizeof buffer);
    EXPECT_STREQ(buffer, "100% of 5");
    GetIniText(ini.c_str(), "ERROR", "RAW", {}, buffer, sizeof buffer);
    EXPECT_STREQ(buffer, "%s and %d");  // without an argument the value is not a format
    EXPECT_EQ(GetIniText(ini.c_str(), "ERROR", "ARG", "a long argument text", buffer, 10), 1);
    EXPECT_STREQ(buffer, "Install a");
    EXPECT_EQ(GetIniText(ini.c_str(), "ERROR", "NONE", {}, buffer, sizeof buffer), 0);
    EXPECT_STREQ(buffer, "");
    EXPECT_EQ(GetIniText(ini.c_str(), "ERROR", "", {}, buffer, sizeof buffer), 0);
}

TEST(IniList, AppendsAtTheFirstFreeNumberWithoutDuplicates) {
    ScratchFolder dir("ini_list");
    std::string ini = dir / "list.ini";
    WriteFileText(ini, "[PATH]\r\nPATH_000=C:\\A\r\nPATH_001=C:\\B\r\nPATH_002=C:\\C\r\n");
    EXPECT_EQ(AppendIniListValue("PATH", "PATH_%03d", "c:\\b", ini.c_str()), 1);
    char value[64] = "";
    GetPrivateProfileStringA("PATH", "PATH_003", "", value, sizeof value, ini.c_str());
    EXPECT_STREQ(value, "");
    EXPECT_EQ(AppendIniListValue("PATH", "PATH_%03d", "C:\\D", ini.c_str()), 1);
    GetPrivateProfileStringA("PATH", "PATH_003", "", value, sizeof value, ini.c_str());
    EXPECT_STREQ(value, "C:\\D");
    EXPECT_EQ(WriteIniIndexedValue("REG", 2, 7, "R%02d_%d", "x", ini.c_str()), 1);
    GetPrivateProfileStringA("REG", "R02_7", "", value, sizeof value, ini.c_str());
    EXPECT_STREQ(value, "x");
}

TEST(CreateFolderPath, RecordsOnlyTheFoldersItMade) {
    ScratchFolder dir("folders");
    std::string ini = dir / "uninst.ini";
    CreateDirectoryA((dir / "have").c_str(), nullptr);
    std::string target = dir / "have\\new1\\new2\\";
    DWORD error = 0;
    ASSERT_EQ(CreateFolderPath("PATH", target.c_str(), &error, ini.c_str()), 1);
    EXPECT_TRUE(Exists(dir / "have\\new1\\new2"));
    char value[MAX_PATH];
    GetPrivateProfileStringA("PATH", "PATH_000", "", value, sizeof value, ini.c_str());
    EXPECT_EQ(value, dir / "have\\new1");
    GetPrivateProfileStringA("PATH", "PATH_001", "", value, sizeof value, ini.c_str());
    EXPECT_EQ(value, dir / "have\\new1\\new2");
    GetPrivateProfileStringA("PATH", "PATH_002", "", value, sizeof value, ini.c_str());
    EXPECT_STREQ(value, "");

    std::string before = ReadFileText(ini);
    ASSERT_EQ(CreateFolderPath("PATH", target.c_str(), &error, ini.c_str()), 1);  // all there: nothing recorded
    EXPECT_EQ(ReadFileText(ini), before);

    WriteFileText(dir / "file", "x");
    EXPECT_EQ(CreateFolderPath(nullptr, (dir / "file\\sub").c_str(), &error, nullptr), 0);
    EXPECT_NE(error, 0u);
}

TEST(SystemFolders, TempWindowsAndModule) {
    char buffer[MAX_PATH];
    ASSERT_EQ(GetWindowsFolder(buffer, sizeof buffer), 1);
    char windows[MAX_PATH];
    GetWindowsDirectoryA(windows, sizeof windows);
    EXPECT_STRCASEEQ(buffer, windows);

    char saved[MAX_PATH] = "";
    GetEnvironmentVariableA("TMP", saved, sizeof saved);
    SetEnvironmentVariableA("TMP", "C:\\qz_tmp_value");
    ASSERT_EQ(GetTempFolder(sizeof buffer, buffer), 1);
    EXPECT_STREQ(buffer, "C:\\qz_tmp_value");
    ASSERT_EQ(GetTempFolder(12, buffer), 1);  // does not fit: the Windows folder, when that fits
    EXPECT_STRCASEEQ(buffer, windows);
    ASSERT_EQ(GetTempFolder(4, buffer), 0);
    SetEnvironmentVariableA("TMP", saved[0] ? saved : nullptr);

    ASSERT_EQ(GetModuleFolder(buffer), 1);
    char self[MAX_PATH];
    GetModuleFileNameA(nullptr, self, sizeof self);
    EXPECT_EQ(std::string(self), std::string(buffer) + "\\setupcommon_tests.exe");
}
