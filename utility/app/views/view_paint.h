// Painting that the list and the tree share: the selection bar and the empty-view message.
#pragma once

#include <windows.h>

#include <string>

#include "dib.h"

// The bar bitmap over a row: its first 66 pixel columns from `left`, column 66 stretched to
// `right` - 2, columns 67-68 as the last 2 pixels.
void DrawSelectionBar(HDC dc, const Dib* bar, int left, int right, int top, int height);
// The message of an empty view: white background, the text centred and word-wrapped in the
// client rectangle narrowed by 62 pixels on the left and 30 on the right from `textTop` down,
// and the system icon 47 pixels left of the widest line, 4 pixels above the text.
void PaintEmptyMessage(HWND window, HDC dc, HFONT font, const std::wstring& text, LPCWSTR icon, int textTop);
