#include "install_path.h"

#include "application_records.h"
#include "ini_text.h"
#include "path_helpers.h"
#include "registry_value.h"
#include "script_text.h"
#include "setup_log.h"
#include "uninstall_records.h"

#include <shlobj.h>

#include <cstdio>
#include <cstring>

namespace {

constexpr uint16_t kOsWithShellFolders = 6;
constexpr char kForbidden[] = "/:;*?\"<>|";

UINT SystemDriveType(const char* root) { return GetDriveTypeA(root); }

bool BadPartEdge(wchar_t c) { return c == L'.' || c == L' '; }

bool EndsWithNoCase(const std::string& text, const std::string& end) {
    return !end.empty() && text.size() >= end.size() &&
           _stricmp(text.c_str() + text.size() - end.size(), end.c_str()) == 0;
}

// The uninstaller's folder relative to the application's installation folder ("Uninstall"),
// empty when it lies in that folder itself or elsewhere (a macro folder).
std::string UninstallerSubFolder(const SetupContext& c, const ApplicationRecord& r) {
    std::string program;
    std::string arguments;
    SplitUninstallString(ReadIniValue(c.copyFileIni, r.sections[kSecUninstLog], "UNINSTALLSTRING", MAX_PATH - 1),
                         program, arguments);
    char folder[MAX_PATH] = "";
    if (!GetInstalledFilePath(program.c_str(), r.name, r.osWord, "", c.copyFileIni, folder, kInstalledForm)) return {};
    if (strchr(folder, ':') || folder[0] == '\\') return {};
    return folder;
}

}  // namespace

int IsValidInstallPathOn(const char* text, UINT (*driveType)(const char* root)) {
    if (!text) return 0;
    std::wstring path = OemToWide(text);
    if (path.size() <= 2) return 0;
    for (size_t i = 2; i < path.size(); ++i) {
        if (path[i] < 0x80 && strchr(kForbidden, static_cast<char>(path[i]))) return 0;
        if (path[i] == L'\\' && path[i - 1] == L'\\') return 0;
    }
    size_t colon = path.find(L':');
    if (colon == std::wstring::npos) return 0;
    std::string root = WideToOem(path.substr(0, colon)) + ":\\";
    if (driveType(root.c_str()) != DRIVE_FIXED) return 0;
    size_t start = colon + 1;
    while (start < path.size()) {
        if (path[start] == L'\\') {
            ++start;
            continue;
        }
        size_t end = path.find(L'\\', start);
        if (end == std::wstring::npos) end = path.size();
        if (BadPartEdge(path[start]) || BadPartEdge(path[end - 1])) return 0;
        start = end;
    }
    return 1;
}

int IsValidInstallPath(HWND, const char* text) { return IsValidInstallPathOn(text, SystemDriveType); }

int GetSpecialFolderPath(int csidl, char* out) {
    out[0] = '\0';
    return SUCCEEDED(SHGetFolderPathA(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, out)) ? 1 : 0;
}

int GetProgramFilesFolder(const SetupContext& c, char* out, size_t size) {
    char path[MAX_PATH] = "";
    if (c.osCode >= kOsWithShellFolders && GetSpecialFolderPath(CSIDL_PROGRAM_FILES, path) && path[0]) {
        snprintf(out, size, "%s", path);
        return 1;
    }
    DWORD bytes = sizeof path - 1;
    DWORD type = 0;
    if (ReadRegistryValue(HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Windows\\CurrentVersion", "ProgramFilesDir", path,
                          &bytes, &type) && path[0]) {
        path[sizeof path - 1] = '\0';
        snprintf(out, size, "%s", path);
        return 1;
    }
    char system[MAX_PATH] = "C";
    GetSystemDirectoryA(system, sizeof system);
    snprintf(out, size, "%c:\\Program Files", system[0]);
    return 1;
}

std::string GetDefaultInstallFolder(const SetupContext& c) {
    char folder[MAX_PATH] = "";
    GetProgramFilesFolder(c, folder, sizeof folder);
    std::string install = ReadIniValue(c.messageIni, "FOLDER", "INSTALL", MAX_PATH - 1);
    if (install.empty()) install = ReadIniValue(c.copyFileIni, "FOLDER", "INSTALL", MAX_PATH - 1);
    AppendPath(folder, sizeof folder, install.c_str());
    for (uint32_t i = 0; i < c.applicationCount; ++i) {
        const ApplicationRecord& r = c.applications[i];
        std::string key = ReadIniValue(c.copyFileIni, r.sections[kSecUninstLog], "REGISTKEY", MAX_PATH - 1);
        if (key.empty()) continue;
        char location[MAX_PATH] = "";
        DWORD bytes = sizeof location - 1;
        DWORD type = 0;
        std::string path = std::string(kUninstallKey) + "\\" + key;
        if (!ReadRegistryValue(HKEY_LOCAL_MACHINE, path.c_str(), "InstallLocation", location, &bytes, &type)) continue;
        location[sizeof location - 1] = '\0';
        if (!location[0]) continue;
        std::string found = location;
        // InstallLocation is the uninstaller's folder; where the script puts the uninstaller
        // below the installation folder, that sub-folder is not part of the proposal.
        std::string below = UninstallerSubFolder(c, r);
        if (!below.empty() && EndsWithNoCase(found, "\\" + below)) found.resize(found.size() - below.size() - 1);
        std::string own = ReadIniValue(c.copyFileIni, "FOLDER", IniListKey("FOLDER_%02d", static_cast<int>(i)), MAX_PATH - 1);
        if (EndsWithNoCase(found, own)) found.resize(found.size() - own.size());
        return found;
    }
    return folder;
}

void SetApplicationFolders(SetupContext* c, const char* chosen, const char* label) {
    for (uint32_t i = 0; i < c->applicationCount; ++i) {
        ApplicationRecord& r = c->applications[i];
        char folder[MAX_PATH];
        snprintf(folder, sizeof folder, "%s", chosen);
        if (r.subFolder[0] && strcmp(r.subFolder, "\\") != 0) AppendPath(folder, sizeof folder, r.subFolder);
        snprintf(r.installFolder, sizeof r.installFolder, "%s", folder);
        LogPrintf("[%s] %s:%s", r.name, label, r.installFolder);
    }
}
