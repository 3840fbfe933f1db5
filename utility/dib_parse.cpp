#include "dib_parse.h"

#include "byte_reader.h"

namespace {

constexpr uint32_t kBiRgb = 0;
constexpr uint32_t kBiBitfields = 3;
constexpr size_t kFileHeaderSize = 14;

bool KnownHeaderSize(uint32_t size) {
    return size == 40 || size == 52 || size == 56 || size == 108 || size == 124;
}

}  // namespace

bool ParsePackedDib(const uint8_t* data, size_t size, size_t bitsOffset, DibLayout* out) {
    qz::ByteReader r(data, size);
    DibLayout d;
    d.headerSize = r.u32le();
    int32_t width = static_cast<int32_t>(r.u32le());
    int32_t height = static_cast<int32_t>(r.u32le());
    uint16_t planes = r.u16le();
    d.bitCount = r.u16le();
    d.compression = r.u32le();
    r.skip(4 + 4 + 4);  // image size, resolution
    uint32_t used = r.u32le();
    if (!r.ok() || !KnownHeaderSize(d.headerSize) || d.headerSize > size || planes != 1) return false;
    if (width <= 0 || width > kMaxDibSide || height == 0 || height < -kMaxDibSide ||
        height > kMaxDibSide) {
        return false;
    }
    d.width = width;
    d.bottomUp = height > 0;
    d.height = height > 0 ? height : -height;
    switch (d.bitCount) {
        case 1: case 4: case 8: case 24:
            if (d.compression != kBiRgb) return false;
            break;
        case 16: case 32:
            if (d.compression != kBiRgb && d.compression != kBiBitfields) return false;
            break;
        default:
            return false;
    }
    if (d.bitCount <= 8) {
        uint32_t max = 1u << d.bitCount;
        if (used > max) return false;
        d.colours = used ? used : max;
    } else {
        if (used > 256) return false;
        d.colours = used;
    }
    // Bit-field masks follow a 40-byte header; larger headers hold them inside.
    size_t masks = (d.compression == kBiBitfields && d.headerSize == 40) ? 12 : 0;
    d.colourTableOffset = d.headerSize + masks;
    size_t tableEnd = d.colourTableOffset + size_t(d.colours) * 4;
    d.stride = ((size_t(d.width) * d.bitCount + 31) / 32) * 4;
    d.bitsSize = d.stride * size_t(d.height);
    d.bitsOffset = bitsOffset ? bitsOffset : tableEnd;
    if (tableEnd > size || d.bitsOffset < tableEnd || d.bitsOffset > size ||
        d.bitsSize > size - d.bitsOffset) {
        return false;
    }
    *out = d;
    return true;
}

bool ParseDibFile(const uint8_t* data, size_t size, DibLayout* out, size_t* packedSize) {
    qz::ByteReader r(data, size);
    uint16_t magic = r.u16le();
    uint32_t fileSize = r.u32le();
    r.skip(4);
    uint32_t offBits = r.u32le();
    if (!r.ok() || magic != 0x4D42) return false;
    if (fileSize < kFileHeaderSize + 40 || fileSize > size) return false;
    size_t packed = fileSize - kFileHeaderSize;
    size_t bitsOffset = 0;
    if (offBits) {
        if (offBits < kFileHeaderSize || offBits > fileSize) return false;
        bitsOffset = offBits - kFileHeaderSize;
    }
    if (!ParsePackedDib(data + kFileHeaderSize, packed, bitsOffset, out)) return false;
    if (packedSize) *packedSize = packed;
    return true;
}

uint32_t DibPixel(const uint8_t* packed, const DibLayout& d, int32_t x, int32_t row) {
    const uint8_t* line = packed + d.bitsOffset + d.stride * size_t(row);
    switch (d.bitCount) {
        case 8:
            return line[x];
        case 4:
            return (x & 1) ? (line[x / 2] & 0x0F) : (line[x / 2] >> 4);
        case 1:
            return (line[x / 8] >> (7 - (x % 8))) & 1;
        case 24: {
            const uint8_t* p = line + size_t(x) * 3;
            return (uint32_t(p[2]) << 16) | (uint32_t(p[1]) << 8) | p[0];
        }
        case 32: {
            const uint8_t* p = line + size_t(x) * 4;
            return (uint32_t(p[2]) << 16) | (uint32_t(p[1]) << 8) | p[0];
        }
        default: {
            const uint8_t* p = line + size_t(x) * 2;
            return uint32_t(p[0]) | (uint32_t(p[1]) << 8);
        }
    }
}
