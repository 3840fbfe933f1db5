#include "uninstall_frame.h"

#include "message_box.h"
#include "resource.h"
#include "script_text.h"
#include "setup_log.h"
#include "uninstall_pages.h"

const PageTableEntry kUninstallPages[] = {
    {IDD_WELCOME, WelcomePageProc, IDC_NEXT, 1},
    {IDD_UNINSTALL, UninstallPageProc, IDC_NEXT, 0},
    {IDD_FINISH, FinishPageProc, IDC_NEXT, 1},
    {IDD_RESTART, RebootFinishPageProc, IDC_NEXT, 1},
    {0, nullptr, 0, 0},
};

namespace {

void LogPageSwitches(const UninstallContext& c) {
    LogPrintf("  Uninstall : %d", 1);
    LogPrintf("  Finish    : %d", 1);
    LogPrintf("  Refresh   : %d", c.restartPage ? 1 : 0);
}

void LayoutPages(HWND frame, UninstallContext* c) {
    LoadWizardFonts(frame, c->uninstallerIni, c->osCode);
    Wizard* w = FrameWizard();
    for (int i = 0; kUninstallPages[i].dialogId != 0; ++i) SendPageMessage(w->pages[i], kWizardInit, 0);
    bool welcome = !ReadIniValue(c->uninstallerIni, "LABEL", "WELCOME_00", 259).empty();
    int start = welcome ? kPageWelcome : kPageUninstall;
    ShowPage(w, start);
    MirrorWizardFrame(frame);
    LayOutWizardFrame(frame, c->uninstallerIni);
    SendPageMessage(w->pages[start], kWizardShown, static_cast<WPARAM>(start));
    SetPageFocus(w, start);
    if (ShowsWindow(*c)) ShowWindow(frame, SW_SHOW);
    LogPageSwitches(*c);
}

bool InitFrameDialog(HWND frame) {
    UninstallContext* c = &g_uninstall;
    c->frame = frame;
    LoadWizardFonts(frame, c->uninstallerIni, c->osCode);
    LoadWizardBitmaps(frame, c->listIni, c->baseFolder);
    MirrorWizardFrame(frame);
    LayOutWizardFrame(frame, c->uninstallerIni);
    if (!CreateWizardPages(frame, c->instance)) return false;
    LayoutPages(frame, c);
    return true;
}

bool AskCancel(HWND frame) {
    int answer = ShowIniMessageBox(frame, g_uninstall.uninstallerIni, "ERROR", "MESSAGE_15", "TITLE",
                                   MB_YESNO | MB_ICONQUESTION, {}, TRUE);
    if (answer != IDYES) return false;
    LogPrintf("[MessageBox] : MESSAGE_15");
    g_uninstall.cancelled = 1;
    RecordFailure(&g_uninstall.failure, kExitCancelled);
    return true;
}

}  // namespace

const WizardFrameDesign kUninstallFrame = {
    IDD_FRAME, 0, 0, {IDC_BACK, IDC_NEXT, IDCANCEL, IDC_LINE_UPPER}, IDC_LINE_LOWER, kUninstallPages,
    &g_uninstall.currentPage, &g_uninstall.nextPage, &g_uninstall.mainWindow, &g_uninstall.pageWindows, false,
    InitFrameDialog, AskCancel, nullptr,
};

void GreyFrameClose(HWND frame) {
    EnableMenuItem(GetSystemMenu(frame, FALSE), SC_CLOSE, MF_BYCOMMAND | MF_GRAYED);
}
