#include "setup_pages.h"

#include "page_order.h"
#include "resource.h"
#include "setup_context.h"
#include "setup_frame.h"
#include "setup_settings.h"

#include <cstdio>

// A plain page for each row of the table: it shows its title from the message INI
// ([TITLE] PAGE_nn) and follows the page order.
namespace {

int PageIndexOf(HWND page) {
    for (int i = 0; kSetupPages[i].dialogId != 0; ++i) {
        if (g_setup.pageWindows && g_setup.pageWindows[i] == page) return i;
    }
    return -1;
}

void OnInit(HWND page) {
    auto* text = reinterpret_cast<PageText*>(GetWindowLongPtrA(page, GWLP_USERDATA));
    if (!text) {
        text = new PageText{};
        SetWindowLongPtrA(page, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(text));
    }
    int index = PageIndexOf(page);
    char key[16];
    snprintf(key, sizeof key, "PAGE_%02d", index);
    const char* ini = index == kPageLanguage ? g_setup.languageIni : g_setup.messageIni;
    GetPrivateProfileStringA("TITLE", key, "", text->title, sizeof text->title, ini);
    SetDlgItemTextA(page, IDC_PAGE_TEXT, text->title);
}

INT_PTR OnShown(HWND page) {
    int index = PageIndexOf(page);
    // In silent mode each closing page goes on as if Next were pressed.
    if (index >= kPageConnect && IsSilent(g_setup)) PostMessageA(g_setup.frame, WM_COMMAND, IDC_NEXT, 0);
    return PageAnswer(page, 1);
}

// The Language page takes the language already chosen, else the first of the list.
void FixLanguage() {
    if (!g_setup.language[0]) {
        char defaultName[64];
        char first[64];
        char matched[64];
        MatchSystemLanguage(defaultName, first, matched, g_setup.languageIni);
        snprintf(g_setup.language, sizeof g_setup.language, "%s", first);
    }
    GetMessageFilePaths(g_setup.language, g_setup.languageIni, g_setup.messageIni, g_setup.licensePath);
}

INT_PTR OnNext(HWND page) {
    int index = PageIndexOf(page);
    int target = NextPageAfter(g_setup, index);
    if (index == kPageLanguage) {
        FixLanguage();
        CheckBeforeStarting(g_setup.frame, &g_setup);
    }
    if (target == kPageEndWizard) {
        PostMessageA(g_setup.frame, kWizardClose, 0, 0);
        return PageAnswer(page, 0);
    }
    if (index == kPageLanguage) return PageAnswer(page, 0);
    g_setup.nextPage = static_cast<uint32_t>(target);
    return PageAnswer(page, 1);
}

INT_PTR OnBack(HWND page) {
    int target = BackPageBefore(g_setup, PageIndexOf(page));
    if (target == kPageStay) return PageAnswer(page, 0);
    g_setup.nextPage = static_cast<uint32_t>(target);
    return PageAnswer(page, 1);
}

}  // namespace

INT_PTR CALLBACK SetupPageProc(HWND page, UINT message, WPARAM, LPARAM) {
    switch (message) {
    case WM_INITDIALOG: return FALSE;
    case kWizardInit: OnInit(page); return TRUE;
    case kWizardShown: return OnShown(page);
    case kWizardNext: return OnNext(page);
    case kWizardBack: return OnBack(page);
    case WM_DESTROY:
        delete reinterpret_cast<PageText*>(GetWindowLongPtrA(page, GWLP_USERDATA));
        SetWindowLongPtrA(page, GWLP_USERDATA, 0);
        return TRUE;
    default: return FALSE;
    }
}
