// Dialog layout tables with their INI texts, right-to-left mirroring, centring and the small
// window and text-measuring helpers of the utility.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include "theme_api.h"

// Process-wide: set once at start-up when [FONT] DEFAULT names ARABIC.
void SetRightToLeft(bool on);
// True when the message file's [FONT] DEFAULT value contains "ARABIC" (any case).
bool IniWantsRightToLeft(const wchar_t* iniPath);
bool IsRightToLeft();

// Layout modes of row 0 (the dialog itself).
constexpr int kLayoutSizeOnly = 0;  // keep the position; width, caption + height - 19
constexpr int kLayoutMoveSize = 1;  // move and size to the row's rectangle

void ApplyDialogLayout(HWND dialog, HFONT font, const ThemeItemInfo* rows, int mode,
                       const wchar_t* iniPath);
BOOL MirrorDialogControls(HWND dialog, const ThemeItemInfo* rows);
void CenterWindow(HWND window, HWND reference);
BOOL IsRectOnScreen(const RECT* rect);
void ForceForeground(HWND window);

int FitWindowToText(HWND control, HFONT font, const wchar_t* text, int extraWidth, int height);
int FitWindowToTextHeight(HWND control, HFONT font, const wchar_t* text, const RECT* rect);
int MeasureText(HWND window, HFONT font, const wchar_t* text, int extra);
int MeasureTextRect(HWND window, HFONT font, const wchar_t* text, RECT* rect);

// Reads an edit control's text into `text` (capacity `chars`) when it fits the control's
// limit; otherwise puts `text` back, moves the caret one character back and returns FALSE.
BOOL GetDlgItemTextLimited(HWND dialog, int id, wchar_t* text, int chars);
void EnableDlgItem(HWND dialog, int id, BOOL enable);
HIMAGELIST GetSystemImageList(BOOL large);
