// Checks of a BMP file's bytes before any of them is used: the file header, a known
// information header, a bounded colour table, and pixel rows that lie inside the data.
// No Windows types here, so the checks also build natively for fuzzing.
#pragma once

#include <cstddef>
#include <cstdint>

constexpr size_t kBitmapFileHeaderBytes = 14;
constexpr uint32_t kMaxBitmapColours = 256;

struct BitmapLayout {
    uint32_t infoSize = 0;
    int32_t width = 0;
    int32_t height = 0;  // negative for rows stored top-down
    uint16_t bitCount = 0;
    uint32_t compression = 0;
    uint32_t colours = 0;       // colour-table entries used
    size_t colourOffset = 0;    // from the start of the block (the information header)
    size_t bitsOffset = 0;
    size_t bitsSize = 0;        // stride x rows
};

// The 14-byte file header: "BM".
bool CheckBitmapFileHeader(const uint8_t* data, size_t size);
// The block after the file header: information header, colour table, bits.
bool ParseBitmapBlock(const uint8_t* block, size_t size, BitmapLayout* layout);
