#include "firewall.h"
#include "page_common.h"
#include "resource.h"
#include "setup_frame.h"
#include "setup_pages.h"
#include "text_measure.h"

#include <vector>

// The License page: License.txt of the language, answered with Yes and No on the frame's
// Next and Cancel buttons.
namespace {

const LayoutRow kLicenseLayout[] = {
    {IDD_LICENSE, nullptr, nullptr, kTopPageX, kTopPageY, kTopPageWidth, kTopPageHeight},
    {IDC_LICENSE_LABEL, "LABEL", "LICENSE_00", 49, 22, 482, 40},
    {IDC_LICENSE_TEXT, "", nullptr, 49, 62, 482, 115},
    {IDC_LICENSE_QUESTION, "LABEL", "LICENSE_01", 49, 187, 482, 40},
    {0, nullptr, nullptr, 0, 0, 0, 0},
};
constexpr DWORD kMaxLicenseBytes = 4 * 1024 * 1024;

void LoadLicenseText(HWND page) {
    HANDLE file = CreateFileA(g_setup.licensePath, GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return;
    DWORD size = GetFileSize(file, nullptr);
    if (size != INVALID_FILE_SIZE && size <= kMaxLicenseBytes) {
        std::vector<char> text(size + 1, '\0');
        DWORD read = 0;
        if (ReadFile(file, text.data(), size, &read, nullptr)) {
            text[read] = '\0';
            SetDlgItemTextA(page, IDC_LICENSE_TEXT, text.data());
        }
    }
    CloseHandle(file);
}

// A question taller than its row is given the room below the text box.
void PlaceQuestion(HWND page) {
    LayoutRow box{};
    LayoutRow question{};
    FindControlLayout(kLicenseLayout, IDC_LICENSE_TEXT, &box);
    FindControlLayout(kLicenseLayout, IDC_LICENSE_QUESTION, &question);
    char text[1024] = "";
    GetDlgItemTextA(page, IDC_LICENSE_QUESTION, text, sizeof text);
    RECT r = {question.x, question.y, question.x + question.width, question.y + question.height};
    int height = GetTextHeight(page, PageFont(), text, &r);
    if (height <= question.height) return;
    int boxBottom = box.y + box.height;
    int space = kTopPageHeight - boxBottom;
    HWND control = GetDlgItem(page, IDC_LICENSE_QUESTION);
    if (space <= height) MoveWindow(control, question.x, boxBottom + 1, question.width, space - 1, TRUE);
    else MoveWindow(control, question.x, boxBottom + space / 2 - height / 2, question.width, height, TRUE);
}

void InitLicensePage(HWND page) {
    AttachPageText(page, "LICENSE_TITLE", "LICENSE_CONTENTS");
    LayoutPage(page, kLicenseLayout, g_setup.messageIni);
    PlaceQuestion(page);
    LoadLicenseText(page);
}

void RestoreCaptions() {
    SetFrameCaption(IDC_NEXT, "NEXT");
    SetFrameCaption(IDCANCEL, "CANCEL");
}

INT_PTR ShowLicensePage(HWND page) {
    SetFrameCaption(IDC_NEXT, "YES");
    SetFrameCaption(IDCANCEL, "NO");
    if (!PageSwitchedOn(kPageWelcome)) EnableFrameButton(IDC_BACK, false);
    return PageAnswer(page, 1);
}

INT_PTR LeaveLicensePage(HWND page) {
    int next = FirstSwitchedOn(kPageApplications, kPageCheck, kPageInstall);
    EnableFrameButton(IDC_BACK, true);
    HWND welcome = g_setup.pageWindows[kPageWelcome];
    HWND medium = GetDlgItem(welcome, IDC_RUN_FROM_MEDIUM);
    if (IsWindowEnabled(medium) && IsDlgButtonChecked(welcome, IDC_RUN_FROM_MEDIUM) == BST_CHECKED &&
        next >= kPageFolder) {
        RunFromMedium(welcome, &g_setup);
        return PageAnswer(page, 0);
    }
    RestoreCaptions();
    return AcceptTo(page, next);
}

INT_PTR BackLicensePage(HWND page) {
    if (PageSwitchedOn(kPageWelcome)) g_setup.nextPage = kPageWelcome;
    RestoreCaptions();
    return PageAnswer(page, 1);
}

}  // namespace

INT_PTR CALLBACK LicensePageProc(HWND page, UINT message, WPARAM, LPARAM) {
    switch (message) {
    case WM_INITDIALOG: return FALSE;
    case kWizardInit: InitLicensePage(page); return PageAnswer(page, 1);
    case kWizardShown: return ShowLicensePage(page);
    case kWizardNext: return LeaveLicensePage(page);
    case kWizardBack: return BackLicensePage(page);
    case WM_CTLCOLORDLG:
    case WM_CTLCOLORSTATIC: return WhiteBrush();
    case WM_DESTROY:
    case WM_ENDSESSION: FreePageData(page); return TRUE;
    default: return FALSE;
    }
}
