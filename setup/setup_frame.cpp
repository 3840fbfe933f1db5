#include "setup_frame.h"

#include "application_records.h"
#include "bitmap_file.h"
#include "dialog_layout.h"
#include "install_page.h"
#include "main_window.h"
#include "message_box.h"
#include "page_common.h"
#include "page_order.h"
#include "prechecks.h"
#include "resource.h"
#include "setup_log.h"
#include "setup_pages.h"
#include "text_measure.h"
#include "window_position.h"

#include <cstdio>
#include <cstring>

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

const LayoutRow kFrameLayout[] = {
    {IDD_FRAME, "TITLE", "TITLE", 250, 200, 586, 362},
    {IDC_BACK, "BUTTON", "BACK", 292, 307, 88, 21},
    {IDC_NEXT, "BUTTON", "NEXT", 380, 307, 88, 21},
    {IDCANCEL, "BUTTON", "CANCEL", 480, 307, 88, 21},
    {IDC_LINE_UPPER, nullptr, nullptr, 0, 58, 586, 2},
    {IDC_LINE_LOWER, nullptr, nullptr, 0, 294, 586, 2},
    {0, nullptr, nullptr, 0, 0, 0, 0},
};

enum BitmapSlot { kLeft, kLeftIcon, kTop, kTopIcon, kBitmapCount };
const char* const kBitmapKeys[kBitmapCount] = {"LEFT", "LEFT_ICON", "TOP", "TOP_ICON"};
const RECT kBitmapRects[kBitmapCount] = {{0, 0, 164, 294}, {97, 13, 147, 63}, {0, 0, 586, 58}, {525, 5, 574, 54}};
const RECT kTitleRect = {22, 10, 472, 30};
const RECT kContentsRect = {44, 25, 494, 60};

struct FrameState {
    HFONT standard;
    HFONT title;
    HFONT paintTitle;
    HFONT paintContents;
    DibImage bitmaps[kBitmapCount];
    bool cancelOpen;
    Wizard wizard;
};
FrameState g_frame;

void Replace(HFONT& font, HFONT created) {
    if (font) DeleteObject(font);
    font = created;
}

HFONT IniFont(HWND frame, const char* key, const char* ini, bool vista) {
    char picked[64];
    if (vista) PickVistaIniKey(key, ini, g_setup.osCode, picked, sizeof picked);
    else snprintf(picked, sizeof picked, "%s", key);
    return CreateIniFont(frame, picked, ini);
}

void LoadFonts(HWND frame, const char* ini, bool vista) {
    Replace(g_frame.standard, IniFont(frame, "STANDARD", ini, vista));
    Replace(g_frame.title, IniFont(frame, "TITLE", ini, vista));
    Replace(g_frame.paintTitle, IniFont(frame, "INFORMATION", ini, vista));
    Replace(g_frame.paintContents, IniFont(frame, "STANDARD", ini, vista));
}

void LoadBitmapInfo(HWND frame, const char* languageIni) {
    for (int i = 0; i < kBitmapCount; ++i) {
        char name[MAX_PATH] = "";
        GetPrivateProfileStringA("BITMAP", kBitmapKeys[i], "", name, sizeof name, languageIni);
        if (!name[0]) continue;
        char path[MAX_PATH * 2];
        snprintf(path, sizeof path, "%s\\%s", g_setup.workFolder, name);
        LoadBitmapFile(frame, &g_frame.bitmaps[i], path);
    }
}

void EndWizard(HWND frame) { PostMessageA(frame, kWizardClose, 0, 0); }

void ConfirmCancel(HWND frame) {
    if (g_frame.cancelOpen) return;
    g_frame.cancelOpen = true;
    bool language = g_setup.currentPage == kPageLanguage;
    const char* ini = language ? g_setup.languageIni : g_setup.messageIni;
    const char* key = language ? "MESSAGE_01" : "MESSAGE_03";
    int answer = ShowIniMessageBox(frame, ini, "ERROR", key, "TITLE", MB_YESNO | MB_ICONQUESTION, {}, TRUE);
    g_frame.cancelOpen = false;
    if (answer == IDYES) {
        LogPrintf("[MessageBox] : %s", key);
        RecordFailure(&g_setup.failure, kExitCancelled);
        EndWizard(frame);
    }
}

void DrawBitmap(HDC dc, const DibImage& image, const RECT& at) {
    if (!image.data) return;
    int width = at.right - at.left;
    int x = at.left;
    if (RtlLayout) {
        x = at.right - 1;
        width = -width;
    }
    auto* info = reinterpret_cast<const BITMAPINFO*>(image.data);
    const BYTE* bits = image.data + info->bmiHeader.biSize + image.colours * sizeof(RGBQUAD);
    StretchDIBits(dc, x, at.top, width, at.bottom - at.top, 0, 0, image.width, image.height, bits, info,
                  DIB_RGB_COLORS, SRCCOPY);
}

void DrawPageText(HDC dc, HFONT font, const char* text, RECT rect) {
    if (!text[0]) return;
    HGDIOBJ old = font ? SelectObject(dc, font) : nullptr;
    DrawTextA(dc, text, -1, &rect, DT_WORDBREAK);
    if (old) SelectObject(dc, old);
}

void PaintMainWindow(HWND frame) {
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(frame, &paint);
    uint32_t index = g_setup.currentPage;
    bool left = kSetupPages[index].flag == 1;
    int first = left ? kLeft : kTop;
    for (int slot = first; slot <= first + 1; ++slot) {
        if (g_frame.bitmaps[slot].palette) {
            SelectPalette(dc, g_frame.bitmaps[slot].palette, FALSE);
            RealizePalette(dc);
        }
        DrawBitmap(dc, g_frame.bitmaps[slot], kBitmapRects[slot]);
    }
    HWND page = g_setup.pageWindows ? g_setup.pageWindows[index] : nullptr;
    auto* text = page ? reinterpret_cast<const PageText*>(GetWindowLongPtrA(page, GWLP_USERDATA)) : nullptr;
    if (!left && text) {
        SetBkMode(dc, TRANSPARENT);
        DrawPageText(dc, g_frame.paintTitle, text->title, kTitleRect);
        DrawPageText(dc, g_frame.paintContents, text->contents, kContentsRect);
    }
    EndPaint(frame, &paint);
}

bool RealizeIconPalette(HWND frame, bool force) {
    HPALETTE palette = g_frame.bitmaps[kLeftIcon].palette;
    if (!palette) return false;
    HDC dc = GetDC(frame);
    HPALETTE old = SelectPalette(dc, palette, FALSE);
    UINT changed = RealizePalette(dc);
    SelectPalette(dc, old, FALSE);
    ReleaseDC(frame, dc);
    if (changed || force) InvalidateRect(frame, nullptr, TRUE);
    return changed != 0;
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
    g_setup.pageWindows = nullptr;
    DestroyWindow(frame);
}

void FreeMainDialog() {
    FreeSetupFonts();
    for (DibImage& image : g_frame.bitmaps) FreeBitmapFile(&image);
    FreeApplicationInfo(&g_setup);
    PostMessageA(g_mainWindow, kWizardClose, 0, 0);
}

}  // namespace

Wizard* SetupWizard() { return &g_frame.wizard; }
HFONT PageFont() { return g_frame.standard; }
HFONT HeadingFont() { return g_frame.title; }

int FitNextButton(HWND frame, HFONT font, const char* caption) {
    SetDlgItemTextA(frame, IDC_NEXT, caption);
    LayoutRow next{};
    LayoutRow back{};
    FindControlLayout(kFrameLayout, IDC_NEXT, &next);
    FindControlLayout(kFrameLayout, IDC_BACK, &back);
    int width = GetTextWidth(frame, font ? font : g_frame.standard, caption, 0) + GetSystemMetrics(SM_CXSMICON);
    if (width <= next.width) return 0;
    int extra = width - next.width;
    MoveWindow(GetDlgItem(frame, IDC_NEXT), next.x - extra, next.y, width, next.height, TRUE);
    MoveWindow(GetDlgItem(frame, IDC_BACK), back.x - extra, back.y, back.width, back.height, TRUE);
    return 1;
}

void FreeSetupFonts() {
    Replace(g_frame.standard, nullptr);
    Replace(g_frame.title, nullptr);
    Replace(g_frame.paintTitle, nullptr);
    Replace(g_frame.paintContents, nullptr);
}

bool OfferToPages(MSG* message) {
    HWND* pages = g_setup.pageWindows;
    if (!pages) return false;
    for (int i = 0; kSetupPages[i].dialogId != 0; ++i) {
        if (!pages[i] || !IsWindow(pages[i])) return false;
        if (IsDialogMessageA(pages[i], message)) return true;
    }
    return false;
}

void ShowFirstPage(HWND frame, SetupContext* c) {
    Wizard* w = &g_frame.wizard;
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
    if (RtlLayout) MirrorDialogControls(frame, kFrameLayout);
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
    LayoutDialog(frame, g_frame.standard, kFrameLayout, kLayoutKeepPosition, c->messageIni);
    Wizard* w = &g_frame.wizard;
    ShowPage(w, start);
    SendPageMessage(c->pageWindows[start], kWizardShown, static_cast<WPARAM>(start));
    SetPageFocus(w, start);
    if (!IsSilent(*c)) {
        ShowWindow(c->pageWindows[kPageLanguage], SW_HIDE);
        ShowWindow(frame, SW_SHOW);
    }
    return 1;
}

int InitMainDialog(HWND frame, SetupContext* c, const PageTableEntry* table) {
    LoadBitmapInfo(frame, c->languageIni);
    LoadFonts(frame, c->languageIni, false);
    if (RtlLayout) MirrorDialogControls(frame, kFrameLayout);
    LayoutDialog(frame, g_frame.standard, kFrameLayout, kLayoutKeepPosition, c->languageIni);
    g_frame.wizard = {frame, c->instance, table, {IDC_BACK, IDC_NEXT, IDCANCEL, IDC_LINE_UPPER},
                      nullptr, &c->currentPage, &c->nextPage};
    if (!CreatePages(&g_frame.wizard)) {
        RecordFailure(&c->failure, kExitNoWindow);
        return 1;
    }
    c->pageWindows = g_frame.wizard.pages;
    CenterWindowOnMonitor(frame, nullptr);
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

INT_PTR CALLBACK MainDialogProc(HWND frame, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_INITDIALOG: PostMessageA(frame, kWizardInit, 0, 0); return TRUE;
    case kWizardInit:
        if (!InitMainDialog(frame, &g_setup, kSetupPages)) {
            RecordFailure(&g_setup.failure, kExitCheckFailed);
            PostMessageA(frame, kWizardClose, 0, 0);
        }
        return TRUE;
    case kWizardClose: OnFrameClose(frame); return TRUE;
    case WM_ENDSESSION:
        if (wParam) FreeMainDialog();
        return TRUE;
    case WM_DESTROY: FreeMainDialog(); return TRUE;
    case WM_PAINT: PaintMainWindow(frame); return TRUE;
    case WM_QUERYNEWPALETTE: return RealizeIconPalette(frame, false);
    case WM_PALETTECHANGED:
        if (reinterpret_cast<HWND>(wParam) != frame) RealizeIconPalette(frame, false);
        return TRUE;
    case WM_COMMAND: OnCommand(frame, wParam, lParam); return TRUE;
    default: return FALSE;
    }
}
