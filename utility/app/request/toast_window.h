// The skinned toast of the request dialogs (resource 1008): its bitmap buttons, background and
// fonts, the painting of its three texts, and its slide in from the taskbar's edge and out
// again. The texts live in a ToastTextModel; the painter draws them and the hidden static
// controls 1110-1112 mirror them, so that they can be read from outside.
#pragma once

#include <windows.h>

#include <string>

#include "dib.h"
#include "request_text.h"

constexpr int IDD_REQUEST_TOAST = 1008;
// wParam 1: the toast has slid in; 0: it has slid out.
constexpr UINT UM_TOAST_SLID = 0x81F5;

struct Toast {
    HWND dialog = nullptr;
    ToastTextModel texts;
    int titleExtra = 0;            // how much higher than 25 pixels the wrapped title is
    HFONT deviceFont = nullptr;    // title
    HFONT messageFont = nullptr;
    HFONT boldFont = nullptr;      // lower (countdown) text
    Dib background;
    bool backgroundLoaded = false;
    volatile LONG slidingOut = 0;
};

// Fonts, theme rows, mirroring, layout, background (whose size becomes the dialog's) and the
// bitmap buttons.
void InitToast(HWND dialog, Toast& toast);
void FreeToast(Toast& toast);

// Texts: each stored, mirrored into its hidden control and repainted.
void SetToastTitle(Toast& toast, const std::wstring& title);
void SetToastMessage(Toast& toast, const std::wstring& message);
void SetToastLower(Toast& toast, const std::wstring& lower);

// [REQUEST] key with one or two names (8-bit, OEM code page), fitted with "..." into the
// message area or, with `lower`, into the lower strip.
std::wstring LayoutRequestText(Toast& toast, bool lower, const wchar_t* key, const char* first,
                               const char* second);
// The lower text of a countdown; only a changed text is stored and repainted.
void SetRequestAnswerText(Toast& toast, uint32_t seconds);

void SlideInToast(Toast& toast);
// At most one slide-out at a time; ends with UM_TOAST_SLID 0 posted to the dialog.
void StartSlideOut(Toast& toast);

void ShowToastButton(HWND dialog, int id, bool show);
// The messages every toast handles the same way (painting, owner-drawn buttons, no erasing);
// TRUE when `message` was one of them (the result is then in `*result`).
BOOL ToastCommonMessage(Toast& toast, UINT message, WPARAM wParam, LPARAM lParam, INT_PTR* result);
