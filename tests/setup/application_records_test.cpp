#include "application_records.h"

#include "os_info.h"
#include "page_order.h"
#include "test_script.h"

#include <gtest/gtest.h>

namespace {

// Three applications: Client everywhere, Legacy for no running release, Tools everywhere;
// a fourth APP_03 has no LIST_03 and does not count.
const char kCopyFile[] =
    "[FOLDER]\r\nINSTALL=x\r\nFOLDER_00=\\Client\r\n"
    "[APPLIINFO]\r\nAPP_00=Client\r\nCHECK_00=0\r\nICON_00=c.ico\r\nAPP_01=Legacy\r\nCHECK_01=1\r\n"
    "APP_02=Tools;Client\r\nCHECK_02=1\r\nAPP_03=Extra\r\n"
    "[Client_INFO]\r\nOS=MAIN:" QZ_ALL_OS_WORDS "\r\n[Legacy_INFO]\r\nOS=OLD:NONE\r\n[Tools_INFO]\r\nOS=T:" QZ_ALL_OS_WORDS "\r\n[Extra_INFO]\r\nOS=E:" QZ_ALL_OS_WORDS "\r\n"
    "[Client_COMMON]\r\nFILE_000=Remvane.exe.manifest;bin;\\\r\nFILE_001=Remvane.exe;bin;\\Uninstall\r\n"
    "FILE_002=*.dll;bin;@SYS\r\n"
    "[Client_MAIN]\r\nFILE_000=QuelboZovu.exe;bin\\main;\\\r\nFILE_001=Pnxscapi.dll;bin;\\Client\r\n";
const char kMessage[] =
    "[FONT]\r\nSTANDARD=Tahoma,8,DEFAULT,NORMAL\r\n"
    "[LIST]\r\nLIST_00=Client\r\nMEMO_00=one\\ttwo\r\nLIST_01=Legacy\r\nLIST_02=Tools\r\n";

TEST(ApplicationRecords, CountingRulesAndFields) {
    TestScript script("apps", kLanguageIni, kCopyFile, kMessage);
    SetupContext& c = g_setup;
    script.Prepare(&c);
    c.osCode = 12;
    for (uint32_t& page : c.pages) page = 1;
    ReadApplicationInfo(&c);
    ASSERT_EQ(c.applicationCount, 3u);
    const ApplicationRecord& client = c.applications[0];
    EXPECT_STREQ(client.name, "Client");
    EXPECT_STREQ(client.osWord, "MAIN");
    EXPECT_STREQ(client.memo, "one\ttwo");
    EXPECT_EQ(client.checked, 0u);
    EXPECT_EQ(std::string(client.iconPath), script / "c.ico");
    EXPECT_STREQ(client.subFolder, "\\Client");
    EXPECT_STREQ(client.sections[kSecUninstLog], "Client_UNINSTLOG");
    EXPECT_STREQ(client.sections[kSecIcf], "Client_ICF");
    EXPECT_STREQ(client.listSections[kListComponent], "COMPONENT");
    EXPECT_STREQ(c.applications[1].name, "") << "no OS word: an empty record under its number";
    EXPECT_EQ(c.applications[1].checked, 0u);
    EXPECT_STREQ(c.applications[2].sharedWith, "Client");
    EXPECT_STREQ(c.applications[2].subFolder, "\\");
    EXPECT_EQ(c.pages[kSwitchApplication], 1u) << "two applications keep the list page";
    EXPECT_EQ(FindApplicationRecord(&c, "tools"), &c.applications[2]);
    FreeApplicationInfo(&c);
    EXPECT_EQ(c.applications, nullptr);

    // One application alone is checked and the list page goes.
    WriteFileText(script / "English\\Setup.ini", "[LIST]\r\nLIST_00=Client\r\n");
    ReadApplicationInfo(&c);
    ASSERT_EQ(c.applicationCount, 1u);
    EXPECT_EQ(c.applications[0].checked, 1u);
    EXPECT_EQ(c.pages[kSwitchApplication], 0u);
    FreeApplicationInfo(&c);
}

TEST(ApplicationRecords, PathMacros) {
    TestScript script("macros");
    script.Prepare(&g_setup);
    snprintf(g_setup.language, sizeof g_setup.language, "Eng");
    char windows[MAX_PATH];
    GetWindowsDirectoryA(windows, sizeof windows);
    char system[MAX_PATH];
    GetSystemDirectoryA(system, sizeof system);
    std::string drive = std::string(windows).substr(0, 3);
    struct { const char* spec; const char* base; int useBase; std::string expected; } cases[] = {
        {"..\\..\\Data", "C:\\A\\B\\C", 1, "C:\\A\\Data"},
        {"@CDRIVE\\Temp", "C:\\A", 1, drive + "Temp"},
        {"@win", "C:\\A", 1, windows},
        {"@SYS\\drivers", "C:\\A", 1, std::string(system) + "\\drivers"},
        {"Sub@LANFiles", "C:\\Base", 1, "C:\\Base\\Sub\\Eng\\Files"},
        {"@LAN\\Doc", "C:\\Base", 1, "C:\\Base\\Eng\\Doc"},
        {"\\", "C:\\Inst", 1, "C:\\Inst"},
        {"bin", "ignored", 0, script / "bin"},
    };
    for (auto& t : cases) {
        SCOPED_TRACE(t.spec);
        char out[MAX_PATH];
        ASSERT_EQ(ExpandPathMacro(t.spec, t.base, out, sizeof out, t.useBase), 1);
        EXPECT_STREQ(out, t.expected.c_str());
    }
    for (const char* above : {"..\\..\\..\\X", "Sub\\..\\..\\X", "@WIN\\..\\X", "C:\\Windows", "\\\\server\\share", "Sub/../X"}) {
        char out[MAX_PATH] = "unchanged";
        EXPECT_EQ(ExpandPathMacro(above, "C:\\A\\B\\C", out, sizeof out, 1), 0) << above;
        EXPECT_STREQ(out, "unchanged") << above;
    }
    char small[12];
    EXPECT_EQ(ExpandPathMacro("abcd", "C:\\Base", small, sizeof small, 1), 0) << "12 bytes needed";
    EXPECT_EQ(ExpandPathMacro("abc", "C:\\Base", small, sizeof small, 1), 1);
    char appData[MAX_PATH];
    ASSERT_EQ(ExpandPathMacro("@APPDATA\\Orvik", "C:\\A", appData, sizeof appData, 1), 1);
    EXPECT_NE(std::string(appData).find("\\Orvik"), std::string::npos);
    EXPECT_NE(std::string(appData).find(':'), std::string::npos);
}

TEST(ApplicationRecords, InstalledFileLookupComparesWholeNames) {
    TestScript script("lookup", kLanguageIni, kCopyFile, kMessage);
    script.Prepare(&g_setup);
    const char* ini = g_setup.copyFileIni;
    char folder[MAX_PATH];
    ASSERT_EQ(GetInstalledFilePath("\\Remvane.exe", "Client", "MAIN", "C:\\Inst", ini, folder, kInstalledForm), 1);
    EXPECT_STREQ(folder, "C:\\Inst\\Uninstall") << "not the .manifest entry before it";
    ASSERT_EQ(GetInstalledFilePath("remvane.exe.MANIFEST", "Client", "MAIN", "C:\\Inst", ini, folder, kInstalledForm), 1);
    EXPECT_STREQ(folder, "C:\\Inst");
    EXPECT_EQ(GetInstalledFilePath("Remvane", "Client", "MAIN", "C:\\Inst", ini, folder, kInstalledForm), 0);
    ASSERT_EQ(GetInstalledFilePath("QuelboZovu.exe", "Client", "MAIN", "C:\\Inst", ini, folder, kSourceForm), 1);
    EXPECT_EQ(std::string(folder), script / "bin\\main");
    ASSERT_EQ(GetInstalledFilePath("theme.dll", "Client", "MAIN", "C:\\Inst", ini, folder, kInstalledForm), 1);
    char system[MAX_PATH];
    GetSystemDirectoryA(system, sizeof system);
    EXPECT_STREQ(folder, system) << "a wildcard entry lists every file it copies";
    ASSERT_EQ(GetInstalledFilePath("Pnxscapi.dll", "Client", "MAIN", "C:\\Inst", ini, folder, kInstalledForm), 1);
    EXPECT_STREQ(folder, "C:\\Inst\\Client") << "the file's own entry wins over an earlier pattern";
    EXPECT_EQ(GetInstalledFilePath("QuelboZovu.exe", "Tools", "T", "C:\\Inst", ini, folder, kInstalledForm), 0);
}

TEST(PageOrder, NextAndBackFollowTheSwitches) {
    SetupContext c{};
    for (uint32_t& page : c.pages) page = 1;
    EXPECT_EQ(StartPage(c), kPageWelcome);
    EXPECT_EQ(NextPageAfter(c, kPageLanguage), kPageWelcome);
    EXPECT_EQ(NextPageAfter(c, kPageCheck), kPageInstall);
    EXPECT_EQ(BackPageBefore(c, kPageLicense), kPageWelcome);
    EXPECT_EQ(BackPageBefore(c, kPageWelcome), kPageStay);
    c.pages[kSwitchWelcome] = c.pages[kSwitchLicense] = c.pages[kSwitchStartMenu] = 0;
    EXPECT_EQ(StartPage(c), kPageApplications);
    EXPECT_EQ(BackPageBefore(c, kPageApplications), kPageStay) << "Back on the first page shown stays";
    EXPECT_EQ(NextPageAfter(c, kPageFolder), kPageCheck);
    EXPECT_EQ(BackPageBefore(c, kPageCheck), kPageFolder);
    for (uint32_t& page : c.pages) page = 0;
    EXPECT_EQ(StartPage(c), kPageInstall);
    EXPECT_EQ(NextPageAfter(c, kPageInstall), kPageRestart);
    c.printerPage = 1;
    c.finishPage = 1;
    EXPECT_EQ(NextPageAfter(c, kPageInstall), kPagePrinters);
    EXPECT_EQ(NextPageAfter(c, kPagePrinters), kPageFinish);
    c.connect = 1;
    EXPECT_EQ(NextPageAfter(c, kPageInstall), kPageConnect);
    EXPECT_EQ(NextPageAfter(c, kPageFinish), kPageEndWizard);
    c.restartPage = 1;
    EXPECT_EQ(NextPageAfter(c, kPageFinish), kPageRestart);
    EXPECT_EQ(NextPageAfter(c, kPageRestart), kPageEndWizard);
    EXPECT_EQ(BackPageBefore(c, kPageFinish), kPageStay);
}

}  // namespace

namespace {

// The suite's own script: one application, checked, with its uninstaller, firewall rules and
// removal entries where the uninstaller looks for them.
TEST(ShippedScript, DescribesTheSuite) {
    SetupContext& c = g_setup;
    memset(&c, 0, sizeof c);
    SetScriptPaths(&c, QZ_SETUP_SCRIPT_DIR);
    c.osCode = 16;
    c.osFlags = kOsFlag64Bit;
    ReadSetupSettings(&c);
    ASSERT_STREQ(c.language, "English");
    ASSERT_EQ(GetMessageFilePaths(c.language, c.languageIni, c.messageIni, c.licensePath), 1);
    EXPECT_TRUE(Exists(c.licensePath));
    ReadApplicationInfo(&c);
    ASSERT_EQ(c.applicationCount, 1u);
    const ApplicationRecord& r = c.applications[0];
    EXPECT_EQ(r.checked, 1u);
    EXPECT_STREQ(r.displayName, "Quelbo Plus");
    char folder[MAX_PATH];
    ASSERT_EQ(GetInstalledFilePath("Remvane.exe", r.name, r.osWord, "C:\\Q", c.copyFileIni, folder, kInstalledForm), 1);
    EXPECT_STREQ(folder, "C:\\Q\\Uninstall");
    ASSERT_EQ(GetInstalledFilePath("Quelbotheme.dll", r.name, r.osWord, "C:\\Q", c.copyFileIni, folder, kInstalledForm), 1);
    EXPECT_STREQ(folder, "C:\\Q\\Themes");
    char rule[260];
    GetPrivateProfileStringA("QuelboPlus_ICF", "ADDPORT2_001", "", rule, sizeof rule, c.copyFileIni);
    EXPECT_STREQ(rule, "49300;UDP;Quelbo Plus Request");
    FreeApplicationInfo(&c);
}

}  // namespace
