#include "setup_frame.h"

#include "application_records.h"
#include "install_page.h"
#include "main_window.h"
#include "message_box.h"
#include "page_common.h"
#include "page_order.h"
#include "prechecks.h"
#include "resource.h"
#include "setup_log.h"
#include "setup_pages.h"

const PageTableEntry kSetupPages[] = {
    {IDD_LANGUAGE, LanguagePageProc, IDC_LANGUAGE_LIST, 1},
    {IDD_WELCOME, WelcomePageProc, IDC_NEXT, 1},
    {IDD_LICENSE, LicensePageProc, IDC_LICENSE_TEXT, 0},
    {IDD_APPLICATIONS, ApplicationPageProc, IDC_NEXT, 0},
    {IDD_FOLDER, FolderPageProc, IDC_BROWSE, 0},
    {IDD_STARTMENU, MenuPageProc, IDC_MENU_NAME, 0},
    {IDD_CHECK, CheckPageProc, IDC_NEXT, 0},
    {IDD_INSTALL, InstallPageProc, IDC_NEXT, 0},
    {IDD_CONNECT, ConnectPageProc, IDC_CONNECT_FIRST, 0},
    {IDD_PRINTERS, PrinterListPageProc, IDC_PRINTER_CHECK, 0},
    {IDD_FINISH, FinishPageProc, IDC_NEXT, 1},
    {IDD_RESTART, RestartPageProc, IDC_NEXT, 1},
    {0, nullptr, 0, 0},
};

namespace {

void LoadFonts(HWND frame, const char* ini, bool vista) { LoadWizardFonts(frame, ini, vista ? g_setup.osCode : 0); }

bool AskCancel(HWND frame) {
    bool language = g_setup.currentPage == kPageLanguage;
    const char* ini = language ? g_setup.languageIni : g_setup.messageIni;
    const char* key = language ? "MESSAGE_01" : "MESSAGE_03";
    int answer = ShowIniMessageBox(frame, ini, "ERROR", key, "TITLE", MB_YESNO | MB_ICONQUESTION, {}, TRUE);
    if (answer != IDYES) return false;
    LogPrintf("[MessageBox] : %s", key);
    RecordFailure(&g_setup.failure, kExitCancelled);
    return true;
}

void LogScreens(const SetupContext& c) {
    if (!LogFlags) return;
    auto shown = [](uint32_t on) { return on ? "Display" : "(Hide)"; };
    LogPrintf("*** Screen Information ***");
    LogPrintf("  Welcome  : %s", shown(c.pages[kSwitchWelcome]));
    LogPrintf("  License  : %s", shown(c.pages[kSwitchLicense]));
    LogPrintf("  Appli    : %s", shown(c.pages[kSwitchApplication]));
    LogPrintf("  Folder   : %s", shown(c.pages[kSwitchFolder]));
    LogPrintf("  Menu     : %s", shown(c.pages[kSwitchStartMenu]));
    LogPrintf("  Check    : %s", shown(c.pages[kSwitchCheck]));
    LogPrintf("  Install  : %s", shown(0));
    LogPrintf("  Connect  : %s", shown(c.connect));
    LogPrintf("  Finish   : %s", shown(c.finishPage));
    LogPrintf("  ReFinish : %s", shown(c.restartPage));
}

void SetMainTitleFromMessageIni(const SetupContext& c) {
    char title[128];
    if (GetPrivateProfileStringA("TITLE", "TITLE", "", title, sizeof title, c.messageIni) > 0) {
        SetWindowTextA(g_mainWindow, title);
    }
}

void ReleaseFrame() { FreeApplicationInfo(&g_setup); }

bool StartFrame(HWND frame) {
    if (InitMainDialog(frame, &g_setup)) return true;
    RecordFailure(&g_setup.failure, kExitCheckFailed);
    return false;
}

}  // namespace

const WizardFrameDesign kSetupFrame = {
    IDD_FRAME, 250, 200, {IDC_BACK, IDC_NEXT, IDCANCEL, IDC_LINE_UPPER}, IDC_LINE_LOWER, kSetupPages,
    &g_setup.currentPage, &g_setup.nextPage, &g_mainWindow, &g_setup.pageWindows, true, StartFrame, AskCancel,
    ReleaseFrame,
};

void ShowFirstPage(HWND frame, SetupContext* c) {
    Wizard* w = FrameWizard();
    SendPageMessage(c->pageWindows[kPageLanguage], kWizardInit, 0);
    ShowPage(w, kPageLanguage);
    SetPageFocus(w, kPageLanguage);
    if (IsSilent(*c)) PostMessageA(frame, WM_COMMAND, IDC_NEXT, 0);
    else ShowWindow(frame, SW_SHOW);
}

int CheckBeforeStarting(HWND frame, SetupContext* c) {
    if (!CheckApplication(frame, c)) {
        LogPrintf("  Check Before Starting Error.");
        RecordFailure(&c->failure, kExitCheckFailed);
        return 0;
    }
    LoadFonts(frame, c->messageIni, true);
    if (c->background) RefreshBackground(g_mainWindow, c->messageIni, true);
    MirrorWizardFrame(frame);
    ReadApplicationInfo(c);
    if (!CheckApplication2(frame, c)) {
        LogPrintf("  Check Before Starting Error.");
        RecordFailure(&c->failure, kExitCheckFailed);
        return 0;
    }
    for (int i = kPageWelcome; kSetupPages[i].dialogId != 0; ++i) SendPageMessage(c->pageWindows[i], kWizardInit, 0);
    SetMainTitleFromMessageIni(*c);
    if (IsSilent(*c)) {
        for (uint32_t& page : c->pages) page = 0;
        c->connect = 0;
    }
    int start = StartPage(*c);
    LogScreens(*c);
    LayOutWizardFrame(frame, c->messageIni);
    Wizard* w = FrameWizard();
    ShowPage(w, start);
    SendPageMessage(c->pageWindows[start], kWizardShown, static_cast<WPARAM>(start));
    SetPageFocus(w, start);
    if (!IsSilent(*c)) {
        ShowWindow(c->pageWindows[kPageLanguage], SW_HIDE);
        ShowWindow(frame, SW_SHOW);
    }
    return 1;
}

int InitMainDialog(HWND frame, SetupContext* c) {
    LoadWizardBitmaps(frame, c->languageIni, c->workFolder);
    LoadFonts(frame, c->languageIni, false);
    MirrorWizardFrame(frame);
    LayOutWizardFrame(frame, c->languageIni);
    if (!CreateWizardPages(frame, c->instance)) {
        RecordFailure(&c->failure, kExitNoWindow);
        return 1;
    }
    if (c->languageMode == kLanguageFixed || c->languageMode == kLanguageRegional) {
        SetMainTitleFromMessageIni(*c);
        if (!CheckBeforeStarting(frame, c)) return 0;
    } else {
        c->nextPage = kPageLanguage;
        ShowFirstPage(frame, c);
    }
    if (!IsSilent(*c)) ShowWindow(frame, SW_SHOW);
    return 1;
}
