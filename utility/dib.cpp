#include "dib.h"

#include <cstring>

#include "win_handles.h"

namespace {
HMODULE g_resourceModule = nullptr;

void AttachLayout(Dib* dib, const BYTE* packed, const DibLayout& layout) {
    dib->info = reinterpret_cast<const BITMAPINFO*>(packed);
    dib->bits = packed + layout.bitsOffset;
    dib->layout = layout;
}
}  // namespace

void SetResourceModule(HMODULE module) { g_resourceModule = module; }
HMODULE GetResourceModule() { return g_resourceModule; }

BOOL LoadDibPacked(Dib* dib, const void* packed, size_t size, bool copy) {
    if (!dib || !packed) return FALSE;
    DibLayout layout;
    if (!ParsePackedDib(static_cast<const uint8_t*>(packed), size, 0, &layout)) return FALSE;
    FreeDib(dib);
    const BYTE* base = static_cast<const BYTE*>(packed);
    if (copy) {
        dib->owned.assign(base, base + size);
        base = dib->owned.data();
    }
    AttachLayout(dib, base, layout);
    CreateDibPalette(dib, &dib->info->bmiHeader);
    return TRUE;
}

BOOL LoadDib(Dib* dib, const wchar_t* idOrPath, BOOL fromFile) {
    if (!dib || !idOrPath) return FALSE;
    if (fromFile) return LoadDibFile(dib, idOrPath);
    HRSRC found = FindResourceW(g_resourceModule, idOrPath, reinterpret_cast<LPCWSTR>(RT_BITMAP));
    if (!found) return FALSE;
    HGLOBAL loaded = LoadResource(g_resourceModule, found);
    const void* data = loaded ? LockResource(loaded) : nullptr;
    DWORD size = SizeofResource(g_resourceModule, found);
    // Another theme is another library: its bitmaps get the same checks as files.
    return data ? LoadDibPacked(dib, data, size, false) : FALSE;
}

BOOL LoadDibFile(Dib* dib, const wchar_t* path) {
    if (!dib || !path) return FALSE;
    qz::FileHandle file(CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                    FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return FALSE;
    LARGE_INTEGER length{};
    if (!GetFileSizeEx(file.get(), &length) || length.QuadPart < 14 ||
        length.QuadPart > 64 * 1024 * 1024) {
        return FALSE;
    }
    std::vector<BYTE> bytes(static_cast<size_t>(length.QuadPart));
    DWORD read = 0;
    if (!ReadFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr) ||
        read != bytes.size()) {
        return FALSE;
    }
    DibLayout layout;
    size_t packedSize = 0;
    if (!ParseDibFile(bytes.data(), bytes.size(), &layout, &packedSize)) return FALSE;
    FreeDib(dib);
    dib->owned.assign(bytes.begin() + 14, bytes.begin() + 14 + static_cast<ptrdiff_t>(packedSize));
    AttachLayout(dib, dib->owned.data(), layout);
    CreateDibPalette(dib, &dib->info->bmiHeader);
    return TRUE;
}

void CreateDibPalette(Dib* dib, const BITMAPINFOHEADER* header) {
    if (!dib || !header) return;
    dib->width = dib->layout.width;
    dib->height = dib->layout.height;
    dib->colours = header->biBitCount <= 8 ? dib->layout.colours : 0;
    if (dib->palette) {
        DeleteObject(dib->palette);
        dib->palette = nullptr;
    }
    if (!dib->colours) return;
    std::vector<BYTE> storage(sizeof(LOGPALETTE) + dib->colours * sizeof(PALETTEENTRY));
    auto* palette = reinterpret_cast<LOGPALETTE*>(storage.data());
    palette->palVersion = 0x300;
    palette->palNumEntries = static_cast<WORD>(dib->colours);
    const auto* table = reinterpret_cast<const BYTE*>(dib->info) + dib->layout.colourTableOffset;
    for (UINT i = 0; i < dib->colours; ++i) {
        palette->palPalEntry[i] = {table[i * 4 + 2], table[i * 4 + 1], table[i * 4], 0};
    }
    dib->palette = CreatePalette(palette);
}

void DrawDibPart(HDC dc, const Dib* dib, int x, int y, int w, int h, int srcX, int srcY, int srcW,
                 int srcH, DWORD rop) {
    if (!dib || !dib->info) return;
    HPALETTE oldPalette = nullptr;
    if (dib->palette) {
        oldPalette = SelectPalette(dc, dib->palette, FALSE);
        RealizePalette(dc);
    }
    int oldMode = SetStretchBltMode(dc, COLORONCOLOR);
    // StretchDIBits counts source rows from the bottom of a bottom-up DIB.
    int sy = dib->layout.bottomUp ? dib->height - srcY - srcH : srcY;
    StretchDIBits(dc, x, y, w, h, srcX, sy, srcW, srcH, dib->bits, dib->info, DIB_RGB_COLORS, rop);
    SetStretchBltMode(dc, oldMode);
    if (oldPalette) SelectPalette(dc, oldPalette, FALSE);
}

void PaintDib(HWND window, const Dib* dib, BOOL useWindowDC) {
    if (!dib || !dib->info) return;
    HDC dc = useWindowDC ? GetWindowDC(window) : GetDC(window);
    if (!dc) return;
    DrawDibPart(dc, dib, 0, 0, dib->width, dib->height, 0, 0, dib->width, dib->height);
    ReleaseDC(window, dc);
}

void FreeDib(Dib* dib) {
    if (!dib) return;
    if (dib->palette) DeleteObject(dib->palette);
    dib->palette = nullptr;
    dib->info = nullptr;
    dib->bits = nullptr;
    dib->owned.clear();
    dib->owned.shrink_to_fit();
    dib->colours = 0;
    dib->width = dib->height = 0;
}

BOOL MakeDibWritable(Dib* dib) {
    if (!dib || !dib->info) return FALSE;
    if (!dib->owned.empty()) return TRUE;
    const BYTE* base = reinterpret_cast<const BYTE*>(dib->info);
    dib->owned.assign(base, base + dib->layout.bitsOffset + dib->layout.bitsSize);
    AttachLayout(dib, dib->owned.data(), dib->layout);
    return TRUE;
}

std::vector<RECT> OpaqueRuns(const Dib* dib, int x0, int w) {
    std::vector<RECT> runs;
    if (!dib || !dib->info || dib->layout.bitCount != 8) return runs;
    const DibLayout& d = dib->layout;
    if (x0 < 0 || w <= 0 || x0 + w > d.width) return runs;
    const auto* packed = reinterpret_cast<const uint8_t*>(dib->info);
    const uint32_t transparent = DibPixel(packed, d, 0, 0);
    for (int row = 0; row < d.height; ++row) {
        int y = d.bottomUp ? d.height - 1 - row : row;
        int start = -1;
        for (int x = x0; x <= x0 + w; ++x) {
            bool opaque = x < x0 + w && DibPixel(packed, d, x, row) != transparent;
            if (opaque && start < 0) start = x;
            if (!opaque && start >= 0) {
                runs.push_back({start - x0, y, x - x0, y + 1});
                start = -1;
            }
        }
    }
    return runs;
}

HRGN RegionFromRuns(const std::vector<RECT>& runs) {
    std::vector<BYTE> storage(sizeof(RGNDATAHEADER) + runs.size() * sizeof(RECT));
    auto* data = reinterpret_cast<RGNDATA*>(storage.data());
    data->rdh.dwSize = sizeof(RGNDATAHEADER);
    data->rdh.iType = RDH_RECTANGLES;
    data->rdh.nCount = static_cast<DWORD>(runs.size());
    data->rdh.nRgnSize = static_cast<DWORD>(runs.size() * sizeof(RECT));
    RECT bounds{0, 0, 0, 0};
    for (const RECT& r : runs) {
        if (IsRectEmpty(&bounds)) {
            bounds = r;
        } else {
            UnionRect(&bounds, &bounds, &r);
        }
    }
    data->rdh.rcBound = bounds;
    if (!runs.empty()) memcpy(data->Buffer, runs.data(), runs.size() * sizeof(RECT));
    return ExtCreateRegion(nullptr, static_cast<DWORD>(storage.size()), data);
}

BOOL CreateRegionFromDib(HWND window, const Dib* dib) {
    if (!dib || !dib->info || dib->layout.bitCount != 8) return FALSE;
    HRGN region = RegionFromRuns(OpaqueRuns(dib, 0, dib->width));
    if (!region) return FALSE;
    if (!SetWindowRgn(window, region, TRUE)) {
        DeleteObject(region);
        return FALSE;
    }
    return TRUE;
}

void ApplyBitmapShape(HWND window, const Dib* dib) {
    if (!window || !dib || !dib->info) return;
    LONG_PTR style = GetWindowLongPtrW(window, GWL_STYLE);
    SetWindowLongPtrW(window, GWL_STYLE, style & ~static_cast<LONG_PTR>(WS_BORDER | WS_THICKFRAME));
    LONG_PTR ex = GetWindowLongPtrW(window, GWL_EXSTYLE);
    SetWindowLongPtrW(window, GWL_EXSTYLE, ex & ~static_cast<LONG_PTR>(WS_EX_DLGMODALFRAME));
    SetWindowPos(window, nullptr, 0, 0, dib->width, dib->height,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
    CreateRegionFromDib(window, dib);
    PaintDib(window, dib, TRUE);
}

void DrawFramePieces(HDC dc, const Dib* p, int w, int h) {
    auto stretch = [dc](const Dib& d, int x, int y, int width, int height) {
        if (width > 0 && height > 0) DrawDibPart(dc, &d, x, y, width, height, 0, 0, d.width, d.height);
    };
    stretch(p[0], 0, 0, p[0].width, p[0].height);
    stretch(p[1], w - p[1].width, 0, p[1].width, p[1].height);
    stretch(p[2], p[0].width, 0, w - p[0].width - p[1].width, p[2].height);
    stretch(p[3], 0, h - p[3].height, p[3].width, p[3].height);
    stretch(p[4], 0, p[0].height, p[4].width, h - p[0].height - p[3].height);
    stretch(p[5], w - p[5].width, h - p[5].height, p[5].width, p[5].height);
    stretch(p[6], w - p[6].width, p[1].height, p[6].width, h - p[1].height - p[5].height);
    stretch(p[7], p[3].width, h - p[7].height, w - p[3].width - p[5].width, p[7].height);
    stretch(p[8], 12, 14, p[8].width, p[8].height);
}
