// BMP files made in memory for the bitmap tests: 8-bit with a palette or 24-bit, every pixel
// of one colour, with fields that a test may spoil afterwards.
#pragma once

#include <cstdint>
#include <cstring>
#include <vector>

struct BmpBytes {
    std::vector<uint8_t> bytes;
    void Put32(size_t at, uint32_t v) { std::memcpy(&bytes[at], &v, 4); }
    void Put16(size_t at, uint16_t v) { std::memcpy(&bytes[at], &v, 2); }
    // Offsets in the file of the fields the tests change.
    static constexpr size_t kFileSize = 2, kInfoSize = 14, kWidth = 18, kHeight = 22, kBitCount = 28,
                            kColoursUsed = 46;
};

// red, green, blue of the one colour.
inline BmpBytes MakeBmp(int width, int height, int bitCount, uint8_t r, uint8_t g, uint8_t b) {
    uint32_t colours = bitCount == 8 ? 256 : 0;
    uint32_t stride = ((width * bitCount + 31) / 32) * 4;
    uint32_t bitsOffset = 14 + 40 + colours * 4;
    BmpBytes bmp;
    bmp.bytes.assign(bitsOffset + stride * height, 0);
    bmp.bytes[0] = 'B';
    bmp.bytes[1] = 'M';
    bmp.Put32(BmpBytes::kFileSize, static_cast<uint32_t>(bmp.bytes.size()));
    bmp.Put32(10, bitsOffset);
    bmp.Put32(BmpBytes::kInfoSize, 40);
    bmp.Put32(BmpBytes::kWidth, width);
    bmp.Put32(BmpBytes::kHeight, height);
    bmp.Put16(26, 1);
    bmp.Put16(BmpBytes::kBitCount, static_cast<uint16_t>(bitCount));
    bmp.Put32(BmpBytes::kColoursUsed, colours);
    if (bitCount == 8) {
        // Entry 7 holds the colour; every pixel uses it.
        bmp.bytes[54 + 7 * 4] = b;
        bmp.bytes[54 + 7 * 4 + 1] = g;
        bmp.bytes[54 + 7 * 4 + 2] = r;
        for (int y = 0; y < height; ++y) std::memset(&bmp.bytes[bitsOffset + y * stride], 7, width);
    } else {
        for (int y = 0; y < height; ++y) {
            for (int x = 0; x < width; ++x) {
                uint8_t* p = &bmp.bytes[bitsOffset + y * stride + x * 3];
                p[0] = b;
                p[1] = g;
                p[2] = r;
            }
        }
    }
    return bmp;
}
