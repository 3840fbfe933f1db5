#include "bitmap_parse.h"

#include <byte_reader.h>

namespace {

constexpr uint32_t kInfoHeader = 40;    // BITMAPINFOHEADER
constexpr uint32_t kInfoHeaderV4 = 108;
constexpr uint32_t kInfoHeaderV5 = 124;
constexpr uint32_t kRgb = 0;
constexpr uint32_t kBitFields = 3;
constexpr int32_t kMaxDimension = 32768;

uint32_t DefaultColours(uint16_t bitCount) {
    switch (bitCount) {
    case 1: return 2;
    case 4: return 16;
    case 8: return 256;
    default: return 0;
    }
}

}  // namespace

bool CheckBitmapFileHeader(const uint8_t* data, size_t size) {
    return data && size >= kBitmapFileHeaderBytes && data[0] == 'B' && data[1] == 'M';
}

bool ParseBitmapBlock(const uint8_t* block, size_t size, BitmapLayout* layout) {
    if (!block || !layout) return false;
    qz::ByteReader in(block, size);
    BitmapLayout b;
    b.infoSize = in.u32le();
    b.width = static_cast<int32_t>(in.u32le());
    b.height = static_cast<int32_t>(in.u32le());
    uint16_t planes = in.u16le();
    b.bitCount = in.u16le();
    b.compression = in.u32le();
    in.skip(12);  // image size, resolution: not trusted, not needed
    uint32_t coloursUsed = in.u32le();
    if (!in.ok()) return false;
    if (b.infoSize != kInfoHeader && b.infoSize != kInfoHeaderV4 && b.infoSize != kInfoHeaderV5) return false;
    if (planes != 1 || b.width <= 0 || b.width > kMaxDimension || b.height == 0 || b.height < -kMaxDimension ||
        b.height > kMaxDimension) {
        return false;
    }
    switch (b.bitCount) {
    case 1: case 4: case 8: case 24:
        if (b.compression != kRgb) return false;
        break;
    case 16: case 32:
        if (b.compression != kRgb && b.compression != kBitFields) return false;
        break;
    default:
        return false;
    }
    // The colour table: the stated count, but never more than 256, nor more than the bit depth
    // can index.
    uint32_t colours = coloursUsed ? coloursUsed : DefaultColours(b.bitCount);
    if (colours > kMaxBitmapColours) colours = kMaxBitmapColours;
    if (b.bitCount <= 8 && colours > (1u << b.bitCount)) colours = 1u << b.bitCount;
    b.colours = colours;
    uint64_t masks = (b.compression == kBitFields && b.infoSize == kInfoHeader) ? 12 : 0;
    uint64_t colourOffset = b.infoSize + masks;
    uint64_t bitsOffset = colourOffset + uint64_t{colours} * 4;
    uint64_t stride = ((uint64_t{static_cast<uint32_t>(b.width)} * b.bitCount + 31) / 32) * 4;
    uint64_t rows = b.height < 0 ? uint64_t(-int64_t{b.height}) : uint64_t(b.height);
    uint64_t bitsSize = stride * rows;
    if (bitsOffset > size || bitsSize > size - bitsOffset) return false;
    b.colourOffset = static_cast<size_t>(colourOffset);
    b.bitsOffset = static_cast<size_t>(bitsOffset);
    b.bitsSize = static_cast<size_t>(bitsSize);
    *layout = b;
    return true;
}
