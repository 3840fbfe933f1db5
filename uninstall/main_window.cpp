#include "main_window.h"

#include "dialog_layout.h"
#include "resource.h"
#include "script_text.h"
#include "setup_log.h"
#include "stage_two.h"
#include "uninstall_frame.h"

namespace {

constexpr char kMainTitle[] = "ZK UnInstaller";

void OnCreate(HWND window) {
    HMENU menu = GetSystemMenu(window, FALSE);
    DeleteMenu(menu, SC_RESTORE, MF_BYCOMMAND);
    DrawMenuBar(window);
    if (ShowsWindow(g_uninstall)) {
        SetWindowPos(window, nullptr, 0, 0, 0, 0, SWP_NOZORDER);
        ShowWindow(window, SW_SHOWMINNOACTIVE);
    }
    PostMessageA(window, kWizardInit, 0, 0);
}

void SetIcons(HWND window, HINSTANCE instance) {
    auto load = [&](int size) {
        return reinterpret_cast<LPARAM>(LoadImageA(instance, MAKEINTRESOURCEA(IDI_UNINSTALL), IMAGE_ICON, size, size, 0));
    };
    SendMessageA(window, WM_SETICON, ICON_BIG, load(32));
    SendMessageA(window, WM_SETICON, ICON_SMALL, load(16));
}

void OnStart(HWND window) {
    if (!ConfirmUninstall(window, &g_uninstall)) {
        g_uninstall.cancelled = 1;
        RecordFailure(&g_uninstall.failure, kExitCancelled);
        PostMessageA(window, kWizardClose, 0, 0);
        return;
    }
    g_uninstall.frame = CreateWizardFrame(g_uninstall.instance, window, &kUninstallFrame);
    if (!g_uninstall.frame) {
        g_uninstall.cancelled = 1;
        RecordFailure(&g_uninstall.failure, kExitNoWindow);
        PostMessageA(window, kWizardClose, 0, 0);
    }
}

void OnDestroy(HWND window) {
    if (g_uninstall.cancelled) DiscardStageTwo(&g_uninstall);
    else if (!RelaunchFromTemp(window, &g_uninstall)) RecordFailure(&g_uninstall.failure, kExitStageTwoFailed);
    PostQuitMessage(0);
}

}  // namespace

int ConfirmUninstall(HWND window, UninstallContext* c) {
    SetIcons(window, c->instance);
    std::string title = ReadIniValue(c->uninstallerIni, "MESSAGE", "TITLE", 259);
    if (!title.empty()) SetWindowTextA(window, title.c_str());
    if (IsSilent(*c)) return 1;
    if (!ReadIniValue(c->uninstallerIni, "LABEL", "WELCOME_00", 259).empty()) return 1;
    std::string question = GetIniString(c->uninstallerIni, "MESSAGE", "CHECK_00");
    UINT flags = MB_YESNO | MB_ICONQUESTION | MB_SETFOREGROUND | (RtlLayout ? MB_RTLREADING : 0);
    if (MessageBoxA(window, question.c_str(), title.c_str(), flags) == IDYES) return 1;
    LogPrintf("[MessageBox] : CHECK_00");
    return 0;
}

LRESULT CALLBACK MainWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_CREATE: OnCreate(window); return 0;
    case kWizardInit: OnStart(window); return 0;
    case WM_ACTIVATE:
        if (LOWORD(wParam) != WA_INACTIVE && g_uninstall.frame && IsWindow(g_uninstall.frame)) {
            SetActiveWindow(g_uninstall.frame);
        }
        return 0;
    case WM_COMMAND:
        if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) PostMessageA(window, WM_CLOSE, 0, 0);
        return 0;
    case kWizardClose: DestroyWindow(window); return 0;
    case WM_DESTROY: OnDestroy(window); return 0;
    default: break;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

int RegisterMainWindowClass(UninstallContext* c) {
    WNDCLASSA wc = {};
    wc.style = CS_HREDRAW | CS_VREDRAW;
    wc.lpfnWndProc = MainWndProc;
    wc.hInstance = c->instance;
    wc.hIcon = LoadIconA(c->instance, MAKEINTRESOURCEA(IDI_UNINSTALL));
    wc.hCursor = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
    wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
    wc.lpszClassName = c->className;
    return RegisterClassA(&wc) != 0;
}

int CreateMainWindow(UninstallContext* c) {
    c->mainWindow = CreateWindowExA(0, c->className, kMainTitle, WS_MINIMIZE | WS_CAPTION | WS_SYSMENU, 0, 0,
                                    CW_USEDEFAULT, CW_USEDEFAULT, nullptr, nullptr, c->instance, nullptr);
    return c->mainWindow ? 1 : 0;
}
