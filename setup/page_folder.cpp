#include "firewall.h"
#include "folder_browser.h"
#include "install_path.h"
#include "page_common.h"
#include "resource.h"
#include "setup_frame.h"
#include "setup_pages.h"
#include "text_measure.h"

#include <cstdio>

// The Folder page: the proposed installation folder and the Browse button that opens the
// setup's own folder browser.
namespace {

const LayoutRow kFolderLayout[] = {
    {IDD_FOLDER, nullptr, nullptr, kTopPageX, kTopPageY, kTopPageWidth, kTopPageHeight},
    {IDC_FOLDER_LABEL, "LABEL", "FOLDER_00", 49, 22, 482, 60},
    {IDC_FOLDER_GROUP, "LABEL", "FOLDER_01", 49, 150, 482, 60},
    {IDC_FOLDER_EDIT, "", nullptr, 59, 172, 364, 21},
    {IDC_BROWSE, "BUTTON", "BROWSE", 433, 172, 88, 21},
    {0, nullptr, nullptr, 0, 0, 0, 0},
};
constexpr size_t kMaxFolderChars = 128;

void ShowFolder(HWND page) {
    char shown[MAX_PATH];
    FitTextToWidth(page, IDC_FOLDER_EDIT, g_setup.chosenFolder, shown, sizeof shown, PageFont());
    SetDlgItemTextA(page, IDC_FOLDER_EDIT, shown);
}

void InitFolderPage(HWND page) {
    AttachPageText(page, "FOLDER_TITLE", "FOLDER_CONTENTS");
    LayoutPage(page, kFolderLayout, g_setup.messageIni);
    std::string folder = GetDefaultInstallFolder(g_setup);
    snprintf(g_setup.chosenFolder, sizeof g_setup.chosenFolder, "%s", folder.c_str());
    ShowFolder(page);
    SetApplicationFolders(&g_setup, g_setup.chosenFolder, "Folder");
}

void SetInstallFolder(HWND page) {
    char path[MAX_PATH];
    snprintf(path, sizeof path, "%s", g_setup.chosenFolder);
    std::string title = MessageText("TITLE", "FOLDER", 259);
    BrowseRequest request{page, title.c_str(), nullptr, nullptr, path, sizeof path, kMaxFolderChars};
    if (!BrowseForFolder(&request) || !path[0]) return;
    snprintf(g_setup.chosenFolder, sizeof g_setup.chosenFolder, "%s", path);
    ShowFolder(page);
    SetApplicationFolders(&g_setup, g_setup.chosenFolder, "New Folder");
}

INT_PTR BackFromFolderPage(HWND page) {
    int back = FirstSwitchedOn(kPageApplications, kPageWelcome, -1);
    if (back < 0) return PageAnswer(page, 0);
    return AcceptTo(page, back);
}

}  // namespace

INT_PTR CALLBACK FolderPageProc(HWND page, UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
    case WM_INITDIALOG: return FALSE;
    case kWizardInit: InitFolderPage(page); return PageAnswer(page, 1);
    case kWizardShown: RunFromMedium(g_setup.pageWindows[kPageWelcome], &g_setup); return PageAnswer(page, 1);
    case kWizardNext: return AcceptTo(page, FirstSwitchedOn(kPageStartMenu, kPageCheck, kPageInstall));
    case kWizardBack: return BackFromFolderPage(page);
    case WM_COMMAND:
        if (LOWORD(wParam) == IDC_BROWSE) SetInstallFolder(page);
        return TRUE;
    case WM_CTLCOLORDLG:
    case WM_CTLCOLORSTATIC: return WhiteBrush();
    case WM_DESTROY:
    case WM_ENDSESSION: FreePageData(page); return TRUE;
    default: return FALSE;
    }
}
