// Validation of device-independent bitmaps from files and from other modules' resources.
// No Windows headers: the parser is also built natively for fuzzing.
#pragma once

#include <cstddef>
#include <cstdint>

struct DibLayout {
    uint32_t headerSize = 0;
    int32_t width = 0;
    int32_t height = 0;  // always positive; see bottomUp
    bool bottomUp = true;
    uint16_t bitCount = 0;
    uint32_t compression = 0;
    uint32_t colours = 0;         // entries of the colour table
    size_t colourTableOffset = 0; // from the start of the packed DIB
    size_t bitsOffset = 0;        // from the start of the packed DIB
    size_t stride = 0;            // bytes per row
    size_t bitsSize = 0;          // stride x height
};

// Largest side we accept; keeps stride x height far from overflow.
constexpr int32_t kMaxDibSide = 16384;

// A packed DIB (info header, colour table, bits) of `size` bytes. bitsOffset 0 means "right
// after the colour table"; otherwise it is the file's own offset of the bits, relative to the
// packed DIB. Accepts uncompressed 1, 4, 8, 16, 24 and 32-bit images and bit fields for 16 and
// 32 bits; everything must lie inside the bytes given.
bool ParsePackedDib(const uint8_t* data, size_t size, size_t bitsOffset, DibLayout* out);

// A bitmap file: "BM", a file size of at least the two headers and at most the real length,
// then the packed DIB. On success packedOffset is 14 and packedSize the DIB's bytes.
bool ParseDibFile(const uint8_t* data, size_t size, DibLayout* out, size_t* packedSize);

// Colour index (8 or 4 bits) or packed colour (24 bits: 0xRRGGBB) of a pixel; row 0 is the
// first row of the bits (the bottom row of a bottom-up DIB). Callers stay inside the layout.
uint32_t DibPixel(const uint8_t* packed, const DibLayout& layout, int32_t x, int32_t row);
