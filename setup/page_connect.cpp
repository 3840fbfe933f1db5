#include "connect_info.h"
#include "page_common.h"
#include "registry_value.h"
#include "resource.h"
#include "setup_frame.h"
#include "setup_pages.h"

// The Connect page: one yes/no answer kept in the registry value the script names.
namespace {

const LayoutRow kConnectLayout[] = {
    {IDD_CONNECT, nullptr, nullptr, kTopPageX, kTopPageY, kTopPageWidth, kTopPageHeight},
    {IDC_CONNECT_LABEL, "LABEL", "CONNECT_00", 49, 22, 482, 77},
    {IDC_CONNECT_FIRST, "LABEL", "CONNECT_01", 49, 100, 482, 50},
    {IDC_CONNECT_SECOND, "LABEL", "CONNECT_02", 49, 160, 482, 50},
    {0, nullptr, nullptr, 0, 0, 0, 0},
};

bool AnyChoice(HWND page) {
    return IsDlgButtonChecked(page, IDC_CONNECT_FIRST) == BST_CHECKED ||
           IsDlgButtonChecked(page, IDC_CONNECT_SECOND) == BST_CHECKED;
}

void InitConnectPage(HWND page) {
    AttachPageText(page, "CONNECT_TITLE", "CONNECT_CONTENTS");
    LayoutPage(page, kConnectLayout, g_setup.messageIni);
    ConnectInfo info{};
    if (ReadConnectInfo(g_setup, &info) && info.pageOn) {
        CheckDlgButton(page, info.presetFirst ? IDC_CONNECT_FIRST : IDC_CONNECT_SECOND, BST_CHECKED);
    }
}

INT_PTR ShowConnectPage(HWND page) {
    EnableFrameClose(true);
    SetFrameCaption(IDC_NEXT, "NEXT");
    EnableFrameButton(IDC_BACK, false);
    EnableFrameButton(IDCANCEL, true);
    EnableFrameButton(IDC_NEXT, AnyChoice(page));
    if (IsSilent(g_setup)) PostMessageA(g_setup.frame, WM_COMMAND, IDC_NEXT, 0);
    return PageAnswer(page, 1);
}

INT_PTR LeaveConnectPage(HWND page) {
    ConnectInfo info{};
    if (!ReadConnectInfo(g_setup, &info)) {
        ShowPageMessage(page, "MESSAGE_06");
        return PageAnswer(page, 0);
    }
    BYTE answer = IsDlgButtonChecked(page, IDC_CONNECT_FIRST) == BST_CHECKED ? 1 : 0;
    WriteRegistryValue(info.root, info.subKey.c_str(), info.valueName.c_str(), &answer, 1, REG_BINARY);
    return AcceptTo(page, g_setup.finishPage ? kPageFinish : kPageRestart);
}

}  // namespace

INT_PTR CALLBACK ConnectPageProc(HWND page, UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
    case WM_INITDIALOG: return FALSE;
    case kWizardInit: InitConnectPage(page); return PageAnswer(page, 1);
    case kWizardShown: return ShowConnectPage(page);
    case kWizardNext: return LeaveConnectPage(page);
    case kWizardBack: return PageAnswer(page, 0);
    case WM_COMMAND:
        if (LOWORD(wParam) == IDC_CONNECT_FIRST || LOWORD(wParam) == IDC_CONNECT_SECOND) EnableFrameButton(IDC_NEXT, true);
        return TRUE;
    case WM_CTLCOLORDLG:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORSTATIC: return WhiteBrush();
    case WM_DESTROY:
    case WM_ENDSESSION: FreePageData(page); return TRUE;
    default: return FALSE;
    }
}
