#include "os_info.h"
#include "precheck_state.h"
#include "prechecks.h"
#include "registry_value.h"
#include "setup_helper_library.h"
#include "setup_log.h"
#include "test_script.h"
#include "uninstall_records.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

TEST(Prechecks, FrameworkPartsAreComparedOneByOne) {
    auto v = [](const char* text, bool installed = true) {
        FrameworkVersion version = ParseFrameworkVersion(text);
        version.installed = installed;
        return version;
    };
    const std::vector<FrameworkVersion> pc = {v("3.5.30729"), v("2.0.50727"), v("4.8.0", false)};
    const struct {
        std::vector<FrameworkVersion> installed;
        const char* need;
        bool satisfied;
    } cases[] = {
        {pc, "3.5.0", true},    {pc, "3.5", true},   {pc, "2.0.50727", true}, {pc, "3.5.30730", false},
        {pc, "4.0.0", false},  // only as a release that is not installed
        {{v("4.0.0")}, "3.5.0", false},  // each part by itself: 0 is below 5
        {{}, "1.0", false},
    };
    for (const auto& c : cases) EXPECT_EQ(FrameworkSatisfied(c.installed, ParseFrameworkVersion(c.need)), c.satisfied) << c.need;
    FrameworkVersion parsed = ParseFrameworkVersion("4.7");
    EXPECT_EQ(parsed.major * 10000 + parsed.minor * 100 + parsed.build, 40700);
}

TEST(Prechecks, DriverConflictsBetweenTheSetupAndThePc) {
    const struct {
        unsigned setup, pc;
        bool conflict;
        const char* name;
    } cases[] = {
        {kDriverZkuptp, kDriverZkuptp | kDriverZkspe, true, "Tavrin Manager"},
        {kDriverZkuptp, kDriverZkuptp | kDriverZkspe | kDriverZkhidflt, true, "Tavrin Manager"},
        {kDriverZkuptp | kDriverZkspe, kDriverZuzazuv, true, "ZK Tessora for Serial Device Server"},
        {kDriverZkuptp, kDriverZkuptp, false, ""},
        {kDriverZkuptp | kDriverZuzazuv, kDriverZkuptp | kDriverZkspe, false, ""},
        {kDriverZkuptp | kDriverZkspe, kDriverZuzazuv | kDriverZkuptp, false, ""},
        {0, kDriverZkuptp | kDriverZkspe, false, ""},
    };
    for (const auto& c : cases) {
        std::string name;
        EXPECT_EQ(DriversConflict(c.setup, c.pc, "Tavrin Manager", name), c.conflict) << c.setup << "/" << c.pc;
        EXPECT_EQ(name, c.name);
    }
}

TEST(Prechecks, InstalledVersionAndItsKey) {
    SetupContext c{};
    TestScript script("pckey", kLanguageIni,
                      "[APPLIINFO]\r\nAPP_00=Client\r\n[Client_UNINSTLOG]\r\nREGISTKEY=QzPrecheck\r\n"
                      "UNINSTALLPATH=Software\\Orvik\\QzPrecheckEntry\r\n");
    script.Prepare(&c);
    EXPECT_EQ(ProductUninstallKey(&c, "Client"), std::string(kUninstallKey) + "\\QzPrecheck");
    EXPECT_EQ(ProductUninstallKey(&c, "Other"), "");
    c.modeBits = kModeNoArpEntry;
    EXPECT_EQ(ProductUninstallKey(&c, "Client"), "Software\\Orvik\\QzPrecheckEntry");

    std::string key = "Software\\Orvik\\QzPrecheckVersion" + std::to_string(GetCurrentProcessId());
    EXPECT_EQ(InstalledProductVersion(key), "");
    DWORD packed = 0x0102000F;
    ASSERT_TRUE(WriteRegistryValue(HKEY_LOCAL_MACHINE, key.c_str(), "Version", &packed, sizeof packed, REG_DWORD));
    EXPECT_EQ(InstalledProductVersion(key), "") << "no DisplayVersion: not installed";
    ASSERT_TRUE(WriteRegistryValue(HKEY_LOCAL_MACHINE, key.c_str(), "DisplayVersion", "9.0", 4, REG_SZ));
    EXPECT_EQ(InstalledProductVersion(key), "1.2.15") << "the packed Version wins";
    RegDeleteKeyValueA(HKEY_LOCAL_MACHINE, key.c_str(), "Version");
    EXPECT_EQ(InstalledProductVersion(key), "9.0");
    RegDeleteTreeA(HKEY_LOCAL_MACHINE, key.c_str());
}

// The first stage in silent mode over scripted setup folders: where it stops, by its log line.
TEST(Prechecks, TheFirstStageStopsAtTheFirstFailingCheck) {
    std::string tag = std::to_string(GetCurrentProcessId());
    std::string installedKey = std::string(kUninstallKey) + "\\QzPrecheckInstalled" + tag;
    ASSERT_TRUE(WriteRegistryValue(HKEY_LOCAL_MACHINE, installedKey.c_str(), "DisplayName", "x", 2, REG_SZ));
    const std::string app = "[APPLIINFO]\r\nAPP_00=Client\r\n[Client_INFO]\r\nOS=W:" QZ_ALL_OS_WORDS "\r\n";
    const struct {
        std::string copyFile;
        bool library;
        int result;
        const char* line;
    } cases[] = {
        {"[APPLIINFO]\r\nCHECK_00=1\r\n", true, 0, "  CopyFile.ini is not found."},
        {"[APPLIINFO]\r\nAPP_00=Client\r\n[Client_INFO]\r\nOS=OLD:95,98\r\n", true, 0,
         "  Setup has detected an incompatible version of Windows."},
        {app + "FRAMEWORK_MIN=99.0.0\r\n", true, 0, "  Not support .Net Framework."},
        {app, false, 0, "is not found."},
        {app + "PRECHECK=continue\r\n[Client_UNINSTLOG]\r\nREGISTKEY=QzPrecheckInstalled" + tag + "\r\n", true, 0,
         "  I will not continue with the installation of Client programs."},
        {app + "PRECHECK=STOP\r\n[Client_UNINSTLOG]\r\nREGISTKEY=QzPrecheckNotInstalled\r\n", true, 1,
         "  Number of users logged in is 1."},
    };
    for (const auto& t : cases) {
        SCOPED_TRACE(t.line);
        TestScript script("pcstage", kLanguageIni, t.copyFile);
        SetupContext c{};
        script.Prepare(&c);
        c.osCode = 16;
        c.osFlags = kOsFlag64Bit;
        c.modeBits = kModeSilent;
        if (t.library) {
            CopyFileA(BesideTheTests(SetupHelperLibraryName(c.osCode)).c_str(),
                      (script / SetupHelperLibraryName(c.osCode)).c_str(), FALSE);
        }
        ResetLogSettings();
        LogFlags = kLogStepFile;
        SetLogFile((script / "Setup.txt").c_str());
        EXPECT_EQ(CheckApplication(nullptr, &c), t.result);
        ResetLogSettings();
        std::string log = ReadFileText(script / "Setup.txt");
        EXPECT_NE(log.find(std::string(t.line) + "\r\n"), std::string::npos) << log;
    }
    RegDeleteTreeA(HKEY_LOCAL_MACHINE, installedKey.c_str());
}

}  // namespace
