#include "page_common.h"
#include "resource.h"
#include "setup_frame.h"
#include "setup_pages.h"
#include "text_measure.h"

// The Check page: the last stop before the installation starts.
namespace {

const LayoutRow kCheckLayout[] = {
    {IDD_CHECK, nullptr, nullptr, kTopPageX, kTopPageY, kTopPageWidth, kTopPageHeight},
    {IDC_CHECK_LABEL, "LABEL", "CHECK_00", 49, 22, 482, 30},
    {IDC_CHECK_TEXT, "LABEL", "CHECK_01", 49, 52, 500, 40},
    {0, nullptr, nullptr, 0, 0, 0, 0},
};
constexpr uint16_t kOsWithUacNote = 6;

void InitCheckPage(HWND page) {
    AttachPageText(page, "CHECK_TITLE", "CHECK_CONTENTS");
    LayoutPage(page, kCheckLayout, g_setup.messageIni);
    std::string text = MessageText("LABEL", "CHECK_01");
    std::string note = MessageText("LABEL", "CHECK_02");
    if (g_setup.osCode >= kOsWithUacNote && !note.empty()) {
        text += "\r\n\r\n" + note;
        SetDlgItemTextA(page, IDC_CHECK_TEXT, text.c_str());
    }
    if (text.empty()) return;
    FitLabelToLayout(page, kCheckLayout, IDC_CHECK_TEXT, text.c_str());
}

INT_PTR BackFromCheckPage(HWND page) {
    SetFrameCaption(IDC_NEXT, "NEXT");
    int back = FirstSwitchedOn(kPageStartMenu, kPageWelcome, -1);
    if (back < 0) return PageAnswer(page, 0);
    return AcceptTo(page, back);
}

}  // namespace

INT_PTR CALLBACK CheckPageProc(HWND page, UINT message, WPARAM, LPARAM) {
    switch (message) {
    case WM_INITDIALOG: return FALSE;
    case kWizardInit: InitCheckPage(page); return PageAnswer(page, 1);
    case kWizardShown: SetFrameCaption(IDC_NEXT, "START"); return PageAnswer(page, 1);
    case kWizardNext: return AcceptTo(page, kPageInstall);
    case kWizardBack: return BackFromCheckPage(page);
    case WM_CTLCOLORDLG:
    case WM_CTLCOLORSTATIC: return WhiteBrush();
    case WM_DESTROY:
    case WM_ENDSESSION: FreePageData(page); return TRUE;
    default: return FALSE;
    }
}
