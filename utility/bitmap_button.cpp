#include "bitmap_button.h"

#include <string>

#include "dialog_layout.h"
#include "win_handles.h"

namespace {

// Marks our state in the button's user data, so that foreign data is never taken for it.
constexpr wchar_t kStateProp[] = L"QzBitmapButton";

bool SystemShowsCues() {
    BOOL cues = FALSE;
    SystemParametersInfoW(SPI_GETKEYBOARDCUES, 0, &cues, 0);
    return cues != FALSE;
}

// Colour table index of the first entry whose red, green and blue all equal `value`.
int FindGreyEntry(const Dib& dib, BYTE value) {
    const auto* table = reinterpret_cast<const BYTE*>(dib.info) + dib.layout.colourTableOffset;
    for (UINT i = 0; i < dib.layout.colours; ++i) {
        if (table[i * 4] == value && table[i * 4 + 1] == value && table[i * 4 + 2] == value) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

void SetPixelValue(Dib& dib, int x, int row, uint32_t value) {
    BYTE* line = dib.owned.data() + dib.layout.bitsOffset + dib.layout.stride * size_t(row);
    switch (dib.layout.bitCount) {
        case 8:
            line[x] = static_cast<BYTE>(value);
            break;
        case 4:
            line[x / 2] = (x & 1) ? static_cast<BYTE>((line[x / 2] & 0xF0) | (value & 0x0F))
                                  : static_cast<BYTE>((line[x / 2] & 0x0F) | ((value & 0x0F) << 4));
            break;
        default: {
            BYTE* p = line + size_t(x) * (dib.layout.bitCount / 8);
            p[0] = static_cast<BYTE>(value);
            p[1] = static_cast<BYTE>(value >> 8);
            p[2] = static_cast<BYTE>(value >> 16);
        }
    }
}

void DrawCenteredText(HDC dc, const wchar_t* text, RECT rect, UINT flags) {
    RECT measure = rect;
    int height = DrawTextW(dc, text, -1, &measure, flags | DT_CALCRECT | DT_WORDBREAK);
    int top = rect.top + ((rect.bottom - rect.top) - height) / 2;
    RECT target{rect.left, top, rect.right, top + height};
    DrawTextW(dc, text, -1, &target, flags | DT_WORDBREAK);
}

// Paints one frame with text into `target` at the button's size.
void RenderButton(HDC target, HWND button, BitmapButtonState* s, int frame, UINT itemState) {
    RECT client{};
    GetClientRect(button, &client);
    const int w = client.right, h = client.bottom;
    HDC mem = CreateCompatibleDC(target);
    qz::GdiObject bitmap(CreateCompatibleBitmap(target, w, h));
    if (!mem || !bitmap) {
        if (mem) DeleteDC(mem);
        return;
    }
    HGDIOBJ oldBitmap = SelectObject(mem, bitmap.get());
    if (IsRightToLeft()) SetLayout(mem, LAYOUT_RTL | LAYOUT_BITMAPORIENTATIONPRESERVED);
    const int frameW = s->dib.width / 4;
    if (s->shaped && s->background) {
        POINT origin{0, 0};
        MapWindowPoints(button, GetParent(button), &origin, 1);
        DrawDibPart(mem, s->background, 0, 0, w, h, origin.x, origin.y, w, h);
        DrawDibPart(mem, &s->mask, 0, 0, w, h, 0, 0, frameW, h, MERGEPAINT);
        DrawDibPart(mem, &s->dib, 0, 0, w, h, frame * frameW, 0, frameW, s->dib.height, SRCAND);
    } else {
        DrawDibPart(mem, &s->dib, 0, 0, w, h, frame * frameW, 0, frameW, s->dib.height);
    }
    const bool focused = (itemState & ODS_FOCUS) != 0;
    if (s->showFocus && focused && (s->style & kBtnFocusRect) && !(s->style & kBtnNoFocus)) {
        RECT focusRect = client;
        InflateRect(&focusRect, -1, -1);
        DrawFocusRect(mem, &focusRect);
    }
    if (!(s->style & kBtnImageOnly)) {
        wchar_t text[256] = {};
        GetWindowTextW(button, text, 256);
        auto font = reinterpret_cast<HFONT>(SendMessageW(button, WM_GETFONT, 0, 0));
        HGDIOBJ oldFont = font ? SelectObject(mem, font) : nullptr;
        RECT rect{s->textX, 0, w - 1, h};
        if ((itemState & ODS_SELECTED) && (s->style & kBtnPressShift) && !(s->style & kBtnNoPressed)) {
            OffsetRect(&rect, 1, 1);
        }
        SetBkMode(mem, TRANSPARENT);
        SetTextColor(mem, ButtonTextColour(*s, itemState));
        UINT flags = (s->style & kBtnCentred) ? DT_CENTER : DT_LEFT;
        if (!s->showAccelerators) flags |= DT_HIDEPREFIX;
        DrawCenteredText(mem, text, rect, flags);
        if (oldFont) SelectObject(mem, oldFont);
    }
    BitBlt(target, 0, 0, w, h, mem, 0, 0, SRCCOPY);
    SelectObject(mem, oldBitmap);
    DeleteDC(mem);
}

template <typename Fn>
void ForEachButton(HWND dialog, const ThemeOdBtnInfo* rows, int count, Fn fn) {
    if (!rows) return;
    for (int i = 0; i < count && rows[i].controlId != -1; ++i) {
        HWND button = GetDlgItem(dialog, rows[i].controlId);
        if (button && !fn(button, rows[i])) break;
    }
}

void ReleaseButton(HWND button, BitmapButtonState* s) {
    SetWindowLongPtrW(button, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(s->previous));
    RemovePropW(button, kStateProp);
    FreeDib(&s->dib);
    FreeDib(&s->mask);
    delete s;
}

}  // namespace

BitmapButtonState* GetBitmapButtonState(HWND button) {
    return button ? static_cast<BitmapButtonState*>(GetPropW(button, kStateProp)) : nullptr;
}

int ChooseButtonFrame(UINT itemState, uint32_t style) {
    if (itemState & ODS_SELECTED) return kFramePressed;
    if (itemState & ODS_DISABLED) return kFrameDisabled;
    if ((itemState & ODS_FOCUS) && (style & kBtnFocusFrame) && !(style & kBtnNoFocus)) {
        return kFrameFocused;
    }
    return kFrameNormal;
}

COLORREF ButtonTextColour(const BitmapButtonState& s, UINT itemState) {
    if (itemState & ODS_DISABLED) return s.colourDisabled;
    COLORREF colour = s.colourNormal;
    if ((itemState & ODS_FOCUS) && !(s.style & kBtnNoFocus)) colour = s.colourFocused;
    if ((itemState & ODS_SELECTED) && !(s.style & kBtnNoPressed)) colour = s.colourPressed;
    return colour;
}

BOOL PrepareButtonRegion(BitmapButtonState* s) {
    if (!s || !s->dib.info) return FALSE;
    const uint16_t bits = s->dib.layout.bitCount;
    if (bits != 4 && bits != 8 && bits != 24) return FALSE;
    if (!MakeDibWritable(&s->dib)) return FALSE;
    FreeDib(&s->mask);
    if (!LoadDibPacked(&s->mask, s->dib.owned.data(), s->dib.owned.size(), true)) return FALSE;
    uint32_t white = 0xFFFFFF, black = 0;
    if (bits == 8) {
        int w = FindGreyEntry(s->dib, 255), b = FindGreyEntry(s->dib, 0);
        if (w < 0 || b < 0) return FALSE;
        white = static_cast<uint32_t>(w);
        black = static_cast<uint32_t>(b);
    } else if (bits == 4) {
        white = 15;
        black = 0;
    }
    const auto* packed = reinterpret_cast<const uint8_t*>(s->dib.info);
    const uint32_t transparent = DibPixel(packed, s->dib.layout, 0, 0);
    for (int row = 0; row < s->dib.layout.height; ++row) {
        for (int x = 0; x < s->dib.layout.width; ++x) {
            bool clear = DibPixel(packed, s->dib.layout, x, row) == transparent;
            SetPixelValue(s->mask, x, row, clear ? white : black);
            if (clear) SetPixelValue(s->dib, x, row, white);
        }
    }
    return TRUE;
}

void InitBitmapButtons(HWND dialog, const ThemeOdBtnInfo* rows, int count) {
    const bool cues = SystemShowsCues();
    ForEachButton(dialog, rows, count, [&](HWND button, const ThemeOdBtnInfo& row) {
        SendMessageW(button, BM_SETSTYLE, BS_OWNERDRAW, TRUE);
        auto* s = new BitmapButtonState;
        const wchar_t* source = (row.flags & kButtonFromFile)
                                    ? reinterpret_cast<const wchar_t*>(static_cast<uintptr_t>(row.bitmapId))
                                    : MAKEINTRESOURCEW(static_cast<WORD>(row.bitmapId));
        if (!LoadDib(&s->dib, source, (row.flags & kButtonFromFile) != 0) || s->dib.width < 4) {
            delete s;  // stays a plain owner-drawn button
            return true;
        }
        s->showAccelerators = s->showFocus = cues;
        const int frameW = s->dib.width / 4;
        if ((row.flags & kButtonShaped) && PrepareButtonRegion(s)) {
            s->shaped = true;
            if (s->dib.layout.bitCount == 8) {
                HRGN region = RegionFromRuns(OpaqueRuns(&s->dib, 0, frameW));
                if (region && !SetWindowRgn(button, region, TRUE)) DeleteObject(region);
            }
        }
        SetWindowPos(button, nullptr, 0, 0, frameW, s->dib.height,
                     SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
        s->textX = row.textX;
        s->colourNormal = row.colourNormal;
        s->colourFocused = row.colourFocused;
        s->colourPressed = row.colourPressed;
        s->colourDisabled = row.colourDisabled;
        s->style = row.style;
        SetPropW(button, kStateProp, s);
        s->previous = reinterpret_cast<WNDPROC>(
            SetWindowLongPtrW(button, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(BitmapButtonProc)));
        return true;
    });
}

BOOL DrawBitmapButton(HWND, const Dib* parentDib, const DRAWITEMSTRUCT* drawItem) {
    if (!drawItem || drawItem->CtlType != ODT_BUTTON) return FALSE;
    BitmapButtonState* s = GetBitmapButtonState(drawItem->hwndItem);
    if (!s) return FALSE;
    s->background = parentDib;
    RenderButton(drawItem->hDC, drawItem->hwndItem, s, ChooseButtonFrame(drawItem->itemState, s->style),
                 drawItem->itemState);
    return TRUE;
}

void PaintBitmapButton(HWND button) {
    BitmapButtonState* s = GetBitmapButtonState(button);
    if (!s || !IsWindowEnabled(button)) return;
    qz::WindowDC dc(button);
    if (!dc.get()) return;
    UINT itemState = GetFocus() == button ? ODS_FOCUS : 0;
    RenderButton(dc.get(), button, s, kFrameFocused, itemState);
}

LRESULT CALLBACK BitmapButtonProc(HWND button, UINT message, WPARAM wParam, LPARAM lParam) {
    BitmapButtonState* s = GetBitmapButtonState(button);
    if (!s) return DefWindowProcW(button, message, wParam, lParam);
    WNDPROC previous = s->previous;
    switch (message) {
        case WM_SETCURSOR:
            if (!s->hot) {
                s->hot = true;
                PaintBitmapButton(button);
                TRACKMOUSEEVENT track{sizeof(track), TME_LEAVE, button, 0};
                TrackMouseEvent(&track);
            }
            break;
        case WM_MOUSELEAVE:
            s->hot = false;
            InvalidateRect(button, nullptr, FALSE);
            break;
        case WM_NCDESTROY:
            // A dialog that forgot FreeBitmapButtons still gives the state back.
            ReleaseButton(button, s);
            break;
    }
    return CallWindowProcW(previous, button, message, wParam, lParam);
}

void FreeBitmapButtons(HWND dialog, const ThemeOdBtnInfo* rows, int count) {
    ForEachButton(dialog, rows, count, [](HWND button, const ThemeOdBtnInfo&) {
        if (BitmapButtonState* s = GetBitmapButtonState(button)) ReleaseButton(button, s);
        return true;
    });
}

namespace {

// Sets one cue flag (accelerators also turn the focus cue on or off) and repaints the buttons
// that changed; stops at the first button that already had the value.
void SetCueFlag(HWND dialog, const ThemeOdBtnInfo* rows, int count, BOOL on, bool accelerators) {
    const bool value = on != FALSE;
    ForEachButton(dialog, rows, count, [&](HWND button, const ThemeOdBtnInfo&) {
        BitmapButtonState* s = GetBitmapButtonState(button);
        if (!s) return true;
        bool& flag = accelerators ? s->showAccelerators : s->showFocus;
        if (flag == value) return false;
        flag = value;
        if (accelerators) s->showFocus = value;
        InvalidateRect(button, nullptr, FALSE);
        return true;
    });
}

}  // namespace

void ShowButtonAccelerators(HWND dialog, const ThemeOdBtnInfo* rows, int count, BOOL on) {
    SetCueFlag(dialog, rows, count, on, true);
}

void ShowButtonFocus(HWND dialog, const ThemeOdBtnInfo* rows, int count, BOOL on) {
    SetCueFlag(dialog, rows, count, on, false);
}
