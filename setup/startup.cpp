#include "startup.h"

#include "app_windows.h"
#include "main_window.h"
#include "message_box.h"
#include "os_info.h"
#include "path_helpers.h"
#include "setup_context.h"
#include "setup_log.h"
#include "setup_settings.h"
#include "window_position.h"
#include "wizard_frame.h"

#include <commctrl.h>
#include <objbase.h>

#include <cstring>

namespace {

bool g_comStarted;

bool HasIniValue(const char* ini, const char* section, const char* key) {
    char value[260];
    return GetPrivateProfileStringA(section, key, "", value, sizeof value, ini) > 0;
}

bool CheckScriptFiles(SetupContext& c) {
    if (!HasIniValue(c.languageIni, "FONT", "STANDARD")) {
        if (!IsSilent(c)) {
            MessageBoxA(nullptr, "The file specified does not exist. This program will abort.", "Install",
                        MB_OK | MB_ICONEXCLAMATION | MB_TOPMOST | MB_SETFOREGROUND);
        }
        return false;
    }
    if (!HasIniValue(c.copyFileIni, "FOLDER", "INSTALL")) {
        if (!IsSilent(c)) {
            ShowIniMessageBox(nullptr, c.languageIni, "ERROR", "MESSAGE_05", "TITLE", MB_ICONEXCLAMATION, {}, TRUE);
        }
        return false;
    }
    return true;
}

// Another instance with a window: that window comes forward and this one stops.
bool AnotherInstanceRuns(const SetupContext& c) {
    g_mutexResult = CheckNamedMutex(g_className, c.osCode >= 5, TRUE);
    if (!g_mutexResult) return false;
    HWND other = FindWindowA(g_className, nullptr);
    if (!other) return false;
    ForceForegroundWindow(GetLastActivePopup(other), c.osCode);
    return true;
}

}  // namespace

int InitInstaller(HINSTANCE instance, const char* /*commandLine*/) {
    INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_WIN95_CLASSES | ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&controls);
    g_comStarted = SUCCEEDED(CoInitialize(nullptr));
    memset(&g_setup, 0, sizeof g_setup);
    g_setup.instance = instance;
    uint32_t flags = 0;
    g_setup.osCode = static_cast<uint16_t>(GetOsVersionCode(&flags));
    g_setup.osFlags = flags;
    return 1;
}

int RunSetup(HINSTANCE instance, const char* commandLine) {
    if (!InitInstaller(instance, commandLine)) return ExitInstaller(kExitNoWindow);
    SetupContext& c = g_setup;
    ParseFirstCommandLine(&c, commandLine);
    char folder[MAX_PATH] = "";
    GetModuleFolder(folder);
    SetScriptPaths(&c, folder);
    if (!CheckScriptFiles(c)) return ExitInstaller(kExitNoScript);
    char logSetting[MAX_PATH] = "";
    GetPrivateProfileStringA("SETTING", "LOG", "", logSetting, sizeof logSetting, c.languageIni);
    if (logSetting[0]) SetLogFile(logSetting);
    LogProgramStart("              Installer Version ", kInstallerVersion, c.workFolder, commandLine);
    ReadSetupSettings(&c);
    ParseCommandLine(&c, commandLine);
    if (!LoadLanguageFiles(&c)) return ExitInstaller(kExitNoScript);
    if (!RegisterMainWindowClass(instance)) return ExitInstaller(kExitNoWindow);
    if (AnotherInstanceRuns(c)) return ExitInstaller(kExitAlreadyRunning);
    if (!CreateMainWindow(&c)) return ExitInstaller(kExitNoWindow);
    RunWizardMessageLoop();
    return ExitInstaller();
}

int ExitInstaller(uint32_t failure) {
    RecordFailure(&g_setup.failure, failure);
    int code = g_setup.failure ? static_cast<int>(g_setup.failure) : g_setup.reboot ? 1 : 0;
    LogPrintf("*** return [%d] ***", code);
    if (g_comStarted) CoUninitialize();
    g_comStarted = false;
    return code;
}
