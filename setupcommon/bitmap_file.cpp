#include "bitmap_file.h"

#include "bitmap_parse.h"
#include "dialog_layout.h"

#include <win_handles.h>

#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

constexpr LONGLONG kMaxBitmapFileBytes = 64LL * 1024 * 1024;

bool ReadExactly(HANDLE file, void* buffer, DWORD bytes) {
    DWORD got = 0;
    return ReadFile(file, buffer, bytes, &got, nullptr) && got == bytes;
}

HPALETTE CreateImagePalette(const BYTE* data, const BitmapLayout& layout) {
    if (layout.colours == 0) return nullptr;
    std::vector<BYTE> storage(sizeof(LOGPALETTE) + sizeof(PALETTEENTRY) * layout.colours);
    auto* palette = reinterpret_cast<LOGPALETTE*>(storage.data());
    palette->palVersion = 0x300;
    palette->palNumEntries = static_cast<WORD>(layout.colours);
    const BYTE* table = data + layout.colourOffset;  // RGBQUAD: blue, green, red, reserved
    for (uint32_t i = 0; i < layout.colours; ++i) {
        palette->palPalEntry[i].peRed = table[i * 4 + 2];
        palette->palPalEntry[i].peGreen = table[i * 4 + 1];
        palette->palPalEntry[i].peBlue = table[i * 4];
        palette->palPalEntry[i].peFlags = 0;
    }
    return CreatePalette(palette);
}

void DrawImage(HDC dc, const DibImage* image, const POINT* pos) {
    if (!image || !image->data || !pos) return;
    BitmapLayout layout;
    if (!ParseBitmapBlock(image->data, GlobalSize(image->memory), &layout)) return;
    int width = image->width;
    int height = std::abs(image->height);
    int x = pos->x;
    if (RtlLayout) {
        // Drawn mirrored so that it shows the right way round in a mirrored window.
        x += width;
        width = -width;
    }
    StretchDIBits(dc, x, pos->y, width, height, 0, 0, image->width, height, image->data + layout.bitsOffset,
                  reinterpret_cast<const BITMAPINFO*>(image->data), DIB_RGB_COLORS, SRCCOPY);
}

void DrawWrapped(HDC dc, const RECT* rect, HFONT font, const char* text) {
    if (!rect || !text) return;
    HGDIOBJ old = font ? SelectObject(dc, font) : nullptr;
    RECT r = *rect;
    DrawTextA(dc, text, -1, &r, DT_WORDBREAK);
    if (old) SelectObject(dc, old);
}

}  // namespace

void FreeBitmapFile(DibImage* image) {
    if (!image) return;
    if (image->memory) {
        if (image->data) GlobalUnlock(image->memory);
        GlobalFree(image->memory);
    }
    if (image->palette) DeleteObject(image->palette);
    *image = DibImage{};
}

int LoadBitmapFile(HWND /*window*/, DibImage* image, const char* path) {
    if (!image) return 0;
    *image = DibImage{};
    if (!path) return 0;
    qz::FileHandle file(CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                    FILE_ATTRIBUTE_NORMAL, nullptr));
    LARGE_INTEGER fileSize{};
    if (!file || !GetFileSizeEx(file.get(), &fileSize)) return 0;
    // The block size comes from the file itself, never from the header's size field.
    if (fileSize.QuadPart <= static_cast<LONGLONG>(kBitmapFileHeaderBytes) || fileSize.QuadPart > kMaxBitmapFileBytes) {
        return 0;
    }
    BYTE header[kBitmapFileHeaderBytes];
    if (!ReadExactly(file.get(), header, sizeof header) || !CheckBitmapFileHeader(header, sizeof header)) return 0;
    DWORD blockBytes = static_cast<DWORD>(fileSize.QuadPart - kBitmapFileHeaderBytes);
    DibImage loaded{};
    loaded.memory = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, blockBytes);
    if (loaded.memory) loaded.data = static_cast<BYTE*>(GlobalLock(loaded.memory));
    BitmapLayout layout;
    if (!loaded.data || !ReadExactly(file.get(), loaded.data, blockBytes) ||
        !ParseBitmapBlock(loaded.data, blockBytes, &layout)) {
        FreeBitmapFile(&loaded);
        return 0;
    }
    // The image is drawn with this header: it must state the colour table as it was read, not
    // the file's own count, or the drawing reads past the table.
    auto* info = reinterpret_cast<BITMAPINFOHEADER*>(loaded.data);
    if (info->biClrUsed != 0) info->biClrUsed = layout.colours;
    loaded.colours = layout.colours;
    loaded.width = layout.width;
    loaded.height = layout.height;
    loaded.palette = CreateImagePalette(loaded.data, layout);
    if (layout.colours && !loaded.palette) {
        FreeBitmapFile(&loaded);
        return 0;
    }
    *image = loaded;
    return 1;
}

void PaintBitmap(HWND window, const DibImage* background, const DibImage* foreground, const POINT* backgroundPos,
                 const POINT* foregroundPos, const RECT* rect1, const RECT* rect2, HFONT font1, HFONT font2,
                 const char* text1, const char* text2) {
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(window, &paint);
    if (!dc) return;
    HPALETTE oldPalette = nullptr;
    if (foreground && foreground->palette) {
        oldPalette = SelectPalette(dc, foreground->palette, FALSE);
        RealizePalette(dc);
    }
    DrawImage(dc, background, backgroundPos);
    DrawImage(dc, foreground, foregroundPos);
    SetBkMode(dc, TRANSPARENT);
    DrawWrapped(dc, rect1, font1, text1);
    DrawWrapped(dc, rect2, font2, text2);
    if (oldPalette) SelectPalette(dc, oldPalette, FALSE);
    EndPaint(window, &paint);
}
