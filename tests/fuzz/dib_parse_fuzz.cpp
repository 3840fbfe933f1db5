// Feeds arbitrary bytes to the bitmap file and packed-DIB checks and reads every pixel of an
// accepted image, so that a layout that passes the checks but points outside the input shows
// up under the address sanitizer.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "dib_parse.h"

namespace {

void ReadAll(const uint8_t* packed, const DibLayout& d) {
    volatile uint32_t sink = 0;
    for (int32_t row = 0; row < d.height; ++row) {
        for (int32_t x = 0; x < d.width; ++x) sink = sink + DibPixel(packed, d, x, row);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // A private copy, so that reads past the input are reads past a heap block.
    std::vector<uint8_t> bytes(data, data + size);
    DibLayout layout;
    size_t packedSize = 0;
    if (ParseDibFile(bytes.data(), bytes.size(), &layout, &packedSize)) {
        if (packedSize + 14 > size || layout.width <= 0 || layout.height <= 0) std::abort();
        std::vector<uint8_t> packed(bytes.begin() + 14, bytes.begin() + 14 + static_cast<ptrdiff_t>(packedSize));
        if (layout.bitCount == 1 || layout.bitCount == 4 || layout.bitCount == 8 ||
            layout.bitCount == 24 || layout.bitCount == 32 || layout.bitCount == 16) {
            ReadAll(packed.data(), layout);
        }
    }
    if (size > 14 && ParsePackedDib(bytes.data() + 14, size - 14, 0, &layout)) {
        std::vector<uint8_t> packed(bytes.begin() + 14, bytes.end());
        ReadAll(packed.data(), layout);
    }
    return 0;
}
