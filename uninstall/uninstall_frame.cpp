#include "uninstall_frame.h"

#include "bitmap_file.h"
#include "dialog_layout.h"
#include "message_box.h"
#include "os_info.h"
#include "resource.h"
#include "script_text.h"
#include "setup_log.h"
#include "text_measure.h"
#include "uninstall_pages.h"
#include "window_position.h"

#include <cstdio>

const PageTableEntry kUninstallPages[] = {
    {IDD_WELCOME, WelcomePageProc, IDC_NEXT, 1},
    {IDD_UNINSTALL, UninstallPageProc, IDC_NEXT, 0},
    {IDD_FINISH, FinishPageProc, IDC_NEXT, 1},
    {IDD_RESTART, RebootFinishPageProc, IDC_NEXT, 1},
    {0, nullptr, 0, 0},
};

namespace {

const LayoutRow kFrameLayout[] = {
    {IDD_FRAME, "TITLE", "TITLE", 0, 0, 586, 362},
    {IDC_BACK, "BUTTON", "BACK", 292, 307, 88, 21},
    {IDC_NEXT, "BUTTON", "NEXT", 380, 307, 88, 21},
    {IDCANCEL, "BUTTON", "CANCEL", 480, 307, 88, 21},
    {IDC_LINE_UPPER, nullptr, nullptr, 0, 58, 586, 2},
    {IDC_LINE_LOWER, nullptr, nullptr, 0, 294, 586, 2},
    {0, nullptr, nullptr, 0, 0, 0, 0},
};

enum BitmapSlot { kLeft, kLeftIcon, kTop, kTopIcon, kBitmapCount };
const char* const kBitmapKeys[kBitmapCount] = {"LEFT", "LEFT_ICON", "TOP", "TOP_ICON"};
const POINT kBitmapPositions[kBitmapCount] = {{0, 0}, {97, 13}, {0, 0}, {525, 5}};
const RECT kTitleRect = {22, 10, 472, 30};
const RECT kContentsRect = {44, 25, 494, 60};

struct FrameState {
    HFONT paintTitle;
    HFONT paintContents;
    DibImage bitmaps[kBitmapCount];
    bool questionOpen;
    Wizard wizard;
};
FrameState g_frame;

void Replace(HFONT& font, HFONT created) {
    if (font) DeleteObject(font);
    font = created;
}

HFONT WizardFont(HWND frame, const char* key) {
    char picked[64];
    snprintf(picked, sizeof picked, "%s", key);
    if (g_uninstall.osCode >= 8) {
        std::string vista = std::string(key) + "_VISTA";
        if (!ReadIniValue(g_uninstall.uninstallerIni, "FONT", vista, 259).empty()) snprintf(picked, sizeof picked, "%s", vista.c_str());
    }
    return CreateIniFont(frame, picked, g_uninstall.uninstallerIni);
}

void LoadBitmaps(HWND frame) {
    for (int i = 0; i < kBitmapCount; ++i) {
        std::string name = ReadIniValue(g_uninstall.listIni, "BITMAP", kBitmapKeys[i], MAX_PATH);
        if (name.empty()) continue;
        LoadBitmapFile(frame, &g_frame.bitmaps[i], JoinPath(g_uninstall.baseFolder, name).c_str());
    }
}

void FreeFrame() {
    Replace(g_frame.paintTitle, nullptr);
    Replace(g_frame.paintContents, nullptr);
    Replace(g_uninstall.standardFont, nullptr);
    Replace(g_uninstall.titleFont, nullptr);
    for (DibImage& image : g_frame.bitmaps) FreeBitmapFile(&image);
    PostMessageA(g_uninstall.mainWindow, kWizardClose, 0, 0);
}

void LogPageSwitches(const UninstallContext& c) {
    LogPrintf("  Uninstall : %d", 1);
    LogPrintf("  Finish    : %d", 1);
    LogPrintf("  Refresh   : %d", c.restartPage ? 1 : 0);
}

void LayoutPages(HWND frame, UninstallContext* c) {
    Replace(c->standardFont, WizardFont(frame, "STANDARD"));
    Replace(c->titleFont, WizardFont(frame, "TITLE"));
    Wizard* w = &g_frame.wizard;
    for (int i = 0; kUninstallPages[i].dialogId != 0; ++i) SendPageMessage(w->pages[i], kWizardInit, 0);
    bool welcome = !ReadIniValue(c->uninstallerIni, "LABEL", "WELCOME_00", 259).empty();
    int start = welcome ? kPageWelcome : kPageUninstall;
    ShowPage(w, start);
    if (RtlLayout) MirrorDialogControls(frame, kFrameLayout);
    LayoutDialog(frame, c->standardFont, kFrameLayout, kLayoutKeepPosition, c->uninstallerIni);
    SendPageMessage(w->pages[start], kWizardShown, static_cast<WPARAM>(start));
    SetPageFocus(w, start);
    if (ShowsWindow(*c)) ShowWindow(frame, SW_SHOW);
    LogPageSwitches(*c);
}

void InitFrameDialog(HWND frame, UninstallContext* c) {
    c->frame = frame;
    Replace(c->standardFont, WizardFont(frame, "STANDARD"));
    LoadBitmaps(frame);
    Replace(g_frame.paintTitle, WizardFont(frame, "INFORMATION"));
    Replace(g_frame.paintContents, WizardFont(frame, "STANDARD"));
    if (RtlLayout) MirrorDialogControls(frame, kFrameLayout);
    LayoutDialog(frame, c->standardFont, kFrameLayout, kLayoutKeepPosition, c->uninstallerIni);
    g_frame.wizard = {frame, c->instance, kUninstallPages, {IDC_BACK, IDC_NEXT, IDCANCEL, IDC_LINE_UPPER},
                      nullptr, &c->currentPage, &c->nextPage};
    if (!CreatePages(&g_frame.wizard)) {
        PostMessageA(frame, kWizardClose, 0, 0);
        return;
    }
    c->pageWindows = g_frame.wizard.pages;
    CenterWindowOnMonitor(frame, nullptr);
    LayoutPages(frame, c);
}

void ConfirmCancel(HWND frame) {
    if (g_frame.questionOpen) return;
    g_frame.questionOpen = true;
    int answer = ShowIniMessageBox(frame, g_uninstall.uninstallerIni, "ERROR", "MESSAGE_15", "TITLE",
                                   MB_YESNO | MB_ICONQUESTION, {}, TRUE);
    g_frame.questionOpen = false;
    if (answer != IDYES) return;
    LogPrintf("[MessageBox] : MESSAGE_15");
    g_uninstall.cancelled = 1;
    RecordFailure(&g_uninstall.failure, kExitCancelled);
    PostMessageA(frame, kWizardClose, 0, 0);
}

void PaintFrame(HWND frame) {
    uint32_t index = g_uninstall.currentPage;
    bool left = kUninstallPages[index].flag == 1;
    int first = left ? kLeft : kTop;
    HWND page = g_uninstall.pageWindows ? g_uninstall.pageWindows[index] : nullptr;
    auto* text = page && !left ? reinterpret_cast<const PageText*>(GetWindowLongPtrA(page, GWLP_USERDATA)) : nullptr;
    PaintBitmap(frame, &g_frame.bitmaps[first], &g_frame.bitmaps[first + 1], &kBitmapPositions[first],
                &kBitmapPositions[first + 1], &kTitleRect, &kContentsRect, g_frame.paintTitle, g_frame.paintContents,
                text ? text->title : "", text ? text->contents : "");
}

bool RealizeIconPalette(HWND frame) {
    HPALETTE palette = g_frame.bitmaps[kLeftIcon].palette;
    if (!palette) return false;
    HDC dc = GetDC(frame);
    HPALETTE old = SelectPalette(dc, palette, FALSE);
    UINT changed = RealizePalette(dc);
    SelectPalette(dc, old, FALSE);
    ReleaseDC(frame, dc);
    if (changed) InvalidateRect(frame, nullptr, TRUE);
    return changed != 0;
}

void OnCommand(HWND frame, WPARAM wParam, LPARAM lParam) {
    switch (LOWORD(wParam)) {
    case IDC_BACK: GoBackPage(&g_frame.wizard); break;
    case IDC_NEXT: GoNextPage(&g_frame.wizard); break;
    case IDCANCEL: ConfirmCancel(frame); break;
    default:
        if (lParam) SendMessageA(GetParent(reinterpret_cast<HWND>(lParam)), WM_COMMAND, wParam, lParam);
        break;
    }
}

void OnFrameClose(HWND frame) {
    DestroyPages(&g_frame.wizard);
    g_uninstall.pageWindows = nullptr;
    DestroyWindow(frame);
}

}  // namespace

Wizard* UninstallWizard() { return &g_frame.wizard; }

int FitNextButton(HWND frame, const char* caption) {
    SetDlgItemTextA(frame, IDC_NEXT, caption);
    LayoutRow next{};
    LayoutRow back{};
    FindControlLayout(kFrameLayout, IDC_NEXT, &next);
    FindControlLayout(kFrameLayout, IDC_BACK, &back);
    int needed = GetTextWidth(frame, g_uninstall.standardFont, caption, 0) + GetSystemMetrics(SM_CXSMICON);
    int extra = needed - next.width;
    if (extra <= 0) return 0;
    MoveWindow(GetDlgItem(frame, IDC_NEXT), next.x - extra, next.y, needed, next.height, TRUE);
    MoveWindow(GetDlgItem(frame, IDC_BACK), back.x - extra, back.y, back.width, back.height, TRUE);
    return 1;
}

void GreyFrameClose(HWND frame) {
    EnableMenuItem(GetSystemMenu(frame, FALSE), SC_CLOSE, MF_BYCOMMAND | MF_GRAYED);
}

bool OfferToPages(MSG* message) {
    HWND* pages = g_uninstall.pageWindows;
    if (!pages) return false;
    for (int i = 0; kUninstallPages[i].dialogId != 0; ++i) {
        if (!pages[i] || !IsWindow(pages[i])) return false;
        if (IsDialogMessageA(pages[i], message)) return true;
    }
    return false;
}

INT_PTR CALLBACK FrameDlgProc(HWND frame, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_INITDIALOG: PostMessageA(frame, kWizardInit, 0, 0); return TRUE;
    case kWizardInit: InitFrameDialog(frame, &g_uninstall); return TRUE;
    case kWizardClose: OnFrameClose(frame); return TRUE;
    case WM_ENDSESSION:
        if (wParam) FreeFrame();
        return TRUE;
    case WM_DESTROY: FreeFrame(); return TRUE;
    case WM_PAINT: PaintFrame(frame); return TRUE;
    case WM_QUERYNEWPALETTE: return RealizeIconPalette(frame);
    case WM_PALETTECHANGED:
        if (reinterpret_cast<HWND>(wParam) != frame) RealizeIconPalette(frame);
        return TRUE;
    case WM_COMMAND: OnCommand(frame, wParam, lParam); return TRUE;
    default: return FALSE;
    }
}
