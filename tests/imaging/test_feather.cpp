#include "imaging/feather.h"

#include <gtest/gtest.h>

#include "test_images.h"

namespace imaging {
namespace {

using testing::MaskWhere;

// 40 x 6: background 255 at columns 20 and right of it, object 0 at the left.
SelectionMask StepMask() {
    return MaskWhere(40, 6, 255, [](int x, int) { return x >= 20; });
}

TEST(FeatherRect, GrowsTheBoxByFiveRadiiAndClipsToTheMask) {
    const SelectionMask mask = MaskWhere(
        40, 30, 255, [](int x, int y) { return x >= 12 && x <= 20 && y >= 3 && y <= 25; });
    EXPECT_EQ(FeatherRect(mask, 1.0), (BoundingBox{7, 0, 25, 29}));
    EXPECT_EQ(FeatherRect(mask, 0.5), (BoundingBox{10, 1, 22, 27}));  // trunc(2.5) = 2
    EXPECT_EQ(FeatherRect(mask, 0.1), (BoundingBox{11, 2, 21, 26}));  // at least 1
    EXPECT_EQ(FeatherRect(mask, 2.0), (BoundingBox{2, 0, 30, 29}));
    EXPECT_TRUE(FeatherRect(mask, 0.0).IsEmpty());
    EXPECT_TRUE(FeatherRect(SelectionMask(5, 5), 2.0).IsEmpty());
}

TEST(FeatherMask, TurnsAStepIntoAMonotoneRampOnBothSides) {
    SelectionMask mask = StepMask();
    FeatherMask(mask, 2.0);
    for (int y = 0; y < mask.Height(); ++y) {
        for (int x = 1; x < mask.Width(); ++x)
            EXPECT_LE(mask.At(x - 1, y), mask.At(x, y));
        EXPECT_GT(mask.At(19, y), 0);  // the object side takes some of the background
        EXPECT_LT(mask.At(19, y), 128);
        EXPECT_LT(mask.At(20, y), 255);  // the background side loses some
        EXPECT_GE(mask.At(20, y), 128);
        EXPECT_EQ(mask.At(0, y), 0);  // far from the border nothing changes
        EXPECT_EQ(mask.At(39, y), 255);
        // Symmetric about the border: value + mirrored value is 255 (up to rounding).
        for (int k = 0; k < 8; ++k)
            EXPECT_NEAR(mask.At(20 + k, y) + mask.At(19 - k, y), 255, 1);
    }
    // The ramp reaches about 3 sigma into the object, and the box follows it.
    EXPECT_EQ(mask.At(13, 0), 0);
    EXPECT_GT(mask.At(14, 0), 0);
    EXPECT_EQ(mask.Box(), (BoundingBox{14, 0, 39, 5}));
}

TEST(FeatherMask, LeavesValuesOutsideTheGrownBoxAlone) {
    // Box columns 20 .. 24; radius 1 grows it to 15 .. 29. Markers written without growing the
    // box sit at 13 and 31 and stay; they also must not leak into the rectangle.
    SelectionMask mask = MaskWhere(40, 3, 255, [](int x, int) { return x >= 20 && x <= 24; });
    SelectionMask reference = mask;
    for (int y = 0; y < 3; ++y) {
        mask.MutableRow(y)[13] = 77;
        mask.MutableRow(y)[31] = 200;
    }
    FeatherMask(mask, 1.0);
    FeatherMask(reference, 1.0);
    for (int y = 0; y < 3; ++y) {
        EXPECT_EQ(mask.At(13, y), 77);
        EXPECT_EQ(mask.At(31, y), 200);
        for (int x = 15; x <= 29; ++x)
            EXPECT_EQ(mask.At(x, y), reference.At(x, y)) << x;
    }
    EXPECT_EQ(mask.Box(), (BoundingBox{13, 0, 31, 2}));
}

TEST(FeatherMask, RepeatsTheRectanglesEdgeAtTheImageBorder) {
    // The step touches the mask's right edge: columns near it stay 255.
    SelectionMask mask = StepMask();
    FeatherMask(mask, 3.0);
    for (int y = 0; y < mask.Height(); ++y)
        EXPECT_EQ(mask.At(39, y), 255);
}

TEST(FeatherMask, DoesNothingForRadiusZeroNegativeOrAnEmptyMask) {
    for (double radius : {0.0, -2.0}) {
        SelectionMask mask = StepMask();
        const SelectionMask before = mask;
        FeatherMask(mask, radius);
        EXPECT_EQ(mask, before);
    }
    SelectionMask empty(10, 10);
    FeatherMask(empty, 2.0);
    EXPECT_TRUE(empty.IsEmpty());
}

TEST(FeatherMask, SoftensASinglePixelSymmetrically) {
    SelectionMask mask(21, 21);
    mask.SetPixel(10, 10, 255);
    FeatherMask(mask, 1.0);
    EXPECT_LT(mask.At(10, 10), 255);
    EXPECT_GT(mask.At(10, 10), mask.At(11, 10));
    EXPECT_EQ(mask.At(9, 10), mask.At(11, 10));
    EXPECT_EQ(mask.At(10, 9), mask.At(10, 11));
    EXPECT_EQ(mask.At(9, 10), mask.At(10, 9));
}

}  // namespace
}  // namespace imaging
