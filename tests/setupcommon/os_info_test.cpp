#include "dotnet_version.h"
#include "os_info.h"
#include "os_ini_key.h"

#include "fake_os_version.h"
#include "scratch.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>

namespace {

struct OsRow {
    const char* name;
    FakeWindows windows;
    int code;
    uint32_t flags;
    uint32_t servicePack;
};

FakeWindows Nt(uint32_t major, uint32_t minor, uint16_t sp = 0, bool server = false, bool wide = false) {
    FakeWindows w;
    w.major = major;
    w.minor = minor;
    w.servicePack = sp;
    w.server = server;
    w.wide = wide;
    w.build = 1000 + major * 10 + minor;
    return w;
}

FakeWindows Old(uint32_t platform, uint32_t major, uint32_t minor) {
    FakeWindows w = Nt(major, minor);
    w.versionTest = false;
    w.platform = platform;
    return w;
}

FakeWindows Fallback(FakeWindows w) {
    w.versionTest = false;
    return w;
}

// Each release through the version test, and the older ones through GetVersionEx.
const OsRow kRows[] = {
    {"none", [] { FakeWindows w; w.versionTest = false; w.getVersionEx = false; return w; }(), 0, 0, 0},
    {"95", Old(1, 4, 0), 1, 0, 0},
    {"98", Old(1, 4, 10), 2, 0, 0},
    {"ME", Old(1, 4, 90), 3, 0, 0},
    {"NT4", Old(2, 4, 0), 4, 0, 0},
    {"2000 SP4", Nt(5, 0, 4), 5, 0, 4},
    {"XP SP1", Nt(5, 1, 1), 6, 0, 1},
    {"XP SP2", Nt(5, 1, 2), 6, 1, 2},
    {"XP x64", Nt(5, 2, 0, false, true), 6, 2, 0},
    {"XP x64 SP1", Nt(5, 2, 1, false, true), 6, 3, 1},
    {"2003", Nt(5, 2, 0, true), 7, 0, 0},
    {"2003 SP1 x64", Nt(5, 2, 1, true, true), 7, 3, 1},
    {"Vista SP2", Nt(6, 0, 2), 8, 1, 2},
    {"2008", Nt(6, 0, 0, true), 9, 1, 0},
    {"7 SP1 x64", Nt(6, 1, 1, false, true), 10, 3, 1},
    {"2008 R2 x64", Nt(6, 1, 0, true, true), 11, 3, 0},
    {"8", Nt(6, 2), 12, 1, 0},
    {"2012", Nt(6, 2, 0, true), 13, 1, 0},
    {"8.1 x64", Nt(6, 3, 0, false, true), 14, 3, 0},
    {"2012 R2", Nt(6, 3, 0, true), 15, 1, 0},
    {"10", Nt(10, 0), 16, 1, 0},
    {"2016", Nt(10, 0, 0, true), 17, 1, 0},
    {"fallback 2000", Fallback(Nt(5, 0, 3)), 5, 0, 3},
    {"fallback XP SP2", Fallback(Nt(5, 1, 2)), 6, 1, 2},
    {"fallback 2003 SP1 x64", Fallback(Nt(5, 2, 1, true, true)), 7, 3, 1},
    {"fallback XP x64 SP1", Fallback(Nt(5, 2, 1, false, true)), 6, 3, 1},
    {"fallback Vista", Fallback(Nt(6, 0, 1)), 8, 1, 1},
    {"fallback 2008 R2 x64", Fallback(Nt(6, 1, 0, true, true)), 11, 3, 0},
    {"fallback 6.4", Fallback(Nt(6, 4, 0, true)), 15, 1, 0},
    {"fallback 10 x64", Fallback(Nt(10, 0, 0, false, true)), 16, 3, 0},
    {"fallback 2019", Fallback(Nt(10, 0, 0, true)), 17, 1, 0},
    {"fallback 5.3", Fallback(Nt(5, 3)), 0, 0, 0},
    {"fallback no extended", [] { FakeWindows w = Fallback(Nt(6, 1)); w.extendedWorks = false; return w; }(), 0, 0, 0},
    {"fallback platform 0", Old(0, 3, 1), 0, 0, 0},
};

}  // namespace

TEST(OsVersionCode, EveryReleaseByBothPaths) {
    for (const OsRow& row : kRows) {
        FakeOsVersion fake(row.windows);
        uint32_t flags = 0xFF;
        EXPECT_EQ(GetOsVersionCode(&flags), row.code) << row.name;
        EXPECT_EQ(flags, row.flags) << row.name;
        if (row.code >= 5) {
            EXPECT_EQ(RecordedOsVersionValues().servicePack, row.servicePack) << row.name;
        }
    }
    EXPECT_EQ(GetOsVersionCode(nullptr), GetOsVersionCode(nullptr));  // the flags pointer is optional
}

TEST(OsVersionCode, WordsAndDescriptions) {
    char word[16];
    const struct { int code; uint32_t flags; const char* word; } kWords[] = {
        {1, 2, "95"}, {5, 2, "2K"}, {6, 0, "XP"}, {6, 2, "XPX64"}, {11, 3, "2008R2X64"}, {14, 1, "81"},
        {16, 2, "10X64"}, {17, 0, "SERVER"},
    };
    for (const auto& w : kWords) {
        ASSERT_EQ(GetOsKeyWord(w.code, w.flags, word, sizeof word), 1) << w.code;
        EXPECT_STREQ(word, w.word);
    }
    EXPECT_EQ(GetOsKeyWord(0, 0, word, sizeof word), 0);
    EXPECT_EQ(GetOsKeyWord(18, 0, word, sizeof word), 0);
    EXPECT_EQ(GetOsKeyWord(11, 2, word, 4), 0);

    char text[128];
    {
        FakeOsVersion fake(Nt(6, 1, 1, false, true));
        ASSERT_EQ(GetOsDescription(text, sizeof text), 1);
        EXPECT_STREQ(text, "Windows 7(64bit) (OS = 6.1.1061, SP = 1.0)");
        std::strcpy(text, "kept");
        EXPECT_EQ(GetOsDescription(text, 10), 1);
        EXPECT_STREQ(text, "kept");
        EXPECT_EQ(GetOsDescription(nullptr, 10), 0);
    }
    {
        FakeWindows xp = Fallback(Nt(5, 1, 2));
        xp.extendedWorks = false;  // only the plain record: the code is 0 and no version line
        FakeOsVersion fake(xp);
        ASSERT_EQ(GetOsDescription(text, sizeof text), 1);
        EXPECT_EQ(std::string(text).substr(0, 19), "Unknown OS (32 bit)");
    }
}

namespace {

std::string OsKey(const std::string& ini, const FakeWindows& windows, const char* section = "APP") {
    FakeOsVersion fake(windows);
    uint32_t flags = 0;
    int code = GetOsVersionCode(&flags);
    char key[64] = "junk";
    GetOsIniKey(ini.c_str(), code, flags, section, key, sizeof key);
    return key;
}

}  // namespace

TEST(OsIniKey, SectionEntriesThenTheTable) {
    ScratchFolder dir("oskey");
    std::string ini = dir / "component.ini";
    WriteFileText(ini,
                  "[APP]\r\nOS=A:XP,2K;B:XP_SP3,98;C:98,ME;D:2008_SP1\r\n"
                  "[OLD]\r\nOS=A:98;B:98\r\n"
                  "[TABLE]\r\nOS_00=T7:7X64,VISTA\r\nOS_01=T10:10,10x64\r\nOS_03=TX:XP\r\n"
                  "[BOTH]\r\nOS=S:2K\r\nOS_00=T:2K,XP\r\n"
                  "[EMPTY]\r\nOTHER=1\r\n");
    EXPECT_EQ(OsKey(ini, Nt(5, 1, 3)), "B");   // last match wins on XP SP3
    EXPECT_EQ(OsKey(ini, Nt(5, 1, 2)), "A");
    EXPECT_EQ(OsKey(ini, Nt(5, 1, 4)), "B");   // beyond the last service pack every _SP word matches
    EXPECT_EQ(OsKey(ini, Old(1, 4, 10)), "B"); // first match for the old releases: B lists 98 first
    EXPECT_EQ(OsKey(ini, Old(1, 4, 10), "OLD"), "A");
    EXPECT_EQ(OsKey(ini, Nt(6, 2)), "");       // "2008_SP1" is not the word "8"
    EXPECT_EQ(OsKey(ini, Nt(6, 1, 1, false, true), "TABLE"), "T7");
    EXPECT_EQ(OsKey(ini, Nt(10, 0, 0, false, true), "TABLE"), "T10");  // any case
    EXPECT_EQ(OsKey(ini, Nt(5, 1, 2), "TABLE"), "");  // the table ends at the first empty key
    EXPECT_EQ(OsKey(ini, Nt(5, 1, 0), "BOTH"), "T");
    EXPECT_EQ(OsKey(ini, Nt(5, 0, 0), "BOTH"), "S");
    EXPECT_EQ(OsKey(ini, Nt(5, 0, 0), "EMPTY"), "");
    EXPECT_EQ(OsKey(ini, Nt(5, 0, 0), "NOSECTION"), "");
}

namespace {

// Runs the probe program (which carries the install tools' compatibility manifest) as the
// prefix is, or under another Windows version set for the probe alone; returns its line.
std::string ProbeUnder(const char* version) {
    const char* key = "Software\\Wine\\AppDefaults\\setupcommon_os_probe.exe";
    HKEY k;
    if (version && RegCreateKeyExA(HKEY_CURRENT_USER, key, 0, nullptr, 0, KEY_WRITE, nullptr, &k, nullptr) ==
                       ERROR_SUCCESS) {
        RegSetValueExA(k, "Version", 0, REG_SZ, reinterpret_cast<const BYTE*>(version), lstrlenA(version) + 1);
        RegCloseKey(k);
    }
    std::string probe = BesideTheTests("setupcommon_os_probe.exe");
    std::string out;
    if (FILE* pipe = _popen(("\"" + probe + "\"").c_str(), "r")) {
        char line[512];
        while (fgets(line, sizeof line, pipe)) out += line;
        _pclose(pipe);
    }
    if (version) RegDeleteKeyA(HKEY_CURRENT_USER, key);
    while (!out.empty() && (out.back() == '\n' || out.back() == '\r')) out.pop_back();
    return out;
}

}  // namespace

TEST(OsVersionCode, TheRealPrefixInBothModes) {
    std::string seven = ProbeUnder(nullptr);  // the prefix reports 7 SP1 x64
    EXPECT_EQ(seven.substr(0, seven.find('|')), "10 3 1") << seven;
    EXPECT_NE(seven.find("|Windows 7(64bit) (OS = 6.1.7601, SP = 1.0)"), std::string::npos) << seven;
    std::string ten = ProbeUnder("win10");
    EXPECT_EQ(ten.substr(0, ten.find('|')), "16 3 0") << ten;
    EXPECT_NE(ten.find("|Windows 10(64bit) (OS = 10.0."), std::string::npos) << ten;
    std::string eightOne = ProbeUnder("win81");
    EXPECT_EQ(eightOne.substr(0, eightOne.find('|')), "14 3 0") << eightOne;
}

TEST(DotNetVersion, ReleasesFromTheirSetupKeys) {
    const char* base = "SOFTWARE\\Microsoft\\NET Framework Setup";
    HKEY existing;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, base, 0, KEY_READ, &existing) == ERROR_SUCCESS) {
        RegCloseKey(existing);
        GTEST_SKIP() << "the prefix has a framework of its own";
    }
    auto dword = [&](const char* sub, const char* name, DWORD value) {
        RegSetKeyValueA(HKEY_LOCAL_MACHINE, (std::string(base) + "\\" + sub).c_str(), name, REG_DWORD, &value,
                        sizeof value);
    };
    dword("NDP\\v2.0.50727", "Install", 1);
    dword("NDP\\v2.0.50727", "SP", 2);
    dword("NDP\\v4\\Client", "Install", 1);  // no Full key: the client profile counts
    dword("NDP\\v3.0", "Install", 0);
    int count = 0;
    DotNetRelease* list = GetDotNetVersion(&count);
    ASSERT_NE(list, nullptr);
    ASSERT_EQ(count, 7);
    EXPECT_EQ(list[2].major, 2);
    EXPECT_EQ(list[2].installed, 1u);
    EXPECT_EQ(list[2].servicePack, 2u);
    EXPECT_EQ(list[3].installed, 0u);
    EXPECT_EQ(list[5].installed, 1u);
    EXPECT_EQ(list[6].installed, 0u);
    LocalFree(list);
    dword("NDP\\v4\\Full", "Install", 1);
    dword("NDP\\v4\\Full", "Release", 379893);
    list = GetDotNetVersion(&count);
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(list[6].installed, 1u);
    EXPECT_EQ(list[6].third, 2u);  // 4.5.2
    LocalFree(list);
    EXPECT_EQ(GetDotNetVersion(nullptr), nullptr);
    RegDeleteTreeA(HKEY_LOCAL_MACHINE, base);
}
