#include "page_common.h"
#include "resource.h"
#include "restart.h"
#include "run_after.h"
#include "setup_frame.h"
#include "setup_log.h"
#include "setup_pages.h"
#include "text_measure.h"

// The Finish and Restart pages: the end of the wizard, the programs started afterwards and the
// restart of Windows when one is due.
namespace {

const LayoutRow kFinishLayout[] = {
    {IDD_FINISH, nullptr, nullptr, kLeftPageX, kLeftPageY, kLeftPageWidth, kLeftPageHeight},
    {IDC_FINISH_HEADING, "LABEL", "FINISH_00", 37, 12, 342, 50},
    {IDC_FINISH_TEXT, "LABEL", "FINISH_01", 37, 72, 342, 40},
    {IDC_FINISH_TEXT2, "LABEL", "FINISH_02", 37, 130, 342, 40},
    {IDC_FINISH_RUN, "LABEL", "FINISH_03", 37, 175, 300, 40},
    {IDC_FINISH_SECOND, "LABEL", "FINISH_04", 37, 210, 300, 40},
    {0, nullptr, nullptr, 0, 0, 0, 0},
};
const LayoutRow kRestartLayout[] = {
    {IDD_RESTART, nullptr, nullptr, kLeftPageX, kLeftPageY, kLeftPageWidth, kLeftPageHeight},
    {IDC_RESTART_HEADING, "LABEL", "REFINISH_00", 37, 12, 342, 50},
    {IDC_RESTART_TEXT, "LABEL", "REFINISH_01", 37, 72, 342, 40},
    {IDC_RESTART_TEXT2, "LABEL", "REFINISH_02", 37, 130, 342, 40},
    {0, nullptr, nullptr, 0, 0, 0, 0},
};

void HideControl(HWND page, int id) {
    ShowWindow(GetDlgItem(page, id), SW_HIDE);
    EnableWindow(GetDlgItem(page, id), FALSE);
}

void InitFinishPage(HWND page) {
    LayoutPage(page, kFinishLayout, g_setup.messageIni);
    SendDlgItemMessageA(page, IDC_FINISH_HEADING, WM_SETFONT, reinterpret_cast<WPARAM>(HeadingFont()), TRUE);
    if (!MessageText("LABEL", "FINISH_03").empty()) {
        CheckDlgButton(page, IDC_FINISH_RUN, BST_CHECKED);
        return;
    }
    std::string text = MessageText("LABEL", "FINISH_05");
    SetDlgItemTextA(page, IDC_FINISH_TEXT, text.c_str());
    if (!text.empty()) FitLabelToLayout(page, kFinishLayout, IDC_FINISH_TEXT, text.c_str());
    for (int id : {IDC_FINISH_TEXT2, IDC_FINISH_RUN, IDC_FINISH_SECOND}) HideControl(page, id);
}

// A closing page in silent mode answers as if Next were pressed, or the invisible wizard
// would wait for ever.
void NextWhenSilent() {
    if (IsSilent(g_setup)) PostMessageA(g_setup.frame, WM_COMMAND, IDC_NEXT, 0);
}

INT_PTR ShowFinishPage(HWND page) {
    EnableFrameClose(false);
    SetFrameCaption(IDC_NEXT, "FINISH");
    EnableFrameButton(IDC_NEXT, true);
    EnableFrameButton(IDCANCEL, false);
    NextWhenSilent();
    return PageAnswer(page, 1);
}

INT_PTR FinishSetup(HWND page) {
    LogPrintf("*** Finish ***");
    ProgramEntry list[kMaxProgramEntries];
    int count = 0;
    ExecApplications(page, &g_setup, kProgramsForFinish, list, &count);
    HWND box = GetDlgItem(page, IDC_FINISH_RUN);
    if (IsWindowEnabled(box)) {
        if (IsDlgButtonChecked(page, IDC_FINISH_RUN) == BST_CHECKED) ExecApplication(g_setup.frame, page, &g_setup, list, count);
    } else if (g_setup.restartPage) {
        SetRunOnce(page, list, count);
    } else {
        ExecApplication(g_setup.frame, page, &g_setup, list, count);
    }
    if (g_setup.restartPage) {
        if (!IsSilent(g_setup)) ShowWindow(g_setup.frame, SW_SHOW);
        return AcceptTo(page, kPageRestart);
    }
    PostMessageA(g_setup.frame, kWizardClose, 0, 0);
    return PageAnswer(page, 0);
}

void InitRestartPage(HWND page) {
    LayoutPage(page, kRestartLayout, g_setup.messageIni);
    SendDlgItemMessageA(page, IDC_RESTART_HEADING, WM_SETFONT, reinterpret_cast<WPARAM>(HeadingFont()), TRUE);
}

INT_PTR ShowRestartPage(HWND page) {
    EnableFrameClose(false);
    EnableFrameButton(IDC_NEXT, true);
    EnableFrameButton(IDCANCEL, false);
    if (g_setup.reboot) {
        FitNextButton(g_setup.frame, MessageText("BUTTON", "REFINISH", 259).c_str());
    } else {
        HideControl(page, IDC_RESTART_TEXT2);
        SetDlgItemTextA(page, IDC_RESTART_TEXT, MessageText("LABEL", "REFINISH_03").c_str());
        SetFrameCaption(IDC_NEXT, "FINISH");
    }
    NextWhenSilent();
    return PageAnswer(page, 1);
}

void RemoveSetupFolder() {
    std::string folder = SetupFolderOnWindowsDrive(g_setup);
    LogPrintf("  Delete Folder: %s", folder.c_str());
    RemoveDirectoryA(folder.c_str());
}

INT_PTR RestartAndFinish(HWND page) {
    LogPrintf("*** ReFinish ***");
    ProgramEntry list[kMaxProgramEntries];
    int count = 0;
    ExecApplications(page, &g_setup, kProgramsForRestart, list, &count);
    if (g_setup.reboot) {
        SetRunOnce(page, list, count);
        if (g_setup.modeBits & kModeDeleteSetupFolder) RemoveSetupFolder();
        // A silent caller learns of the due restart from the exit code and restarts itself.
        if (!IsSilent(g_setup)) {
            LogPrintf("  Reboot Start");
            RestartWindows();
        }
    } else {
        ExecApplication(g_setup.frame, page, &g_setup, list, count);
    }
    PostMessageA(g_setup.frame, kWizardClose, 0, 0);
    return PageAnswer(page, 0);
}

}  // namespace

INT_PTR CALLBACK FinishPageProc(HWND page, UINT message, WPARAM, LPARAM) {
    switch (message) {
    case WM_INITDIALOG: return FALSE;
    case kWizardInit: InitFinishPage(page); return PageAnswer(page, 1);
    case kWizardShown: return ShowFinishPage(page);
    case kWizardNext: return FinishSetup(page);
    case kWizardBack: return PageAnswer(page, 0);
    case WM_CTLCOLORDLG:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORSTATIC: return WhiteBrush();
    default: return FALSE;
    }
}

INT_PTR CALLBACK RestartPageProc(HWND page, UINT message, WPARAM, LPARAM) {
    switch (message) {
    case WM_INITDIALOG: return FALSE;
    case kWizardInit: InitRestartPage(page); return PageAnswer(page, 1);
    case kWizardShown: return ShowRestartPage(page);
    case kWizardNext: return RestartAndFinish(page);
    case kWizardBack: return PageAnswer(page, 0);
    case WM_CTLCOLORDLG:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORSTATIC: return WhiteBrush();
    default: return FALSE;
    }
}
