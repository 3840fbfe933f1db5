#include "page_common.h"

#include "ini_text.h"
#include "message_box.h"
#include "resource.h"
#include "setup_frame.h"
#include "setup_log.h"

#include <cstdio>
#include <vector>

void AttachPageText(HWND page, const char* titleKey, const char* contentsKey) {
    auto* text = reinterpret_cast<PageText*>(GetWindowLongPtrA(page, GWLP_USERDATA));
    if (!text) {
        text = new PageText{};
        SetWindowLongPtrA(page, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(text));
    }
    // Up to 1299 characters are read; the block keeps what fits.
    std::string title = GetIniString(g_setup.messageIni, "BIT_LABEL", titleKey, {}, 1299);
    std::string contents = GetIniString(g_setup.messageIni, "BIT_LABEL", contentsKey, {}, 1299);
    snprintf(text->title, sizeof text->title, "%s", title.c_str());
    snprintf(text->contents, sizeof text->contents, "%s", contents.c_str());
}

void FreePageData(HWND page) {
    delete reinterpret_cast<PageText*>(GetWindowLongPtrA(page, GWLP_USERDATA));
    SetWindowLongPtrA(page, GWLP_USERDATA, 0);
}

void LayoutPage(HWND page, const LayoutRow* table, const char* iniPath, HFONT font) {
    if (RtlLayout) MirrorDialogControls(page, table);
    LayoutDialog(page, font ? font : PageFont(), table, kLayoutMoveAndSize, iniPath);
}

HWND FrameButton(int id) { return GetDlgItem(g_setup.frame, id); }

void EnableFrameButton(int id, bool on) { EnableWindow(FrameButton(id), on ? TRUE : FALSE); }

void SetFrameCaption(int id, const char* key) {
    std::string caption = MessageText("BUTTON", key, 259);
    SetWindowTextA(FrameButton(id), caption.c_str());
}

void EnableFrameClose(bool on) {
    HMENU menu = GetSystemMenu(g_setup.frame, FALSE);
    if (menu) EnableMenuItem(menu, SC_CLOSE, MF_BYCOMMAND | (on ? MF_ENABLED : MF_GRAYED));
}

bool PageSwitchedOn(int page) {
    return page >= kPageWelcome && page <= kPageCheck && g_setup.pages[page - kPageWelcome] != 0;
}

int FirstSwitchedOn(int first, int last, int fallback) {
    int step = first <= last ? 1 : -1;
    for (int page = first;; page += step) {
        if (PageSwitchedOn(page)) return page;
        if (page == last) return fallback;
    }
}

INT_PTR AcceptTo(HWND page, int next) {
    g_setup.nextPage = static_cast<uint32_t>(next);
    return PageAnswer(page, 1);
}

std::string MessageText(const char* section, const char* key, size_t maxChars) {
    return GetIniString(g_setup.messageIni, section, key, {}, maxChars);
}

int ShowPageMessage(HWND owner, const char* key, UINT flags, const char* argument) {
    if (argument) LogPrintf("[MessageBox] : %s(%s)", key, argument);
    else LogPrintf("[MessageBox] : %s", key);
    if (IsSilent(g_setup)) return IDOK;
    return ShowIniMessageBox(owner, g_setup.messageIni, "ERROR", key, "TITLE", flags, FormatArg(argument), TRUE);
}

INT_PTR WhiteBrush() { return reinterpret_cast<INT_PTR>(GetStockObject(WHITE_BRUSH)); }
