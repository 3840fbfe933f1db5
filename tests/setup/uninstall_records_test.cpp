#include "uninstall_records.h"

#include "application_records.h"
#include "file_copy.h"
#include "install_path.h"
#include "path_helpers.h"
#include "ini_text.h"
#include "registry_value.h"
#include "test_script.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

std::string RegText(const std::string& key, const char* name) {
    char value[520] = "";
    DWORD size = sizeof value - 1;
    DWORD type = 0;
    if (!ReadRegistryValue(HKEY_LOCAL_MACHINE, key.c_str(), name, value, &size, &type)) return "(none)";
    return value;
}

DWORD RegNumber(const std::string& key, const char* name) {
    DWORD value = 0xFFFFFFFF;
    DWORD size = sizeof value;
    DWORD type = 0;
    ReadRegistryValue(HKEY_LOCAL_MACHINE, key.c_str(), name, &value, &size, &type);
    return value;
}

std::string IniText(const std::string& ini, const char* section, const char* key) {
    char value[520] = "";
    GetPrivateProfileStringA(section, key, "", value, sizeof value, ini.c_str());
    return value;
}

std::vector<std::string> IniList(const std::string& ini, const char* section, const char* format) {
    std::vector<std::string> values;
    for (int n = 0;; ++n) {
        std::string v = IniText(ini, section, IniListKey(format, n).c_str());
        if (v.empty()) return values;
        values.push_back(v);
    }
}

std::string CopyFileText(const std::string& registKey) {
    return "[FOLDER]\r\nINSTALL=x\r\n[APPLIINFO]\r\nAPP_00=Client\r\nCHECK_00=1\r\nSHARED_00=Orvik;QzShared" + registKey +
           "\r\n[Client_INFO]\r\nOS=W:" QZ_ALL_OS_WORDS "\r\nCLASSNAME_00=ZovuClass\r\nTITLE_00=Zovu\r\n"
           "REG_000=HLM;Software\\Orvik\\First\r\nREG_001=HLM;Software\\Orvik\\Second\r\n"
           "[Client_UNINSTLOG]\r\nREGISTKEY=" + registKey + "\r\nUNINSTALLSTRING=Remvane.exe -r\r\nUNINSTMES=Remvane.ini\r\n"
           "DISPICON=QuelboZovu.exe,0\r\nDISPVERSION=2.1.5\r\nVERSION=2.1.5\r\nMODE=Modify\r\nPUBLISHER=Orvik\r\n"
           "URLUPDATE=http://127.0.0.1/update\r\n"
           "[Client_MONITOR]\r\nOLDMONITOR=rwlprmon\r\n"
           "[Client_COMMON]\r\nFILE_000=Remvane.exe;bin;\\Uninstall\r\nFILE_001=QuelboZovu.exe;bin;\\\r\n"
           "FILE_002=Remvane.ini;bin;\\Uninstall\r\n[Client_SHARED_COMMON]\r\nFILE_000=shared.dll;bin;\\\r\n";
}

const char kMessage[] =
    "[FONT]\r\nSTANDARD=Tahoma,8,DEFAULT,NORMAL\r\n[LIST]\r\nLIST_00=Client\r\n"
    "[Client_UNINSTLOG]\r\nDISPNAME=Quelbo Plus Test\r\n[Client_INFO]\r\nCLASSNAME_00=MessageClass\r\n";

constexpr char kOldProductKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\RW-Print2002 Port";

class UninstallRecords : public ::testing::Test {
protected:
    UninstallRecords()
        : registKey_("QzSetupTest" + std::to_string(GetCurrentProcessId())),
          script_("records", kLanguageIni, CopyFileText(registKey_), kMessage) {
        CreateDirectoryA((script_ / "bin").c_str(), nullptr);
        for (const char* name : {"Remvane.exe", "QuelboZovu.exe", "Remvane.ini", "shared.dll"}) {
            WriteFileText(script_ / "bin\\" + name, name);
        }
        key_ = std::string(kUninstallKey) + "\\" + registKey_;
        inst_ = script_ / "Quelbo Plus";
    }
    ~UninstallRecords() override {
        FreeApplicationInfo(&g_setup);
        RegDeleteTreeA(HKEY_LOCAL_MACHINE, key_.c_str());
        RegDeleteTreeA(HKEY_LOCAL_MACHINE, ("Software\\Orvik\\QzShared" + registKey_).c_str());
        RegDeleteTreeA(HKEY_LOCAL_MACHINE, kOldProductKey);
    }
    // One install run of the steps that write the records.
    void Install() {
        FreeApplicationInfo(&g_setup);
        script_.Prepare(&g_setup);
        g_setup.osCode = 12;
        g_setup.modeBits = kModeSilent;
        snprintf(g_setup.menuGroup, sizeof g_setup.menuGroup, "Quelbo Plus");
        ReadApplicationInfo(&g_setup);
        snprintf(g_setup.applications[0].installFolder, MAX_PATH, "%s", inst_.c_str());
        CreateUninstallInfo(nullptr, &g_setup);
        ASSERT_EQ(CopyFiles(nullptr, &g_setup), 1);
        ASSERT_EQ(SetRegistryKey(nullptr, &g_setup), 1);
        FinishLogFiles(nullptr, &g_setup);
    }
    std::string registKey_;
    TestScript script_;
    std::string key_;
    std::string inst_;
};

TEST_F(UninstallRecords, ListEntryAndReinstallWithoutDuplicates) {
    Install();
    const ApplicationRecord& r = g_setup.applications[0];
    EXPECT_EQ(r.alreadyInstalled, 0u);
    std::string list = inst_ + "\\Uninstall\\unflist.ini";
    EXPECT_EQ(std::string(r.uninstallPaths[kListFinalPath]), list);
    ASSERT_TRUE(Exists(list));
    EXPECT_FALSE(Exists(r.uninstallPaths[kListWorkPath])) << "the working copy is gone";

    EXPECT_EQ(RegText(key_, "DisplayName"), "Quelbo Plus Test");
    EXPECT_EQ(RegText(key_, "UninstallString"), "\"" + inst_ + "\\Uninstall\\Remvane.exe\" -r");
    EXPECT_EQ(RegText(key_, "InstallLocation"), inst_ + "\\Uninstall");
    EXPECT_EQ(RegText(key_, "UserMenu"), "Quelbo Plus");
    EXPECT_EQ(RegText(key_, "DisplayIcon"), inst_ + "\\QuelboZovu.exe,0");
    EXPECT_EQ(RegText(key_, "DisplayVersion"), "2.1.5");
    EXPECT_EQ(RegNumber(key_, "Version"), 0x2010005u);
    EXPECT_EQ(RegNumber(key_, "VersionMajor"), 2u);
    EXPECT_EQ(RegNumber(key_, "VersionMinor"), 1u);
    EXPECT_EQ(RegNumber(key_, "NoRemove"), 1u);
    EXPECT_EQ(RegNumber(key_, "NoRepair"), 1u);
    EXPECT_EQ(RegNumber(key_, "NoModify"), 0xFFFFFFFFu);
    EXPECT_EQ(RegText(key_, "Publisher"), "Orvik");
    EXPECT_EQ(RegText(key_, "URLUpdateInfo"), "http://127.0.0.1/update");
    EXPECT_EQ(RegText(key_, "HelpLink"), "(none)");

    EXPECT_EQ(IniText(list, "UNINSTALL", "REGISTKEY"), registKey_);
    EXPECT_EQ(IniText(list, "UNINSTALL", "PATH"), inst_);
    EXPECT_EQ(IniText(list, "SHARED", "SHAREDKEY"), "Orvik;QzShared" + registKey_);
    EXPECT_EQ(IniList(list, "SHARED", "FILE_%03d"), std::vector<std::string>{inst_ + "\\shared.dll"});
    EXPECT_EQ(IniList(list, "APPLICATION", "CLASSNAME_%02d"), (std::vector<std::string>{"ZovuClass", "MessageClass"}));
    EXPECT_EQ(IniList(list, "APPLICATION", "REG_%03d"),
              (std::vector<std::string>{"HLM;Software\\Orvik\\Second", "HLM;Software\\Orvik\\First"}));
    EXPECT_EQ(IniText(inst_ + "\\Uninstall\\Remvane.ini", "INFO", "UNINSTLOG"), "");
    std::vector<std::string> files = IniList(list, "FILE", "FILE_%03d");
    std::vector<std::string> paths = IniList(list, "PATH", "PATH_%03d");
    EXPECT_EQ(GetDefaultInstallFolder(g_setup), inst_) << "the installation folder, not the uninstaller's below it";

    Install();
    EXPECT_EQ(g_setup.applications[0].alreadyInstalled, 1u);
    EXPECT_EQ(std::string(g_setup.applications[0].uninstallPaths[kListWorkPath]), list);
    EXPECT_TRUE(Exists(list));
    EXPECT_EQ(IniList(list, "FILE", "FILE_%03d"), files);
    EXPECT_EQ(IniList(list, "PATH", "PATH_%03d"), paths);
    EXPECT_EQ(IniList(list, "APPLICATION", "REG_%03d").size(), 2u);
}

TEST_F(UninstallRecords, AListThatCannotReachItsPlaceStaysInTheTemporaryFolder) {
    script_.Prepare(&g_setup);
    g_setup.osCode = 12;
    ReadApplicationInfo(&g_setup);
    snprintf(g_setup.applications[0].installFolder, MAX_PATH, "%s", inst_.c_str());
    CreateUninstallInfo(nullptr, &g_setup);
    const ApplicationRecord& r = g_setup.applications[0];
    WritePrivateProfileStringA("FILE", "FILE_000", "C:\\x", r.uninstallPaths[kListWorkPath]);
    // A folder in the list's place: the copy over it fails.
    DWORD error = 0;
    ASSERT_TRUE(CreateFolderPath(nullptr, r.uninstallPaths[kListFinalPath], &error, nullptr));
    EXPECT_EQ(FinishLogFiles(nullptr, &g_setup), 0);
    EXPECT_EQ(IniText(r.uninstallPaths[kListWorkPath], "FILE", "FILE_000"), "C:\\x");
    DeleteFileA(r.uninstallPaths[kListWorkPath]);
}

TEST_F(UninstallRecords, OldMonitorProductGoesOnlyAtTheEnd) {
    std::string oldFolder = script_ / "Old Product";
    CreateDirectoryA(oldFolder.c_str(), nullptr);
    std::string command = "\"" + oldFolder + "\\rwuninst.exe\" /x";
    ASSERT_TRUE(WriteRegistryValue(HKEY_LOCAL_MACHINE, kOldProductKey, "UninstallString", command.c_str(),
                                   static_cast<DWORD>(command.size() + 1), REG_SZ));
    script_.Prepare(&g_setup);
    g_setup.osCode = 12;
    ReadApplicationInfo(&g_setup);
    snprintf(g_setup.applications[0].installFolder, MAX_PATH, "%s", inst_.c_str());
    CreateUninstallInfo(nullptr, &g_setup);
    EXPECT_EQ(g_setup.applications[0].alreadyInstalled, 1u);
    EXPECT_EQ(std::string(g_setup.applications[0].uninstallPaths[kListWorkPath]), oldFolder + "\\unflist.ini");
    EXPECT_NE(RegText(kOldProductKey, "UninstallString"), "(none)") << "kept while the install runs";
    EXPECT_EQ(FinishLogFiles(nullptr, &g_setup), 1);
    EXPECT_EQ(RegText(kOldProductKey, "UninstallString"), "(none)");
}

TEST(UninstallValues, ModeLettersVersionAndProgramName) {
    EXPECT_EQ(NoValuesForMode("Modify"), 3u);
    EXPECT_EQ(NoValuesForMode("r"), 6u);
    EXPECT_EQ(NoValuesForMode("X"), 2u);
    EXPECT_EQ(NoValuesForMode(""), 0u);
    EXPECT_EQ(PackVersion(2, 1, 5), 33619973u);
    std::string program, arguments;
    SplitUninstallString("Remvane.exe -r", program, arguments);
    EXPECT_EQ(program, "Remvane.exe");
    EXPECT_EQ(arguments, " -r");
    SplitUninstallString("", program, arguments);
    EXPECT_EQ(program, "\\Uninst.exe");
    EXPECT_EQ(arguments, "");
}

TEST(UninstallPaths, WorkingFilesPerApplicationSharedListsAndTheArpSwitch) {
    const std::string copyFile =
        "[FOLDER]\r\nINSTALL=x\r\n[APPLIINFO]\r\nAPP_00=Client\r\nCHECK_00=1\r\nAPP_01=Tools\r\nCHECK_01=1\r\n"
        "APP_02=Extra;client\r\nCHECK_02=1\r\n"
        "[Client_INFO]\r\nOS=W:" QZ_ALL_OS_WORDS "\r\n[Tools_INFO]\r\nOS=W:" QZ_ALL_OS_WORDS "\r\n"
        "[Extra_INFO]\r\nOS=W:" QZ_ALL_OS_WORDS "\r\n"
        "[Client_UNINSTLOG]\r\nREGISTKEY=QzNoSuchEntry\r\nUNINSTMES=Remvane.ini\r\nUNINSTLOG=client.ini\r\n"
        "[Extra_UNINSTLOG]\r\nREGISTKEY=QzNoSuchEntryEither\r\n";
    TestScript script("paths", kLanguageIni, copyFile,
                      "[FONT]\r\nSTANDARD=Tahoma,8,DEFAULT,NORMAL\r\n[LIST]\r\nLIST_00=Client\r\nLIST_01=Tools\r\nLIST_02=Extra\r\n");
    script.Prepare(&g_setup);
    g_setup.osCode = 16;
    ReadApplicationInfo(&g_setup);
    ASSERT_EQ(g_setup.applicationCount, 3u);
    for (uint32_t i = 0; i < 3; ++i) snprintf(g_setup.applications[i].installFolder, MAX_PATH, "C:\\Inst%u", i);
    CreateUninstallInfo(nullptr, &g_setup);
    const ApplicationRecord* a = g_setup.applications;
    EXPECT_STREQ(a[1].uninstallPaths[kListFinalPath], "C:\\Inst1\\unflist.ini") << "beside \\Uninst.exe's folder";
    EXPECT_STRNE(a[1].uninstallPaths[kListWorkPath], a[0].uninstallPaths[kListWorkPath]);
    EXPECT_STREQ(a[2].uninstallPaths[kListWorkPath], a[0].uninstallPaths[kListWorkPath]) << "Extra shares Client's list";
    EXPECT_STREQ(a[2].uninstallPaths[kListFinalPath], "C:\\Inst0\\client.ini");
    EXPECT_STREQ(a[2].uninstallPaths[kUninstallerIniPath], "C:\\Inst0\\Remvane.ini");
    EXPECT_EQ(UninstallEntryKey(&g_setup, &a[0]), std::string(kUninstallKey) + "\\QzNoSuchEntry");
    g_setup.modeBits |= kModeNoArpEntry;
    EXPECT_EQ(UninstallEntryKey(&g_setup, &a[0]), "") << "-p without UNINSTALLPATH";
    EXPECT_EQ(SetUninstallRegistry(nullptr, &g_setup, &g_setup.applications[0]), 1) << "nothing to write";
    FreeApplicationInfo(&g_setup);
}

}  // namespace
