#include "component_dialog.h"

#include "dialog_layout.h"
#include "ini_text.h"
#include "resource.h"
#include "setup_context.h"
#include "setup_log.h"
#include "text_measure.h"

namespace {

constexpr SIZE_T kWorkerStackCommit = 16384;
constexpr UINT_PTR kBlinkTimer = 1;
constexpr UINT kBlinkMs = 800;
constexpr DWORD kLingerMs = 5000;
constexpr int kMarginLeft = 10, kMarginTop = 30, kMarginRight = 30, kMarginBottom = 10;

struct ComponentRun {
    HWND dialog;
    ComponentSet* set;
    HANDLE thread;
    HCURSOR wait;
};
ComponentRun g_run;

DWORD WINAPI ComponentInstallThread(LPVOID) {
    RunComponents(g_run.dialog, g_run.set, kRunDrivers | kRunServices | kRunFiles);
    Sleep(kLingerMs);
    PostMessageA(g_run.dialog, kComponentEnd, 0, 0);
    return 0;
}

void FitLabel(HWND dialog, HFONT font, const char* text) {
    HWND label = GetDlgItem(dialog, IDC_COMPONENT_LABEL);
    if (GetWindowLongA(label, GWL_STYLE) & SS_CENTER) return;
    RECT client;
    GetClientRect(dialog, &client);
    RECT area = {kMarginLeft, kMarginTop, client.right - kMarginRight, client.bottom - kMarginBottom};
    int height = GetTextHeight(label, font, text, &area);
    int width = GetTextWidth(label, font, text, 0);
    int areaWidth = area.right - area.left;
    int x = area.left;
    int y = area.top + ((area.bottom - area.top) - height) / 2;
    MoveWindow(label, x, y > area.top ? y : area.top, areaWidth, height, TRUE);
    if (areaWidth > width) SetWindowLongA(label, GWL_STYLE, GetWindowLongA(label, GWL_STYLE) | SS_CENTER);
}

void CenterOverParent(HWND dialog) {
    HWND parent = GetParent(dialog);
    RECT outer;
    RECT self;
    if (!parent || !GetWindowRect(parent, &outer)) SystemParametersInfoA(SPI_GETWORKAREA, 0, &outer, 0);
    GetWindowRect(dialog, &self);
    int x = outer.left + ((outer.right - outer.left) - (self.right - self.left)) / 2;
    int y = outer.top + ((outer.bottom - outer.top) - (self.bottom - self.top)) / 2;
    SetWindowPos(dialog, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
}

void InitComponentDialog(HWND dialog, ComponentSet* set) {
    const SetupContext& c = g_setup;
    HWND label = GetDlgItem(dialog, IDC_COMPONENT_LABEL);
    if (RtlLayout) {
        SetWindowLongA(dialog, GWL_EXSTYLE, GetWindowLongA(dialog, GWL_EXSTYLE) | WS_EX_LAYOUTRTL);
        SetWindowLongA(label, GWL_EXSTYLE, GetWindowLongA(label, GWL_EXSTYLE) | WS_EX_LAYOUTRTL);
    }
    HFONT font = reinterpret_cast<HFONT>(SendMessageA(GetParent(dialog), WM_GETFONT, 0, 0));
    if (font) SendMessageA(label, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
    ShowWindow(dialog, SW_SHOW);
    char caption[65] = "";
    GetIniText(c.messageIni, "TITLE", "TITLE", {}, caption, sizeof caption);
    SetWindowTextA(dialog, caption);
    char text[1024] = "";
    GetIniText(c.messageIni, "LABEL", "INSTALL_04", {}, text, sizeof text);
    char replaced[1024] = "";
    if (GetIniText(c.messageIni, "LABEL", "INSTALL_06", {}, replaced, sizeof replaced) > 0) lstrcpynA(text, replaced, sizeof text);
    SetWindowTextA(label, text);
    FitLabel(dialog, font, text);
    CenterOverParent(dialog);
    g_run = {dialog, set, nullptr, LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_WAIT))};
}

void StartComponentInstallThread(HWND dialog) {
    g_run.thread = CreateThread(nullptr, kWorkerStackCommit, ComponentInstallThread, nullptr, 0, nullptr);
    if (g_run.thread) {
        SetThreadPriority(g_run.thread, THREAD_PRIORITY_LOWEST);
        return;
    }
    // Without a thread the components still run, here, and the dialog ends with them.
    LogPrintf("  Component thread error: 0x%08lx", GetLastError());
    RunComponents(dialog, g_run.set, kRunDrivers | kRunServices | kRunFiles);
    PostMessageA(dialog, kComponentEnd, 0, 0);
}

INT_PTR CALLBACK ComponentDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_INITDIALOG:
        InitComponentDialog(dialog, reinterpret_cast<ComponentSet*>(lParam));
        PostMessageA(dialog, kComponentStart, 0, 0);
        SetTimer(dialog, kBlinkTimer, kBlinkMs, nullptr);
        return TRUE;
    case kComponentStart: StartComponentInstallThread(dialog); return TRUE;
    case WM_TIMER:
        if (wParam == kBlinkTimer) {
            HWND label = GetDlgItem(dialog, IDC_COMPONENT_LABEL);
            ShowWindow(label, IsWindowVisible(label) ? SW_HIDE : SW_SHOW);
        }
        return TRUE;
    case kComponentEnd:
        if (g_run.thread) CloseHandle(g_run.thread);
        g_run = {};
        EndDialog(dialog, 1);
        return TRUE;
    case WM_DESTROY:
    case WM_ENDSESSION: KillTimer(dialog, kBlinkTimer); return TRUE;
    case WM_SETCURSOR:
        if (LOWORD(lParam) == HTCLIENT && g_run.wait) {
            SetCursor(g_run.wait);
            SetWindowLongPtrA(dialog, DWLP_MSGRESULT, TRUE);
            return TRUE;
        }
        return FALSE;
    case WM_MOUSEMOVE:
        if (g_run.wait) SetCursor(g_run.wait);
        return TRUE;
    default: return FALSE;
    }
}

}  // namespace

void ShowComponentDialog(HWND owner, ComponentSet* set) {
    INT_PTR result = DialogBoxParamA(g_setup.instance, MAKEINTRESOURCEA(IDD_COMPONENT), owner, ComponentDialogProc,
                                     reinterpret_cast<LPARAM>(set));
    // A dialog that cannot be shown must not skip the components.
    if (result <= 0) RunComponents(owner, set, kRunDrivers | kRunServices | kRunFiles);
}
