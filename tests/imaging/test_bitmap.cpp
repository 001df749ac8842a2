#include "imaging/bitmap.h"

#include <gtest/gtest.h>

#include <stdexcept>

namespace imaging {
namespace {

TEST(Bitmap, StoresBlueGreenRedRowsWithoutPadding) {
    Bitmap bitmap(3, 2);
    bitmap.SetPixel(2, 1, Rgb{10, 20, 30});
    const uint8_t* p = bitmap.Data() + 3 * (1 * 3 + 2);
    EXPECT_EQ(p[0], 30);  // blue
    EXPECT_EQ(p[1], 20);  // green
    EXPECT_EQ(p[2], 10);  // red
    EXPECT_EQ(bitmap.Row(1), bitmap.Data() + 9);
    EXPECT_EQ(bitmap.PixelAt(2, 1), (Rgb{10, 20, 30}));
    EXPECT_EQ(bitmap.PixelAt(0, 0), (Rgb{0, 0, 0}));
}

TEST(Bitmap, IgnoresWritesOutside) {
    Bitmap bitmap(2, 2, Rgb{1, 2, 3});
    const Bitmap before = bitmap;
    bitmap.SetPixel(-1, 0, Rgb{9, 9, 9});
    bitmap.SetPixel(2, 0, Rgb{9, 9, 9});
    bitmap.SetPixel(0, 2, Rgb{9, 9, 9});
    EXPECT_EQ(bitmap, before);
}

TEST(Bitmap, RefusesNegativeAndOversizedDimensions) {
    EXPECT_THROW(Bitmap(-1, 5), std::invalid_argument);
    EXPECT_THROW(Bitmap(5, -1), std::invalid_argument);
    EXPECT_THROW(Bitmap(100000, 100000), std::length_error);
    EXPECT_TRUE(Bitmap(0, 7).IsEmpty());
}

TEST(Bitmap, AlphaIsCreatedOpaqueByItsFirstWrite) {
    Bitmap bitmap(2, 2);
    EXPECT_FALSE(bitmap.HasAlpha());
    EXPECT_EQ(bitmap.AlphaAt(1, 1), 255);
    bitmap.AlphaForWriting()[1] = 7;
    ASSERT_TRUE(bitmap.HasAlpha());
    EXPECT_EQ(bitmap.AlphaChannel(), (std::vector<uint8_t>{255, 7, 255, 255}));
    EXPECT_EQ(bitmap.AlphaAt(1, 0), 7);
}

TEST(Bitmap, DropsOnlyAnAllOpaqueAlphaChannel) {
    Bitmap bitmap(2, 1);
    bitmap.SetAlphaChannel({255, 254});
    EXPECT_TRUE(bitmap.DropAlphaIfOpaque());
    EXPECT_TRUE(bitmap.HasAlpha());
    bitmap.SetAlphaChannel({255, 255});
    EXPECT_FALSE(bitmap.DropAlphaIfOpaque());
    EXPECT_FALSE(bitmap.HasAlpha());
    EXPECT_THROW(bitmap.SetAlphaChannel({1, 2, 3}), std::invalid_argument);
}

}  // namespace
}  // namespace imaging
