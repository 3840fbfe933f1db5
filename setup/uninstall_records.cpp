#include "uninstall_records.h"

#include "application_records.h"
#include "dialog_layout.h"
#include "ini_text.h"
#include "monitor_install.h"
#include "path_helpers.h"
#include "port_records.h"
#include "registry_value.h"
#include "run_once.h"
#include "script_text.h"
#include "setup_log.h"
#include "version_info.h"

#include <cstring>
#include <vector>

namespace {

std::string UninstLog(const SetupContext* c, const ApplicationRecord* r, const char* key) {
    return ReadIniValue(c->copyFileIni, r->sections[kSecUninstLog], key, 259);
}

void Copy(char (&field)[MAX_PATH], const std::string& value) { snprintf(field, sizeof field, "%s", value.c_str()); }

std::string FolderOfPath(const std::string& path) {
    size_t cut = path.find_last_of('\\');
    return cut == std::string::npos ? std::string() : path.substr(0, cut);
}

// The folder a file of the application is installed to, else the install folder.
std::string InstalledFolderOr(const SetupContext* c, const ApplicationRecord* r, const std::string& file) {
    char folder[MAX_PATH];
    if (GetInstalledFilePath(file.c_str(), r->name, r->osWord, r->installFolder, c->copyFileIni, folder, 1)) return folder;
    return r->installFolder;
}

std::string UninstallerPath(const SetupContext* c, const ApplicationRecord* r, std::string* arguments) {
    std::string program;
    std::string args;
    SplitUninstallString(UninstLog(c, r, "UNINSTALLSTRING"), program, args);
    if (arguments) *arguments = args;
    return JoinFolder(InstalledFolderOr(c, r, program), program);
}

void LendSharedPaths(SetupContext* c, ApplicationRecord* r) {
    if (!r->sharedWith[0]) return;
    for (uint32_t i = 0; i < c->applicationCount; ++i) {
        ApplicationRecord& lender = c->applications[i];
        if (&lender == r || !lender.name[0] || _stricmp(lender.name, r->sharedWith) != 0) continue;
        if (UninstLog(c, r, "UNINSTALLSTRING").empty()) Copy(r->uninstallPaths[kUninstallerFolder], lender.uninstallPaths[kUninstallerFolder]);
        if (UninstLog(c, r, "UNINSTLOG").empty()) {
            Copy(r->uninstallPaths[kListFinalPath], lender.uninstallPaths[kListFinalPath]);
            Copy(r->uninstallPaths[kListWorkPath], lender.uninstallPaths[kListWorkPath]);
            Copy(r->uninstallPaths[kSparePath], lender.uninstallPaths[kSparePath]);
            r->alreadyInstalled = lender.alreadyInstalled;
        }
        if (UninstLog(c, r, "UNINSTMES").empty()) Copy(r->uninstallPaths[kUninstallerIniPath], lender.uninstallPaths[kUninstallerIniPath]);
    }
}

void PrepareRecord(SetupContext* c, ApplicationRecord* r) {
    LogPrintf("[%s]", r->name);
    std::string program;
    std::string arguments;
    SplitUninstallString(UninstLog(c, r, "UNINSTALLSTRING"), program, arguments);
    std::string folder = InstalledFolderOr(c, r, program);
    Copy(r->uninstallPaths[kUninstallerFolder], folder);
    std::string listName = UninstLog(c, r, "UNINSTLOG");
    if (listName.empty()) listName = "unflist.ini";
    Copy(r->uninstallPaths[kListFinalPath], JoinFolder(folder, listName));
    char temp[MAX_PATH] = "";
    GetTempFolder(sizeof temp, temp);
    DWORD error = 0;
    CreateFolderPath(nullptr, temp, &error, nullptr);
    // Each application gets its own working file, even when two use the same list name.
    std::string work = JoinFolder(temp, std::string(r->name) + "_" + listName);
    Copy(r->uninstallPaths[kListWorkPath], work);
    if (GetFileAttributesA(work.c_str()) != INVALID_FILE_ATTRIBUTES) {
        BOOL deleted = DeleteFileA(work.c_str());
        LogPrintf("  Delete: %s Result = %d, Error = %lu", work.c_str(), deleted, GetLastError());
    }
    std::string messages = UninstLog(c, r, "UNINSTMES");
    if (!messages.empty()) Copy(r->uninstallPaths[kUninstallerIniPath], JoinFolder(InstalledFolderOr(c, r, messages), messages));
    LogPrintf("  Check             : %s", r->checked ? "ON" : "OFF");
    LogPrintf("  xxflist.ini(Temp) : %s", r->uninstallPaths[kListWorkPath]);
    LogPrintf("  xxflist.ini(Save) : %s", r->uninstallPaths[kListFinalPath]);
    LogPrintf("  xxuninst.ini      : %s", r->uninstallPaths[kUninstallerIniPath]);

    if (RemoveOldMonitor(nullptr, c, r, listName.c_str())) return;
    std::string key = UninstallEntryKey(c, r);
    if (key.empty()) return;
    char location[MAX_PATH] = "";
    DWORD size = sizeof location - 1;
    DWORD type = 0;
    if (ReadRegistryValue(HKEY_LOCAL_MACHINE, key.c_str(), "InstallLocation", location, &size, &type) &&
        type == REG_SZ && location[0]) {
        location[sizeof location - 1] = '\0';
        r->alreadyInstalled = 1;
        Copy(r->uninstallPaths[kListWorkPath], JoinFolder(location, listName));
        LogPrintf("  xxflist.ini(bInstalled) : %s", r->uninstallPaths[kListWorkPath]);
    }
}

bool WriteText(const std::string& key, const char* name, const std::string& value) {
    return WriteRegistryValue(HKEY_LOCAL_MACHINE, key.c_str(), name, value.c_str(),
                              static_cast<DWORD>(value.size() + 1), REG_SZ) != 0;
}

bool WriteNumber(const std::string& key, const char* name, DWORD value) {
    return WriteRegistryValue(HKEY_LOCAL_MACHINE, key.c_str(), name, &value, sizeof value, REG_DWORD) != 0;
}

// The values after UserMenu; false at the first one that cannot be written.
bool WriteOptionalValues(const SetupContext* c, const ApplicationRecord* r, const std::string& key) {
    std::string icon = UninstLog(c, r, "DISPICON");
    if (!icon.empty()) {
        std::string path = JoinFolder(InstalledFolderOr(c, r, icon.substr(0, icon.find(','))), icon);
        LogPrintf("  DisplayIcon : %s", path.c_str());
        if (!WriteText(key, "DisplayIcon", path)) return false;
    }
    std::string displayVersion = UninstLog(c, r, "DISPVERSION");
    if (!displayVersion.empty()) {
        LogPrintf("  DisplayVersion : %s", displayVersion.c_str());
        if (!WriteText(key, "DisplayVersion", displayVersion)) return false;
    }
    std::string version = UninstLog(c, r, "VERSION");
    VersionParts parts{};
    if (!version.empty() && ParseVersionString(&parts, version.c_str())) {
        DWORD packed = PackVersion(parts.first, parts.second, parts.third);
        LogPrintf("  Version : %d.%d.%d (0x%08lx)", parts.first, parts.second, parts.third,
                  static_cast<unsigned long>(packed));
        if (!WriteNumber(key, "Version", packed) || !WriteNumber(key, "VersionMajor", parts.first) ||
            !WriteNumber(key, "VersionMinor", parts.second)) {
            return false;
        }
    }
    unsigned no = NoValuesForMode(UninstLog(c, r, "MODE").c_str());
    if (((no & 1) && !WriteNumber(key, "NoRemove", 1)) || ((no & 2) && !WriteNumber(key, "NoRepair", 1)) ||
        ((no & 4) && !WriteNumber(key, "NoModify", 1))) {
        return false;
    }
    std::string modify = UninstLog(c, r, "MODIFYPATH");
    if (!modify.empty()) {
        std::string path = JoinFolder(InstalledFolderOr(c, r, modify.substr(0, modify.find(' '))), modify);
        LogPrintf("  ModifyPath : %s", path.c_str());
        if (!WriteText(key, "ModifyPath", path)) return false;
    }
    struct Plain { const char* script; const char* value; const char* log; } plain[] = {
        {"PUBLISHER", "Publisher", "  Publisher : %s"},
        {"HELPLINK", "HelpLink", "  HelpLink : %s"},
        {"URLINFOABOUT", "URLInfoAbout", "  URLInfoAbout : %s"},
        {"URLUPDATE", "URLUpdateInfo", "  URLUpdateInfo : %s"},
    };
    for (const Plain& p : plain) {
        std::string value = UninstLog(c, r, p.script);
        if (value.empty()) continue;
        LogPrintf(p.log, value.c_str());
        if (!WriteText(key, p.value, value)) return false;
    }
    return true;
}

void RecordLanguage(const SetupContext* c, const ApplicationRecord* r) {
    const char* list = r->uninstallPaths[kListWorkPath];
    std::string log = ReadIniValue(c->languageIni, "SETTING", "LOG", 259);
    std::string sal = ReadIniValue(c->languageIni, "SETTING", "SAL", 259);
    if (!log.empty()) WritePrivateProfileStringA("UNINSTALL", "LOG", log.c_str(), list);
    if (!sal.empty()) {
        WritePrivateProfileStringA("UNINSTALL", "SAL", sal.c_str(), list);
        WritePrivateProfileStringA("LANGUAGE", "DEFAULT", ReadIniValue(c->languageIni, "LANGUAGE", "DEFAULT").c_str(), list);
        for (int n = 0;; ++n) {
            std::string key = IniListKey("LANG_%02d", n);
            std::string value = ReadIniValue(c->languageIni, "LANGUAGE", key);
            if (value.empty()) break;
            WritePrivateProfileStringA("LANGUAGE", key.c_str(), value.c_str(), list);
        }
    }
    if (RtlLayout) WritePrivateProfileStringA("LANGUAGE", "RTL", "ON", list);
}

template <typename Fn>
void ForChecked(SetupContext* c, Fn fn) {
    for (uint32_t i = 0; c->applications && i < c->applicationCount; ++i) {
        if (c->applications[i].checked && c->applications[i].name[0]) fn(c->applications[i], static_cast<int>(i));
    }
}

void CopyNumberedList(const char* fromIni, const char* section, const char* format, const char* toSection,
                      const char* list, int& next) {
    for (int n = 0;; ++n) {
        std::string value = ReadIniValue(fromIni, section, IniListKey(format, n), 127);
        if (value.empty()) return;
        WritePrivateProfileStringA(toSection, IniListKey(format, next++).c_str(), value.c_str(), list);
    }
}

void BuildCommonList(SetupContext* c) {
    char temp[MAX_PATH] = "";
    GetTempFolder(sizeof temp, temp);
    std::string common = JoinFolder(temp, "qmtCommon.ini");
    DeleteFileA(common.c_str());
    for (uint32_t i = 0; i < c->applicationCount; ++i) {
        const ApplicationRecord& r = c->applications[i];
        if (!r.name[0]) continue;
        for (int n = 0;; ++n) {
            std::string path = ReadIniValue(r.uninstallPaths[kListFinalPath], "PATH", IniListKey("PATH_%03d", n));
            if (path.empty()) break;
            AppendIniListValue("PATH", "COMMON_%03d", path.c_str(), common.c_str());
        }
    }
    ForChecked(c, [&](ApplicationRecord& r, int) {
        for (int n = 0;; ++n) {
            std::string path = ReadIniValue(common.c_str(), "PATH", IniListKey("COMMON_%03d", n));
            if (path.empty()) break;
            AppendIniListValue("PATH", "COMMON_%03d", path.c_str(), r.uninstallPaths[kListFinalPath]);
        }
    });
    WritePrivateProfileStringA(nullptr, nullptr, nullptr, common.c_str());
    DeleteFileA(common.c_str());
}

}  // namespace

void SplitUninstallString(const std::string& text, std::string& program, std::string& arguments) {
    program.clear();
    arguments.clear();
    if (text.empty()) {
        program = "\\Uninst.exe";
        return;
    }
    size_t dot = text.find('.');
    size_t end = dot == std::string::npos ? text.size() : std::min(text.size(), dot + 4);
    program = text.substr(0, end);
    arguments = text.substr(end);
}

DWORD PackVersion(int a, int b, int c) {
    return (((static_cast<DWORD>(a) << 8) + static_cast<DWORD>(b)) << 16) + static_cast<DWORD>(c);
}

unsigned NoValuesForMode(const char* mode) {
    if (!mode || !*mode) return 0;
    switch (mode[0]) {
    case 'M': case 'm': return 1 | 2;
    case 'R': case 'r': return 2 | 4;
    default: return 2;
    }
}

std::string UninstallEntryKey(const SetupContext* c, const ApplicationRecord* r) {
    if (c->modeBits & kModeNoArpEntry) return UninstLog(c, r, "UNINSTALLPATH");
    std::string name = UninstLog(c, r, "REGISTKEY");
    return name.empty() ? std::string() : std::string(kUninstallKey) + "\\" + name;
}

void CreateUninstallInfo(HWND /*page*/, SetupContext* c) {
    LogPrintf("*** Create Uninstall Information ***");
    for (uint32_t i = 0; c->applications && i < c->applicationCount; ++i) {
        if (c->applications[i].name[0]) PrepareRecord(c, &c->applications[i]);
    }
    for (uint32_t i = 0; c->applications && i < c->applicationCount; ++i) {
        if (c->applications[i].name[0]) LendSharedPaths(c, &c->applications[i]);
    }
}

int SetUninstallRegistry(HWND /*page*/, SetupContext* c, ApplicationRecord* r) {
    std::string registKey = UninstLog(c, r, "REGISTKEY");
    std::string uninstallString = UninstLog(c, r, "UNINSTALLSTRING");
    std::string displayName = UninstLog(c, r, "DISPNAME");
    if (displayName.empty()) displayName = ReadIniValue(c->messageIni, r->sections[kSecUninstLog], "DISPNAME", 259);
    if (registKey.empty() || uninstallString.empty() || displayName.empty()) return 1;
    std::string key = UninstallEntryKey(c, r);
    if (key.empty()) return 0;
    const char* list = r->uninstallPaths[kListWorkPath];
    WritePrivateProfileStringA("UNINSTALL", "REGISTKEY", registKey.c_str(), list);
    if (r->uninstallPaths[kUninstallerIniPath][0]) {
        WritePrivateProfileStringA("INFO", "UNINSTLOG", UninstLog(c, r, "UNINSTLOG").c_str(),
                                   r->uninstallPaths[kUninstallerIniPath]);
    }
    std::string arguments;
    std::string program = UninstallerPath(c, r, &arguments);
    // The program path is quoted: it holds blanks below Program Files.
    std::string command = "\"" + program + "\"" + arguments;
    std::string location = FolderOfPath(program);
    LogPrintf("  DisplayName : %s", displayName.c_str());
    WriteText(key, "DisplayName", displayName);
    LogPrintf("  UninstallString : %s", command.c_str());
    WriteText(key, "UninstallString", command);
    LogPrintf("  InstallLocation : %s", location.c_str());
    WriteText(key, "InstallLocation", location);
    LogPrintf("  UserMenu : %s", c->menuGroup);
    if (!WriteText(key, "UserMenu", c->menuGroup)) return 0;
    if (!WriteOptionalValues(c, r, key)) return 0;
    RecordLanguage(c, r);
    return 1;
}

void RecordSharedKey(HWND /*page*/, SetupContext* c, ApplicationRecord* r, int number) {
    bool shares = false;
    for (const char* part : {"%s_SHARED_%s", "%s_SHARED_COMMON"}) {
        char section[128];
        snprintf(section, sizeof section, part, r->name, r->osWord);
        shares = shares || !ReadIniValue(c->copyFileIni, section, "FILE_000").empty() ||
                 !ReadIniValue(c->copyFileIni, section, "VERFILE_000").empty();
    }
    if (!shares) return;
    std::string value = ReadIniValue(c->copyFileIni, "APPLIINFO", IniListKey("SHARED_%02d", number), 259);
    std::vector<std::string> f = SplitFields(value);
    if (f.size() < 2 || f[0].empty() || f[1].empty()) return;
    std::string key = "Software\\" + f[0] + "\\" + f[1];
    HKEY handle = nullptr;
    if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, key.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &handle, nullptr) !=
        ERROR_SUCCESS) {
        return;
    }
    RegCloseKey(handle);
    WritePrivateProfileStringA("SHARED", "SHAREDKEY", value.c_str(), r->uninstallPaths[kListWorkPath]);
}

void RecordApplicationInfo(HWND /*page*/, SetupContext* c, ApplicationRecord* r) {
    const char* list = r->uninstallPaths[kListWorkPath];
    const char* info = r->sections[kSecInfo];
    for (const char* format : {"CLASSNAME_%02d", "TITLE_%02d"}) {
        int next = 0;
        CopyNumberedList(c->copyFileIni, info, format, "APPLICATION", list, next);
        CopyNumberedList(c->messageIni, info, format, "APPLICATION", list, next);
    }
    std::vector<std::string> entries;
    for (int n = 0;; ++n) {
        std::string value = ReadIniValue(c->copyFileIni, info, IniListKey("REG_%03d", n));
        if (value.empty()) break;
        entries.push_back(value);
    }
    for (auto it = entries.rbegin(); it != entries.rend(); ++it) {
        AppendIniListValue("APPLICATION", "REG_%03d", it->c_str(), list);
        LogPrintf("[%s] : %s", "APPLICATION", it->c_str());
    }
}

int RecordMonitorInfo(HWND /*page*/, SetupContext* c, ApplicationRecord* r) {
    if (!r->monitor || !r->monitor->name[0]) return 1;
    const char* list = r->uninstallPaths[kListWorkPath];
    WritePrivateProfileStringA("MONITOR", c->osCode != 0 && c->osCode < 4 ? "OS_WIN9x" : "OS_WINNT", r->monitor->name, list);
    WritePrivateProfileStringA("MONITOR", "DLLNAME", r->monitor->dllName, list);
    std::string version = ReadIniValue(c->copyFileIni, r->sections[kSecMonitor], "VERSION", 259);
    std::string product = ReadIniValue(c->copyFileIni, r->sections[kSecMonitor], "PRODUCT", 259);
    if (r->monitor->keyPath[0]) {
        WriteText(r->monitor->keyPath, "Version", version);
        WriteText(r->monitor->keyPath, "Product", product);
    }
    return 1;
}

int SetRegistryKey(HWND page, SetupContext* c) {
    LogPrintf("*** Set RegistryKey ***");
    int result = 1;
    ForChecked(c, [&](ApplicationRecord& r, int number) {
        if (!result) return;
        LogPrintf("[%s]", r.name);
        if (!SetUninstallRegistry(page, c, &r)) {
            result = 0;
            return;
        }
        RecordSharedKey(page, c, &r, number);
        RecordApplicationInfo(page, c, &r);
        RecordMonitorInfo(page, c, &r);
    });
    // The RunOnce values, for the other users' hives and this machine, now that the programs
    // they name are in place.
    if (result) SetUsersRegistry(page, c);
    return result;
}

int FinishLogFiles(HWND page, SetupContext* c) {
    LogPrintf("*** LogFile ***");
    int result = 1;
    ForChecked(c, [&](ApplicationRecord& r, int) {
        const char* work = r.uninstallPaths[kListWorkPath];
        const char* final = r.uninstallPaths[kListFinalPath];
        WritePrivateProfileStringA(nullptr, nullptr, nullptr, work);
        LogPrintf("[%s]", r.name);
        LogPrintf("  Copy:%s", final);
        LogPrintf("  Tmp :%s", work);
        // The same file, or nothing recorded: nothing to put in place.
        if (_stricmp(work, final) == 0 || GetFileAttributesA(work) == INVALID_FILE_ATTRIBUTES) return;
        if (!CopyFileA(work, final, FALSE)) {
            // The working list is the only record of what was installed: it stays where it is.
            LogPrintf("    --> Copy Error(0x%08lx)", GetLastError());
            result = 0;
            return;
        }
        SetFileAttributesA(final, FILE_ATTRIBUTE_NORMAL);
        if (!r.alreadyInstalled) DeleteFileA(work);
    });
    if (!result) return 0;
    if (c->applicationCount >= 2) BuildCommonList(c);
    // The old product's entry goes only now that the new one is in place.
    DeleteOldMonitorEntries(page, c);
    return 1;
}

void CopyUninstLogName(HWND /*page*/, SetupContext* c) {
    ForChecked(c, [&](ApplicationRecord& r, int) {
        if (!r.alreadyInstalled || !r.uninstallPaths[kUninstallerIniPath][0]) return;
        WritePrivateProfileStringA("INFO", "UNINSTLOG", UninstLog(c, &r, "UNINSTLOG").c_str(),
                                   r.uninstallPaths[kUninstallerIniPath]);
    });
}
