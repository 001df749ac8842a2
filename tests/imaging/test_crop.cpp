#include "imaging/crop.h"

#include <gtest/gtest.h>

#include "test_images.h"

namespace imaging {
namespace {

using testing::MaskWhere;

constexpr Rgb kGround{240, 240, 240};

TEST(CropToMask, CutsTheBoxAndMakesTheSurroundTransparent) {
    // 8 x 6 image; an L-shaped object: column 2 rows 1..4 and row 4 columns 2..5.
    Bitmap source(8, 6, Rgb{100, 250, 240});
    source.AlphaForWriting()[4 * 8 + 5] = 60;  // partial alpha inside the object
    const SelectionMask mask = MaskWhere(8, 6, 255, [](int x, int y) {
        return (x == 2 && y >= 1 && y <= 4) || (y == 4 && x >= 2 && x <= 5);
    });
    const Bitmap cropped = CropToMask(source, mask, kGround);
    ASSERT_EQ(cropped.Width(), 4);
    ASSERT_EQ(cropped.Height(), 4);
    ASSERT_TRUE(cropped.HasAlpha());
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x) {
            const bool object = mask.At(x + 2, y + 1) != 0;
            if (object) {
                // Red 100 is below the ground and stays; green 250 above it loses one unit;
                // blue equal to the ground stays.
                EXPECT_EQ(cropped.PixelAt(x, y), (Rgb{100, 249, 240}));
                EXPECT_EQ(cropped.AlphaAt(x, y), x == 3 && y == 3 ? 60 : 255);
            } else {
                EXPECT_EQ(cropped.PixelAt(x, y), kGround);
                EXPECT_EQ(cropped.AlphaAt(x, y), 0);
            }
        }
}

TEST(CropToMask, CapsAlphaByPartialMaskValues) {
    Bitmap source(2, 1, Rgb{0, 0, 0});
    source.SetAlphaChannel({200, 90});
    SelectionMask mask(2, 1);
    mask.SetPixel(0, 0, 128);
    mask.SetPixel(1, 0, 128);
    const Bitmap cropped = CropToMask(source, mask, kGround);
    EXPECT_EQ(cropped.AlphaChannel(), (std::vector<uint8_t>{128, 90}));
    // 240 + floor((0 - 240) * 128 / 256) = 120
    EXPECT_EQ(cropped.PixelAt(0, 0), (Rgb{120, 120, 120}));
}

TEST(CropToMask, ReturnsTheSourceForAnEmptyMask) {
    const Bitmap source = testing::PatternBitmap(5, 4);
    EXPECT_EQ(CropToMask(source, SelectionMask(5, 4), kGround), source);
}

TEST(CropToMask, DropsAnAlphaChannelThatEndsUpOpaque) {
    const Bitmap source(3, 3, Rgb{10, 20, 30});
    const SelectionMask mask = MaskWhere(3, 3, 255, [](int x, int) { return x >= 1; });
    const Bitmap cropped = CropToMask(source, mask, kGround);
    EXPECT_EQ(cropped.Width(), 2);
    EXPECT_EQ(cropped.Height(), 3);
    EXPECT_FALSE(cropped.HasAlpha());
    EXPECT_EQ(cropped.PixelAt(1, 2), (Rgb{10, 20, 30}));
}

}  // namespace
}  // namespace imaging
