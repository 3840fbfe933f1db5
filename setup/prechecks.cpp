#include "prechecks.h"

#include "app_windows.h"
#include "dotnet_version.h"
#include "ini_text.h"
#include "message_dialog.h"
#include "message_box.h"
#include "os_info.h"
#include "os_ini_key.h"
#include "precheck_state.h"
#include "script_text.h"
#include "setup_helper_library.h"
#include "setup_log.h"
#include "uninstall_records.h"
#include "version_info.h"

#include <cstdio>
#include <cstring>
#include <string>

namespace {

constexpr int kMaxApplications = 100;
constexpr UINT kRunningProgramBase = 0x8000;

using CheckUserPrivilegeFn = BOOL(WINAPI*)(DWORD, char*);
using GetWtsSessionCountFn = int(WINAPI*)();

std::string AppValue(const SetupContext* c, int n) {
    return ReadIniValue(c->copyFileIni, "APPLIINFO", IniListKey("APP_%02d", n).c_str());
}

// The service-pack variant of the unsupported-OS message for codes 5 to 13.
const char* ServicePackKey(int osCode, bool x64) {
    static const char* const kKeys[][2] = {
        {"MESSAGE_15_2K_SP", "MESSAGE_15_2K_SP"},         {"MESSAGE_15_XP_SP", "MESSAGE_15_XPX64_SP"},
        {"MESSAGE_15_2003_SP", "MESSAGE_15_2003X64_SP"},   {"MESSAGE_15_VISTA_SP", "MESSAGE_15_VISTAX64_SP"},
        {"MESSAGE_15_2008_SP", "MESSAGE_15_2008X64_SP"},   {"MESSAGE_15_7_SP", "MESSAGE_15_7X64_SP"},
        {"MESSAGE_15_2008R2_SP", "MESSAGE_15_2008R2X64_SP"}, {"MESSAGE_15_8_SP", "MESSAGE_15_8X64_SP"},
        {"MESSAGE_15_2012_SP", "MESSAGE_15_2012X64_SP"}};
    if (osCode < 5 || osCode > 13) return nullptr;
    return kKeys[osCode - 5][x64 ? 1 : 0];
}

bool ApplicationSupportsOs(const SetupContext* c, const std::string& name) {
    char word[16] = "";
    GetOsIniKey(c->copyFileIni, c->osCode, c->osFlags, (name + "_INFO").c_str(), word, sizeof word);
    return word[0] != '\0';
}

int CheckSupportOS(HWND frame, SetupContext* c) {
    if (AppValue(c, 0).empty()) {
        PrecheckMessage(frame, c, "MESSAGE_00", "CopyFile.ini", 0);
        LogPrintf("  CopyFile.ini is not found.");
        return 0;
    }
    for (int n = 0; n < kMaxApplications; ++n) {
        std::string app = AppValue(c, n);
        if (app.empty()) break;
        if (ApplicationSupportsOs(c, FieldOf(app, 0))) {
            LogPrintf("  Support OS.");
            return 1;
        }
    }
    std::string key = "MESSAGE_15";
    const char* sp = ServicePackKey(c->osCode, (c->osFlags & kOsFlag64Bit) != 0);
    if (sp && !ReadIniValue(c->messageIni, "ERROR", sp).empty()) key = sp;
    PrecheckMessage(frame, c, key.c_str(), "CopyFile.ini", 0);
    LogPrintf("  Setup has detected an incompatible version of Windows.");
    return 0;
}

int CheckDotNetFramework(HWND frame, SetupContext* c) {
    if (AppValue(c, 0).empty()) {
        PrecheckMessage(frame, c, "MESSAGE_00", "CopyFile.ini", 0);
        LogPrintf("  CopyFile.ini is not found.(2)");
        return 0;
    }
    std::vector<std::string> required;
    for (int n = 0; n < kMaxApplications; ++n) {
        std::string app = AppValue(c, n);
        if (app.empty()) break;
        std::string minimum = ReadIniValue(c->copyFileIni, FieldOf(app, 0) + "_INFO", "FRAMEWORK_MIN");
        if (!minimum.empty()) required.push_back(minimum);
    }
    if (required.empty()) return 1;
    int count = 0;
    DotNetRelease* releases = GetDotNetVersion(&count);
    std::vector<FrameworkVersion> installed;
    for (int i = 0; releases && i < count; ++i) {
        const DotNetRelease& r = releases[i];
        FrameworkVersion v = {r.major, r.minor, static_cast<int>(r.third), r.installed != 0};
        LogPrintf("  .NET Framework : %d.%d.%d (Installed: %d)", v.major, v.minor, v.build, v.installed ? 1 : 0);
        installed.push_back(v);
    }
    if (releases) LocalFree(releases);
    for (const std::string& text : required) {
        FrameworkVersion need = ParseFrameworkVersion(text);
        if (FrameworkSatisfied(installed, need)) continue;
        char version[48];
        snprintf(version, sizeof version, "%d.%d.%d", need.major, need.minor, need.build);
        PrecheckMessage(frame, c, "MESSAGE_49", version, 0);
        LogPrintf("  Not support .Net Framework.");
        return 0;
    }
    LogPrintf("  Support .Net Framework.");
    return 1;
}

bool HelperMissing(HWND frame, SetupContext* c, const SetupHelperLibrary& library) {
    if (library.loaded()) return false;
    PrecheckMessage(frame, c, "MESSAGE_00", SetupHelperLibraryName(c->osCode), 0);
    LogPrintf("  DLL(%s) is not found.", library.path());
    return true;
}

int CheckAdminPrivilege(HWND frame, SetupContext* c) {
    if (c->osCode != 0 && c->osCode < 4) return 1;
    SetupHelperLibrary library(c->workFolder, c->osCode);
    if (HelperMissing(frame, c, library)) return 0;
    auto check = library.Find<CheckUserPrivilegeFn>("CheckUserPrivilege");
    char buffer[MAX_PATH] = "";
    if (!check || !check(0, buffer)) {
        PrecheckMessage(frame, c, "MESSAGE_09", nullptr, MB_TOPMOST | MB_SETFOREGROUND);
        LogPrintf("  You do not have administrator privileges.");
        return 0;
    }
    LogPrintf("  You have administrator privileges.");
    return 1;
}

int CheckMultipleRun(HWND frame, SetupContext* c) {
    if (g_mutexResult) {
        PrecheckMessage(frame, c, "MESSAGE_27", nullptr, MB_TOPMOST | MB_SETFOREGROUND);
        LogPrintf("  Setup is running multiple.");
        return 0;
    }
    LogPrintf("  Setup is running single.");
    return 1;
}

int CheckLoggedOnUsers(HWND frame, SetupContext* c) {
    if (c->osCode != 0 && c->osCode < 6) return 1;
    SetupHelperLibrary library(c->workFolder, c->osCode);
    if (HelperMissing(frame, c, library)) return 0;
    auto count = library.Find<GetWtsSessionCountFn>("GetWTSSessionCount");
    int sessions = count ? count() : 0;
    LogPrintf("  Number of users logged in is %d.", sessions);
    if (sessions < 2) return 1;
    LogPrintf("  More than one user is logged on.");
    if (IsSilent(*c)) return 0;
    return ShowMessageDialog(frame, c, "MESSAGE_31") == 1 ? 1 : 0;
}

// One window description of the application's programs, from the message INI first.
bool FindProgramWindow(const SetupContext* c, const std::string& section, const char* key, int kind, HWND* window,
                       char* title, size_t titleSize, int* number) {
    for (const char* ini : {c->messageIni, c->copyFileIni}) {
        std::string value = ReadIniValue(ini, section, key, 127);
        if (!value.empty() && FindApplicationWindow(kind, value.c_str(), window, title, titleSize, number)) return true;
    }
    return false;
}

bool AnyDescription(const SetupContext* c, const std::string& section, const std::string& classKey,
                    const std::string& titleKey) {
    for (const char* ini : {c->messageIni, c->copyFileIni}) {
        if (!ReadIniValue(ini, section, classKey).empty() || !ReadIniValue(ini, section, titleKey).empty()) return true;
    }
    return false;
}

// 1 when a program of an application runs (the stage then stops).
int CheckRunningApplications(HWND frame, SetupContext* c) {
    for (int a = 0; a < kMaxApplications; ++a) {
        std::string app = AppValue(c, a);
        if (app.empty()) break;
        std::string section = FieldOf(app, 0) + "_INFO";
        for (int n = 0; n < kMaxApplications; ++n) {
            std::string classKey = IniListKey("CLASSNAME_%02d", n);
            std::string titleKey = IniListKey("TITLE_%02d", n);
            if (!AnyDescription(c, section, classKey, titleKey)) break;
            HWND window = nullptr;
            char title[128] = "Application";
            int number = 0;
            if (!FindProgramWindow(c, section, classKey.c_str(), kFindByClass, &window, title, sizeof title, &number) &&
                !FindProgramWindow(c, section, titleKey.c_str(), kFindByTitle, &window, title, sizeof title, &number)) {
                continue;
            }
            if (!IsSilent(*c)) {
                PrecheckMessage(frame, c, "MESSAGE_10", title, 0);
                if (window && number > 0) PostMessageA(window, kRunningProgramBase + number, 0, 0);
            }
            LogPrintf("  Running the application.(%s)", title);
            return 1;
        }
    }
    return 0;
}

int CheckInstalledVersion(HWND frame, SetupContext* c) {
    for (int n = 0; n < kMaxApplications; ++n) {
        std::string app = AppValue(c, n);
        if (app.empty()) break;
        std::string key = ProductUninstallKey(c, app);
        if (key.empty()) continue;
        std::string installed = InstalledProductVersion(key);
        if (installed.empty()) continue;
        std::string log = app + "_UNINSTLOG";
        std::string version = ReadIniValue(c->copyFileIni, log, "DISPVERSION", 127);
        std::string exact = ReadIniValue(c->copyFileIni, log, "VERSION", 127);
        if (!exact.empty()) version = exact;
        if (version.empty()) continue;
        LogPrintf("  %s (Old Version : %s, New Version : %s)", app.c_str(), installed.c_str(), version.c_str());
        if (CompareVersionStrings(installed.c_str(), version.c_str()) <= 0) continue;
        LogPrintf("  You are trying to install an older version.");
        if (IsSilent(*c)) return 0;
        if (ReadIniValue(c->messageIni, "ERROR", "MESSAGE_32").empty()) continue;
        std::string name = ReadIniValue(c->copyFileIni, log, "DISPNAME", 127);
        if (name.empty()) name = ReadIniValue(c->messageIni, log, "DISPNAME", 127);
        if (PrecheckQuestion(frame, c, "MESSAGE_32", name.c_str(), MB_ICONEXCLAMATION) != IDYES) {
            LogPrintf("[MessageBox] : MESSAGE_32 %s (OLD:%s, NEW:%s)", name.c_str(), installed.c_str(), version.c_str());
            return 0;
        }
    }
    return 1;
}

}  // namespace

FrameworkVersion ParseFrameworkVersion(const std::string& text) {
    std::vector<std::string> parts = SplitFields(text, '.');
    FrameworkVersion v{};
    int* fields[] = {&v.major, &v.minor, &v.build};
    for (size_t i = 0; i < 3 && i < parts.size(); ++i) *fields[i] = atoi(parts[i].c_str());
    v.installed = true;
    return v;
}

bool FrameworkSatisfied(const std::vector<FrameworkVersion>& installed, const FrameworkVersion& need) {
    for (const FrameworkVersion& v : installed) {
        if (v.installed && v.major >= need.major && v.minor >= need.minor && v.build >= need.build) return true;
    }
    return false;
}

std::string ProductUninstallKey(const SetupContext* c, const std::string& app) {
    std::string log = app + "_UNINSTLOG";
    std::string name = ReadIniValue(c->copyFileIni, log, "REGISTKEY", 127);
    if (name.empty()) return "";
    if (c->modeBits & kModeNoArpEntry) return ReadIniValue(c->copyFileIni, log, "UNINSTALLPATH", 127);
    return std::string(kUninstallKey) + "\\" + name;
}

std::string InstalledProductVersion(const std::string& key) {
    HKEY handle = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, key.c_str(), 0, KEY_READ, &handle) != ERROR_SUCCESS) return "";
    char text[128] = "";
    DWORD size = sizeof text - 1;
    DWORD type = 0;
    LONG read = RegQueryValueExA(handle, "DisplayVersion", nullptr, &type, reinterpret_cast<BYTE*>(text), &size);
    std::string version;
    if (read == ERROR_SUCCESS && (type == REG_SZ || type == REG_EXPAND_SZ)) {
        text[size < sizeof text ? size : sizeof text - 1] = '\0';
        version = text;
        DWORD packed = 0;
        size = sizeof packed;
        if (RegQueryValueExA(handle, "Version", nullptr, &type, reinterpret_cast<BYTE*>(&packed), &size) ==
                ERROR_SUCCESS && type == REG_DWORD) {
            char formatted[48];
            snprintf(formatted, sizeof formatted, "%lu.%lu.%lu", packed >> 24, (packed >> 16) & 0xFF, packed & 0xFFFF);
            version = formatted;
        }
    }
    RegCloseKey(handle);
    return version;
}

int PrecheckMessage(HWND frame, const SetupContext* c, const char* key, const char* argument, UINT extraFlags) {
    if (IsSilent(*c)) return IDOK;
    return ShowIniMessageBox(frame, c->messageIni, "ERROR", key, "TITLE", MB_OK | MB_ICONEXCLAMATION | extraFlags,
                             argument, TRUE);
}

int PrecheckQuestion(HWND frame, const SetupContext* c, const char* key, const char* argument, UINT icon) {
    if (IsSilent(*c)) return IDNO;
    return ShowIniMessageBox(frame, c->messageIni, "ERROR", key, "TITLE", MB_YESNO | icon, argument, TRUE);
}

int CheckApplication(HWND frame, SetupContext* c) {
    LogPrintf("*** Application ***");
    if (!CheckSupportOS(frame, c)) return 0;
    if (!CheckDotNetFramework(frame, c)) return 0;
    if (!CheckAdminPrivilege(frame, c)) return 0;
    if (!CheckMultipleRun(frame, c)) return 0;
    if (!CheckLoggedOnUsers(frame, c)) return 0;
    if (CheckRunningApplications(frame, c)) return 0;
    if (!CheckInstalledVersion(frame, c)) return 0;
    return CheckInstalledState(frame, c);
}
