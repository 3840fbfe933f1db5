#include "bitmap_file.h"

#include "bitmap_builder.h"
#include "scratch.h"

#include <gtest/gtest.h>

#include <functional>

namespace {

std::string Store(const ScratchFolder& dir, const char* name, const BmpBytes& bmp) {
    std::string path = dir / name;
    WriteFileText(path, std::string(bmp.bytes.begin(), bmp.bytes.end()));
    return path;
}

}  // namespace

TEST(LoadBitmapFile, GoodEightAndTwentyFourBitFiles) {
    ScratchFolder dir("bmp_good");
    DibImage image;
    ASSERT_EQ(LoadBitmapFile(nullptr, &image, Store(dir, "8.bmp", MakeBmp(33, 5, 8, 1, 2, 3)).c_str()), 1);
    EXPECT_EQ(image.colours, 256u);
    EXPECT_EQ(image.width, 33);
    EXPECT_EQ(image.height, 5);
    ASSERT_NE(image.palette, nullptr);
    PALETTEENTRY entry{};
    ASSERT_EQ(GetPaletteEntries(image.palette, 7, 1, &entry), 1u);
    EXPECT_EQ(entry.peRed, 1);
    EXPECT_EQ(entry.peGreen, 2);
    EXPECT_EQ(entry.peBlue, 3);
    EXPECT_EQ(reinterpret_cast<BITMAPINFOHEADER*>(image.data)->biSize, 40u);
    FreeBitmapFile(&image);
    EXPECT_EQ(image.memory, nullptr);

    // A file that states more colours than it may hold is drawn with the table that was read.
    BmpBytes many = MakeBmp(33, 5, 8, 1, 2, 3);
    many.Put32(BmpBytes::kColoursUsed, 300);
    ASSERT_EQ(LoadBitmapFile(nullptr, &image, Store(dir, "many.bmp", many).c_str()), 1);
    EXPECT_EQ(image.colours, 256u);
    EXPECT_EQ(reinterpret_cast<BITMAPINFOHEADER*>(image.data)->biClrUsed, 256u);
    FreeBitmapFile(&image);

    ASSERT_EQ(LoadBitmapFile(nullptr, &image, Store(dir, "24.bmp", MakeBmp(7, 3, 24, 0, 0, 0)).c_str()), 1);
    EXPECT_EQ(image.colours, 0u);
    EXPECT_EQ(image.palette, nullptr);
    FreeBitmapFile(&image);
}

TEST(LoadBitmapFile, MalformedFilesAreRefused) {
    const struct { const char* name; std::function<void(BmpBytes&)> spoil; } kCases[] = {
        {"not BM", [](BmpBytes& b) { b.bytes[0] = 'P'; }},
        {"truncated bits", [](BmpBytes& b) { b.bytes.resize(b.bytes.size() - 1); }},
        {"header only", [](BmpBytes& b) { b.bytes.resize(20); }},
        {"file header only", [](BmpBytes& b) { b.bytes.resize(14); }},
        {"huge height", [](BmpBytes& b) { b.Put32(BmpBytes::kHeight, 30000); }},
        {"huge width", [](BmpBytes& b) { b.Put32(BmpBytes::kWidth, 0x7FFFFFFF); }},
        {"negative width", [](BmpBytes& b) { b.Put32(BmpBytes::kWidth, 0xFFFFFFF0); }},
        {"unknown info header", [](BmpBytes& b) { b.Put32(BmpBytes::kInfoSize, 64); }},
        {"odd bit count", [](BmpBytes& b) { b.Put16(BmpBytes::kBitCount, 7); }},
        // A 24-bit file that holds its bits and nothing else: a stated colour table (capped at
        // 256 entries) does not fit before them.
        {"huge colour count", [](BmpBytes& b) {
             b.Put16(BmpBytes::kBitCount, 24);
             b.Put32(BmpBytes::kColoursUsed, 1u << 30);
             b.bytes.resize(54 + 16 * 16 * 3);
         }},
    };
    ScratchFolder dir("bmp_bad");
    for (const auto& c : kCases) {
        BmpBytes bmp = MakeBmp(16, 16, 8, 1, 1, 1);
        c.spoil(bmp);
        DibImage image;
        EXPECT_EQ(LoadBitmapFile(nullptr, &image, Store(dir, "bad.bmp", bmp).c_str()), 0) << c.name;
        EXPECT_EQ(image.memory, nullptr) << c.name;
    }
    // The header's file size is not believed: the real size decides.
    BmpBytes lying = MakeBmp(16, 16, 24, 1, 1, 1);
    lying.Put32(BmpBytes::kFileSize, 0xFFFFFFF0);
    DibImage image;
    EXPECT_EQ(LoadBitmapFile(nullptr, &image, Store(dir, "lying.bmp", lying).c_str()), 1);
    FreeBitmapFile(&image);
    lying.Put32(BmpBytes::kFileSize, 3);  // smaller than a header: would underflow
    EXPECT_EQ(LoadBitmapFile(nullptr, &image, Store(dir, "lying.bmp", lying).c_str()), 1);
    FreeBitmapFile(&image);
    EXPECT_EQ(LoadBitmapFile(nullptr, &image, (dir / "missing.bmp").c_str()), 0);
}
