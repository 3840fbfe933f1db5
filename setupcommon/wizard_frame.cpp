#include "wizard_frame.h"

#include "bitmap_file.h"
#include "dialog_layout.h"
#include "text_measure.h"
#include "window_position.h"

#include <cstdio>
#include <cstring>

namespace {

enum BitmapSlot { kLeft, kLeftIcon, kTop, kTopIcon, kBitmapCount };
const char* const kBitmapKeys[kBitmapCount] = {"LEFT", "LEFT_ICON", "TOP", "TOP_ICON"};
const RECT kBitmapRects[kBitmapCount] = {{0, 0, 164, 294}, {97, 13, 147, 63}, {0, 0, 586, 58}, {525, 5, 574, 54}};
const RECT kTitleRect = {22, 10, 472, 30};
const RECT kContentsRect = {44, 25, 494, 60};
constexpr int kLayoutRows = 7;

struct FrameState {
    const WizardFrameDesign* design;
    LayoutRow layout[kLayoutRows];
    HFONT standard;
    HFONT title;
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

HFONT IniFont(HWND frame, const char* key, const char* ini, int osCode) {
    char picked[64];
    PickVistaIniKey(key, ini, osCode, picked, sizeof picked);
    return CreateIniFont(frame, picked, ini);
}

void SetLayout(const WizardFrameDesign& d) {
    const LayoutRow rows[kLayoutRows] = {
        {d.frameDialog, "TITLE", "TITLE", d.frameX, d.frameY, 586, 362},
        {static_cast<uint32_t>(d.ids.back), "BUTTON", "BACK", 292, 307, 88, 21},
        {static_cast<uint32_t>(d.ids.next), "BUTTON", "NEXT", 380, 307, 88, 21},
        {static_cast<uint32_t>(d.ids.cancel), "BUTTON", "CANCEL", 480, 307, 88, 21},
        {static_cast<uint32_t>(d.ids.upperLine), nullptr, nullptr, 0, 58, 586, 2},
        {d.lowerLine, nullptr, nullptr, 0, 294, 586, 2},
        {0, nullptr, nullptr, 0, 0, 0, 0},
    };
    memcpy(g_frame.layout, rows, sizeof rows);
}

void DrawStretched(HDC dc, const DibImage& image, const RECT& at) {
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

void PaintStretched(HWND frame, int first, const PageText* text) {
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(frame, &paint);
    for (int slot = first; slot <= first + 1; ++slot) {
        if (g_frame.bitmaps[slot].palette) {
            SelectPalette(dc, g_frame.bitmaps[slot].palette, FALSE);
            RealizePalette(dc);
        }
        DrawStretched(dc, g_frame.bitmaps[slot], kBitmapRects[slot]);
    }
    if (text) {
        SetBkMode(dc, TRANSPARENT);
        DrawPageText(dc, g_frame.paintTitle, text->title, kTitleRect);
        DrawPageText(dc, g_frame.paintContents, text->contents, kContentsRect);
    }
    EndPaint(frame, &paint);
}

// The bitmaps of the current page (left or top) and, on a top page, its title and contents.
void PaintFrame(HWND frame) {
    uint32_t index = *g_frame.design->currentPage;
    bool left = g_frame.design->table[index].flag == 1;
    int first = left ? kLeft : kTop;
    HWND page = g_frame.wizard.pages ? g_frame.wizard.pages[index] : nullptr;
    auto* text = page && !left ? reinterpret_cast<const PageText*>(GetWindowLongPtrA(page, GWLP_USERDATA)) : nullptr;
    if (g_frame.design->stretchBitmaps) {
        PaintStretched(frame, first, text);
        return;
    }
    const POINT at[2] = {{kBitmapRects[first].left, kBitmapRects[first].top},
                         {kBitmapRects[first + 1].left, kBitmapRects[first + 1].top}};
    PaintBitmap(frame, &g_frame.bitmaps[first], &g_frame.bitmaps[first + 1], &at[0], &at[1], &kTitleRect,
                &kContentsRect, g_frame.paintTitle, g_frame.paintContents, text ? text->title : "",
                text ? text->contents : "");
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

void ConfirmCancel(HWND frame) {
    if (g_frame.questionOpen) return;
    g_frame.questionOpen = true;
    bool ends = g_frame.design->askCancel(frame);
    g_frame.questionOpen = false;
    if (ends) PostMessageA(frame, kWizardClose, 0, 0);
}

void OnCommand(HWND frame, WPARAM wParam, LPARAM lParam) {
    const WizardFrameIds& ids = g_frame.design->ids;
    int id = LOWORD(wParam);
    if (id == ids.back) GoBackPage(&g_frame.wizard);
    else if (id == ids.next) GoNextPage(&g_frame.wizard);
    else if (id == ids.cancel) ConfirmCancel(frame);
    else if (lParam) SendMessageA(GetParent(reinterpret_cast<HWND>(lParam)), WM_COMMAND, wParam, lParam);
}

void OnFrameClose(HWND frame) {
    DestroyPages(&g_frame.wizard);
    *g_frame.design->pageWindows = nullptr;
    DestroyWindow(frame);
}

void FreeFrame() {
    FreeWizardFonts();
    for (DibImage& image : g_frame.bitmaps) FreeBitmapFile(&image);
    if (g_frame.design->release) g_frame.design->release();
    PostMessageA(*g_frame.design->mainWindow, kWizardClose, 0, 0);
}

INT_PTR CALLBACK WizardFrameProc(HWND frame, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        g_frame.design = reinterpret_cast<const WizardFrameDesign*>(lParam);
        SetLayout(*g_frame.design);
        PostMessageA(frame, kWizardInit, 0, 0);
        return TRUE;
    }
    if (!g_frame.design) return FALSE;
    switch (message) {
    case kWizardInit:
        if (!g_frame.design->start(frame)) PostMessageA(frame, kWizardClose, 0, 0);
        return TRUE;
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

}  // namespace

HWND CreateWizardFrame(HINSTANCE instance, HWND owner, const WizardFrameDesign* design) {
    return CreateDialogParamA(instance, MAKEINTRESOURCEA(design->frameDialog), owner, WizardFrameProc,
                              reinterpret_cast<LPARAM>(design));
}

void LoadWizardFonts(HWND frame, const char* ini, int osCode) {
    Replace(g_frame.standard, IniFont(frame, "STANDARD", ini, osCode));
    Replace(g_frame.title, IniFont(frame, "TITLE", ini, osCode));
    Replace(g_frame.paintTitle, IniFont(frame, "INFORMATION", ini, osCode));
    Replace(g_frame.paintContents, IniFont(frame, "STANDARD", ini, osCode));
}

void FreeWizardFonts() {
    Replace(g_frame.standard, nullptr);
    Replace(g_frame.title, nullptr);
    Replace(g_frame.paintTitle, nullptr);
    Replace(g_frame.paintContents, nullptr);
}

HFONT PageFont() { return g_frame.standard; }
HFONT HeadingFont() { return g_frame.title; }

int FitLabelToLayout(HWND page, const LayoutRow* table, uint32_t controlId, const char* text) {
    LayoutRow row{};
    FindControlLayout(table, controlId, &row);
    RECT rect = {row.x, row.y, row.x + row.width, row.y + row.height};
    return FitLabelHeight(GetDlgItem(page, static_cast<int>(controlId)), g_frame.standard, text, &rect);
}

void LoadWizardBitmaps(HWND frame, const char* ini, const char* folder) {
    for (int i = 0; i < kBitmapCount; ++i) {
        char name[MAX_PATH] = "";
        GetPrivateProfileStringA("BITMAP", kBitmapKeys[i], "", name, sizeof name, ini);
        if (!name[0]) continue;
        const char* file = name[0] == '\\' ? name + 1 : name;
        size_t length = strlen(folder);
        const char* slash = length && folder[length - 1] != '\\' ? "\\" : "";
        char path[MAX_PATH * 2];
        snprintf(path, sizeof path, "%s%s%s", folder, slash, length ? file : name);
        LoadBitmapFile(frame, &g_frame.bitmaps[i], path);
    }
}

void MirrorWizardFrame(HWND frame) {
    if (RtlLayout) MirrorDialogControls(frame, g_frame.layout);
}

void LayOutWizardFrame(HWND frame, const char* ini) {
    LayoutDialog(frame, g_frame.standard, g_frame.layout, kLayoutKeepPosition, ini);
}

bool CreateWizardPages(HWND frame, HINSTANCE instance) {
    const WizardFrameDesign& d = *g_frame.design;
    g_frame.wizard = {frame, instance, d.table, d.ids, nullptr, d.currentPage, d.nextPage};
    if (!CreatePages(&g_frame.wizard)) return false;
    *d.pageWindows = g_frame.wizard.pages;
    CenterWindowOnMonitor(frame, nullptr);
    return true;
}

Wizard* FrameWizard() { return &g_frame.wizard; }

int FitNextButton(HWND frame, const char* caption) {
    const WizardFrameIds& ids = g_frame.design->ids;
    SetDlgItemTextA(frame, ids.next, caption);
    LayoutRow next{};
    LayoutRow back{};
    FindControlLayout(g_frame.layout, ids.next, &next);
    FindControlLayout(g_frame.layout, ids.back, &back);
    int width = GetTextWidth(frame, g_frame.standard, caption, 0) + GetSystemMetrics(SM_CXSMICON);
    if (width <= next.width) return 0;
    int extra = width - next.width;
    MoveWindow(GetDlgItem(frame, ids.next), next.x - extra, next.y, width, next.height, TRUE);
    MoveWindow(GetDlgItem(frame, ids.back), back.x - extra, back.y, back.width, back.height, TRUE);
    return 1;
}

bool OfferToPages(MSG* message) {
    HWND* pages = g_frame.wizard.pages;
    if (!pages) return false;
    for (int i = 0; g_frame.wizard.table[i].dialogId != 0; ++i) {
        if (!pages[i] || !IsWindow(pages[i])) return false;
        if (IsDialogMessageA(pages[i], message)) return true;
    }
    return false;
}

int RunWizardMessageLoop() {
    MSG message;
    while (GetMessageA(&message, nullptr, 0, 0) > 0) {
        if (OfferToPages(&message)) continue;
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    return static_cast<int>(message.wParam);
}
