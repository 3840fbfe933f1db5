// Push buttons painted from four-frame bitmap strips (normal, pressed, disabled, focused/hot)
// with text colours and style bits from ThemeOdBtnInfo rows.
#pragma once

#include <windows.h>

#include "dib.h"
#include "theme_api.h"

constexpr int kFrameNormal = 0;
constexpr int kFramePressed = 1;
constexpr int kFrameDisabled = 2;
constexpr int kFrameFocused = 3;

struct BitmapButtonState {
    Dib dib;
    Dib mask;  // shaped buttons: white where transparent, black elsewhere
    bool shaped = false;
    int textX = 0;
    COLORREF colourNormal = 0, colourFocused = 0, colourPressed = 0, colourDisabled = 0;
    uint32_t style = 0;
    bool showAccelerators = false;
    bool showFocus = false;
    bool hot = false;
    const Dib* background = nullptr;  // the parent's background, for shaped buttons
    WNDPROC previous = nullptr;
};

// Frame of the strip for the ODS_ state bits of a WM_DRAWITEM.
int ChooseButtonFrame(UINT itemState, uint32_t style);
// Text colour for the ODS_ state bits.
COLORREF ButtonTextColour(const BitmapButtonState& state, UINT itemState);
// Builds the mask of a shaped button and whitens the transparent pixels of its own strip;
// the transparent colour is the first pixel's. Works on 4, 8 and 24-bit strips.
BOOL PrepareButtonRegion(BitmapButtonState* state);

void InitBitmapButtons(HWND dialog, const ThemeOdBtnInfo* rows, int count);
// WM_DRAWITEM of a bitmap button; FALSE when the control is not one.
BOOL DrawBitmapButton(HWND dialog, const Dib* parentDib, const DRAWITEMSTRUCT* drawItem);
void PaintBitmapButton(HWND button);
LRESULT CALLBACK BitmapButtonProc(HWND button, UINT message, WPARAM wParam, LPARAM lParam);
void FreeBitmapButtons(HWND dialog, const ThemeOdBtnInfo* rows, int count);
void ShowButtonAccelerators(HWND dialog, const ThemeOdBtnInfo* rows, int count, BOOL on);
void ShowButtonFocus(HWND dialog, const ThemeOdBtnInfo* rows, int count, BOOL on);
BitmapButtonState* GetBitmapButtonState(HWND button);
