#include "setup_settings.h"

#include "dialog_layout.h"
#include "test_script.h"

#include <gtest/gtest.h>

namespace {

struct SwitchCase {
    const char* line;
    const char* language;
    uint16_t mode;
    uint16_t modeBits;
    uint32_t welcome;
    uint32_t license;
    uint32_t check;
    const char* host;
    const char* server;
    uint32_t noChoice;
};

TEST(CommandLine, SwitchTable) {
    static const char kLong65[] = "-Labcdefghijklmnopqrstuvwxyzabcdefghijklmnopqrstuvwxyzabcdefghijklm";
    const SwitchCase cases[] = {
        {"-lGerman\"", "German", kLanguageFixed, 0, 1, 1, 1, "", "", 0},
        {"-LGerman extra", "German", kLanguageFixed, 0, 1, 1, 1, "", "", 0},
        {"-AFrench", "French", kLanguageFixed, 0, 0, 1, 1, "", "", 0},
        {"-u", "", kLanguageAutomatic, 0, 0, 0, 0, "", "", 0},
        {"-S -P -x", "", kLanguageAutomatic, kModeNoArpEntry | kModeDeleteSetupFolder, 1, 0, 1, "", "", 0},
        {"-I10.77.0.5 -E0080926A1B2C -o", "", kLanguageAutomatic, 0, 1, 1, 1, "10.77.0.5", "0080926A1B2C", 1},
        // Refused: an -E that is not 12 hex digits, an -I of 32 characters, an -L of 65.
        {"-E0080926A1B2 -E0080926A1B2CX -E0080926A1BZC", "", kLanguageAutomatic, 0, 1, 1, 1, "", "", 0},
        {"-I0123456789012345678901234567890X", "", kLanguageAutomatic, 0, 1, 1, 1, "", "", 0},
        {kLong65, "", kLanguageAutomatic, 0, 1, 1, 1, "", "", 0},
        {"-k -DLOG unknown -Z", "", kLanguageAutomatic, 0, 1, 1, 1, "", "", 0},
    };
    for (const SwitchCase& t : cases) {
        SCOPED_TRACE(t.line);
        SetupContext c{};
        c.languageMode = kLanguageAutomatic;
        for (uint32_t& page : c.pages) page = 1;
        ParseCommandLine(&c, t.line);
        EXPECT_STREQ(c.language, t.language);
        EXPECT_EQ(c.languageMode, t.mode);
        EXPECT_EQ(c.modeBits, t.modeBits);
        EXPECT_EQ(c.pages[kSwitchWelcome], t.welcome);
        EXPECT_EQ(c.pages[kSwitchLicense], t.license);
        EXPECT_EQ(c.pages[kSwitchCheck], t.check);
        EXPECT_STREQ(c.hostAddress, t.host);
        EXPECT_STREQ(c.serverAddress, t.server);
        EXPECT_EQ(c.welcomeNoChoice, t.noChoice);
    }
    SetupContext first{};
    ParseFirstCommandLine(&first, "-K -Lx");
    EXPECT_EQ(first.modeBits, kModeSilent);
    EXPECT_STREQ(first.language, "");
}

TEST(Settings, DefaultsModeLettersAndSilent) {
    TestScript script("settings", "[SETTING]\r\n");
    SetupContext c{};
    SetScriptPaths(&c, script.path().c_str());
    c.osCode = 12;
    ReadSetupSettings(&c);
    EXPECT_STREQ(g_className, "ZK_INSTALLER");
    EXPECT_EQ(c.languageMode, kLanguageAutomatic);
    EXPECT_EQ(c.background, 0u);
    EXPECT_EQ(c.modeBits, 0);
    EXPECT_EQ(c.connect, 0u);
    EXPECT_EQ(c.uac, 0u);
    for (uint32_t page : c.pages) EXPECT_EQ(page, 1u);
    EXPECT_EQ(c.languagePage, 1u);

    struct { const char* mode; uint16_t expected; uint32_t languagePage; } modes[] = {
        {"s", kLanguageFixed, 0}, {"Manual", kLanguageManual, 1}, {"rEGIONAL", kLanguageRegional, 0},
        {"Xyz", kLanguageAutomatic, 1}, {"AUTO", kLanguageAutomatic, 1}};
    for (auto& m : modes) {
        SCOPED_TRACE(m.mode);
        WriteFileText(script / "Language.ini",
                      std::string("[SETTING]\r\nSILENT=on\r\nARP=off\r\nUAC=ON\r\nBACK=ON\r\nLICENSE=OFFX\r\n"
                                  "CHECK=off\r\nMODE=") + m.mode + "\r\n");
        SetupContext s{};
        SetScriptPaths(&s, script.path().c_str());
        s.osCode = 7;
        ReadSetupSettings(&s);
        EXPECT_EQ(s.languageMode, m.expected);
        EXPECT_EQ(s.languagePage, m.languagePage);
        EXPECT_EQ(s.modeBits, kModeSilent | kModeNoArpEntry);
        EXPECT_EQ(s.uac, 0u) << "UAC needs OS code 8";
        EXPECT_EQ(s.background, 1u);
        EXPECT_EQ(s.pages[kSwitchLicense], 0u);
        EXPECT_EQ(s.pages[kSwitchCheck], 0u);
    }
}

TEST(Settings, LanguageMatchAndChoice) {
    TestScript script("language",
                      "[LANGUAGE]\r\nLANG_00=English;English;0901\r\nLANG_01=German;Deutsch;07\r\n"
                      "LANG_02=Swiss;Suisse;0C04\r\nLANG_03=French;Francais;0c\r\n");
    char def[64], first[64], matched[64];
    struct { LANGID id; const char* folder; } ids[] = {
        {0x0409, "English"}, {0x0407, "Deutsch"}, {0x100C, "Suisse"}, {0x080C, "Francais"}, {0x0411, ""}};
    for (auto& t : ids) {
        SCOPED_TRACE(t.id);
        ASSERT_EQ(MatchLanguageId(t.id, def, first, matched, script.languageIniPath().c_str()), 1);
        EXPECT_STREQ(matched, t.folder);
        EXPECT_STREQ(first, "English");
        EXPECT_STREQ(def, "");
    }
    EXPECT_EQ(MatchLanguageId(0x0409, def, first, matched, ""), 0);

    // Fixed mode without DEFAULT takes the first folder; automatic without a match and without
    // DEFAULT leaves the language empty.
    WriteFileText(script / "Language.ini", "[SETTING]\r\nMODE=S\r\n[LANGUAGE]\r\nLANG_00=Japanese;Nihongo;0411\r\n");
    SetupContext c{};
    SetScriptPaths(&c, script.path().c_str());
    ReadSetupSettings(&c);
    EXPECT_STREQ(c.language, "Nihongo");
    WriteFileText(script / "Language.ini", "[SETTING]\r\nMODE=A\r\n[LANGUAGE]\r\nLANG_00=Nowhere;Nowhere;7f7f\r\n");
    SetupContext a{};
    SetScriptPaths(&a, script.path().c_str());
    ReadSetupSettings(&a);
    EXPECT_STREQ(a.language, "");
}

TEST(Settings, MessageFilesRightToLeftAndMissingMessageIni) {
    TestScript script("files", "[SETTING]\r\nMODE=S\r\nRTL=ON\r\nSILENT=ON\r\nMESSAGE=Texts.ini\r\n"
                               "[LANGUAGE]\r\nDEFAULT=arabic\r\n");
    SetupContext c{};
    SetScriptPaths(&c, script.path().c_str());
    ReadSetupSettings(&c);
    EXPECT_EQ(LoadLanguageFiles(&c), 0) << "no message INI in the language folder";
    EXPECT_EQ(RtlLayout, 1);
    SetProcessDefaultLayout(0);
    RtlLayout = 0;
    EXPECT_EQ(std::string(c.messageIni), script / "arabic\\Texts.ini");
    EXPECT_EQ(std::string(c.licensePath), script / "arabic\\License.txt");
    CreateDirectoryA((script / "arabic").c_str(), nullptr);
    WriteFileText(script / "arabic\\Texts.ini", "[FONT]\r\nSTANDARD=Tahoma,8,DEFAULT,NORMAL\r\n");
    EXPECT_EQ(LoadLanguageFiles(&c), 1);
    SetProcessDefaultLayout(0);
    RtlLayout = 0;
}

}  // namespace
