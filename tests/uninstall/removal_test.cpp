// The removal against records written as the setup writes them: the worker's checks that stop
// before anything goes, then registry entries, firewall rules, shortcuts, files, the shared-use
// key, folders and the Uninstall entry.
#include "driver_use_count.h"
#include "fake_driver_store.h"
#include "firewall_removal.h"
#include "ini_text.h"
#include "item_removal.h"
#include "os_info.h"
#include "path_helpers.h"
#include "registry_removal.h"
#include "registry_value.h"
#include "scratch.h"
#include "setup_log.h"
#include "uninstall_worker.h"

#include <win_handles.h>

#include <gtest/gtest.h>

namespace {

bool KeyExists(HKEY root, const std::string& path) {
    qz::RegKey key;
    return RegOpenKeyExA(root, path.c_str(), 0, KEY_READ, key.put()) == ERROR_SUCCESS;
}

void MakeKey(HKEY root, const std::string& path, const char* shortcut = nullptr) {
    qz::RegKey key;
    ASSERT_EQ(RegCreateKeyExA(root, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, key.put(), nullptr), ERROR_SUCCESS);
    if (shortcut) RegSetValueExA(key.get(), "Shortcut", 0, REG_SZ, reinterpret_cast<const BYTE*>(shortcut), lstrlenA(shortcut) + 1);
}

class Removal : public ::testing::Test {
protected:
    Removal()
        : tag_(std::to_string(GetCurrentProcessId()) + "_" + std::to_string(reinterpret_cast<uintptr_t>(this) & 0xFFFF)),
          userKey_("Software\\QzUninst" + tag_), company_("QzCo" + tag_), entryName_("QzUninstTest" + tag_) {
        existing_ = root_ / "Existing";
        CreateDirectoryA(existing_.c_str(), nullptr);
        install_ = existing_ + "\\Orvik\\Quelbo Plus";
        uninstaller_ = install_ + "\\Uninstall";
        list_ = uninstaller_ + "\\unflist.ini";
        // The folders are made and recorded the way the setup makes them, parents first.
        DWORD error = 0;
        CreateFolderPath(nullptr, uninstaller_.c_str(), &error, nullptr);
        for (const std::string& f : {existing_ + "\\Orvik", install_, uninstaller_, install_ + "\\Themes", menu()}) {
            CreateFolderPath(nullptr, f.c_str(), &error, nullptr);
            AppendIniListValue("PATH", "PATH_%03d", f.c_str(), list_.c_str());
        }
        for (const std::string& f : {install_ + "\\a.exe", install_ + "\\Themes\\t.dll", uninstaller_ + "\\Remvane.exe",
                                     uninstaller_ + "\\Remvane.ini", menu() + "\\Quelbo.lnk",
                                     root_ / "shared.dll"}) {
            WriteFileText(f, "x");
        }
        for (const std::string& f : {install_ + "\\a.exe", install_ + "\\Themes\\t.dll", uninstaller_ + "\\Remvane.exe",
                                     list_, uninstaller_ + "\\Remvane.ini", install_ + "\\gone.txt"}) {
            AppendIniListValue("FILE", "FILE_%03d", f.c_str(), list_.c_str());
        }
        AppendIniListValue("SHORTCUT", "SHORTCUT_%03d", (menu() + "\\Quelbo.lnk").c_str(), list_.c_str());
        WritePrivateProfileStringA("UNINSTALL", "REGISTKEY", entryName_.c_str(), list_.c_str());
        CopyFileA(BesideTheTests("_Setup64.dll").c_str(), (uninstaller_ + "\\_Setup64.dll").c_str(), FALSE);
        helperLog_ = root_ / "helper.log";
        SetEnvironmentVariableA("QZ_SETUP_HELPER_LOG", helperLog_.c_str());
        ResetLogSettings();
        stepLog_ = root_ / "Setup.txt";
        SetLogFile(stepLog_.c_str());
        LogFlags = kLogStepFile;

        context_ = {};
        context_.osCode = 16;
        context_.osFlags = kOsFlag64Bit;
        context_.uiFlags = kUiSilent;
        snprintf(context_.baseFolder, MAX_PATH, "%s", uninstaller_.c_str());
        snprintf(context_.listIni, MAX_PATH, "%s", list_.c_str());
        snprintf(context_.uninstallerIni, MAX_PATH, "%s", (uninstaller_ + "\\Remvane.ini").c_str());
        snprintf(context_.programPath, MAX_PATH, "%s", (uninstaller_ + "\\Remvane.exe").c_str());
        CreateSectionEntry(&context_);
        BusDriverRemovable = 1;
        MakeKey(HKEY_LOCAL_MACHINE, uninstallKey());
        std::string command = "\"" + std::string(context_.programPath) + "\" -r";
        WriteRegistryValue(HKEY_LOCAL_MACHINE, uninstallKey().c_str(), "UninstallString", command.c_str(),
                           static_cast<DWORD>(command.size() + 1), REG_SZ);
    }
    ~Removal() override {
        FreeUninstallRecords(&context_);
        FreeSectionEntry(&context_);
        SetEnvironmentVariableA("QZ_SETUP_HELPER_LOG", nullptr);
        ResetLogSettings();
        BusDriverRemovable = 1;
        RegDeleteTreeA(HKEY_CURRENT_USER, userKey_.c_str());
        RegDeleteTreeA(HKEY_LOCAL_MACHINE, ("Software\\" + company_).c_str());
        RegDeleteTreeA(HKEY_LOCAL_MACHINE, uninstallKey().c_str());
    }
    std::string menu() const { return root_ / "Menu"; }
    std::string uninstallKey() const { return std::string(kUninstallRegistryKey) + "\\" + entryName_; }
    void Record(const char* section, const char* format, const std::string& value) {
        AppendIniListValue(section, format, value.c_str(), list_.c_str());
    }
    void WriteComponentIni(const std::string& text) {
        std::string ini = install_ + "\\Component.ini";
        WriteFileText(ini, text);
        WritePrivateProfileStringA("COMPONENT", "INIFILE", ini.c_str(), list_.c_str());
    }
    // Nothing of the install is gone: files, the product's registry key, the Uninstall entry.
    void ExpectNothingRemoved() {
        EXPECT_TRUE(Exists(install_ + "\\a.exe"));
        EXPECT_TRUE(Exists(menu() + "\\Quelbo.lnk"));
        EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, userKey_ + "\\Product\\Sub1"));
        EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, uninstallKey()));
    }

    ScratchFolder root_{"uninst"};
    std::string tag_, userKey_, company_, entryName_;
    std::string existing_, install_, uninstaller_, list_, helperLog_, stepLog_;
    UninstallContext context_{};
};

TEST_F(Removal, RegistryEntriesGoAsRecordedAndHostileOnesTouchNothing) {
    WriteFileText(menu() + "\\Other.lnk", "x");
    MakeKey(HKEY_CURRENT_USER, userKey_ + "\\Product\\Sub1", (menu() + "\\Other.lnk").c_str());
    MakeKey(HKEY_CURRENT_USER, userKey_ + "\\Kept\\Child");
    MakeKey(HKEY_CURRENT_USER, userKey_ + "\\Empty");
    MakeKey(HKEY_CURRENT_USER, userKey_ + "\\Other\\Child");
    MakeKey(HKEY_CURRENT_USER, userKey_ + "\\Productive\\Child");
    // The product's key as the setup recorded it: a whole tree may go at or below it, not above.
    WritePrivateProfileStringA("SHARED", "SHAREDKEY", (userKey_.substr(9) + ";Product").c_str(), list_.c_str());
    for (const std::string& entry : {"HCU;" + userKey_ + "\\Product\\*.*", "HCU;" + userKey_ + "\\*.*",
                                     "HCU;" + userKey_ + "\\Productive\\*.*", "HCU;" + userKey_ + "\\Kept",
                                     "HCU;" + userKey_ + "\\Empty", std::string("HCU;*.*"), std::string("HCU;Software\\*.*"),
                                     std::string("HCU;"), std::string("HCU;\\*.*"), "XYZ;" + userKey_ + "\\Other\\*.*",
                                     std::string("HCR;@CPL;")}) {
        Record("APPLICATION", "REG_%03d", entry);
    }
    EXPECT_EQ(DeleteRegistryEntries(nullptr, &context_), 1);
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, userKey_ + "\\Product"));
    EXPECT_FALSE(Exists(menu() + "\\Other.lnk")) << "the file named by a Shortcut value goes with its key";
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, userKey_ + "\\Empty"));
    EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, userKey_ + "\\Kept\\Child")) << "a plain key with subkeys stays";
    EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, userKey_ + "\\Other\\Child")) << "a tree above the product's key stays";
    EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, userKey_ + "\\Productive\\Child"));
    EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, "Software\\Wine")) << "no entry reaches the root's other keys";
    EXPECT_TRUE(KeyExists(HKEY_CLASSES_ROOT, "CLSID"));
}

TEST_F(Removal, FirewallRulesGoThroughTheHelperAndTheSearchPortStaysForAnotherUser) {
    Record("ICF", "DELFILE2_%03d", "Quelbo Plus;" + install_ + "\\a.exe");
    Record("ICF", "DELPORT2_%03d", "Quelbo Plus Search;19540;UDP");
    Record("ICF", "DELPORT2_%03d", "Quelbo Plus Request;49300;UDP");
    Record("ICF", "DELFILE_%03d", install_ + "\\a.exe");
    Record("ICF", "DELPORT_%03d", "19540;UDP");
    Record("ICF", "DELPORT_%03d", "8080;TCP");
    struct Case { int removable; const char* log; } cases[] = {
        {1, "WindowsFirewallRemovePolicy|Quelbo Plus\r\nWindowsFirewallRemovePolicy|Quelbo Plus Search\r\n"
            "WindowsFirewallRemovePolicy|Quelbo Plus Request\r\nWindowsFirewallRemoveApp|%s\r\n"
            "WindowsFirewallRemovePort|1|19540\r\nWindowsFirewallRemovePort|0|8080\r\n"},
        {0, "WindowsFirewallRemovePolicy|Quelbo Plus\r\nWindowsFirewallRemovePolicy|Quelbo Plus Request\r\n"
            "WindowsFirewallRemoveApp|%s\r\nWindowsFirewallRemovePort|0|8080\r\n"},
    };
    for (const Case& c : cases) {
        DeleteFileA(helperLog_.c_str());
        BusDriverRemovable = c.removable;
        EXPECT_EQ(RemoveFirewallEntries(nullptr, &context_), 1);
        char expected[2048];
        snprintf(expected, sizeof expected, c.log, (install_ + "\\a.exe").c_str());
        EXPECT_EQ(ReadFileText(helperLog_), expected) << "bus driver removable " << c.removable;
    }
    DeleteFileA(helperLog_.c_str());
    context_.osCode = 6;  // Vista without its service pack: no rule is touched
    context_.osFlags = 0;
    EXPECT_EQ(RemoveFirewallEntries(nullptr, &context_), 0);
    EXPECT_FALSE(Exists(helperLog_));
}

TEST_F(Removal, ItemsGoExceptWhatStageTwoTakesAndFoldersAboveTheRecordedOnesStay) {
    MakeKey(HKEY_LOCAL_MACHINE, "Software\\" + company_ + "\\Prod");
    WritePrivateProfileStringA("SHARED", "SHAREDKEY", (company_ + ";Prod").c_str(), list_.c_str());
    Record("SHARED", "FILE_%03d", root_ / "shared.dll");
    EXPECT_EQ(DeleteInstalledItems(nullptr, &context_), 1);
    for (const std::string& gone : {install_ + "\\a.exe", install_ + "\\Themes", menu() + "\\Quelbo.lnk", menu(),
                                    root_ / "shared.dll"}) {
        EXPECT_FALSE(Exists(gone)) << gone;
    }
    // The program and its INIs stay for stage two, and so does their folder with its parents.
    for (const std::string& kept : {std::string(context_.programPath), list_, std::string(context_.uninstallerIni), install_, existing_}) {
        EXPECT_TRUE(Exists(kept)) << kept;
    }
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, uninstallKey()));
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, "Software\\" + company_));
    std::string log = ReadFileText(stepLog_);
    size_t gone = log.find("  Delete: " + install_ + "\\gone.txt\r\n");
    ASSERT_NE(gone, std::string::npos);
    EXPECT_NE(log.find("    --> Error: 0x00000002\r\n", gone), std::string::npos) << "a file already gone is skipped";
}

TEST_F(Removal, SharedFilesStayWhileAnotherProductOfTheCompanyRemains) {
    MakeKey(HKEY_LOCAL_MACHINE, "Software\\" + company_ + "\\Prod");
    MakeKey(HKEY_LOCAL_MACHINE, "Software\\" + company_ + "\\Another");
    WritePrivateProfileStringA("SHARED", "SHAREDKEY", (company_ + ";Prod").c_str(), list_.c_str());
    Record("SHARED", "FILE_%03d", root_ / "shared.dll");
    DeleteInstalledItems(nullptr, &context_);
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, "Software\\" + company_ + "\\Prod"));
    EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, "Software\\" + company_ + "\\Another"));
    EXPECT_TRUE(Exists(root_ / "shared.dll"));
}

TEST_F(Removal, WorkerStopsBeforeRemovingAnythingOnAConnectedDeviceOrAProgramWithoutPath) {
    MakeKey(HKEY_CURRENT_USER, userKey_ + "\\Product\\Sub1");
    Record("APPLICATION", "REG_%03d", "HCU;" + userKey_ + "\\Product\\*.*");
    struct Case { const char* componentIni; const char* fileEntry; bool connected; const char* logged; } cases[] = {
        {"[DRIVER_Zkuptp]\r\nNAME=Zkuptp\r\nINFFILE=zkuptp.inf\r\n", nullptr, true, "[MessageBox] : MESSAGE_11\r\n"},
        {"[FILE_Tool]\r\nNAME=Tool\r\nUNINSTALLCOMMAND=-x\r\n", "Tool;-;UNINSTALL", false, "[MessageBox] : MESSAGE_10()\r\n"},
    };
    for (const Case& c : cases) {
        FakeDriverStore store;
        store.connected = c.connected;
        WriteComponentIni(c.componentIni);
        WritePrivateProfileStringA("COMPONENT", "FILE_00", c.fileEntry, list_.c_str());
        DeleteFileA(stepLog_.c_str());
        EXPECT_EQ(RunUninstall(nullptr, &context_), 0) << c.logged;
        EXPECT_NE(ReadFileText(stepLog_).find(c.logged), std::string::npos) << ReadFileText(stepLog_);
        ExpectNothingRemoved();
    }
}

}  // namespace
