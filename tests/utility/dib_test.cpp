// DIBs from files and memory: what is accepted, what is refused, and regions cut from the
// transparent colour.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>

#include "dib.h"
#include "dib_support.h"

namespace {

constexpr uint32_t kMagenta = 0xFF00FF, kRed = 0xFF0000, kWhite = 0xFFFFFF, kBlack = 0;

std::vector<uint8_t> ValidFile() {
    return MakeBmpFile(MakePackedDib(8, 4, 8, [](int x, int) { return x < 4 ? 0u : 1u; },
                                     {kMagenta, kRed}));
}

template <typename T>
void Put(std::vector<uint8_t>& b, size_t offset, T value) {
    std::memcpy(&b[offset], &value, sizeof value);
}

TEST(LoadDibFile, AcceptsAWellFormedFileAndReadsItsGeometry) {
    TempFile file(ValidFile());
    Dib dib;
    ASSERT_TRUE(LoadDibFile(&dib, file.path()));
    EXPECT_EQ(dib.width, 8);
    EXPECT_EQ(dib.height, 4);
    EXPECT_EQ(dib.colours, 2u);
    EXPECT_NE(dib.palette, nullptr);
    FreeDib(&dib);
    EXPECT_EQ(dib.palette, nullptr);
    EXPECT_EQ(dib.info, nullptr);
}

TEST(LoadDibFile, RefusesEveryMalformedHeaderCleanly) {
    using Mutate = void (*)(std::vector<uint8_t>&);
    const struct {
        const char* what;
        Mutate mutate;
    } cases[] = {
        {"magic", [](std::vector<uint8_t>& b) { b[0] = 'X'; }},
        {"size below both headers", [](std::vector<uint8_t>& b) { Put<uint32_t>(b, 2, 53); }},
        {"size above the file", [](std::vector<uint8_t>& b) { Put<uint32_t>(b, 2, uint32_t(b.size() + 1)); }},
        {"core header", [](std::vector<uint8_t>& b) { Put<uint32_t>(b, 14, 12); }},
        {"odd header size", [](std::vector<uint8_t>& b) { Put<uint32_t>(b, 14, 99); }},
        {"header size beyond data", [](std::vector<uint8_t>& b) { Put<uint32_t>(b, 14, 124); }},
        {"zero width", [](std::vector<uint8_t>& b) { Put<int32_t>(b, 18, 0); }},
        {"negative width", [](std::vector<uint8_t>& b) { Put<int32_t>(b, 18, -8); }},
        {"zero height", [](std::vector<uint8_t>& b) { Put<int32_t>(b, 22, 0); }},
        {"huge height", [](std::vector<uint8_t>& b) { Put<int32_t>(b, 22, 0x7FFFFFFF); }},
        {"pixels beyond the file", [](std::vector<uint8_t>& b) { Put<int32_t>(b, 22, 5); }},
        {"planes", [](std::vector<uint8_t>& b) { Put<uint16_t>(b, 26, 2); }},
        {"bit count", [](std::vector<uint8_t>& b) { Put<uint16_t>(b, 28, 7); }},
        {"compressed", [](std::vector<uint8_t>& b) { Put<uint32_t>(b, 30, 1); }},
        {"too many colours", [](std::vector<uint8_t>& b) { Put<uint32_t>(b, 46, 300); }},
        {"colour table beyond the file", [](std::vector<uint8_t>& b) { Put<uint32_t>(b, 46, 256); }},
        {"bits offset beyond the file", [](std::vector<uint8_t>& b) { Put<uint32_t>(b, 10, 0x10000); }},
        {"bits offset inside the headers", [](std::vector<uint8_t>& b) { Put<uint32_t>(b, 10, 20); }},
        {"truncated", [](std::vector<uint8_t>& b) {
             b.resize(b.size() - 3);
             Put<uint32_t>(b, 2, uint32_t(b.size()));
         }},
    };
    for (const auto& c : cases) {
        std::vector<uint8_t> bytes = ValidFile();
        c.mutate(bytes);
        TempFile file(bytes);
        Dib dib;
        EXPECT_FALSE(LoadDibFile(&dib, file.path())) << c.what;
        EXPECT_EQ(dib.info, nullptr) << c.what;
    }
    Dib dib;
    TempFile empty(std::vector<uint8_t>{});
    EXPECT_FALSE(LoadDibFile(&dib, empty.path()));
    EXPECT_FALSE(LoadDibFile(&dib, L"C:\\no\\such\\file.bmp"));
    EXPECT_FALSE(LoadDib(&dib, MAKEINTRESOURCEW(9999), FALSE));
}

TEST(DibRegion, RunsOfNonTransparentPixelsBecomeOnePixelRows) {
    // 6 x 3, top-down view; '.' is the transparent index 0 (the bottom-left pixel), '#' index 1.
    const char* rows[] = {"..##..", "#....#", ".####."};
    std::vector<uint8_t> packed = MakePackedDib(
        6, 3, 8, [&](int x, int y) { return rows[y][x] == '#' ? 1u : 0u; }, {kMagenta, kRed});
    Dib dib;
    ASSERT_TRUE(LoadDibPacked(&dib, packed.data(), packed.size(), true));
    std::vector<RECT> runs = OpaqueRuns(&dib, 0, 6);
    ASSERT_EQ(runs.size(), 4u);
    auto has = [&](RECT want) {
        for (const RECT& r : runs) {
            if (EqualRect(&r, &want)) return true;
        }
        return false;
    };
    EXPECT_TRUE(has({2, 0, 4, 1}));
    EXPECT_TRUE(has({0, 1, 1, 2}));
    EXPECT_TRUE(has({5, 1, 6, 2}));
    EXPECT_TRUE(has({1, 2, 5, 3}));
    // Only the columns asked for, counted from their own left edge.
    std::vector<RECT> right = OpaqueRuns(&dib, 3, 3);
    EXPECT_EQ(right.size(), 3u);

    HWND window = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 6, 3, nullptr, nullptr, nullptr, nullptr);
    ASSERT_TRUE(CreateRegionFromDib(window, &dib));
    HRGN region = CreateRectRgn(0, 0, 0, 0);
    ASSERT_NE(GetWindowRgn(window, region), ERROR);
    EXPECT_TRUE(PtInRegion(region, 2, 0));
    EXPECT_FALSE(PtInRegion(region, 0, 0));
    EXPECT_TRUE(PtInRegion(region, 0, 1));
    EXPECT_FALSE(PtInRegion(region, 0, 2));
    DeleteObject(region);
    DestroyWindow(window);

    std::vector<uint8_t> colour = MakePackedDib(4, 4, 24, [](int, int) { return kWhite; });
    Dib rgb;
    ASSERT_TRUE(LoadDibPacked(&rgb, colour.data(), colour.size(), false));
    EXPECT_FALSE(CreateRegionFromDib(nullptr, &rgb)) << "regions come from 8-bit DIBs only";
    EXPECT_EQ(rgb.colours, 0u);
    FreeDib(&rgb);
    FreeDib(&dib);
}

}  // namespace
