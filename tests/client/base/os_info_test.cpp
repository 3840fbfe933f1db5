#include "os_info.h"

#include <gtest/gtest.h>

namespace {

OsVersionFacts Facts(DWORD platform, DWORD major, DWORD minor, WORD servicePack = 0,
                     BYTE productType = VER_NT_WORKSTATION, bool is64Bit = false) {
    OsVersionFacts facts;
    facts.platformId = platform;
    facts.major = major;
    facts.minor = minor;
    facts.servicePackMajor = servicePack;
    facts.productType = productType;
    facts.is64Bit = is64Bit;
    return facts;
}

constexpr DWORD k9x = VER_PLATFORM_WIN32_WINDOWS;
constexpr DWORD kNt = VER_PLATFORM_WIN32_NT;
constexpr BYTE kWs = VER_NT_WORKSTATION;
constexpr BYTE kSrv = VER_NT_SERVER;
constexpr uint32_t kFw = kOsFlagFirewall;
constexpr uint32_t k64 = kOsFlag64Bit;

}  // namespace

TEST(OsCodeFromVersion, MapsEveryRow) {
    const struct {
        const char* what;
        OsVersionFacts facts;
        int code;
        uint32_t flags;
    } rows[] = {
        {"95", Facts(k9x, 4, 0), kOsWin95, 0},
        {"98", Facts(k9x, 4, 10), kOsWin98, 0},
        {"ME", Facts(k9x, 4, 90), kOsWinMe, 0},
        {"Win32s", Facts(VER_PLATFORM_WIN32s, 3, 10), kOsUnknown, 0},
        {"NT 4", Facts(kNt, 4, 0, 6), kOsWinNt, 0},
        {"NT 3.51", Facts(kNt, 3, 51), kOsUnknown, 0},
        {"2000 SP4", Facts(kNt, 5, 0, 4), kOsWin2000, 0},
        {"XP SP1", Facts(kNt, 5, 1, 1), kOsWinXp, 0},
        {"XP SP2", Facts(kNt, 5, 1, 2), kOsWinXp, kFw},
        {"XP SP3 on x64 CPU", Facts(kNt, 5, 1, 3, kWs, true), kOsWinXp, kFw},  // no x64 flag
        {"2003", Facts(kNt, 5, 2, 0, kSrv), kOsWin2003, 0},
        {"2003 SP1", Facts(kNt, 5, 2, 1, kSrv), kOsWin2003, kFw},
        {"2003 DC x64", Facts(kNt, 5, 2, 2, VER_NT_DOMAIN_CONTROLLER, true), kOsWin2003, kFw | k64},
        {"XP x64", Facts(kNt, 5, 2, 0, kWs, true), kOsWinXp, k64},
        {"XP x64 SP2", Facts(kNt, 5, 2, 2, kWs, true), kOsWinXp, kFw | k64},
        {"5.3", Facts(kNt, 5, 3), kOsUnknown, 0},
        {"Vista", Facts(kNt, 6, 0), kOsVista, kFw},
        {"10 x64", Facts(kNt, 10, 0, 0, kWs, true), kOsVista, kFw | k64},
    };
    for (const auto& row : rows) {
        uint32_t flags = 0xDEAD;
        EXPECT_EQ(OsCodeFromVersion(row.facts, &flags), row.code) << row.what;
        EXPECT_EQ(flags, row.flags) << row.what;
    }
}

TEST(ServicePackFromText, NumberAfterTheMark) {
    EXPECT_EQ(ServicePackFromText("Service Pack 12, v.3244"), 12);
    EXPECT_EQ(ServicePackFromText("B"), 0);
    EXPECT_EQ(ServicePackFromText(nullptr), 0);
}

TEST(GetOsCode, RunningSystemIsVistaOrLaterOn64Bit) {
    uint32_t flags = 0;
    EXPECT_EQ(GetOsCode(&flags, nullptr), kOsVista);
    EXPECT_EQ(flags, kFw | k64);
}

TEST(OsTexts, NameAndFlagsTexts) {
    EXPECT_EQ(OsNameText(kOsWinXp, kFw, 2), "Windows XP Service Pack 2");
    EXPECT_EQ(OsNameText(kOsVista, kFw | k64, 1), "Windows Vista(x64) Service Pack 1");
    EXPECT_EQ(OsNameText(17, 0, 0), "0x00000011 Service Pack 0");
    EXPECT_EQ(OsFlagsText(0), "0x00000000");
    EXPECT_EQ(OsFlagsText(kFw | k64), "0x00000003(FireWall)");
    char name[11];
    char flags[8];
    OsTexts(kOsWinXp, kFw, 3, name, sizeof name, flags, sizeof flags);
    EXPECT_STREQ(name, "Windows XP");  // cut to the buffer
    EXPECT_STREQ(flags, "0x00000");
}
