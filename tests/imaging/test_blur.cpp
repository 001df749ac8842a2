#include "imaging/blur.h"

#include <gtest/gtest.h>

#include "test_images.h"

namespace imaging {
namespace {

using testing::MaskWhere;
using testing::PatternBitmap;

TEST(BlurThroughMask, KeepsAFlatImageExactly) {
    for (double sigma : {1.0, 4.0, 10.0}) {
        Bitmap bitmap(30, 20, Rgb{12, 200, 77});
        const Bitmap before = bitmap;
        BlurThroughMask(bitmap, SelectionMask(30, 20), sigma);
        EXPECT_EQ(bitmap, before) << sigma;
        BlurThroughMask(bitmap, MaskWhere(30, 20, 255, [](int x, int) { return x > 10; }), sigma);
        EXPECT_EQ(bitmap, before) << sigma;
    }
}

TEST(BlurThroughMask, TurnsAStepIntoAMonotoneRamp) {
    // Left half black, right half (20, 120, 250), whole image blurred (empty mask).
    Bitmap bitmap(40, 8);
    for (int y = 0; y < 8; ++y)
        for (int x = 20; x < 40; ++x)
            bitmap.SetPixel(x, y, Rgb{20, 120, 250});
    BlurThroughMask(bitmap, SelectionMask(40, 8), 2.0);
    for (int y = 0; y < 8; ++y) {
        for (int x = 1; x < 40; ++x) {
            const Rgb left = bitmap.PixelAt(x - 1, y), right = bitmap.PixelAt(x, y);
            EXPECT_LE(left.red, right.red);
            EXPECT_LE(left.green, right.green);
            EXPECT_LE(left.blue, right.blue);
        }
        EXPECT_EQ(bitmap.PixelAt(0, y), (Rgb{0, 0, 0}));
        EXPECT_EQ(bitmap.PixelAt(39, y), (Rgb{20, 120, 250}));
        EXPECT_GT(bitmap.PixelAt(19, y).blue, 0);
        EXPECT_LT(bitmap.PixelAt(20, y).blue, 250);
    }
}

TEST(BlurThroughMask, CopiesBackThroughTheMaskWithTheFloorFormula) {
    // The mask's box is the whole image, so its working copy equals the whole-image blur.
    const Bitmap original = PatternBitmap(12, 9);
    Bitmap blurred = original;
    BlurThroughMask(blurred, SelectionMask(12, 9), 1.5);

    const uint8_t levels[] = {0, 1, 128, 255};
    SelectionMask mask(12, 9);
    for (int y = 0; y < 9; ++y)
        for (int x = 0; x < 12; ++x)
            mask.SetPixel(x, y, levels[(x + 2 * y) % 4]);
    mask.SetPixel(0, 0, 255);
    mask.SetPixel(11, 8, 255);
    Bitmap bitmap = original;
    BlurThroughMask(bitmap, mask, 1.5);

    for (int i = 0; i < 12 * 9 * 3; ++i) {
        const int p = original.Data()[i], q = blurred.Data()[i];
        const int m = mask.Data()[i / 3];
        const int expected = p + (((q - p) * m) >> 8);
        EXPECT_EQ(bitmap.Data()[i], expected) << i;
    }
}

TEST(BlurThroughMask, ReadsOnlyTheMasksBoundingBox) {
    // Columns 0 .. 3 bright, 4 .. 9 dark; the mask covers 5 .. 8 only. The box repeats its own
    // edge, so the bright columns do not reach it and nothing changes.
    Bitmap bitmap(10, 6);
    for (int y = 0; y < 6; ++y)
        for (int x = 0; x < 4; ++x)
            bitmap.SetPixel(x, y, Rgb{255, 255, 255});
    const Bitmap before = bitmap;
    BlurThroughMask(bitmap, MaskWhere(10, 6, 255, [](int x, int) { return x >= 5 && x <= 8; }),
                    3.0);
    EXPECT_EQ(bitmap, before);
}

TEST(BlurThroughMask, CarriesTheObjectsColourIntoTheBackgroundOnly) {
    // A bright square object, mask 255 on the background around it (an inverted selection).
    Bitmap bitmap(20, 20);
    for (int y = 8; y < 12; ++y)
        for (int x = 8; x < 12; ++x)
            bitmap.SetPixel(x, y, Rgb{255, 255, 255});
    const SelectionMask background = MaskWhere(
        20, 20, 255, [](int x, int y) { return !(x >= 8 && x < 12 && y >= 8 && y < 12); });
    BlurThroughMask(bitmap, background, 1.0);
    for (int y = 8; y < 12; ++y)
        for (int x = 8; x < 12; ++x)
            EXPECT_EQ(bitmap.PixelAt(x, y), (Rgb{255, 255, 255}));
    EXPECT_GT(bitmap.PixelAt(7, 10).red, 0);
    EXPECT_EQ(bitmap.PixelAt(0, 0), (Rgb{0, 0, 0}));
}

TEST(BlurThroughMask, DoesNothingForNonPositiveSigmaAndKeepsAlpha) {
    Bitmap bitmap = PatternBitmap(8, 8);
    bitmap.AlphaForWriting()[5] = 3;
    const Bitmap before = bitmap;
    BlurThroughMask(bitmap, SelectionMask(8, 8), 0.0);
    BlurThroughMask(bitmap, SelectionMask(8, 8), -1.0);
    EXPECT_EQ(bitmap, before);
    BlurThroughMask(bitmap, SelectionMask(8, 8), 2.0);
    EXPECT_NE(bitmap, before);
    EXPECT_EQ(bitmap.AlphaChannel(), before.AlphaChannel());
}

}  // namespace
}  // namespace imaging
