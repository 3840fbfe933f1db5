#include "uninstall_pages.h"

#include "dialog_layout.h"
#include "resource.h"
#include "script_text.h"
#include "setup_log.h"
#include "text_measure.h"
#include "uninstall_context.h"
#include "uninstall_frame.h"
#include "uninstall_worker.h"

namespace {

const LayoutRow kWelcomeLayout[] = {
    {IDD_WELCOME, nullptr, nullptr, 164, 0, 422, 294},
    {IDC_WELCOME_HEADING, "LABEL", "WELCOME_00", 37, 12, 342, 50},
    {IDC_WELCOME_TEXT1, "LABEL", "WELCOME_01", 37, 72, 342, 40},
    {IDC_WELCOME_TEXT2, "LABEL", "WELCOME_02", 37, 134, 342, 40},
    {0, nullptr, nullptr, 0, 0, 0, 0},
};

const LayoutRow kUninstallLayout[] = {
    {IDD_UNINSTALL, nullptr, nullptr, 0, 60, 586, 234},
    {IDC_UNINSTALL_TEXT1, "LABEL", "UNINSTALL_00", 49, 22, 482, 40},
    {IDC_UNINSTALL_TEXT2, "LABEL", "UNINSTALL_01", 49, 62, 482, 40},
    {IDC_STEP_LABEL, "LABEL", "UNINSTALL_02", 49, 82, 482, 20},
    {IDC_PROGRESS, nullptr, nullptr, 49, 102, 482, 17},
    {0, nullptr, nullptr, 0, 0, 0, 0},
};

const LayoutRow kFinishLayout[] = {
    {IDD_FINISH, nullptr, nullptr, 164, 0, 422, 294},
    {IDC_FINISH_HEADING, "LABEL", "FINISH_00", 37, 12, 342, 50},
    {IDC_FINISH_TEXT, "LABEL", "FINISH_01", 37, 72, 342, 40},
    {0, nullptr, nullptr, 0, 0, 0, 0},
};

const LayoutRow kRestartLayout[] = {
    {IDD_RESTART, nullptr, nullptr, 164, 0, 422, 294},
    {IDC_FINISH_HEADING, "LABEL", "FINISH_00", 37, 12, 342, 50},
    {IDC_FINISH_TEXT, "LABEL", "FINISH_02", 37, 72, 342, 40},
    {IDC_RESTART_TEXT, "LABEL", "FINISH_03", 37, 130, 342, 40},
    {IDC_RESTART_NOW, "LABEL", "FINISH_04", 37, 175, 300, 40},
    {IDC_RESTART_LATER, "LABEL", "FINISH_05", 37, 210, 300, 40},
    {0, nullptr, nullptr, 0, 0, 0, 0},
};

// The worker of the Uninstall page; one removal run per process.
struct WorkerState {
    HANDLE thread;
    bool running;
    UninstallThreadStart start;
};
WorkerState g_worker;

void Layout(HWND page, const LayoutRow* table, int heading) {
    if (RtlLayout) MirrorDialogControls(page, table);
    LayoutDialog(page, PageFont(), table, kLayoutMoveAndSize, g_uninstall.uninstallerIni);
    if (heading && HeadingFont()) {
        SendDlgItemMessageA(page, heading, WM_SETFONT, reinterpret_cast<WPARAM>(HeadingFont()), TRUE);
    }
}

HWND Frame() { return FrameWizard()->frame; }

void EnableFrameButton(int id, bool on) { EnableWindow(GetDlgItem(Frame(), id), on); }

void SetNext(uint32_t page) { g_uninstall.nextPage = page; }

void InitWelcome(HWND page) {
    Layout(page, kWelcomeLayout, IDC_WELCOME_HEADING);
    std::string text = GetIniString(g_uninstall.uninstallerIni, "LABEL", "WELCOME_02");
    if (text.empty()) return;
    FitLabelToLayout(page, kWelcomeLayout, IDC_WELCOME_TEXT2, text.c_str());
}

void InitUninstall(HWND page) {
    auto* text = reinterpret_cast<PageText*>(GetWindowLongPtrA(page, GWLP_USERDATA));
    if (!text) {
        text = new PageText{};
        SetWindowLongPtrA(page, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(text));
    }
    snprintf(text->title, sizeof text->title, "%s", GetIniString(g_uninstall.uninstallerIni, "BIT_LABEL", "UNINSTALL_TITLE").c_str());
    snprintf(text->contents, sizeof text->contents, "%s",
             GetIniString(g_uninstall.uninstallerIni, "BIT_LABEL", "UNINSTALL_CONTENTS").c_str());
    Layout(page, kUninstallLayout, 0);
}

void StartWorker(HWND page) {
    EnableFrameButton(IDC_BACK, false);
    EnableFrameButton(IDC_NEXT, false);
    EnableFrameButton(IDCANCEL, false);
    g_worker.running = true;
    g_worker.thread = StartUninstallThread(page, &g_uninstall, &g_worker.start);
    if (!g_worker.thread) PostMessageA(page, WM_INSTALL_FAILED, 0, 0);
}

void EndWorker() {
    if (g_worker.thread) CloseHandle(g_worker.thread);
    g_worker.thread = nullptr;
    g_worker.running = false;
}

INT_PTR OnUninstallNext(HWND page) {
    bool restart = g_uninstall.reboot != 0;
    if (restart) g_uninstall.restartPage = 1;
    SetNext(restart ? kPageRestart : kPageFinish);
    // A silent run ends here, without a last page.
    if (IsSilent(g_uninstall)) PostMessageA(Frame(), kWizardClose, 0, 0);
    return PageAnswer(page, 1);
}

// The last two pages: Close greyed, Next as the finishing button, Cancel off.
void ShowLastPage(const char* captionKey, bool fit) {
    GreyFrameClose(Frame());
    std::string caption = GetIniString(g_uninstall.uninstallerIni, "BUTTON", captionKey);
    if (fit) FitNextButton(Frame(), caption.c_str());
    else SetDlgItemTextA(Frame(), IDC_NEXT, caption.c_str());
    EnableFrameButton(IDC_NEXT, true);
    EnableFrameButton(IDCANCEL, false);
}

INT_PTR EndWizardFrom(HWND page) {
    PostMessageA(Frame(), kWizardClose, 0, 0);
    return PageAnswer(page, 0);
}

void InitRestart(HWND page) {
    Layout(page, kRestartLayout, IDC_FINISH_HEADING);
    bool choice = !GetIniString(g_uninstall.uninstallerIni, "LABEL", "FINISH_04").empty();
    for (int id : {IDC_RESTART_NOW, IDC_RESTART_LATER}) {
        ShowWindow(GetDlgItem(page, id), choice ? SW_SHOW : SW_HIDE);
        EnableWindow(GetDlgItem(page, id), choice);
    }
    if (choice) CheckRadioButton(page, IDC_RESTART_NOW, IDC_RESTART_LATER, IDC_RESTART_NOW);
}

INT_PTR OnRestartNext(HWND page) {
    LogPrintf("*** Finish ***");
    bool offered = IsWindowEnabled(GetDlgItem(page, IDC_RESTART_NOW)) != FALSE;
    if (offered && IsDlgButtonChecked(page, IDC_RESTART_NOW) == BST_CHECKED) {
        g_uninstall.reboot = 1;
        LogPrintf("  Reboot [ON]");
    } else if (offered && IsDlgButtonChecked(page, IDC_RESTART_LATER) == BST_CHECKED) {
        // "Do not restart now" means what it says: the restart is no longer due.
        g_uninstall.reboot = 0;
        LogPrintf("  Reboot [OFF]");
    }
    return EndWizardFrom(page);
}

}  // namespace

INT_PTR CALLBACK WelcomePageProc(HWND page, UINT message, WPARAM, LPARAM) {
    switch (message) {
    case WM_INITDIALOG: return FALSE;
    case kWizardInit: InitWelcome(page); return PageAnswer(page, 1);
    case kWizardShown:
        GreyFrameClose(Frame());
        EnableFrameButton(IDC_BACK, false);
        return PageAnswer(page, 1);
    case kWizardNext: SetNext(kPageUninstall); return PageAnswer(page, 1);
    case kWizardBack: return PageAnswer(page, 0);
    default: return FALSE;
    }
}

INT_PTR CALLBACK UninstallPageProc(HWND page, UINT message, WPARAM, LPARAM) {
    switch (message) {
    case WM_INITDIALOG: return FALSE;
    case kWizardInit: InitUninstall(page); return PageAnswer(page, 1);
    case kWizardShown:
        GreyFrameClose(Frame());
        PostMessageA(page, WM_INSTALL_START, 0, 0);
        return PageAnswer(page, 1);
    case WM_INSTALL_START: StartWorker(page); return TRUE;
    case WM_SETCURSOR:
        if (!g_worker.running) return FALSE;
        SetCursor(LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_WAIT)));
        return PageAnswer(page, TRUE);
    case WM_INSTALL_DONE:
        EndWorker();
        if (IsSilent(g_uninstall)) PostMessageA(page, kWizardNext, 0, 0);
        else PostMessageA(Frame(), WM_COMMAND, IDC_NEXT, 0);
        return TRUE;
    case WM_INSTALL_FAILED:
        EndWorker();
        g_uninstall.cancelled = 1;
        RecordFailure(&g_uninstall.failure, kExitStepFailed);
        PostMessageA(Frame(), kWizardClose, 0, 0);
        return TRUE;
    case kWizardNext: return OnUninstallNext(page);
    case kWizardBack: return PageAnswer(page, 0);
    case WM_DESTROY:
        delete reinterpret_cast<PageText*>(GetWindowLongPtrA(page, GWLP_USERDATA));
        SetWindowLongPtrA(page, GWLP_USERDATA, 0);
        return FALSE;
    default: return FALSE;
    }
}

INT_PTR CALLBACK FinishPageProc(HWND page, UINT message, WPARAM, LPARAM) {
    switch (message) {
    case WM_INITDIALOG: return FALSE;
    case kWizardInit: Layout(page, kFinishLayout, IDC_FINISH_HEADING); return PageAnswer(page, 1);
    case kWizardShown: ShowLastPage("FINISH", false); return PageAnswer(page, 1);
    case kWizardNext: return EndWizardFrom(page);
    case kWizardBack: return PageAnswer(page, 0);
    default: return FALSE;
    }
}

INT_PTR CALLBACK RebootFinishPageProc(HWND page, UINT message, WPARAM, LPARAM) {
    switch (message) {
    case WM_INITDIALOG: return FALSE;
    case kWizardInit: InitRestart(page); return PageAnswer(page, 1);
    case kWizardShown: ShowLastPage("REFINISH", true); return PageAnswer(page, 1);
    case kWizardNext: return OnRestartNext(page);
    case kWizardBack: return PageAnswer(page, 0);
    default: return FALSE;
    }
}
