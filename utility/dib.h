// Device-independent bitmaps from the theme module's resources or from files, their palettes,
// painting, and window regions cut from a bitmap's transparent colour.
#pragma once

#include <windows.h>

#include <vector>

#include "dib_parse.h"

// Not copyable: its pointers may point into its own `owned` bytes.
struct Dib {
    Dib() = default;
    Dib(const Dib&) = delete;
    Dib& operator=(const Dib&) = delete;

    const BITMAPINFO* info = nullptr;  // the packed DIB: header, colour table, bits
    const BYTE* bits = nullptr;
    HPALETTE palette = nullptr;
    UINT colours = 0;
    int width = 0;
    int height = 0;
    DibLayout layout;
    std::vector<BYTE> owned;  // the bytes, when read from a file or copied
};

// The module whose RT_BITMAP resources LoadDib reads (the theme library).
void SetResourceModule(HMODULE module);
HMODULE GetResourceModule();

// A resource bitmap (validated, used in place) or, with fromFile, the file named by idOrPath.
BOOL LoadDib(Dib* dib, const wchar_t* idOrPath, BOOL fromFile);
BOOL LoadDibFile(Dib* dib, const wchar_t* path);
// The same checks for bytes already in memory (a packed DIB of `size` bytes).
BOOL LoadDibPacked(Dib* dib, const void* packed, size_t size, bool copy);
void CreateDibPalette(Dib* dib, const BITMAPINFOHEADER* header);
void PaintDib(HWND window, const Dib* dib, BOOL useWindowDC);
// Draws a part of the DIB (source rectangle in top-down pixels) into a DC.
void DrawDibPart(HDC dc, const Dib* dib, int x, int y, int w, int h, int srcX, int srcY, int srcW,
                 int srcH, DWORD rop = SRCCOPY);
void FreeDib(Dib* dib);
// The skinned frame of a window of width x height: the nine pieces in the order top-left,
// top-right, top, bottom-left, left, bottom-right, right, bottom (edges stretched between
// their corners) and the logo unstretched at (12, 14).
void DrawFramePieces(HDC dc, const Dib* pieces, int width, int height);
// Gives `dib` its own copy of its bytes, so that they may be changed.
BOOL MakeDibWritable(Dib* dib);

// Rectangles (one pixel high, top-down window rows) of every run of pixels whose value differs
// from the first pixel's, within columns [x0, x0 + w). 8-bit DIBs only.
std::vector<RECT> OpaqueRuns(const Dib* dib, int x0, int w);
HRGN RegionFromRuns(const std::vector<RECT>& runs);
BOOL CreateRegionFromDib(HWND window, const Dib* dib);
void ApplyBitmapShape(HWND window, const Dib* dib);
