#include "imaging/selection_mask.h"

#include <gtest/gtest.h>

#include "test_images.h"

namespace imaging {
namespace {

using testing::MaskWhere;

std::vector<uint8_t> Values(const SelectionMask& mask) {
    return std::vector<uint8_t>(mask.Data(), mask.Data() + mask.Width() * mask.Height());
}

TEST(SelectionMask, StartsEmptyAndAllZero) {
    SelectionMask mask(4, 3);
    EXPECT_TRUE(mask.IsEmpty());
    EXPECT_EQ(Values(mask), std::vector<uint8_t>(12, 0));
}

TEST(SelectionMask, SetPixelGrowsTheBoxAndIgnoresOutside) {
    SelectionMask mask(6, 5);
    mask.SetPixel(-1, 0, 255);
    mask.SetPixel(6, 0, 255);
    mask.SetPixel(0, 5, 255);
    EXPECT_TRUE(mask.IsEmpty());
    mask.SetPixel(3, 1, 9);
    EXPECT_EQ(mask.Box(), (BoundingBox{3, 1, 3, 1}));
    mask.SetPixel(1, 4, 200);
    EXPECT_EQ(mask.Box(), (BoundingBox{1, 1, 3, 4}));
    EXPECT_EQ(mask.At(1, 4), 200);
    EXPECT_EQ(mask.At(7, 7), 0);
}

TEST(SelectionMask, WritingZeroDoesNotMakeItEmptyAgain) {
    SelectionMask mask(3, 3);
    mask.SetPixel(1, 1, 255);
    mask.SetPixel(1, 1, 0);
    EXPECT_FALSE(mask.IsEmpty());
    EXPECT_EQ(mask.Box(), (BoundingBox{1, 1, 1, 1}));
    mask.RecomputeBoundingBox();
    EXPECT_TRUE(mask.IsEmpty());
}

TEST(SelectionMask, DeselectClearsValuesAndBox) {
    SelectionMask mask = MaskWhere(4, 4, 255, [](int x, int) { return x < 2; });
    mask.Deselect();
    EXPECT_TRUE(mask.IsEmpty());
    EXPECT_EQ(Values(mask), std::vector<uint8_t>(16, 0));
}

TEST(SelectionMask, InvertingAnAllOpaqueMaskDeselects) {
    SelectionMask mask = MaskWhere(3, 2, 255, [](int, int) { return true; });
    mask.Invert();
    EXPECT_TRUE(mask.IsEmpty());
    EXPECT_EQ(Values(mask), std::vector<uint8_t>(6, 0));
}

TEST(SelectionMask, InvertingAnEmptyMaskChangesNothing) {
    SelectionMask mask(3, 2);
    mask.Invert();
    EXPECT_TRUE(mask.IsEmpty());
    EXPECT_EQ(Values(mask), std::vector<uint8_t>(6, 0));
}

TEST(SelectionMask, InvertingSwapsZeroAndNonZeroAndRecomputesTheBox) {
    // Left column 0, middle column partial values, right column 255.
    SelectionMask mask(3, 2);
    mask.SetPixel(1, 0, 7);
    mask.SetPixel(1, 1, 128);
    mask.SetPixel(2, 0, 255);
    mask.SetPixel(2, 1, 255);
    mask.Invert();
    EXPECT_EQ(Values(mask), (std::vector<uint8_t>{255, 0, 0, 255, 0, 0}));
    EXPECT_EQ(mask.Box(), (BoundingBox{0, 0, 0, 1}));
}

TEST(SelectionMask, InvertingAnAllZeroButNonEmptyMaskSelectsEverything) {
    SelectionMask mask(3, 2);
    mask.SetPixel(2, 1, 255);
    mask.SetPixel(2, 1, 0);
    mask.Invert();
    EXPECT_EQ(Values(mask), std::vector<uint8_t>(6, 255));
    EXPECT_EQ(mask.Box(), (BoundingBox{0, 0, 2, 1}));
}

TEST(SelectionMask, RecomputedBoxHoldsExactlyTheNonZeroValues) {
    SelectionMask mask(8, 6);
    mask.MutableRow(2)[6] = 1;
    mask.MutableRow(4)[1] = 3;
    mask.MutableRow(5)[4] = 250;
    EXPECT_TRUE(mask.IsEmpty());  // raw writes leave the box alone
    mask.RecomputeBoundingBox();
    EXPECT_EQ(mask.Box(), (BoundingBox{1, 2, 6, 5}));
}

}  // namespace
}  // namespace imaging
