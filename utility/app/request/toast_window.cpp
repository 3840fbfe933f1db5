// The request toast: skin, texts, painting and the slide in and out.
#include "toast_window.h"

#include <shellapi.h>

#include <cstring>

#include "app.h"
#include "app_ids.h"
#include "bitmap_button.h"
#include "dialog_layout.h"
#include "ini_font.h"
#include "ini_text.h"
#include "list_state.h"
#include "resource.h"
#include "theme_resources.h"

namespace {

constexpr COLORREF kTextColour = 0xC3520E;
constexpr COLORREF kDisabledColour = 0xD18A63;
constexpr uint32_t kButtonStyle = 0x3A;
constexpr DWORD kSlideMs = 500;
constexpr unsigned kSlideStack = 16 * 1024;
constexpr int kIconSize = 16;

// The painted areas, relative to the client rectangle.
constexpr int kTextLeft = 95, kTextRightMargin = 15, kTitleTop = 40, kTitleHeight = 25;
constexpr int kMessageTop = 65, kMessageBottom = 170;
constexpr int kLowerLeft = 25, kLowerTop = 155, kLowerBottom = 193;
constexpr int kMirrorShift = 70;

ThemeOdBtnInfo g_toastButtons[] = {
    {theme::kBmpCancelButton, 0, IDCANCEL, 0, kTextColour, kTextColour, kTextColour, kDisabledColour, kButtonStyle},
    {theme::kBmpYesButton, 0, IDC_ANSWER_YES, 0, kTextColour, kTextColour, kTextColour, kDisabledColour, kButtonStyle},
    {theme::kBmpNoButton, 0, IDC_ANSWER_NO, 0, kTextColour, kTextColour, kTextColour, kDisabledColour, kButtonStyle},
};
constexpr int kToastButtonCount = 3;
constexpr int kAnswerButtons[] = {IDC_ANSWER_YES, IDC_ANSWER_NO, IDCANCEL};

RECT Client(HWND dialog) {
    RECT rc{};
    GetClientRect(dialog, &rc);
    return rc;
}

RECT Shifted(RECT r) {
    if (IsRightToLeft()) OffsetRect(&r, -kMirrorShift, 0);
    return r;
}

RECT TitleRect(HWND dialog) {
    const RECT c = Client(dialog);
    return Shifted({c.left + kTextLeft, c.top + kTitleTop, c.right - kTextRightMargin, c.top + kTitleTop + kTitleHeight});
}

RECT MessageRect(HWND dialog, int extra) {
    const RECT c = Client(dialog);
    return Shifted({c.left + kTextLeft, c.top + kMessageTop + extra, c.right - kTextRightMargin,
                    c.top + kMessageBottom});
}

RECT LowerRect(HWND dialog, int extra) {
    const RECT c = Client(dialog);
    return Shifted({c.left + kLowerLeft, c.top + kLowerTop + extra, c.right - kTextRightMargin,
                    c.top + kLowerBottom + extra});
}

// The height of `text` word-wrapped into the width of `rect` with `font`.
int WrappedHeight(HWND dialog, HFONT font, const std::wstring& text, const RECT& rect) {
    HDC dc = GetDC(dialog);
    HGDIOBJ old = SelectObject(dc, font ? font : GetStockObject(DEFAULT_GUI_FONT));
    RECT measure = rect;
    DrawTextW(dc, text.c_str(), -1, &measure, DT_WORDBREAK | DT_CALCRECT | DT_NOPREFIX);
    SelectObject(dc, old);
    ReleaseDC(dialog, dc);
    return measure.bottom - measure.top;
}

// How much higher than the title's 25 pixels the wrapped title is.
int GetToastTextRect(HWND dialog, const Toast& toast) {
    const RECT r = TitleRect(dialog);
    const int height = WrappedHeight(dialog, toast.deviceFont, toast.texts.title, r);
    return height > kTitleHeight ? height - kTitleHeight : 0;
}

std::wstring FromOem(const char* text) {
    if (!text) return {};
    wchar_t wide[2100] = {};
    MultiByteToWideChar(CP_OEMCP, 0, text, -1, wide, 2099);
    return wide;
}

void Mirror(Toast& toast, int id, const std::wstring& text) {
    if (toast.dialog) SetDlgItemTextW(toast.dialog, id, text.c_str());
}

void DrawToastText(HDC dc, HFONT font, const std::wstring& text, RECT rect, UINT flags) {
    HGDIOBJ old = SelectObject(dc, font ? font : GetStockObject(DEFAULT_GUI_FONT));
    DrawTextW(dc, text.c_str(), -1, &rect, flags | DT_NOPREFIX);
    SelectObject(dc, old);
}

void PaintToast(Toast& toast, HDC target) {
    HWND dialog = toast.dialog;
    const RECT rc = Client(dialog);
    HDC mem = CreateCompatibleDC(target);
    HBITMAP bitmap = CreateCompatibleBitmap(target, rc.right, rc.bottom);
    HGDIOBJ oldBitmap = SelectObject(mem, bitmap);
    if (IsRightToLeft()) SetLayout(mem, LAYOUT_RTL);
    FillRect(mem, &rc, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    if (toast.backgroundLoaded) {
        DrawDibPart(mem, &toast.background, 0, 0, rc.right, rc.bottom, 0, 0, toast.background.width,
                    toast.background.height);
    }
    if (auto icon = static_cast<HICON>(LoadImageW(g_app.theme, MAKEINTRESOURCEW(theme::kIconProgram), IMAGE_ICON,
                                                  kIconSize, kIconSize, 0))) {
        const int x = IsRightToLeft() ? rc.right - 23 : 7;
        DrawIconEx(mem, x, 5, icon, kIconSize, kIconSize, 0, nullptr, DI_NORMAL);
        DestroyIcon(icon);
    }
    SetBkMode(mem, TRANSPARENT);
    SetTextColor(mem, RGB(0, 0, 0));
    RECT title = TitleRect(dialog);
    title.bottom += toast.titleExtra;
    DrawToastText(mem, toast.deviceFont, toast.texts.title, title, DT_WORDBREAK | DT_END_ELLIPSIS);
    DrawToastText(mem, toast.messageFont, toast.texts.message, MessageRect(dialog, toast.titleExtra), DT_WORDBREAK);
    DrawToastText(mem, toast.boldFont, toast.texts.lower, LowerRect(dialog, toast.titleExtra), DT_WORDBREAK);
    BitBlt(target, 0, 0, rc.right, rc.bottom, mem, 0, 0, SRCCOPY);
    SelectObject(mem, oldBitmap);
    DeleteObject(bitmap);
    DeleteDC(mem);
}

// The corner the toast sits in and the AnimateWindow direction of its slide in.
struct Placement {
    POINT at;
    DWORD slideIn;
    DWORD slideOut;
};

Placement PlaceByTaskbar(SIZE size) {
    RECT work{};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    APPBARDATA bar{};
    bar.cbSize = sizeof bar;
    UINT edge = ABE_BOTTOM;
    if (SHAppBarMessage(ABM_GETTASKBARPOS, &bar)) edge = bar.uEdge;
    switch (edge) {
        case ABE_LEFT:
            return {{work.left, work.bottom - size.cy}, AW_HOR_POSITIVE, AW_HOR_NEGATIVE};
        case ABE_TOP:
            return {{work.right - size.cx, work.top}, AW_VER_POSITIVE, AW_VER_NEGATIVE};
        case ABE_RIGHT:
            return {{work.right - size.cx, work.bottom - size.cy}, AW_HOR_NEGATIVE, AW_HOR_POSITIVE};
        default:
            return {{work.right - size.cx, work.bottom - size.cy}, AW_VER_NEGATIVE, AW_VER_POSITIVE};
    }
}

SIZE WindowSize(HWND window) {
    RECT r{};
    GetWindowRect(window, &r);
    return {r.right - r.left, r.bottom - r.top};
}

DWORD WINAPI SlideOutThread(void* parameter) {
    auto* toast = static_cast<Toast*>(parameter);
    HWND dialog = toast->dialog;
    for (int id : kAnswerButtons) {
        HWND button = GetDlgItem(dialog, id);
        if (IsWindowVisible(button)) EnableWindow(button, FALSE);
    }
    const Placement placement = PlaceByTaskbar(WindowSize(dialog));
    if (!AnimateWindow(dialog, kSlideMs, AW_SLIDE | AW_HIDE | placement.slideOut)) ShowWindow(dialog, SW_HIDE);
    PostMessageW(dialog, UM_TOAST_SLID, 0, 0);
    return 0;
}

}  // namespace

void InitToast(HWND dialog, Toast& toast) {
    toast.dialog = dialog;
    toast.slidingOut = 0;
    const bool styled = VisualStylesActive();
    toast.deviceFont = CreateIniFont(styled ? L"SRU_VISTA" : L"SRU_DEVICE", g_app.iniPath);
    toast.messageFont = CreateIniFont(styled ? L"MAIN_VISTA" : L"DEFAULT", g_app.iniPath);
    toast.boldFont = CreateIniFont(styled ? L"BOLD_VISTA" : L"BOLD", g_app.iniPath);
    ThemeItemInfo rows[] = {
        {IDD_REQUEST_TOAST, L"REQUEST", L"TITLE", 0, 0, 0, 0},
        {IDCANCEL, L"BUTTON", L"CANCEL", 0, 0, 0, 0},
        {IDC_ANSWER_NO, L"BUTTON", L"NO", 0, 0, 0, 0},
        {IDC_ANSWER_YES, L"BUTTON", L"YES", 0, 0, 0, 0},
        {-1, nullptr, nullptr, 0, 0, 0, 0},
    };
    for (ThemeItemInfo* row = rows + 1; row->id != -1; ++row) {
        if (g_app.themeGetItemInfo) g_app.themeGetItemInfo(row, IDD_REQUEST_TOAST);
    }
    for (ThemeOdBtnInfo& button : g_toastButtons) {
        if (g_app.themeGetOdBtnInfo) g_app.themeGetOdBtnInfo(&button, IDD_REQUEST_TOAST);
    }
    if (IsRightToLeft()) MirrorDialogControls(dialog, rows);
    ApplyDialogLayout(dialog, g_app.mainFont, rows, kLayoutSizeOnly, g_app.iniPath);
    toast.backgroundLoaded = LoadDib(&toast.background, MAKEINTRESOURCEW(theme::kBmpToast), FALSE) != FALSE;
    if (toast.backgroundLoaded) {
        SetWindowPos(dialog, nullptr, 0, 0, toast.background.width, toast.background.height,
                     SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
    InitBitmapButtons(dialog, g_toastButtons, kToastButtonCount);
}

void FreeToast(Toast& toast) {
    if (toast.dialog) FreeBitmapButtons(toast.dialog, g_toastButtons, kToastButtonCount);
    if (toast.backgroundLoaded) FreeDib(&toast.background);
    toast.backgroundLoaded = false;
    for (HFONT* font : {&toast.deviceFont, &toast.messageFont, &toast.boldFont}) {
        if (*font) DeleteObject(*font);
        *font = nullptr;
    }
    toast.texts = ToastTextModel{};
    toast.titleExtra = 0;
    toast.dialog = nullptr;
}

void SetToastTitle(Toast& toast, const std::wstring& title) {
    toast.texts.title = title;
    if (toast.dialog) {
        SetWindowTextW(toast.dialog, title.c_str());
        toast.titleExtra = GetToastTextRect(toast.dialog, toast);
    }
    Mirror(toast, IDC_TOAST_TITLE, title);
    if (toast.dialog) InvalidateRect(toast.dialog, nullptr, FALSE);
}

void SetToastMessage(Toast& toast, const std::wstring& message) {
    toast.texts.message = message;
    Mirror(toast, IDC_TOAST_MESSAGE, message);
    if (toast.dialog) InvalidateRect(toast.dialog, nullptr, FALSE);
}

void SetToastLower(Toast& toast, const std::wstring& lower) {
    if (lower == toast.texts.lower) return;
    toast.texts.lower = lower;
    Mirror(toast, IDC_TOAST_LOWER, lower);
    if (toast.dialog) {
        const RECT strip = LowerRect(toast.dialog, toast.titleExtra);
        InvalidateRect(toast.dialog, &strip, FALSE);
    }
}

std::wstring LayoutRequestText(Toast& toast, bool lower, const wchar_t* key, const char* first, const char* second) {
    const std::wstring format = IniText(g_app.iniPath, L"REQUEST", key, 2047);
    const std::wstring one = FromOem(first);
    const std::wstring two = FromOem(second);
    if (!toast.dialog) return FormatRequestText(format, one, second ? &two : nullptr);
    const RECT area = lower ? LowerRect(toast.dialog, toast.titleExtra) : MessageRect(toast.dialog, toast.titleExtra);
    HFONT font = lower ? toast.boldFont : toast.messageFont;
    const int room = area.bottom - area.top;
    return FitRequestText(format, one, second ? &two : nullptr, [&](const std::wstring& text) {
        return WrappedHeight(toast.dialog, font, text, area) <= room;
    });
}

void SetRequestAnswerText(Toast& toast, uint32_t seconds) {
    SetToastLower(toast, CountdownText(IniText(g_app.iniPath, L"REQUEST", L"MSG11", 2047),
                                       IniText(g_app.iniPath, L"REQUEST", L"MSG12", 2047), seconds));
}

void SlideInToast(Toast& toast) {
    HWND dialog = toast.dialog;
    const Placement placement = PlaceByTaskbar(WindowSize(dialog));
    SetWindowPos(dialog, nullptr, placement.at.x, placement.at.y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    if (!AnimateWindow(dialog, kSlideMs, AW_SLIDE | placement.slideIn)) ShowWindow(dialog, SW_SHOW);
    if (!IsWindowVisible(dialog)) ShowWindow(dialog, SW_SHOW);
    InvalidateRect(dialog, nullptr, FALSE);
    for (int id : kAnswerButtons) {
        HWND button = GetDlgItem(dialog, id);
        if (IsWindowVisible(button)) EnableWindow(button, TRUE);
    }
    HWND cancel = GetDlgItem(dialog, IDCANCEL);
    SetFocus(IsWindowVisible(cancel) ? cancel : GetDlgItem(dialog, IDC_ANSWER_NO));
    PostMessageW(dialog, UM_TOAST_SLID, 1, 0);
}

void StartSlideOut(Toast& toast) {
    if (!toast.dialog || InterlockedCompareExchange(&toast.slidingOut, 1, 0) != 0) return;
    HANDLE thread = CreateThread(nullptr, kSlideStack, SlideOutThread, &toast, STACK_SIZE_PARAM_IS_A_RESERVATION, nullptr);
    if (thread) {
        CloseHandle(thread);
    } else {
        ShowWindow(toast.dialog, SW_HIDE);
        PostMessageW(toast.dialog, UM_TOAST_SLID, 0, 0);
    }
}

void ShowToastButton(HWND dialog, int id, bool show) {
    ShowWindow(GetDlgItem(dialog, id), show ? SW_SHOW : SW_HIDE);
}

BOOL ToastCommonMessage(Toast& toast, UINT message, WPARAM wParam, LPARAM lParam, INT_PTR* result) {
    switch (message) {
        case WM_ERASEBKGND:
            *result = TRUE;
            return TRUE;
        case WM_PAINT: {
            PAINTSTRUCT ps;
            HDC dc = BeginPaint(toast.dialog, &ps);
            PaintToast(toast, dc);
            EndPaint(toast.dialog, &ps);
            *result = TRUE;
            return TRUE;
        }
        case WM_PRINTCLIENT:
            PaintToast(toast, reinterpret_cast<HDC>(wParam));
            *result = TRUE;
            return TRUE;
        case WM_DRAWITEM:
            *result = DrawBitmapButton(toast.dialog, toast.backgroundLoaded ? &toast.background : nullptr,
                                       reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
            return TRUE;
        case WM_CTLCOLORDLG:
            *result = reinterpret_cast<INT_PTR>(GetStockObject(NULL_BRUSH));
            return TRUE;
        // Forwarded by the message loop and the modal-loop hook: the keyboard cues of the
        // three bitmap buttons.
        case UM_FORWARD_SYSKEYDOWN:
            ShowButtonAccelerators(toast.dialog, g_toastButtons, kToastButtonCount, TRUE);
            *result = TRUE;
            return TRUE;
        case UM_FORWARD_KEYDOWN:
            ShowButtonFocus(toast.dialog, g_toastButtons, kToastButtonCount, TRUE);
            *result = TRUE;
            return TRUE;
        default:
            return FALSE;
    }
}
