// Feeds arbitrary bytes to the bitmap checks as a whole file: what they accept must have its
// headers, colour table and every pixel row inside the data, so that a reader of the layout
// touches only the given bytes.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "bitmap_parse.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (!CheckBitmapFileHeader(data, size)) return 0;
    // A copy of exactly the block, so that a read past it is caught by the sanitizer.
    std::vector<uint8_t> block(data + kBitmapFileHeaderBytes, data + size);
    BitmapLayout layout;
    if (!ParseBitmapBlock(block.data(), block.size(), &layout)) return 0;
    if (layout.colours > kMaxBitmapColours || layout.bitsOffset > block.size() ||
        layout.bitsSize > block.size() - layout.bitsOffset || layout.colourOffset + layout.colours * 4 > layout.bitsOffset ||
        layout.width <= 0 || layout.height == 0) {
        std::abort();
    }
    unsigned sum = 0;
    for (size_t i = 0; i < layout.colours * 4; ++i) sum += block[layout.colourOffset + i];
    for (size_t i = 0; i < layout.bitsSize; ++i) sum += block[layout.bitsOffset + i];
    return sum == 0xFFFFFFFF ? 1 : 0;
}
