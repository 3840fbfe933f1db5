// Remvane: removes what the setup program recorded, itself included.
#include "main_window.h"
#include "script_text.h"
#include "setup_log.h"
#include "startup_checks.h"
#include "uninstall_frame.h"
#include "uninstall_info.h"
#include "uninstall_worker.h"

#include <commctrl.h>

#include <cstring>

namespace {

int ExitUninstaller(int code) {
    FreeUninstallRecords(&g_uninstall);
    int result = ((g_uninstall.uiFlags & kUiNoRestart) && g_uninstall.reboot) ? 2 : code;
    LogPrintf("*** return [%d] ***", result);
    FreeSectionEntry(&g_uninstall);
    return result;
}

int RunMessageLoop() {
    MSG message;
    while (GetMessageA(&message, nullptr, 0, 0) > 0) {
        if (OfferToPages(&message)) continue;
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    return static_cast<int>(message.wParam);
}

int RunStageOne(HINSTANCE previous) {
    if (!CheckUserPrivilegeByDll(&g_uninstall)) return ExitUninstaller(0);
    std::string className = ReadIniValue(g_uninstall.uninstallerIni, "INFO", "CLASSNAME", sizeof g_uninstall.className - 1);
    if (className.empty()) return ExitUninstaller(0);
    snprintf(g_uninstall.className, sizeof g_uninstall.className, "%s", className.c_str());
    if (!previous && !RegisterMainWindowClass(&g_uninstall)) return ExitUninstaller(0);
    if (!TakeSingleInstance(&g_uninstall)) return ExitUninstaller(0);
    if (!CheckRunningApplications(&g_uninstall)) return ExitUninstaller(0);
    if (!CreateMainWindow(&g_uninstall)) return ExitUninstaller(0);
    return ExitUninstaller(RunMessageLoop());
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR arguments, int) {
    INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_WIN95_CLASSES | ICC_PROGRESS_CLASS};
    InitCommonControlsEx(&controls);
    memset(&g_uninstall, 0, sizeof g_uninstall);
    g_uninstall.instance = instance;
    int info = InitUninstallInfo(&g_uninstall, arguments);
    if (info == kInfoStop) return 0;
    if (info == kInfoStageTwoDone) return ExitUninstaller(1);
    return RunStageOne(previous);
}
