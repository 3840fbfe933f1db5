#include "firewall.h"
#include "main_window.h"
#include "page_common.h"
#include "resource.h"
#include "setup_frame.h"
#include "setup_log.h"
#include "setup_pages.h"
#include "text_measure.h"

#include "script_text.h"

#include <shellapi.h>

#include <cstring>

// The Welcome page: the greeting, the choice between installing and running from the medium,
// a note with the warning icon and the product's web link.
namespace {

const LayoutRow kWelcomeLayout[] = {
    {IDD_WELCOME, nullptr, nullptr, kLeftPageX, kLeftPageY, kLeftPageWidth, kLeftPageHeight},
    {IDC_WELCOME_HEADING, "LABEL", "WELCOME_00", 37, 12, 342, 50},
    {IDC_WELCOME_TEXT, "LABEL", "WELCOME_01", 37, 72, 342, 40},
    {IDC_WELCOME_TEXT2, "LABEL", "WELCOME_02", 37, 134, 342, 40},
    {IDC_RUN_FROM_MEDIUM, "LABEL", "WELCOME_03", 37, 130, 342, 44},
    {IDC_WELCOME_SECOND, "LABEL", "WELCOME_04", 37, 184, 342, 44},
    {IDC_WELCOME_ICON, nullptr, nullptr, 37, 195, 32, 32},
    {IDC_WELCOME_NOTE, "LABEL", "WELCOME_05", 79, 195, 300, 70},
    {IDC_WELCOME_LINK, "LABEL", nullptr, 79, 265, 320, 20},
    {0, nullptr, nullptr, 0, 0, 0, 0},
};

constexpr COLORREF kLinkColour = RGB(0, 0, 255);
constexpr int kLinkGap = 3;
constexpr int kMeiryoLift = 5;
constexpr int kLinkLift = 10;
constexpr size_t kMaxUrlChars = 1023;
// The Japanese font name Meiryo in Shift-JIS.
constexpr char kMeiryo[] = "\x83\x81\x83\x43\x83\x8A\x83\x49";

HFONT g_linkFont = nullptr;

RECT ControlRect(HWND page, int id) {
    RECT r{};
    HWND control = GetDlgItem(page, id);
    GetWindowRect(control, &r);
    MapWindowPoints(nullptr, page, reinterpret_cast<POINT*>(&r), 2);
    return r;
}

void MoveControl(HWND page, int id, int x, int y) {
    SetWindowPos(GetDlgItem(page, id), nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void MoveBy(HWND page, int id, int dy) {
    RECT r = ControlRect(page, id);
    MoveControl(page, id, r.left, r.top + dy);
}

void HideControl(HWND page, int id) {
    HWND control = GetDlgItem(page, id);
    ShowWindow(control, SW_HIDE);
    EnableWindow(control, FALSE);
}

bool Enabled(HWND page, int id) { return IsWindowEnabled(GetDlgItem(page, id)) != FALSE; }

void FitHeight(HWND page, int id, const std::string& text) {
    RECT r = ControlRect(page, id);
    FitLabelHeight(GetDlgItem(page, id), PageFont(), text.c_str(), &r);
}

void SetUpChoices(HWND page) {
    if (MessageText("LABEL", "WELCOME_03").empty() || g_setup.welcomeNoChoice) {
        HideControl(page, IDC_RUN_FROM_MEDIUM);
        HideControl(page, IDC_WELCOME_SECOND);
        g_setup.welcomeNoChoice = 1;
        std::string text = MessageText("LABEL", "WELCOME_06");
        if (!text.empty()) SetDlgItemTextA(page, IDC_WELCOME_TEXT, text.c_str());
        std::string second = MessageText("LABEL", "WELCOME_02");
        if (!second.empty()) SetDlgItemTextA(page, IDC_WELCOME_TEXT2, second.c_str());
        FitHeight(page, IDC_WELCOME_TEXT2, second);
        return;
    }
    HideControl(page, IDC_WELCOME_TEXT2);
    CheckDlgButton(page, IDC_RUN_FROM_MEDIUM, BST_CHECKED);
    if (MessageText("LABEL", "WELCOME_05").empty()) return;
    MoveControl(page, IDC_RUN_FROM_MEDIUM, 37, 115);
    MoveControl(page, IDC_WELCOME_SECOND, 37, 160);
    MoveControl(page, IDC_WELCOME_NOTE, 79, 210);
    MoveControl(page, IDC_WELCOME_ICON, 37, 210);
    if (!MessageText("LABEL", "URL").empty()) MoveControl(page, IDC_WELCOME_LINK, 79, 280);
}

void SetUpLink(HWND page, const std::string& url) {
    char key[64];
    PickVistaIniKey("LINK", g_setup.messageIni, g_setup.osCode, key, sizeof key);
    if (g_linkFont) DeleteObject(g_linkFont);
    g_linkFont = CreateIniFont(page, key, g_setup.messageIni);
    HWND link = GetDlgItem(page, IDC_WELCOME_LINK);
    if (g_linkFont) SendMessageA(link, WM_SETFONT, reinterpret_cast<WPARAM>(g_linkFont), TRUE);
    char shown[kMaxUrlChars + 1];
    FitTextToWidth(page, IDC_WELCOME_LINK, url.c_str(), shown, sizeof shown, g_linkFont ? g_linkFont : PageFont());
    SetWindowTextA(link, shown);
    auto* kept = new std::string(url);
    SetWindowLongPtrA(link, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(kept));
}

// Note, icon and link, only while the note is shown.
void PlaceNote(HWND page, const std::string& url) {
    const int group[] = {IDC_WELCOME_NOTE, IDC_WELCOME_ICON, IDC_WELCOME_LINK};
    SendDlgItemMessageA(page, IDC_WELCOME_ICON, STM_SETICON, reinterpret_cast<WPARAM>(LoadIconA(nullptr, IDI_WARNING)), 0);
    FitHeight(page, IDC_WELCOME_NOTE, MessageText("LABEL", "WELCOME_05"));
    RECT note = ControlRect(page, IDC_WELCOME_NOTE);
    MoveControl(page, IDC_WELCOME_LINK, note.left, note.bottom + kLinkGap);
    bool choices = !g_setup.welcomeNoChoice;
    std::string vistaFont = ReadIniValue(g_setup.messageIni, "FONT", "STANDARD_VISTA");
    if (choices && vistaFont.compare(0, strlen(kMeiryo), kMeiryo) == 0) {
        for (int id : {IDC_RUN_FROM_MEDIUM, IDC_WELCOME_SECOND}) MoveBy(page, id, -kMeiryoLift);
        for (int id : group) MoveBy(page, id, -kMeiryoLift);
    }
    RECT pageRect{};
    GetClientRect(page, &pageRect);
    if (ControlRect(page, IDC_WELCOME_LINK).bottom > pageRect.bottom) {
        for (int id : group) MoveBy(page, id, -kLinkLift);
    }
    if (Enabled(page, IDC_WELCOME_SECOND)) {
        int overlap = ControlRect(page, IDC_WELCOME_SECOND).bottom - ControlRect(page, IDC_WELCOME_NOTE).top;
        if (overlap > 0) {
            for (int id : {IDC_RUN_FROM_MEDIUM, IDC_WELCOME_SECOND}) MoveBy(page, id, -overlap);
        }
    }
    if (!url.empty()) SetUpLink(page, url);
}

void LogDefaults() {
    if (!LogFlags) return;
    LogPrintf("*** Default Information 1***");
    LogPrintf("  CopyFile.ini : %s", g_setup.copyFileIni);
    LogPrintf("  Language.ini : %s", g_setup.languageIni);
    LogPrintf("  Message.ini  : %s", g_setup.messageIni);
    LogPrintf("  Language     : %s", g_setup.language);
}

void InitWelcomePage(HWND page) {
    LayoutPage(page, kWelcomeLayout, g_setup.messageIni);
    SendDlgItemMessageA(page, IDC_WELCOME_HEADING, WM_SETFONT, reinterpret_cast<WPARAM>(HeadingFont()), TRUE);
    SetUpChoices(page);
    std::string url = MessageText("LABEL", "URL", kMaxUrlChars);
    if (MessageText("LABEL", "WELCOME_05").empty()) {
        for (int id : {IDC_WELCOME_NOTE, IDC_WELCOME_ICON, IDC_WELCOME_LINK}) HideControl(page, id);
    } else {
        if (url.empty()) HideControl(page, IDC_WELCOME_LINK);
        PlaceNote(page, url);
    }
    LogDefaults();
}

INT_PTR LeaveWelcomePage(HWND page) {
    int next = FirstSwitchedOn(kPageLicense, kPageCheck, kPageInstall);
    if (Enabled(page, IDC_RUN_FROM_MEDIUM) && IsDlgButtonChecked(page, IDC_RUN_FROM_MEDIUM) == BST_CHECKED &&
        next >= kPageFolder) {
        RunFromMedium(page, &g_setup);
        return PageAnswer(page, 0);
    }
    return AcceptTo(page, next);
}

void OpenLink(HWND page) {
    auto* url = reinterpret_cast<std::string*>(GetWindowLongPtrA(GetDlgItem(page, IDC_WELCOME_LINK), GWLP_USERDATA));
    if (url && !url->empty()) ShellExecuteA(page, nullptr, url->c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}

void FreeLink(HWND page) {
    HWND link = GetDlgItem(page, IDC_WELCOME_LINK);
    delete reinterpret_cast<std::string*>(GetWindowLongPtrA(link, GWLP_USERDATA));
    SetWindowLongPtrA(link, GWLP_USERDATA, 0);
    if (g_linkFont) DeleteObject(g_linkFont);
    g_linkFont = nullptr;
}

INT_PTR StaticColour(HWND page, HDC dc, HWND control) {
    if (control == GetDlgItem(page, IDC_WELCOME_LINK)) {
        SetTextColor(dc, kLinkColour);
        SetBkMode(dc, TRANSPARENT);
    }
    return WhiteBrush();
}

// The link shows the hand over it.
INT_PTR LinkCursor(HWND page, HWND over) {
    if (over != GetDlgItem(page, IDC_WELCOME_LINK)) return FALSE;
    SetCursor(LoadCursorA(nullptr, IDC_HAND));
    return PageAnswer(page, TRUE);
}

}  // namespace

INT_PTR CALLBACK WelcomePageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_INITDIALOG: return FALSE;
    case kWizardInit: InitWelcomePage(page); return PageAnswer(page, 1);
    case kWizardShown: EnableFrameButton(IDC_NEXT, true); return PageAnswer(page, 1);
    case kWizardNext: return LeaveWelcomePage(page);
    case kWizardBack: return PageAnswer(page, 0);
    case WM_COMMAND:
        if (LOWORD(wParam) == IDC_WELCOME_LINK) OpenLink(page);
        return TRUE;
    case WM_SETCURSOR: return LinkCursor(page, reinterpret_cast<HWND>(wParam));
    case WM_CTLCOLORDLG:
    case WM_CTLCOLORBTN: return WhiteBrush();
    case WM_CTLCOLORSTATIC:
        return StaticColour(page, reinterpret_cast<HDC>(wParam), reinterpret_cast<HWND>(lParam));
    case WM_DESTROY: FreeLink(page); return TRUE;
    default: return FALSE;
    }
}
