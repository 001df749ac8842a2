#include "imaging/fill.h"

#include <gtest/gtest.h>

#include "test_images.h"

namespace imaging {
namespace {

using testing::MaskWhere;
using testing::PatternBitmap;

struct FillCase {
    uint8_t pixel;
    uint8_t colour;
    uint8_t mask;
    uint8_t expected;
};

void PrintTo(const FillCase& c, std::ostream* os) {
    *os << "p" << int(c.pixel) << "_C" << int(c.colour) << "_m" << int(c.mask);
}

class FillThroughMaskCases : public ::testing::TestWithParam<FillCase> {};

TEST_P(FillThroughMaskCases, BlendsEachChannelByFloorOfMaskOver256) {
    const FillCase c = GetParam();
    // Pixel (1, 0) takes the case; pixel (0, 0) with mask 255 keeps the box non-trivial.
    Bitmap bitmap(2, 1, Rgb{c.pixel, c.pixel, c.pixel});
    SelectionMask mask(2, 1);
    mask.SetPixel(0, 0, 255);
    mask.SetPixel(1, 0, c.mask);
    FillThroughMask(bitmap, mask, Rgb{c.colour, c.colour, c.colour});
    EXPECT_EQ(bitmap.PixelAt(1, 0), (Rgb{c.expected, c.expected, c.expected}));
}

INSTANTIATE_TEST_SUITE_P(
    Table, FillThroughMaskCases,
    ::testing::Values(FillCase{0, 255, 255, 254},    // one short when filling upwards
                      FillCase{200, 100, 255, 100},  // exact when filling downwards
                      FillCase{100, 100, 255, 100},  // already the colour
                      FillCase{0, 255, 128, 127},    // floor(127.5)
                      FillCase{200, 100, 128, 150},  // 200 - 50
                      FillCase{201, 100, 128, 150},  // 201 + floor(-50.5) = 201 - 51
                      FillCase{10, 0, 1, 9},         // floor(-10 / 256) = -1
                      FillCase{10, 255, 1, 10},      // floor(245 / 256) = 0
                      FillCase{37, 250, 0, 37}));    // mask 0 keeps the pixel

TEST(FillThroughMask, TreatsChannelsSeparately) {
    Bitmap bitmap(1, 1, Rgb{0, 100, 255});
    SelectionMask mask(1, 1);
    mask.SetPixel(0, 0, 255);
    FillThroughMask(bitmap, mask, Rgb{255, 100, 0});
    EXPECT_EQ(bitmap.PixelAt(0, 0), (Rgb{254, 100, 0}));
}

TEST(FillThroughMask, FillsTheWholeImageExactlyWhenTheMaskIsEmpty) {
    Bitmap bitmap = PatternBitmap(5, 4);
    bitmap.AlphaForWriting()[3] = 12;
    FillThroughMask(bitmap, SelectionMask(5, 4), Rgb{255, 1, 128});
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 5; ++x)
            EXPECT_EQ(bitmap.PixelAt(x, y), (Rgb{255, 1, 128}));
    EXPECT_EQ(bitmap.AlphaAt(3, 0), 12);  // alpha untouched
}

TEST(FillThroughMask, LeavesUnselectedPixelsAndAlphaAlone) {
    const Bitmap original = PatternBitmap(6, 5);
    Bitmap bitmap = original;
    bitmap.AlphaForWriting();
    const SelectionMask mask =
        MaskWhere(6, 5, 255, [](int x, int y) { return x >= 2 && x <= 3 && y >= 1 && y <= 3; });
    FillThroughMask(bitmap, mask, Rgb{0, 0, 0});
    for (int y = 0; y < 5; ++y)
        for (int x = 0; x < 6; ++x) {
            const Rgb expected = mask.At(x, y) ? Rgb{0, 0, 0} : original.PixelAt(x, y);
            EXPECT_EQ(bitmap.PixelAt(x, y), expected) << x << "," << y;
        }
    EXPECT_EQ(bitmap.AlphaChannel(), std::vector<uint8_t>(30, 255));
}

TEST(FillThroughMask, AllZeroButNonEmptyMaskChangesNothing) {
    const Bitmap original = PatternBitmap(3, 3);
    Bitmap bitmap = original;
    SelectionMask mask(3, 3);
    mask.SetPixel(1, 1, 255);
    mask.SetPixel(1, 1, 0);
    FillThroughMask(bitmap, mask, Rgb{1, 2, 3});
    EXPECT_EQ(bitmap, original);
}

}  // namespace
}  // namespace imaging
