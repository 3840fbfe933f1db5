// Texts measured against controls: path shortening, wrapped label heights, edit limits.
#pragma once

#include <windows.h>

// text, or a shortened form ("C:\...\last\folders" or "start...") that fits the control.
void FitTextToWidth(HWND dialog, int controlId, const char* text, char* out, size_t outSize, HFONT font);
// The edit control's text, up to its text limit and the buffer; 1 when done.
int LimitDlgItemText(HWND dialog, int controlId, char* buffer, size_t bufferSize);
// Resizes the control to rect's width and the text's wrapped height; returns the height.
int FitLabelHeight(HWND control, HFONT font, const char* text, const RECT* rect);
int GetTextWidth(HWND window, HFONT font, const char* text, int margin);
int GetTextHeight(HWND window, HFONT font, const char* text, const RECT* rect);
