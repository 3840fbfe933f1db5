// Message texts: the safe formatter, the escapes, reading the INI (also non-ASCII), the
// shipped Pnxmsg.ini and the [FONT] rule.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "dialog_layout.h"
#include "ini_font.h"
#include "ini_text.h"
#include "safe_format.h"
#include "test_support.h"

namespace {

TEST(SafeFormat, FillsOnlyGivenArgumentsAndCopiesEveryOtherPercentAsItIs) {
    struct Case {
        const wchar_t* format;
        const wchar_t* a;
        const wchar_t* b;
        const wchar_t* expected;
    } cases[] = {
        {L"%s is using it", L"PC-7", nullptr, L"PC-7 is using it"},
        {L"%s and %s", L"one", nullptr, L"one and "},
        {L"%s%s%s", L"a", L"b", L"ab"},
        {L"100%% done", nullptr, nullptr, L"100% done"},
        {L"%d %n %x %S %ls %", L"x", nullptr, L"%d %n %x %S %ls %"},
        {L"%%s stays", L"no", nullptr, L"%s stays"},
        {L"no placeholder", L"unused", nullptr, L"no placeholder"},
        {nullptr, L"x", nullptr, L""},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(SafeFormat(c.format, {c.a, c.b}), c.expected) << (c.format ? c.format : L"null");
    }
}

TEST(SafeFormat, OutputIsCutToTheDestinationAndAlwaysTerminated) {
    wchar_t out[8];
    wmemset(out, L'#', 8);
    EXPECT_EQ(SafeFormat(out, 8, L"Free space (%s / %s)", {L"10 GB", L"20 GB"}), 7u);
    EXPECT_STREQ(out, L"Free sp");
    std::wstring huge(5000, L'x');
    wchar_t big[1024];
    EXPECT_EQ(SafeFormat(big, 1024, L"%s%s", {huge.c_str(), huge.c_str()}), 1023u);
    EXPECT_EQ(big[1023], L'\0');
    EXPECT_EQ(SafeFormat(out, 0, L"abc", {}), 0u);
}

TEST(UnescapeText, NewLineBecomesCrLfInPlaceAndTabShiftsTheRest) {
    wchar_t two[] = L"one\\ntwo";
    EXPECT_EQ(UnescapeText(two, wcslen(two)), 2);
    EXPECT_STREQ(two, L"one\r\ntwo");
    wchar_t tab[] = L"a\\tb";
    EXPECT_EQ(UnescapeText(tab, wcslen(tab)), 1);
    EXPECT_STREQ(tab, L"a\tb");
    wchar_t mixed[] = L"\\t\\n\\x\\";
    EXPECT_EQ(UnescapeText(mixed, wcslen(mixed)), 2);
    EXPECT_STREQ(mixed, L"\t\r\n\\x\\");
}

TEST(LoadIniText, ReadsUnescapesFormatsAndCutsToTheBuffer) {
    TempIni ini(L"[ERROR]\r\nMESSAGE12=%s could not be connected.\\nTry again.\r\n"
                L"HOSTILE=%d%n%s%s%x\r\nJA=\x63a5\x7d9a\x3057\x307e\x3057\x305f\r\n");
    wchar_t out[64];
    EXPECT_EQ(LoadIniText(ini.path(), L"ERROR", L"MESSAGE12", L"Printer", out, sizeof out), 2);
    EXPECT_STREQ(out, L"Printer could not be connected.\r\nTry again.");
    wchar_t small[10];
    LoadIniText(ini.path(), L"ERROR", L"MESSAGE12", L"Printer", small, sizeof small);
    EXPECT_STREQ(small, L"Printer c");
    LoadIniText(ini.path(), L"ERROR", L"HOSTILE", L"A", out, sizeof out);
    EXPECT_STREQ(out, L"%d%nA%x");
    LoadIniText(ini.path(), L"ERROR", L"JA", nullptr, out, sizeof out);
    EXPECT_STREQ(out, L"\x63a5\x7d9a\x3057\x307e\x3057\x305f");
    wmemset(out, L'#', 64);
    EXPECT_EQ(LoadIniText(ini.path(), L"ERROR", L"MISSING", L"x", out, sizeof out), 1);
    EXPECT_STREQ(out, L"");
}

// Every key the utility reads, with the number of "%s" its caller passes.
TEST(ShippedTexts, EveryKeyIsPresentWithTheArgumentsItsCallerPasses) {
    std::wstring path = BesideTest(L"Pnxmsg.ini");
    const struct {
        const wchar_t* section;
        const wchar_t* keys;  // space-separated; a trailing digit after ':' is the %s count
    } expected[] = {
        {L"TITLE", L"MAIN OPTION PROPERTY:1 PRINTER APPLICATION"},
        {L"FONT", L"DEFAULT MAIN MAIN_VISTA LIST LIST_VISTA BOLD BOLD_VISTA SRVHOT SRVHOT_VISTA "
                  L"DEVHOT DEVHOT_VISTA IPADDR SRU_DEVICE SRU_VISTA"},
        {L"ERROR", L"TITLE CONFIG MESSAGE00 MESSAGE01 MESSAGE02:1 MESSAGE03 MESSAGE04 MESSAGE05 "
                   L"MESSAGE06 MESSAGE07 MESSAGE08 MESSAGE09 MESSAGE10 MESSAGE11 MESSAGE12:1 "
                   L"MESSAGE13:1 MESSAGE14 MESSAGE15 MESSAGE16:1 MESSAGE17:1 MESSAGE18 MESSAGE19:1 "
                   L"MESSAGE20 MESSAGE21 MESSAGE22:1 MESSAGE23 MESSAGE24:1 MESSAGE25:1 MESSAGE26:1"},
        {L"TIP", L"PROPERTY CONNECT ACONNECT MOUNT AMOUNT DISCONNECT ADISCONNECT OPTION HELP "
                 L"REQUEST REFRESH SWITCH LIST:5"},
        {L"MAIN", L"NAS_NAME CULUM00 CULUM01 CULUM02 CULUM03 CULUM04 CULUM05 CULUM06 CULUM07 "
                  L"ENABLE DISABLE SRV_NOTFOUND DEV_NOTFOUND OVERCURERNT NETERROR MFP PRINTER "
                  L"IMAGE STORAGE AUDIO VIDEO HID BENDER NAS GETSTATUS FREE CONNECT OTHER:1 "
                  L"DEVICE_ERROR SERVER_ERROR UNMOUNT MOUNT:2"},
        {L"MENU", L"CONNECT DISCONNECT REQUEST PROPERTY REFRESH ALLCONNECT ALLDISCONNECT SERVER "
                  L"MOUNT OPEN REMOVE ALLMOUNT ALLOPEN ALLREMOVE HELP HELP_MAIN HELP_COMPANY "
                  L"HELP_SUPPORT HELP_VERSION ABOUT SHOW HIDE OPTION EXIT MN_FREE MN_CONNECT "
                  L"MN_OTHER CULUM00 CULUM01 CULUM02 CULUM03 CULUM04 CULUM05 CULUM06 CULUM07 CULUM08"},
        {L"BUTTON", L"OK CANCEL APPLY YES NO CLOSE ADD DELETE UP DOWN SHOW HIDE EFFECT REFERENCE "
                    L"SERVER SETUP CONFIRM"},
        {L"CONNECT", L"CONNECT:1 DISCONNECT:1 MAPPING:1 REMOVE:1 PREPARE WAIT PROPERTY_00 "
                     L"PROPERTY_01 AUTOPRN_START:1 PERMIT:1 MESSAGEOFF"},
        {L"REQUEST", L"TITLE MSG00:2 MSG01:2 MSG02 MSG03:2 MSG04:2 MSG05 MSG06:1 MSG07:1 MSG08:1 "
                     L"MSG09:2 MSG10:1 MSG11:1 MSG12:1 MSG13:2"},
        {L"PROPERTY", L"DEVICE_00 DISPNAME DEVICE SPEED SERVER HOST IPADDRESS ETHERNET HI FULL LOW "
                      L"OPTION_00 AUTO_CONNECT_ON AUTO_CONNECT AUTO_PRINTER PRINTER_00 PRINTER_01 "
                      L"CHECK_00 CHECK_01 ERROR_CONNECT BIGIN_APPLI END_APPLI ENCRYPTION "
                      L"REQ_DISCONNECT REQ_TIMEOUT REQ_RANGE EXEFILE ALLFILES"},
        {L"GROUP", L"DEVICE AUTO_CONNECT JOB BASE TIMER DISPLAY"},
        {L"TAB", L"TAB00 TAB01 TAB02 TAB10 TAB11"},
        {L"OPTION", L"DEFAULT_00 STARTUP MINI ERROR MESSAGEOFF AUTO_CONNECT TIMER RANGE "
                    L"BROADCAST_00 BROADCAST DISPLAY_00 DISPLAY_01 WIDTH"},
        {L"PRINTER", L"PRINTER_00 CULUM00 CULUM01 RANGE"},
    };
    for (const auto& s : expected) {
        std::wstring keys = s.keys;
        size_t pos = 0;
        while (pos < keys.size()) {
            size_t end = keys.find(L' ', pos);
            std::wstring entry = keys.substr(pos, end == std::wstring::npos ? end : end - pos);
            pos = end == std::wstring::npos ? keys.size() : end + 1;
            int wanted = 0;
            if (size_t colon = entry.find(L':'); colon != std::wstring::npos) {
                wanted = entry[colon + 1] - L'0';
                entry.resize(colon);
            }
            std::wstring value = ReadIniValue(path.c_str(), s.section, entry.c_str(), 2047);
            EXPECT_FALSE(value.empty()) << "[" << std::string(s.section, s.section + wcslen(s.section))
                                        << "] " << std::string(entry.begin(), entry.end());
            int placeholders = 0;
            for (size_t i = 0; i + 1 < value.size(); ++i) {
                if (value[i] == L'%' && value[i + 1] == L's') ++placeholders;
                if (value[i] == L'%') ++i;
            }
            EXPECT_EQ(placeholders, wanted) << std::string(entry.begin(), entry.end());
        }
    }
}

TEST(ShippedTexts, RightToLeftSampleNamesArabicAndReadsBackItsScript) {
    std::wstring path = BesideTest(L"Pnxmsg_rtl.ini");
    EXPECT_TRUE(IniWantsRightToLeft(path.c_str()));
    TempIni lower(L"[FONT]\r\nDEFAULT=Tahoma,12,arabic\r\n");
    EXPECT_TRUE(IniWantsRightToLeft(lower.path()));
    std::wstring title = ReadIniValue(path.c_str(), L"TITLE", L"MAIN", 64);
    ASSERT_FALSE(title.empty());
    EXPECT_EQ(title[0], 0x0643);  // Arabic kaf
    std::wstring shipped = BesideTest(L"Pnxmsg.ini");
    EXPECT_FALSE(IniWantsRightToLeft(shipped.c_str()));
}

TEST(IniFont, FieldsMapToTheFontThatGetObjectReadsBack) {
    TempIni ini(L"[FONT]\r\nTWO=Tahoma,9\r\nPLAIN=Tahoma,9,ANSI\r\n"
                L"BOLD=Tahoma,9,ANSI,BOLD,UNDERLINE\r\nLOWER=Tahoma,11,ANSI,bold\r\n"
                L"ODD=Tahoma,10,KLINGON,HEAVY\r\n");
    EXPECT_EQ(CreateIniFont(L"TWO", ini.path()), nullptr);
    EXPECT_EQ(CreateIniFont(L"MISSING", ini.path()), nullptr);
    struct Case {
        const wchar_t* key;
        LONG height, weight;
        BYTE underline, charSet;
    } cases[] = {
        {L"PLAIN", -9, 0, 0, ANSI_CHARSET},
        {L"BOLD", -9, 700, 1, ANSI_CHARSET},
        {L"LOWER", -11, 0, 0, ANSI_CHARSET},
        {L"ODD", -10, 900, 0, DEFAULT_CHARSET},
    };
    for (const Case& c : cases) {
        HFONT font = CreateIniFont(c.key, ini.path());
        ASSERT_NE(font, nullptr);
        LOGFONTW lf{};
        ASSERT_EQ(GetObjectW(font, sizeof lf, &lf), static_cast<int>(sizeof lf));
        EXPECT_EQ(lf.lfHeight, c.height);
        EXPECT_EQ(lf.lfWeight, c.weight);
        EXPECT_EQ(lf.lfUnderline, c.underline);
        EXPECT_EQ(lf.lfCharSet, c.charSet);
        EXPECT_STREQ(lf.lfFaceName, L"Tahoma");
        DeleteObject(font);
    }
}

}  // namespace
