#include "file_copy.h"

#include "ini_text.h"

#include "application_records.h"
#include "shortcuts.h"
#include "test_script.h"
#include "version_install.h"

#include <gtest/gtest.h>

#include <objbase.h>
#include <shlobj.h>

#include <vector>

namespace {

std::string ListValue(const std::string& ini, const char* section, const std::string& key) {
    char value[1024] = "";
    GetPrivateProfileStringA(section, key.c_str(), "", value, sizeof value, ini.c_str());
    return value;
}

std::vector<std::string> ListValues(const std::string& ini, const char* section, const char* format) {
    std::vector<std::string> values;
    for (int n = 0;; ++n) {
        std::string v = ListValue(ini, section, IniListKey(format, n));
        if (v.empty()) return values;
        values.push_back(v);
    }
}

const char kCopyFile[] =
    "[FOLDER]\r\nINSTALL=x\r\n[APPLIINFO]\r\nAPP_00=Client\r\nCHECK_00=1\r\n[Client_INFO]\r\nOS=W:" QZ_ALL_OS_WORDS "\r\n"
    "[Client_COMMON]\r\nFILE_000=*.dll;bin;\\Libs\r\nFILE_001=missing.txt;bin;\\\r\n"
    "FILE_002=readme.txt;bin;\\Docs\\Deep;HIDDEN,NORMAL\r\nFILE_003=broken;bin\r\n"
    "ONLYFILE_000=readme.txt;bin;\\Only\r\nFILE_004=top.bmp;bin;\\\r\n"
    "[Client_W]\r\nVERFILE_000=ver.dll;bin;\\;FORCE\r\n";
const char kMessage[] =
    "[FONT]\r\nSTANDARD=Tahoma,8,DEFAULT,NORMAL\r\n[LIST]\r\nLIST_00=Client\r\n"
    "[Client_COMMON]\r\nSHORTCUT_000=readme.txt;Sub;Read me;About the client;-x 1\r\n"
    "SHORTCUT_001=unlisted.exe;;Nothing\r\nINTERNET_000=Site.url;;http://127.0.0.1/\r\n";

// The version service of a test: every file is in use, with the answers the case gives.
class FakeVersionInstall final : public VersionInstallService {
public:
    FakeVersionInstall() { SetVersionInstaller(this); }
    ~FakeVersionInstall() override { SetVersionInstaller(nullptr); }
    DWORD FindFile(const char*, const char*, const char* appFolder, char* current, UINT* currentLength,
                   char* destination, UINT* destinationLength) override {
        snprintf(current, *currentLength, "%s", inUse ? appFolder : "");
        snprintf(destination, *destinationLength, "%s", appFolder);
        return inUse ? VFF_FILEINUSE : 0;
    }
    DWORD InstallFile(DWORD flags, const char* name, const char*, const char* sourceFolder,
                      const char* destinationFolder, const char*, char* temp, UINT*) override {
        lastFlags = flags;
        temp[0] = '\0';
        if (!inUse) CopyFileA(JoinFolder(sourceFolder, name).c_str(), JoinFolder(destinationFolder, name).c_str(), FALSE);
        return installAnswer;
    }
    BOOL MoveAtRestart(const char* from, const char* to) override {
        moves.push_back(std::string(from) + ">" + to);
        if (!moveAnswer) SetLastError(ERROR_ACCESS_DENIED);
        return moveAnswer;
    }
    BOOL moveAnswer = TRUE;
    bool inUse = true;
    DWORD installAnswer = VIF_FILEINUSE;
    DWORD lastFlags = 0;
    std::vector<std::string> moves;
};

void RemoveScheduledCopies() {
    char windows[MAX_PATH];
    GetWindowsDirectoryA(windows, sizeof windows);
    for (int n = 0; n < 20; ++n) DeleteFileA((std::string(windows) + "\\~pricx" + std::to_string(n) + ".qmt").c_str());
}

class FileCopy : public ::testing::Test {
protected:
    FileCopy() : script_("copy", kLanguageIni, kCopyFile, kMessage) {
        script_.Prepare(&g_setup);
        g_setup.osCode = 12;
        g_setup.modeBits = kModeSilent;
        ReadApplicationInfo(&g_setup);
        CreateDirectoryA((script_ / "bin").c_str(), nullptr);
        for (const char* name : {"a.dll", "b.dll", "readme.txt", "ver.dll", "top.bmp"}) WriteFileText(script_ / "bin\\" + name, name);
        record_ = &g_setup.applications[0];
        snprintf(record_->installFolder, MAX_PATH, "%s", (script_ / "Inst").c_str());
        snprintf(record_->menuFolder, MAX_PATH, "%s", (script_ / "Menu").c_str());
        list_ = script_ / "unflist.ini";
        snprintf(record_->uninstallPaths[kListWorkPath], MAX_PATH, "%s", list_.c_str());
        RemoveScheduledCopies();
    }
    ~FileCopy() override {
        FreeApplicationInfo(&g_setup);
        RemoveScheduledCopies();
    }
    TestScript script_;
    ApplicationRecord* record_ = nullptr;
    std::string list_;
};

TEST_F(FileCopy, ThreePassesRecordWhatWasInstalledOnce) {
    EXPECT_EQ(CountFiles(nullptr, &g_setup), 7);
    FakeVersionInstall versions;
    versions.inUse = false;
    versions.installAnswer = 0;
    for (int run = 0; run < 2; ++run) {
        ASSERT_EQ(CopyFiles(nullptr, &g_setup), 1);
        ASSERT_EQ(CopyFilesEx(nullptr, &g_setup), 1);
        ASSERT_EQ(OnlyCopyFiles(nullptr, &g_setup), 1);
    }
    std::string inst = script_ / "Inst";
    EXPECT_EQ(ListValues(list_, "FILE", "FILE_%03d"),
              (std::vector<std::string>{inst + "\\Libs\\a.dll", inst + "\\Libs\\b.dll", inst + "\\Libs\\ver.dll",
                                        inst + "\\Docs\\Deep\\readme.txt", inst + "\\top.bmp", inst + "\\ver.dll"}))
        << "the missing source is not recorded; the wildcard also took ver.dll";
    EXPECT_EQ(ListValues(list_, "PATH", "PATH_%03d"),
              (std::vector<std::string>{inst, inst + "\\Libs", inst + "\\Docs", inst + "\\Docs\\Deep",
                                        script_ / "Menu", script_ / "Menu\\Sub"}));
    EXPECT_EQ(ListValue(list_, "UNINSTALL", "PATH"), inst);
    EXPECT_TRUE(GetFileAttributesA((inst + "\\Docs\\Deep\\readme.txt").c_str()) & FILE_ATTRIBUTE_HIDDEN);
    EXPECT_TRUE(Exists(inst + "\\Only\\readme.txt"));
    EXPECT_EQ(versions.lastFlags, static_cast<DWORD>(VIFF_FORCEINSTALL | VIFF_DONTDELETEOLD));
    EXPECT_TRUE(versions.moves.empty());

    // The shortcut, read back through the shell.
    std::vector<std::string> shortcuts = ListValues(list_, "SHORTCUT", "SHORTCUT_%03d");
    ASSERT_EQ(shortcuts.size(), 2u);
    EXPECT_EQ(shortcuts[0], script_ / "Menu\\Sub\\Read me.lnk");
    EXPECT_EQ(shortcuts[1], script_ / "Menu\\Site.url");
    IShellLinkA* link = nullptr;
    ASSERT_TRUE(SUCCEEDED(CoInitialize(nullptr)));
    ASSERT_TRUE(SUCCEEDED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                           reinterpret_cast<void**>(&link))));
    IPersistFile* file = nullptr;
    ASSERT_TRUE(SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file))));
    std::wstring wide(shortcuts[0].begin(), shortcuts[0].end());
    ASSERT_TRUE(SUCCEEDED(file->Load(wide.c_str(), STGM_READ)));
    char text[MAX_PATH] = "";
    link->GetPath(text, sizeof text, nullptr, 0);
    EXPECT_EQ(std::string(text), inst + "\\Docs\\Deep\\readme.txt");
    link->GetArguments(text, sizeof text);
    EXPECT_STREQ(text, "-x 1");
    link->GetDescription(text, sizeof text);
    EXPECT_STREQ(text, "About the client");
    link->GetWorkingDirectory(text, sizeof text);
    EXPECT_EQ(std::string(text), inst + "\\Docs\\Deep");
    file->Release();
    link->Release();
    CoUninitialize();
    EXPECT_EQ(ListValue(shortcuts[1], "InternetShortcut", "URL"), "http://127.0.0.1/");
}

TEST_F(FileCopy, BitmapsOfTheWizardAreRecordedByName) {
    std::string language = kLanguageIni;
    language += "[BITMAP]\r\nTOP=top.bmp\r\nLEFT=left.bmp\r\n";
    WriteFileText(script_ / "Language.ini", language);
    ASSERT_EQ(CopyFiles(nullptr, &g_setup), 1);
    EXPECT_EQ(ListValue(list_, "BITMAP", "TOP"), "top.bmp");
    EXPECT_EQ(ListValue(list_, "BITMAP", "LEFT"), "") << "not installed from the common files";
}

TEST_F(FileCopy, AnEntryWhoseFoldersCannotBeMadeFailsTheStep) {
    std::string tooLong(250, 'x');
    const std::string plain = "FILE_000=*.dll;bin;\\Libs";
    const std::string versioned = "VERFILE_000=ver.dll;bin;\\;FORCE";
    struct Case { const std::string& replaced; std::string entry; int (*step)(HWND, SetupContext*); } cases[] = {
        {plain, "FILE_000=a.dll;bin;\\" + tooLong, CopyFiles},
        {plain, "FILE_000=a.dll;bin;..\\..\\..\\Above", CopyFiles},
        {plain, "FILE_000=a.dll;C:\\Windows;\\", CopyFiles},
        {versioned, "VERFILE_000=ver.dll;bin;\\" + tooLong + ";FORCE", CopyFilesEx},
    };
    FakeVersionInstall versions;
    versions.inUse = false;
    for (const Case& t : cases) {
        SCOPED_TRACE(t.entry);
        std::string text = kCopyFile;
        text.replace(text.find(t.replaced), t.replaced.size(), t.entry);
        WriteFileText(script_ / "CopyFile.ini", text);
        EXPECT_EQ(t.step(nullptr, &g_setup), 0);
    }
    EXPECT_FALSE(Exists(script_ / "..\\Above"));
}

TEST_F(FileCopy, InUseFilesAndProtection) {
    struct Case {
        int protect;
        bool inUse;
        DWORD answer;
        int result;
        bool scheduled;
        bool sourceThere = true;
        BOOL moveAnswer = TRUE;
    } cases[] = {
        {kProtectForce, true, VIF_FILEINUSE, 2, true},
        {kProtectKeepNewer, true, VIF_FILEINUSE, 2, true},
        {kProtectKeepNewer, true, VIF_FILEINUSE | VIF_SRCOLD, 2, false},
        {kProtectAsk, true, VIF_FILEINUSE | VIF_SRCOLD, 1, false},
        {kProtectForce, false, 0, 2, false},
        // The copy into the Windows folder or the scheduled move fails: no restart, a failure.
        {kProtectForce, true, VIF_FILEINUSE, 0, false, false},
        {kProtectForce, true, VIF_FILEINUSE, 0, false, true, FALSE},
    };
    std::string source = script_ / "bin\\ver.dll";
    std::string destination = script_ / "ver.dll";
    WriteFileText(destination, "installed");
    int scheduledCount = 0;
    for (const Case& t : cases) {
        SCOPED_TRACE(t.protect * 10 + t.inUse);
        FakeVersionInstall versions;
        versions.inUse = t.inUse;
        versions.installAnswer = t.answer;
        versions.moveAnswer = t.moveAnswer;
        g_setup.reboot = 0;
        std::string from = t.sourceThere ? source : source + ".gone";
        EXPECT_EQ(InstallVersionedFile(nullptr, "ver.dll", from.c_str(), destination.c_str(), t.protect, "Ver"),
                  t.result);
        ASSERT_EQ(versions.moves.size(), t.scheduled || !t.moveAnswer ? 1u : 0u);
        EXPECT_EQ(g_setup.reboot, t.scheduled ? 1u : 0u);
        if (!t.scheduled) continue;
        char windows[MAX_PATH];
        GetWindowsDirectoryA(windows, sizeof windows);
        std::string copy = std::string(windows) + "\\~pricx" + std::to_string(scheduledCount++) + ".qmt";
        EXPECT_EQ(versions.moves[0], copy + ">" + destination) << "numbered on: two in-use files use 0 and 1";
        EXPECT_EQ(ReadFileText(copy), "ver.dll");
    }
    EXPECT_EQ(InstallVersionedFile(nullptr, nullptr, source.c_str(), destination.c_str(), 0, ""), 0);
}

TEST(FileEntries, ParseFieldsAndModes) {
    FileListEntry e;
    EXPECT_TRUE(ParseFileEntry("a.dll;bin;\\;normal", false, e));
    EXPECT_EQ(ParseFileAttribute(e.mode), static_cast<DWORD>(FILE_ATTRIBUTE_NORMAL));
    EXPECT_EQ(ParseFileAttribute("Hidden,NORMAL"), static_cast<DWORD>(FILE_ATTRIBUTE_HIDDEN));
    EXPECT_EQ(ParseFileAttribute(""), static_cast<DWORD>(FILE_ATTRIBUTE_NORMAL));
    EXPECT_FALSE(ParseFileEntry("a.dll;bin", false, e));
    EXPECT_FALSE(ParseFileEntry("a.dll;bin;\\", true, e));
    EXPECT_TRUE(ParseFileEntry("a.dll;bin;\\;showprotect;The A", true, e));
    EXPECT_EQ(ParseProtectMode(e.mode), kProtectAsk);
    EXPECT_EQ(e.display, "The A");
    EXPECT_EQ(ParseProtectMode("Force"), kProtectForce);
    EXPECT_EQ(ParseProtectMode("PROTECTED"), kProtectKeepNewer);
    EXPECT_EQ(ParseProtectMode("other"), kProtectKeepNewer);
}

}  // namespace
