// Bitmap files loaded for painting on the wizard pages.
#pragma once

#include <windows.h>

#include <cstdint>

// A bitmap loaded from a file: the file without its 14-byte header, kept locked.
struct DibImage {
    HGLOBAL memory;
    HPALETTE palette;
    BYTE* data;  // information header, colour table, bits
    uint32_t colours;
    int32_t width;
    int32_t height;
};

// 1 when loaded; any failure leaves the image empty.
int LoadBitmapFile(HWND window, DibImage* image, const char* path);
void FreeBitmapFile(DibImage* image);
// Paints both images at their positions and the two texts in their rectangles.
void PaintBitmap(HWND window, const DibImage* background, const DibImage* foreground, const POINT* backgroundPos,
                 const POINT* foregroundPos, const RECT* rect1, const RECT* rect2, HFONT font1, HFONT font2,
                 const char* text1, const char* text2);
