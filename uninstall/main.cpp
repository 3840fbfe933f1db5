// Remvane: removes what the setup program recorded, itself included.
#include "main_window.h"
#include "script_text.h"
#include "setup_log.h"
#include "startup_checks.h"
#include "system_library.h"
#include "uninstall_frame.h"
#include "uninstall_info.h"
#include "uninstall_worker.h"

#include <commctrl.h>

#include <cstring>

namespace {

int ExitUninstaller(int code, uint32_t failure = 0) {
    FreeUninstallRecords(&g_uninstall);
    RecordFailure(&g_uninstall.failure, failure);
    int result = g_uninstall.failure ? static_cast<int>(g_uninstall.failure)
                 : ((g_uninstall.uiFlags & kUiNoRestart) && g_uninstall.reboot) ? 2
                                                                                 : code;
    LogPrintf("*** return [%d] ***", result);
    FreeSectionEntry(&g_uninstall);
    return result;
}

int RunStageOne(HINSTANCE previous) {
    if (!CheckUserPrivilegeByDll(&g_uninstall)) return ExitUninstaller(0, kExitCheckFailed);
    std::string className = ReadIniValue(g_uninstall.uninstallerIni, "INFO", "CLASSNAME", sizeof g_uninstall.className - 1);
    if (className.empty()) return ExitUninstaller(0, kExitNoScript);
    snprintf(g_uninstall.className, sizeof g_uninstall.className, "%s", className.c_str());
    if (!previous && !RegisterMainWindowClass(&g_uninstall)) return ExitUninstaller(0, kExitNoWindow);
    if (!TakeSingleInstance(&g_uninstall)) return ExitUninstaller(0, kExitAlreadyRunning);
    if (!CheckRunningApplications(&g_uninstall)) return ExitUninstaller(0, kExitCheckFailed);
    if (!CreateMainWindow(&g_uninstall)) return ExitUninstaller(0, kExitNoWindow);
    return ExitUninstaller(RunWizardMessageLoop());
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR arguments, int) {
    RestrictDllSearch();
    INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_WIN95_CLASSES | ICC_PROGRESS_CLASS};
    InitCommonControlsEx(&controls);
    memset(&g_uninstall, 0, sizeof g_uninstall);
    g_uninstall.instance = instance;
    int info = InitUninstallInfo(&g_uninstall, arguments);
    // No usable list or uninstaller INI: nothing was read, nothing is removed.
    if (info == kInfoStop) return kExitNoScript;
    if (info == kInfoStageTwoDone) return ExitUninstaller(1);
    return RunStageOne(previous);
}
