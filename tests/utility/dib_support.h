// Synthetic bitmaps for the DIB and button tests.
#pragma once

#include <windows.h>

#include <cstdint>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "test_support.h"

// A packed bottom-up DIB. bits 8: `pixel` gives colour indexes of a palette whose entry i is
// `palette[i]` (0xRRGGBB); bits 24: `pixel` gives 0xRRGGBB. (x, y) are top-down coordinates.
inline std::vector<uint8_t> MakePackedDib(int width, int height, int bits,
                                          const std::function<uint32_t(int, int)>& pixel,
                                          const std::vector<uint32_t>& palette = {}) {
    const size_t stride = ((size_t(width) * bits + 31) / 32) * 4;
    const size_t colours = bits == 8 ? palette.size() : 0;
    std::vector<uint8_t> dib(40 + colours * 4 + stride * height, 0);
    BITMAPINFOHEADER h{};
    h.biSize = 40;
    h.biWidth = width;
    h.biHeight = height;
    h.biPlanes = 1;
    h.biBitCount = static_cast<WORD>(bits);
    h.biClrUsed = static_cast<DWORD>(colours);
    std::memcpy(dib.data(), &h, 40);
    for (size_t i = 0; i < colours; ++i) {
        dib[40 + i * 4] = palette[i] & 0xFF;
        dib[40 + i * 4 + 1] = (palette[i] >> 8) & 0xFF;
        dib[40 + i * 4 + 2] = (palette[i] >> 16) & 0xFF;
    }
    uint8_t* pixels = dib.data() + 40 + colours * 4;
    for (int y = 0; y < height; ++y) {
        uint8_t* row = pixels + stride * size_t(height - 1 - y);
        for (int x = 0; x < width; ++x) {
            uint32_t v = pixel(x, y);
            if (bits == 8) {
                row[x] = static_cast<uint8_t>(v);
            } else {
                row[x * 3] = v & 0xFF;
                row[x * 3 + 1] = (v >> 8) & 0xFF;
                row[x * 3 + 2] = (v >> 16) & 0xFF;
            }
        }
    }
    return dib;
}

inline std::vector<uint8_t> MakeBmpFile(const std::vector<uint8_t>& packed) {
    std::vector<uint8_t> file(14 + packed.size());
    const uint32_t size = static_cast<uint32_t>(file.size());
    uint32_t colours = 0;
    std::memcpy(&colours, packed.data() + 32, 4);
    const uint32_t offBits = 14 + 40 + colours * 4;
    file[0] = 'B';
    file[1] = 'M';
    std::memcpy(&file[2], &size, 4);
    std::memcpy(&file[10], &offBits, 4);
    std::memcpy(&file[14], packed.data(), packed.size());
    return file;
}
