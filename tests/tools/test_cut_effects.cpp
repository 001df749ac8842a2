// The background effects of quillane-cut: the window's effect frames on a computed selection.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <vector>

#include "cut_test_images.h"
#include "effects.h"

namespace cut {
namespace {

using imaging::Bitmap;
using imaging::Rgb;
using testing::NoiseImage;

constexpr int kWidth = 40;
constexpr int kHeight = 30;

// Selected: columns x1 .. x2 - 1, rows y1 .. y2 - 1.
std::vector<uint8_t> RectSelection(int x1, int y1, int x2, int y2) {
    std::vector<uint8_t> selection(size_t(kWidth) * kHeight, 0);
    for (int y = y1; y < y2; ++y)
        for (int x = x1; x < x2; ++x)
            selection[size_t(y) * kWidth + size_t(x)] = 1;
    return selection;
}

// Chebyshev distance from (x, y) to the nearest pixel on the other side of the selection.
int DistanceToBorder(const std::vector<uint8_t>& selection, int x, int y) {
    const uint8_t side = selection[size_t(y) * kWidth + size_t(x)];
    for (int d = 1;; ++d) {
        for (int yy = y - d; yy <= y + d; ++yy)
            for (int xx = x - d; xx <= x + d; ++xx)
                if (xx >= 0 && yy >= 0 && xx < kWidth && yy < kHeight &&
                    selection[size_t(yy) * kWidth + size_t(xx)] != side)
                    return d;
        if (d > kWidth) return d;
    }
}

// Reach of the Gaussian of the feathering with radius 2: taps up to ceil(3 * 2) = 6 pixels.
constexpr int kFeatherReach = 6;

TEST(CutEffects, RemoveMakesTheBackgroundTransparentWhiteWithAHardAlphaBorder) {
    const Bitmap image = NoiseImage(kWidth, kHeight, 3);
    const std::vector<uint8_t> selection = RectSelection(10, 8, 30, 22);
    const Bitmap cut = RemoveBackground(image, selection, 2.0);
    ASSERT_TRUE(cut.HasAlpha());
    int softenedObjectPixels = 0;
    for (int y = 0; y < kHeight; ++y) {
        for (int x = 0; x < kWidth; ++x) {
            const bool selected = selection[size_t(y) * kWidth + size_t(x)] == 1;
            const int distance = DistanceToBorder(selection, x, y);
            EXPECT_EQ(cut.AlphaAt(x, y), selected ? 255 : 0) << x << "," << y;
            const Rgb pixel = cut.PixelAt(x, y);
            if (selected && distance > kFeatherReach) {
                EXPECT_EQ(pixel, image.PixelAt(x, y)) << x << "," << y;
            } else if (!selected && distance > kFeatherReach) {
                // White through a mask of 255 reaches 255 * 255 / 256 of the way: 254 or 255.
                EXPECT_GE(pixel.red, 254);
                EXPECT_GE(pixel.green, 254);
                EXPECT_GE(pixel.blue, 254);
            }
            if (selected && distance == 1 && pixel != image.PixelAt(x, y)) ++softenedObjectPixels;
        }
    }
    // The feathered border blends the object's edge towards white while its alpha stays 255.
    EXPECT_GT(softenedObjectPixels, 40);
}

TEST(CutEffects, FillGivesTheBackgroundTheColourAndTheOpacity) {
    const Bitmap image = NoiseImage(kWidth, kHeight, 4);
    const std::vector<uint8_t> selection = RectSelection(5, 5, 20, 25);
    const Rgb colour{250, 10, 128};
    const Bitmap filled = FillBackground(image, selection, colour, 77, 0.0);
    for (int y = 0; y < kHeight; ++y) {
        for (int x = 0; x < kWidth; ++x) {
            const Rgb before = image.PixelAt(x, y);
            const Rgb after = filled.PixelAt(x, y);
            if (selection[size_t(y) * kWidth + size_t(x)] == 1) {
                EXPECT_EQ(after, before);
                EXPECT_EQ(filled.AlphaAt(x, y), 255);
                continue;
            }
            EXPECT_EQ(filled.AlphaAt(x, y), 77);
            // Without feathering the mask is 255: p + floor((C - p) * 255 / 256).
            auto expected = [](int p, int c) {
                return p + int(std::floor(double(c - p) * 255.0 / 256.0));
            };
            EXPECT_EQ(after.red, expected(before.red, colour.red));
            EXPECT_EQ(after.green, expected(before.green, colour.green));
            EXPECT_EQ(after.blue, expected(before.blue, colour.blue));
        }
    }
}

TEST(CutEffects, BlurChangesTheBackgroundOnly) {
    const Bitmap image = NoiseImage(kWidth, kHeight, 5);
    const std::vector<uint8_t> selection = RectSelection(12, 6, 28, 24);
    const Bitmap blurred = BlurBackground(image, selection, 2.0);
    EXPECT_FALSE(blurred.HasAlpha());
    int changedBackground = 0, background = 0;
    for (int y = 0; y < kHeight; ++y) {
        for (int x = 0; x < kWidth; ++x) {
            if (selection[size_t(y) * kWidth + size_t(x)] == 1) {
                EXPECT_EQ(blurred.PixelAt(x, y), image.PixelAt(x, y));
            } else {
                ++background;
                if (blurred.PixelAt(x, y) != image.PixelAt(x, y)) ++changedBackground;
            }
        }
    }
    EXPECT_GT(changedBackground, background * 9 / 10);
}

TEST(CutEffects, NothingSelectedMakesTheWholeImageBackground) {
    const Bitmap image = NoiseImage(kWidth, kHeight, 6);
    const std::vector<uint8_t> none(size_t(kWidth) * kHeight, 0);

    const Bitmap removed = RemoveBackground(image, none, 2.0);
    EXPECT_EQ(removed.AlphaChannel(), std::vector<uint8_t>(none.size(), 0));
    EXPECT_EQ(removed, [&] {
        Bitmap white(kWidth, kHeight, Rgb{255, 255, 255});
        white.SetAlphaChannel(std::vector<uint8_t>(none.size(), 0));
        return white;
    }());

    const Bitmap filled = FillBackground(image, none, Rgb{1, 2, 3}, 200, 2.0);
    Bitmap expected(kWidth, kHeight, Rgb{1, 2, 3});
    expected.SetAlphaChannel(std::vector<uint8_t>(none.size(), 200));
    EXPECT_EQ(filled, expected);
}

// Where the window's frame would treat an all-selected image as all background (the inversion
// empties the mask), there is no background: the image stays as it is.
TEST(CutEffects, EverythingSelectedLeavesTheImageAsItIs) {
    Bitmap image = NoiseImage(kWidth, kHeight, 7);
    const std::vector<uint8_t> all(size_t(kWidth) * kHeight, 1);
    EXPECT_EQ(RemoveBackground(image, all, 2.0), image);
    EXPECT_EQ(FillBackground(image, all, Rgb{255, 0, 0}, 0, 3.0), image);
    EXPECT_EQ(BlurBackground(image, all, 4.0), image);
    image.AlphaForWriting()[17] = 9;
    EXPECT_EQ(RemoveBackground(image, all, 2.0), image);
}

TEST(CutEffects, SelectionCoverage) {
    EXPECT_EQ(SelectionCoverage(std::vector<uint8_t>{0, 0, 0}), Coverage::None);
    EXPECT_EQ(SelectionCoverage(std::vector<uint8_t>{0, 1, 0}), Coverage::Part);
    EXPECT_EQ(SelectionCoverage(std::vector<uint8_t>{1, 1, 1}), Coverage::All);
    EXPECT_EQ(SelectionMaskValues(std::vector<uint8_t>{0, 1, 0}),
              (std::vector<uint8_t>{0, 255, 0}));
}

class CutReplaceBackground : public ::testing::Test {
  protected:
    const Bitmap image_ = NoiseImage(kWidth, kHeight, 8);
    // The object: columns 10 .. 19, rows 5 .. 14.
    const std::vector<uint8_t> selection_ = RectSelection(10, 5, 20, 15);
    const Rgb ground_{30, 30, 30};
    const Bitmap background_{50, 40, ground_};
};

TEST_F(CutReplaceBackground, PlacesTheCroppedObjectOverTheBackground) {
    const Bitmap composite = ReplaceBackground(image_, selection_, background_, {{3, 4}, 1.0, {}});
    ASSERT_EQ(composite.Width(), 50);
    ASSERT_EQ(composite.Height(), 40);
    EXPECT_FALSE(composite.HasAlpha());
    for (int y = 0; y < 40; ++y) {
        for (int x = 0; x < 50; ++x) {
            const bool object = x >= 3 && x < 13 && y >= 4 && y < 14;
            EXPECT_EQ(composite.PixelAt(x, y), object ? image_.PixelAt(x + 7, y + 1) : ground_)
                << x << "," << y;
        }
    }
}

TEST_F(CutReplaceBackground, ScalesTheObjectKeepingItsAspect) {
    const Bitmap composite = ReplaceBackground(image_, selection_, background_, {{0, 0}, 2.0, {}});
    for (int y = 0; y < 40; ++y) {
        for (int x = 0; x < 50; ++x) {
            const bool object = x < 20 && y < 20;
            EXPECT_EQ(composite.PixelAt(x, y),
                      object ? image_.PixelAt(10 + x / 2, 5 + y / 2) : ground_)
                << x << "," << y;
        }
    }
    // Half size of a 10 x 10 object: 5 x 5.
    const Bitmap small = ReplaceBackground(image_, selection_, background_, {{0, 0}, 0.5, {}});
    EXPECT_NE(small.PixelAt(4, 4), ground_);
    EXPECT_EQ(small.PixelAt(5, 4), ground_);
    EXPECT_EQ(small.PixelAt(4, 5), ground_);
}

TEST_F(CutReplaceBackground, ObjectOpacityBlendsItWithTheBackground) {
    const Bitmap composite = ReplaceBackground(image_, selection_, background_, {{0, 0}, 1.0, 128});
    const double alpha = 128.0 / 255.0;
    for (int y = 0; y < 10; ++y) {
        for (int x = 0; x < 10; ++x) {
            const Rgb object = image_.PixelAt(10 + x, 5 + y);
            const Rgb blended = composite.PixelAt(x, y);
            EXPECT_NEAR(blended.red, object.red * alpha + ground_.red * (1 - alpha), 1.0);
            EXPECT_NEAR(blended.blue, object.blue * alpha + ground_.blue * (1 - alpha), 1.0);
        }
    }
}

TEST_F(CutReplaceBackground, OnlyTheObjectShowsAndThePictureGrowsToHoldIt) {
    // An L-shaped object: the empty top-right corner of its bounding box must stay transparent.
    std::vector<uint8_t> shape = RectSelection(10, 5, 20, 15);
    for (int y = 5; y < 10; ++y)
        for (int x = 15; x < 20; ++x)
            shape[size_t(y) * kWidth + size_t(x)] = 0;
    // The object's layer covers columns 42 .. 51 and rows 32 .. 41, beyond the 50 x 40
    // background on the right and at the bottom.
    const Bitmap composite = ReplaceBackground(image_, shape, background_, {{42, 32}, 1.0, {}});
    ASSERT_EQ(composite.Width(), 52);
    ASSERT_EQ(composite.Height(), 42);
    ASSERT_TRUE(composite.HasAlpha());
    EXPECT_EQ(composite.PixelAt(42, 32), image_.PixelAt(10, 5));
    EXPECT_EQ(composite.AlphaAt(42, 32), 255);
    EXPECT_EQ(composite.PixelAt(48, 34), ground_);  // the empty corner over the background
    EXPECT_EQ(composite.AlphaAt(48, 34), 255);
    EXPECT_EQ(composite.AlphaAt(51, 34), 0);  // the empty corner beyond the background
    EXPECT_EQ(composite.AlphaAt(51, 2), 0);   // covered by neither layer
    EXPECT_EQ(composite.PixelAt(51, 41), image_.PixelAt(19, 14));  // object beyond it
    EXPECT_EQ(composite.AlphaAt(51, 41), 255);
    EXPECT_EQ(composite.PixelAt(10, 10), ground_);
}

TEST_F(CutReplaceBackground, NothingSelectedGivesTheBackgroundAlone) {
    const std::vector<uint8_t> none(size_t(kWidth) * kHeight, 0);
    EXPECT_EQ(ReplaceBackground(image_, none, background_, {{3, 4}, 2.0, 100}), background_);
}

}  // namespace
}  // namespace cut
