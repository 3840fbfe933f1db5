#include "startup_checks.h"

#include "app_windows.h"
#include "message_box.h"
#include "script_text.h"
#include "setup_helper_library.h"
#include "setup_log.h"
#include "window_position.h"

#include <cstdio>

namespace {

using CheckUserPrivilegeFn = BOOL(WINAPI*)(DWORD, char*);
constexpr int kMaxApplications = 100;
constexpr UINT kTopBoxFlags = MB_OK | MB_ICONEXCLAMATION | MB_TOPMOST | MB_SETFOREGROUND;

// The uninstaller INI's [ERROR] box with the given extra flags; silent runs log it only.
void StartupError(const UninstallContext& c, const char* key, UINT flags, FormatArg argument = {}) {
    LogPrintf("[MessageBox] : %s", key);
    if (IsSilent(c)) return;
    ShowIniMessageBox(nullptr, c.uninstallerIni, "ERROR", key, "TITLE", flags, argument, FALSE);
}

// The first window found for the numbered class or title entries; n gets the entry's number.
bool FindListedWindow(const UninstallContext& c, const char* format, int kind, HWND* window, std::string& name,
                      int* number) {
    for (int n = 0; n < kMaxApplications; ++n) {
        std::string entry = ReadIniValue(c.listIni, SectionName(c, kSecApplication), IniListKey(format, n), 128);
        if (entry.empty()) return false;
        char title[128] = "Application";
        int message = 0;
        HWND found = nullptr;
        if (FindApplicationWindow(kind, entry.c_str(), &found, title, sizeof title, &message)) {
            *window = found;
            name = title;
            *number = message;
            return true;
        }
    }
    return false;
}

}  // namespace

int CheckUserPrivilegeByDll(UninstallContext* c) {
    if (c->osCode < 4) return 1;
    SetupHelperLibrary library(c->baseFolder, c->osCode);
    if (!library.loaded()) {
        StartupError(*c, "MESSAGE_05", kTopBoxFlags, SetupHelperLibraryName(c->osCode));
        return 0;
    }
    auto check = library.Find<CheckUserPrivilegeFn>("CheckUserPrivilege");
    if (!check) return 0;
    char buffer[MAX_PATH] = "";
    if (check(0, buffer)) return 1;
    StartupError(*c, "MESSAGE_06", kTopBoxFlags);
    return 0;
}

int TakeSingleInstance(UninstallContext* c) {
    if (!CheckNamedMutex(c->className, TRUE, TRUE)) return 1;
    HWND first = FindWindowA(c->className, nullptr);
    if (first) {
        HWND popup = GetLastActivePopup(first);
        ForceForegroundWindow(popup ? popup : first, c->osCode);
        return 0;
    }
    StartupError(*c, "MESSAGE_12", MB_OK | MB_ICONEXCLAMATION | MB_SETFOREGROUND);
    return 0;
}

int CheckRunningApplications(UninstallContext* c) {
    HWND window = nullptr;
    std::string name;
    int number = 0;
    if (!FindListedWindow(*c, "CLASSNAME_%02d", kFindByClass, &window, name, &number) &&
        !FindListedWindow(*c, "TITLE_%02d", kFindByTitle, &window, name, &number)) {
        return 1;
    }
    if (IsSilent(*c)) return 0;
    ShowIniMessageBox(nullptr, c->uninstallerIni, "ERROR", "MESSAGE_04", "TITLE", MB_OK | MB_ICONEXCLAMATION, {}, FALSE);
    LogPrintf("[MessageBox] : MESSAGE_04 %s", name.c_str());
    if (number > 0 && window) PostMessageA(window, kCloseRequestBase + static_cast<UINT>(number), 0, 0);
    return 0;
}
