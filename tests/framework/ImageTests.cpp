// The one decoder of the resources' pixel art, which every backend and the
// icon tool draw with: the palette by digit, transparency, and art that is
// not all there.
#include "framework/Images.h"

#include <gtest/gtest.h>

#include <string>

TEST(ImageTest, IconArtNamesThePaletteByDigitAndDotIsTransparent)
{
    // Four pixels of each row: black, maroon, silver, transparent; then
    // grey, lime, white in both letter cases.
    const std::string strArt = "07.8"
                               "1aFf"
                               "9BCD"
                               "E..6";
    AFX_IMAGE32 image;
    ASSERT_TRUE(AfxDecodeIcon(AFX_ICON_IMAGE{4, strArt.c_str()}, image));
    ASSERT_EQ(image.size, 4);
    ASSERT_EQ(image.pixels.size(), 16u);
    EXPECT_EQ(image.pixels[0], 0xFF000000u);
    EXPECT_EQ(image.pixels[1], 0xFFC0C0C0u);
    EXPECT_EQ(image.pixels[2], 0u);
    EXPECT_EQ(image.pixels[3], 0xFF808080u);
    EXPECT_EQ(image.pixels[4], 0xFF800000u);
    EXPECT_EQ(image.pixels[5], 0xFF00FF00u);
    EXPECT_EQ(image.pixels[6], 0xFFFFFFFFu);
    EXPECT_EQ(image.pixels[7], 0xFFFFFFFFu);
    EXPECT_EQ(image.pixels[8], 0xFFFF0000u);
    EXPECT_EQ(image.pixels[9], 0xFFFFFF00u);
    EXPECT_EQ(image.pixels[10], 0xFF0000FFu);
    EXPECT_EQ(image.pixels[11], 0xFFFF00FFu);
    EXPECT_EQ(image.pixels[12], 0xFF00FFFFu);
    EXPECT_EQ(image.pixels[15], 0xFF008080u);
}

TEST(ImageTest, ArtThatIsNotAllThereDecodesTransparentAndSaysSo)
{
    AFX_IMAGE32 image;
    // Shorter than its size: the rest transparent, nothing read past the end.
    EXPECT_FALSE(AfxDecodeIcon(AFX_ICON_IMAGE{3, "99"}, image));
    ASSERT_EQ(image.pixels.size(), 9u);
    EXPECT_EQ(image.pixels[1], 0xFFFF0000u);
    EXPECT_EQ(image.pixels[2], 0u);
    EXPECT_EQ(image.pixels[8], 0u);
    // A character outside the palette is transparent.
    EXPECT_FALSE(AfxDecodeIcon(AFX_ICON_IMAGE{2, "9G9x"}, image));
    EXPECT_EQ(image.pixels[1], 0u);
    EXPECT_EQ(image.pixels[2], 0xFFFF0000u);
    // No art at all is no image.
    EXPECT_FALSE(AfxDecodeIcon(AFX_ICON_IMAGE{16, nullptr}, image));
    EXPECT_EQ(image.size, 0);
    EXPECT_TRUE(image.pixels.empty());
}

TEST(ImageTest, CursorArtIsBlackWhiteOrTransparent)
{
    AFX_IMAGE32 image;
    const AFX_CURSOR cursor{119, 2, "0F9", 1, 1};
    ASSERT_TRUE(AfxDecodeCursor(cursor, image));
    ASSERT_EQ(image.size, 2);
    EXPECT_EQ(image.pixels[0], 0xFF000000u);
    EXPECT_EQ(image.pixels[1], 0xFFFFFFFFu);
    EXPECT_EQ(image.pixels[2], 0u) << "a palette colour is no cursor colour";
    EXPECT_EQ(image.pixels[3], 0u) << "past the short art";
    // The desktop's own shapes have no art.
    EXPECT_FALSE(AfxDecodeCursor(AFX_CURSOR{32514, 0, nullptr, 0, 0}, image));
}
