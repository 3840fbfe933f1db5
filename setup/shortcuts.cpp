#include "shortcuts.h"

#include "application_records.h"
#include "ini_text.h"
#include "path_helpers.h"
#include "script_text.h"
#include "setup_log.h"

#include <objbase.h>
#include <shlobj.h>
#include <intshcut.h>

#include <string>
#include <vector>

namespace {

std::wstring Wide(const char* text) {
    int n = MultiByteToWideChar(CP_ACP, 0, text, -1, nullptr, 0);
    std::wstring wide(n > 0 ? n : 1, L'\0');
    MultiByteToWideChar(CP_ACP, 0, text, -1, wide.data(), n);
    return wide;
}

std::string SpecialFolder(int csidl) {
    char path[MAX_PATH] = "";
    SHGetSpecialFolderPathA(nullptr, path, csidl, FALSE);
    return path;
}

bool IsDesktop(const char* folder) {
    return _stricmp(folder, SpecialFolder(CSIDL_COMMON_DESKTOPDIRECTORY).c_str()) == 0 ||
           _stricmp(folder, SpecialFolder(CSIDL_DESKTOPDIRECTORY).c_str()) == 0;
}

void CreateRecordedFolder(const std::string& folder, const char* listIni) {
    DWORD error = 0;
    CreateFolderPath("PATH", folder.c_str(), &error, listIni);
}

}  // namespace

bool SaveShellLink(const char* linkPath, const char* target, const char* description, const char* workingFolder,
                   const char* arguments) {
    bool started = SUCCEEDED(CoInitialize(nullptr));
    bool saved = false;
    IShellLinkA* link = nullptr;
    if (SUCCEEDED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                   reinterpret_cast<void**>(&link)))) {
        link->SetPath(target);
        link->SetDescription(description);
        link->SetWorkingDirectory(workingFolder);
        link->SetArguments(arguments);
        link->SetShowCmd(SW_SHOWNORMAL);
        IPersistFile* file = nullptr;
        if (SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file)))) {
            saved = SUCCEEDED(file->Save(Wide(linkPath).c_str(), TRUE));
            file->Release();
        }
        link->Release();
    }
    if (started) CoUninitialize();
    return saved;
}

bool SaveInternetShortcut(const char* path, const char* url) {
    bool started = SUCCEEDED(CoInitialize(nullptr));
    bool saved = false;
    IUniformResourceLocatorA* locator = nullptr;
    if (SUCCEEDED(CoCreateInstance(CLSID_InternetShortcut, nullptr, CLSCTX_INPROC_SERVER, IID_IUniformResourceLocatorA,
                                   reinterpret_cast<void**>(&locator)))) {
        IPersistFile* file = nullptr;
        if (SUCCEEDED(locator->SetURL(url, 0)) &&
            SUCCEEDED(locator->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file)))) {
            saved = SUCCEEDED(file->Save(Wide(path).c_str(), TRUE));
            file->Release();
        }
        locator->Release();
    }
    if (started) CoUninitialize();
    if (!saved) {
        // The shortcut file is an INI file; written directly when the shell cannot.
        saved = WritePrivateProfileStringA("InternetShortcut", "URL", url, path) != FALSE;
        WritePrivateProfileStringA(nullptr, nullptr, nullptr, path);
    }
    return saved;
}

void CreateShortcuts(HWND /*page*/, SetupContext* c, ApplicationRecord* r, const char* section, const char* folder,
                     const char* listIni) {
    if (!folder || !*folder) return;
    bool any = !ReadIniValue(c->messageIni, section, "SHORTCUT_000").empty() ||
               !ReadIniValue(c->messageIni, section, "INTERNET_000").empty();
    if (any && !IsDesktop(folder)) CreateRecordedFolder(folder, listIni);
    for (int n = 0;; ++n) {
        std::string value = ReadIniValue(c->messageIni, section, IniListKey("SHORTCUT_%03d", n));
        if (value.empty()) break;
        std::vector<std::string> f = SplitFields(value);
        f.resize(5);
        char targetFolder[MAX_PATH];
        if (!GetInstalledFilePath(f[0].c_str(), r->name, r->osWord, r->installFolder, c->copyFileIni, targetFolder,
                                  1)) {
            continue;
        }
        std::string linkFolder = JoinFolder(folder, f[1]);
        if (!f[1].empty()) CreateRecordedFolder(linkFolder, listIni);
        std::string link = JoinFolder(linkFolder, f[2] + ".lnk");
        std::string target = JoinFolder(targetFolder, f[0]);
        const char* description = c->osCode != 0 && c->osCode < 4 ? "" : f[3].c_str();
        LogPrintf("[%s], %s", section, f[0].c_str());
        LogPrintf("  --> %s", link.c_str());
        if (SaveShellLink(link.c_str(), target.c_str(), description, targetFolder, f[4].c_str())) {
            AppendIniListValue("SHORTCUT", "SHORTCUT_%03d", link.c_str(), listIni);
        }
    }
    for (int n = 0;; ++n) {
        std::string value = ReadIniValue(c->messageIni, section, IniListKey("INTERNET_%03d", n));
        if (value.empty()) break;
        std::vector<std::string> f = SplitFields(value);
        f.resize(3);
        std::string file = JoinFolder(JoinFolder(folder, f[1]), f[0]);
        LogPrintf("[%s], %s", section, f[0].c_str());
        LogPrintf("  --> %s", file.c_str());
        if (SaveInternetShortcut(file.c_str(), f[2].c_str())) {
            AppendIniListValue("SHORTCUT", "SHORTCUT_%03d", file.c_str(), listIni);
        }
    }
}

void CreateApplicationShortcuts(HWND page, SetupContext* c, ApplicationRecord* r) {
    struct Row {
        const char* format;
        const char* folder;
    };
    const Row rows[] = {
        {"%s_%s", r->menuFolder},           {"%s_COMMON", r->menuFolder},
        {"%s_STARTUP", r->startupFolder},   {"%s_STARTUP_%s", r->startupFolder},
        {"%s_DESKTOP", r->desktopFolder},   {"%s_DESKTOP_%s", r->desktopFolder},
        {"%s_CURRENT", r->userMenuFolder},  {"%s_CURRENT_%s", r->userMenuFolder},
        {"%s_CUSTARTUP", r->userStartupFolder}, {"%s_CUSTARTUP_%s", r->userStartupFolder},
    };
    const char* list = r->uninstallPaths[kListWorkPath];
    for (const Row& row : rows) {
        char section[128];
        snprintf(section, sizeof section, row.format, r->name, r->osWord);
        CreateShortcuts(page, c, r, section, row.folder, list);
    }
    if (!r->alreadyInstalled) {
        char section[128];
        snprintf(section, sizeof section, "%s_CUSTARTUP_NEW", r->name);
        CreateShortcuts(page, c, r, section, r->userStartupFolder, list);
    }
}
