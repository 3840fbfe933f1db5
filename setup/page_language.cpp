#include "message_box.h"
#include "page_common.h"
#include "resource.h"
#include "setup_frame.h"
#include "setup_log.h"
#include "setup_pages.h"
#include "setup_settings.h"

#include "script_text.h"

#include <cstdio>

// The Language page: the languages of Language.ini, the choice fixed on Next, and the
// start-up checks that follow it.
namespace {

const LayoutRow kLanguageLayout[] = {
    {IDD_LANGUAGE, nullptr, nullptr, kLeftPageX, kLeftPageY, kLeftPageWidth, kLeftPageHeight},
    {IDC_LANGUAGE_HEADING, "LABEL", "LANG_00", 37, 12, 342, 20},
    {IDC_LANGUAGE_LABEL, "LABEL", "LANG_01", 37, 72, 342, 20},
    {IDC_LANGUAGE_LIST, "", nullptr, 37, 95, 342, 150},
    {0, nullptr, nullptr, 0, 0, 0, 0},
};

constexpr int kMaxLanguages = 100;

std::string LanguageEntry(int number) {
    return ReadIniValue(g_setup.languageIni, "LANGUAGE", IniListKey("LANG_%02d", number));
}

// Each entry keeps its LANG number as item data, so a script entry without its folder field
// (left out of the list) does not shift the numbers of the later ones.
void FillLanguageList(HWND page) {
    HWND list = GetDlgItem(page, IDC_LANGUAGE_LIST);
    int selected = -1;
    for (int n = 0; n < kMaxLanguages; ++n) {
        std::string value = LanguageEntry(n);
        if (value.empty()) break;
        std::vector<std::string> fields = SplitFields(value);
        if (fields.size() < 2) continue;
        LRESULT at = SendMessageA(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(fields[0].c_str()));
        if (at < 0) continue;
        SendMessageA(list, LB_SETITEMDATA, at, n);
        const std::string& folder = fields[1];
        if (selected < 0 && !folder.empty() && _strnicmp(g_setup.language, folder.c_str(), folder.size()) == 0) {
            selected = static_cast<int>(at);
        }
    }
    SendMessageA(list, LB_SETCURSEL, selected < 0 ? 0 : selected, 0);
}

void InitLanguagePage(HWND page) {
    LayoutPage(page, kLanguageLayout, g_setup.languageIni);
    SendDlgItemMessageA(page, IDC_LANGUAGE_HEADING, WM_SETFONT, reinterpret_cast<WPARAM>(HeadingFont()), TRUE);
    FillLanguageList(page);
}

int ApplySelectedLanguage(HWND page) {
    HWND list = GetDlgItem(page, IDC_LANGUAGE_LIST);
    LRESULT at = SendMessageA(list, LB_GETCURSEL, 0, 0);
    if (at < 0) return 0;
    int number = static_cast<int>(SendMessageA(list, LB_GETITEMDATA, at, 0));
    std::vector<std::string> fields = SplitFields(LanguageEntry(number));
    if (fields.size() < 2 || fields[1].empty()) return 0;
    snprintf(g_setup.language, sizeof g_setup.language, "%s", fields[1].c_str());
    LogPrintf("*** Language ***");
    LogPrintf("  Select language : %s", g_setup.language);
    GetMessageFilePaths(g_setup.language, g_setup.languageIni, g_setup.messageIni, g_setup.licensePath);
    if (ReadIniValue(g_setup.messageIni, "FONT", "STANDARD").empty()) {
        LogPrintf("[MessageBox] : MESSAGE_05");
        if (!IsSilent(g_setup)) {
            ShowIniMessageBox(page, g_setup.languageIni, "ERROR", "MESSAGE_05", "TITLE", MB_OK | MB_ICONWARNING, {},
                              TRUE);
        }
        return 0;
    }
    std::string title = ReadIniValue(g_setup.messageIni, "TITLE", "TITLE", 127);
    if (!title.empty()) SetWindowTextA(g_mainWindow, title.c_str());
    g_setup.nextPage = static_cast<uint32_t>(StartPage(g_setup));
    return CheckBeforeStarting(g_setup.frame, &g_setup);
}

// The page has been switched by the checks when they pass, so the frame is told not to move.
INT_PTR LeaveLanguagePage(HWND page) {
    if (!ApplySelectedLanguage(page)) {
        RecordFailure(&g_setup.failure, kExitNoScript);
        PostMessageA(g_setup.frame, kWizardClose, 0, 0);
    }
    return PageAnswer(page, 0);
}

}  // namespace

INT_PTR CALLBACK LanguagePageProc(HWND page, UINT message, WPARAM, LPARAM) {
    switch (message) {
    case WM_INITDIALOG: return FALSE;
    case kWizardInit: InitLanguagePage(page); return PageAnswer(page, 1);
    case kWizardShown: return PageAnswer(page, 1);
    case kWizardNext: return LeaveLanguagePage(page);
    case kWizardBack: return PageAnswer(page, 0);
    case WM_CTLCOLORDLG:
    case WM_CTLCOLORSTATIC: return WhiteBrush();
    default: return FALSE;
    }
}
