#include "font_util.h"

#include <gtest/gtest.h>

TEST(ParseFontText, FaceSizeCharsetAndWeight) {
    LOGFONTA font;
    ASSERT_TRUE(ParseFontText("Tahoma,11,ANSI", &font));
    EXPECT_STREQ(font.lfFaceName, "Tahoma");
    EXPECT_EQ(font.lfHeight, -11);
    EXPECT_EQ(font.lfCharSet, 0);
    EXPECT_EQ(font.lfWeight, 0);
    ASSERT_TRUE(ParseFontText("MS Gothic, 9, shiftjis, SemiBold", &font));
    EXPECT_STREQ(font.lfFaceName, "MS Gothic");
    EXPECT_EQ(font.lfCharSet, 128);
    EXPECT_EQ(font.lfWeight, 600);
    ASSERT_TRUE(ParseFontText("Arial,10,KLINGON,FAT", &font));  // unknown names are 0
    EXPECT_EQ(font.lfCharSet, 0);
    EXPECT_EQ(font.lfWeight, 0);
}

TEST(ParseFontText, MissingFieldsGiveNoFont) {
    LOGFONTA font{};
    font.lfHeight = 99;
    for (const char* text : {"Tahoma,11", "Tahoma", ",11,ANSI", "Tahoma,,ANSI", "Tahoma,11,",
                             "Tahoma,big,ANSI", "", "A face name longer than thirty-one chars,9,ANSI"}) {
        EXPECT_FALSE(ParseFontText(text, &font)) << text;
    }
    EXPECT_EQ(font.lfHeight, 99);
    EXPECT_EQ(FontFromText(nullptr), nullptr);
}

TEST(FontFromText, CreatesTheDescribedFont) {
    HFONT font = FontFromText("Tahoma,11,ANSI");
    ASSERT_NE(font, nullptr);
    LOGFONTA back{};
    ASSERT_EQ(GetObjectA(font, sizeof back, &back), static_cast<int>(sizeof back));
    EXPECT_EQ(back.lfHeight, -11);
    EXPECT_STREQ(back.lfFaceName, "Tahoma");
    DeleteObject(font);
}
