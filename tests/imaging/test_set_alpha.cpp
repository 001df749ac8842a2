#include "imaging/set_alpha.h"

#include <gtest/gtest.h>

#include "test_images.h"

namespace imaging {
namespace {

TEST(SetAlphaThroughMask, SetsEveryPixelWhenTheMaskIsEmpty) {
    Bitmap bitmap = testing::PatternBitmap(4, 3);
    const Bitmap colours = bitmap;
    SetAlphaThroughMask(bitmap, SelectionMask(4, 3), 90);
    EXPECT_EQ(bitmap.AlphaChannel(), std::vector<uint8_t>(12, 90));
    bitmap.DropAlpha();
    EXPECT_EQ(bitmap, colours);
}

TEST(SetAlphaThroughMask, SetsOnlyNonZeroMaskPixelsAndCreatesTheRestOpaque) {
    Bitmap bitmap(3, 2);
    SelectionMask mask(3, 2);
    mask.SetPixel(0, 0, 1);
    mask.SetPixel(2, 1, 255);
    mask.SetPixel(1, 1, 7);
    mask.SetPixel(1, 1, 0);  // box grows, value back to 0
    SetAlphaThroughMask(bitmap, mask, 0);
    EXPECT_EQ(bitmap.AlphaChannel(), (std::vector<uint8_t>{0, 255, 255, 255, 255, 0}));
}

}  // namespace
}  // namespace imaging
