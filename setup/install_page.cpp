#include "install_page.h"

#include "checked_applications.h"
#include "dialog_layout.h"
#include "install_worker.h"
#include "ini_text.h"
#include "main_window.h"
#include "message_box.h"
#include "page_order.h"
#include "port_records.h"
#include "registry_entries.h"
#include "resource.h"
#include "script_text.h"
#include "setup_log.h"
#include "uninstall_records.h"
#include "window_position.h"
#include "wizard_pages.h"

#include <cstdio>

namespace {

// Marks the page's own Next after the run, which in silent mode then presses the frame's Next.
constexpr WPARAM kNextFromWorker = 1;

const LayoutRow kInstallLayout[] = {
    {IDD_INSTALL, nullptr, nullptr, 0, 60, 586, 234},
    {IDC_INSTALL_LABEL, "FONT", nullptr, 49, 60, 488, 20},
    {IDC_PROGRESS, nullptr, nullptr, 49, 86, 488, 16},
    {0, nullptr, nullptr, 0, 0, 0, 0},
};

struct InstallPageState {
    HANDLE thread;
    bool busy;
    HCURSOR wait;
    HCURSOR previous;
    InstallStart start;
};
InstallPageState g_install;

void InitInstallPage(HWND page) {
    auto* text = new PageText{};
    SetWindowLongPtrA(page, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(text));
    char value[260] = "";
    if (GetIniText(g_setup.messageIni, "BIT_LABEL", "INSTALL_TITLE", {}, value, sizeof value) > 0) {
        lstrcpynA(text->title, value, sizeof text->title);
    }
    if (GetIniText(g_setup.messageIni, "BIT_LABEL", "INSTALL_CONTENTS", {}, value, sizeof value) > 0) {
        lstrcpynA(text->contents, value, sizeof text->contents);
    }
    if (RtlLayout) MirrorDialogControls(page, kInstallLayout);
    HFONT font = reinterpret_cast<HFONT>(SendMessageA(g_setup.frame, WM_GETFONT, 0, 0));
    LayoutDialog(page, font, kInstallLayout, kLayoutMoveAndSize, g_setup.messageIni);
}

void DisableWizardButtons() {
    HMENU menu = GetSystemMenu(g_setup.frame, FALSE);
    if (menu) EnableMenuItem(menu, SC_CLOSE, MF_BYCOMMAND | MF_GRAYED);
    DrawMenuBar(g_mainWindow);
    for (int id : {IDC_BACK, IDC_NEXT, IDCANCEL}) EnableWindow(GetDlgItem(g_setup.frame, id), FALSE);
}

// A worker that cannot start leaves the user a message and the way out.
void ReportNoWorker(HWND page) {
    DWORD error = GetLastError();
    LogPrintf("  Install thread error: 0x%08lx", error);
    if (!IsSilent(g_setup)) {
        if (error) ShowSystemErrorBox(g_mainWindow, error, MB_ICONEXCLAMATION, TRUE);
        else InstallMessage(&g_setup, "MESSAGE_14", nullptr);
    }
    (void)page;
    RecordFailure(&g_setup.failure, kExitStepFailed);
    g_install.busy = false;
    PostMessageA(g_setup.frame, kWizardClose, 0, 0);
}

void OnInstallStart(HWND page) {
    g_install.busy = true;
    g_install.thread = StartInstallThread(page, &g_setup, &g_install.start);
    if (!g_install.thread) ReportNoWorker(page);
}

void CloseWorker() {
    if (g_install.thread) CloseHandle(g_install.thread);
    g_install.thread = nullptr;
}

void OnInstallDone(HWND page) {
    CloseWorker();
    g_install.busy = false;
    if (IsSilent(g_setup)) PostMessageA(page, kWizardNext, kNextFromWorker, 0);
    else PostMessageA(g_setup.frame, WM_COMMAND, IDC_NEXT, 0);
}

void OnInstallFailed(WPARAM code) {
    CloseWorker();
    g_install.busy = false;
    LogPrintf("  Install Error (%u).", static_cast<unsigned>(code));
    RecordFailure(&g_setup.failure, kExitStepFailed);
    CopyUninstLogName(nullptr, &g_setup);
    PostMessageA(g_setup.frame, kWizardClose, 0, 0);
}

void LogScreens(const SetupContext* c) {
    if (!LogFlags) return;
    auto shown = [](uint32_t on) { return on ? "Display" : "(Hide)"; };
    LogPrintf("*** Screen Information ***");
    LogPrintf("  Connect   : %s", shown(c->connect));
    LogPrintf("  PrintList : %s", shown(c->printerPage));
    LogPrintf("  Finish    : %s", shown(c->finishPage));
    LogPrintf("  ReFinish  : %s", shown(c->restartPage));
    LogPrintf("  (Reboot)  : %s", c->reboot ? "Yes" : "No");
}

// The CONNECT value of the first checked application that has one, written with its preset
// when the Connect page does not ask (a missing preset counts as "ON").
void WriteConnectDefault(SetupContext* c) {
    bool done = false;
    ForCheckedApplications(c, [&](ApplicationRecord& r) {
        if (done) return;
        std::string value = ReadIniValue(c->copyFileIni, r.sections[kSecInfo], "CONNECT");
        if (value.empty()) return;
        done = true;
        std::vector<std::string> f = SplitFields(value);
        f.resize(5);
        HKEY root = ScriptRegistryRoot(f[0].c_str());
        if (!root || f[1].empty() || f[2].empty()) return;
        DWORD size = 0;
        if (RegGetValueA(root, f[1].c_str(), f[2].c_str(), RRF_RT_ANY, nullptr, nullptr, &size) == ERROR_SUCCESS) return;
        BYTE on = (f[3].empty() || _stricmp(f[3].c_str(), "ON") == 0) ? 1 : 0;
        HKEY key = nullptr;
        if (RegCreateKeyExA(root, f[1].c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr) != ERROR_SUCCESS) return;
        RegSetValueExA(key, f[2].c_str(), 0, REG_BINARY, &on, 1);
        RegCloseKey(key);
        LogPrintf("  Registry: %p\\%s", static_cast<void*>(root), f[1].c_str());
        LogPrintf("    --> (%s): 0x%02x", f[2].c_str(), on);
    });
}

void OnMouseMove() {
    if (g_install.busy) {
        if (!g_install.wait) {
            g_install.wait = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_WAIT));
            g_install.previous = SetCursor(g_install.wait);
        }
    } else if (g_install.wait) {
        SetCursor(g_install.previous);
        g_install.wait = nullptr;
        g_install.previous = nullptr;
    }
}

}  // namespace

void GetRebootConnectNeeds(const SetupContext* c, int* anyMonitor, int* anyComponents) {
    *anyMonitor = 0;
    *anyComponents = 0;
    for (uint32_t i = 0; c->applications && i < c->applicationCount; ++i) {
        const ApplicationRecord& r = c->applications[i];
        if (!r.checked || !r.name[0]) continue;
        if (r.monitor && r.monitor->name[0]) *anyMonitor = 1;
        if (r.components) *anyComponents = 1;
    }
}

void DecideFinishPages(SetupContext* c) {
    int monitors = 0;
    int components = 0;
    GetRebootConnectNeeds(c, &monitors, &components);
    ForCheckedApplications(c, [&](ApplicationRecord& r) {
        if (r.components && r.alreadyInstalled) c->connect = 0;
    });
    c->finishPage = 0;
    c->restartPage = 0;
    bool reboot = c->reboot != 0;
    if (monitors && components) {
        c->finishPage = 1;
        c->restartPage = 1;
    } else if (components && c->applicationCount > 1) {
        c->restartPage = 1;
    } else {
        if (monitors) c->connect = 0;
        if (reboot) c->restartPage = 1;
        else c->finishPage = 1;
    }
    if (c->connect) c->nextPage = kPageConnect;
    else if (c->printerPage) c->nextPage = kPagePrinters;
    else if (c->finishPage) c->nextPage = kPageFinish;
    else c->nextPage = kPageRestart;
}

int InstallDone(HWND /*page*/, SetupContext* c) {
    DecideFinishPages(c);
    LogScreens(c);
    ForceForegroundWindow(g_mainWindow, c->osCode);
    if (!c->connect) WriteConnectDefault(c);
    return 1;
}

INT_PTR CALLBACK InstallPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_INITDIALOG: return FALSE;
    case kWizardInit: InitInstallPage(page); return PageAnswer(page, 1);
    case kWizardShown:
        DisableWizardButtons();
        PostMessageA(page, kInstallStart, 0, 0);
        return PageAnswer(page, 1);
    case kInstallStart: OnInstallStart(page); return TRUE;
    case kInstallDone: OnInstallDone(page); return TRUE;
    case kInstallFailed: OnInstallFailed(wParam); return TRUE;
    case kWizardNext: {
        InstallDone(page, &g_setup);
        if (IsSilent(g_setup) && wParam == kNextFromWorker) PostMessageA(g_setup.frame, WM_COMMAND, IDC_NEXT, 0);
        return PageAnswer(page, 1);
    }
    case WM_DESTROY:
    case WM_ENDSESSION:
        delete reinterpret_cast<PageText*>(GetWindowLongPtrA(page, GWLP_USERDATA));
        SetWindowLongPtrA(page, GWLP_USERDATA, 0);
        return TRUE;
    case WM_SETCURSOR:
        if (g_install.wait && LOWORD(lParam) == HTCLIENT) {
            SetCursor(g_install.wait);
            return PageAnswer(page, TRUE);
        }
        return FALSE;
    case WM_MOUSEMOVE: OnMouseMove(); return TRUE;
    default: return FALSE;
    }
}
