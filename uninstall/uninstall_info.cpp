#include "uninstall_info.h"

#include "command_line.h"
#include "dialog_layout.h"
#include "message_box.h"
#include "os_info.h"
#include "path_helpers.h"
#include "registry_value.h"
#include "script_text.h"
#include "setup_log.h"
#include "stage_two.h"

#include <cstdio>

namespace {

constexpr char kUninstallerVersion[] = "7.6.1";
constexpr char kDefaultListName[] = "Unflist.ini";
constexpr int kMaxLanguageEntries = 100;

void Copy(char (&field)[MAX_PATH], const std::string& value) { snprintf(field, sizeof field, "%s", value.c_str()); }

std::string FileNameOf(const char* path) {
    const char* slash = strrchr(path, '\\');
    return slash ? slash + 1 : path;
}

void SetPaths(UninstallContext* c, const std::string& folder, const std::string& iniName) {
    Copy(c->baseFolder, folder);
    Copy(c->uninstallerIni, JoinPath(folder, iniName));
    std::string listName = ReadIniValue(c->uninstallerIni, "INFO", "UNINSTLOG", 259);
    if (listName.empty()) listName = kDefaultListName;
    Copy(c->listIni, JoinPath(folder, listName));
}

void LogStageOne(const UninstallContext& c) {
    LogProgramStart("            Uninstaller Version ", kUninstallerVersion, c.baseFolder, GetCommandLineA());
    if (!LogFlags) return;
    LogPrintf("  XxfList.ini    : %s", c.listIni);
    LogPrintf("  Xxuninst.ini   : %s", c.uninstallerIni);
    LogPrintf("  Language       : %s", c.language);
}

void ChooseLanguage(UninstallContext* c) {
    c->language[0] = '\0';
    if (ReadIniValue(c->listIni, SectionName(*c, kSecUninstall), "SAL", 259).empty()) return;
    if (ReadIniValue(c->listIni, "LANGUAGE", "DEFAULT", 127).empty()) return;
    snprintf(c->language, sizeof c->language, "%s", PickListLanguage(c->listIni, GetSystemDefaultLangID()).c_str());
}

void ApplyRightToLeft(const UninstallContext& c) {
    if (_stricmp(ReadIniValue(c.listIni, "LANGUAGE", "RTL", 15).c_str(), "ON") != 0) return;
    RtlLayout = 1;
    SetProcessDefaultLayout(LAYOUT_RTL);
}

void MissingInformationBox() {
    UINT flags = MB_OK | MB_ICONEXCLAMATION | MB_SETFOREGROUND | (RtlLayout ? MB_RTLREADING : 0);
    MessageBoxA(nullptr, "Uninstallation information is not found. Uninstallation is stopped.", "Uninstall", flags);
}

std::string RegistKey(const UninstallContext& c) {
    return ReadIniValue(c.listIni, SectionName(c, kSecUninstall), "REGISTKEY", 259);
}

}  // namespace

std::string PickListLanguage(const char* listIni, LANGID id) {
    std::string chosen = ReadIniValue(listIni, "LANGUAGE", "DEFAULT", 127);
    char four[8];
    char two[8];
    snprintf(four, sizeof four, "%02x%02x", id & 0x3FF, id >> 10);
    snprintf(two, sizeof two, "%02x", id & 0x3FF);
    for (int pass = 0; pass < 2; ++pass) {
        for (int n = 0; n < kMaxLanguageEntries; ++n) {
            std::string entry = ReadIniValue(listIni, "LANGUAGE", IniListKey("LANG_%02d", n), 259);
            if (entry.empty()) break;
            std::string languageId = FieldOf(entry, 2);
            bool match = _stricmp(languageId.c_str(), four) == 0 || (pass == 1 && _stricmp(languageId.c_str(), two) == 0);
            if (match) return FieldOf(entry, 1);
        }
    }
    return chosen;
}

int ReadStageOneInfo(UninstallContext* c) {
    ChooseLanguage(c);
    ApplyRightToLeft(*c);
    LogStageOne(*c);
    std::string registKey = RegistKey(*c);
    if (!registKey.empty()) {
        char location[MAX_PATH] = "";
        DWORD size = sizeof location - 1;
        DWORD type = 0;
        std::string key = std::string(kUninstallRegistryKey) + "\\" + registKey;
        if (ReadRegistryValue(HKEY_LOCAL_MACHINE, key.c_str(), "InstallLocation", location, &size, &type) &&
            type == REG_SZ && location[0]) {
            location[sizeof location - 1] = '\0';
            std::string iniName = FileNameOf(c->uninstallerIni);
            std::string listName = FileNameOf(c->listIni);
            Copy(c->baseFolder, location);
            Copy(c->uninstallerIni, JoinPath(location, iniName));
            Copy(c->listIni, JoinPath(location, listName));
            if (c->language[0]) {
                std::string localized = JoinPath(JoinPath(location, c->language), iniName);
                if (CopyFileA(localized.c_str(), c->uninstallerIni, FALSE)) {
                    SetFileAttributesA(localized.c_str(), FILE_ATTRIBUTE_NORMAL);
                }
            }
            LogPrintf("*** Registry Information 1 ***");
            LogPrintf("  XxfList.ini : %s", c->listIni);
            LogPrintf("  Xxuninst.ini : %s", c->uninstallerIni);
        }
    }
    if (!ReadIniValue(c->uninstallerIni, "TITLE", "TITLE", 259).empty()) {
        if (!RegistKey(*c).empty()) return kInfoStageOne;
        ShowUninstallError(nullptr, *c, "MESSAGE_00");
        return kInfoStop;
    }
    if (!IsSilent(*c)) MissingInformationBox();
    return kInfoStop;
}

int InitUninstallInfo(UninstallContext* c, const char* arguments) {
    c->osCode = static_cast<uint16_t>(GetOsVersionCode(&c->osFlags));
    if (!CreateSectionEntry(c)) return kInfoStop;
    char program[MAX_PATH] = "";
    GetModuleFileNameA(nullptr, program, sizeof program);
    Copy(c->programPath, program);
    std::string iniPath = UninstallerIniPath(program);
    std::string folder = iniPath.substr(0, iniPath.find_last_of('\\'));
    SetPaths(c, folder, iniPath.substr(iniPath.find_last_of('\\') + 1));
    ApplySwitches(c, SplitCommandLine(arguments));
    std::string log = ReadIniValue(c->listIni, SectionName(*c, kSecUninstall), "LOG", 259);
    if (!log.empty()) SetLogFile(log.c_str());
    if (c->stageTwo) {
        RunStageTwo(c);
        return kInfoStageTwoDone;
    }
    return ReadStageOneInfo(c);
}
