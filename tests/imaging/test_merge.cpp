#include "imaging/merge.h"

#include <gtest/gtest.h>

#include <cmath>

namespace imaging {
namespace {

constexpr Rgb kGround{240, 240, 240};
constexpr Rgb kBack{10, 20, 30};
constexpr Rgb kFront{200, 100, 50};

Layer Flat(int width, int height, Rgb colour, int x, int y) {
    Layer layer = Layer::FromBitmap(Bitmap(width, height, colour));
    layer.x = x;
    layer.y = y;
    return layer;
}

TEST(MergeLayers, ShiftsNegativePositionsAndGrowsThePicture) {
    // Background 4 x 3 at (0, 0); object 2 x 3 at (-1, -2). Shifted: background at (1, 2),
    // object at (0, 0); picture 5 x 5.
    const Layer merged = MergeLayers(Flat(4, 3, kBack, 0, 0), Flat(2, 3, kFront, -1, -2), kGround);
    EXPECT_EQ(merged.x, 0);
    EXPECT_EQ(merged.y, 0);
    ASSERT_EQ(merged.bitmap.Width(), 5);
    ASSERT_EQ(merged.bitmap.Height(), 5);
    EXPECT_EQ(merged.displayWidth, 5);
    const Bitmap& b = merged.bitmap;
    ASSERT_TRUE(b.HasAlpha());  // uncovered corners
    for (int y = 0; y < 5; ++y)
        for (int x = 0; x < 5; ++x) {
            const bool front = x <= 1 && y <= 2;
            const bool back = x >= 1 && y >= 2;
            const Rgb expected = front ? kFront : back ? kBack : kGround;
            EXPECT_EQ(b.PixelAt(x, y), expected) << x << "," << y;
            EXPECT_EQ(b.AlphaAt(x, y), front || back ? 255 : 0) << x << "," << y;
        }
}

TEST(MergeLayers, MakesPositionsNonNegativeInOrder) {
    // Background at x = -3, object at x = -5: the background's shift leaves the object at -2,
    // whose shift then moves the background to 2.
    const Layer merged = MergeLayers(Flat(3, 1, kBack, -3, 0), Flat(1, 1, kFront, -5, 0), kGround);
    ASSERT_EQ(merged.bitmap.Width(), 5);
    EXPECT_EQ(merged.bitmap.PixelAt(0, 0), kFront);
    EXPECT_EQ(merged.bitmap.AlphaAt(1, 0), 0);
    EXPECT_EQ(merged.bitmap.PixelAt(2, 0), kBack);
    EXPECT_EQ(merged.bitmap.PixelAt(4, 0), kBack);
}

TEST(MergeLayers, ResamplesAResizedLayerToItsDisplayedSize) {
    Bitmap small(2, 2);
    small.SetPixel(0, 0, Rgb{1, 0, 0});
    small.SetPixel(1, 0, Rgb{2, 0, 0});
    small.SetPixel(0, 1, Rgb{3, 0, 0});
    small.SetPixel(1, 1, Rgb{4, 0, 0});
    Layer object = Layer::FromBitmap(small);
    object.displayWidth = 4;
    object.displayHeight = 4;
    object.x = 1;
    object.y = 1;
    const Layer merged = MergeLayers(Flat(6, 6, kBack, 0, 0), object, kGround);
    ASSERT_EQ(merged.bitmap.Width(), 6);
    EXPECT_FALSE(merged.bitmap.HasAlpha());  // everything covered and opaque
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x)
            EXPECT_EQ(merged.bitmap.PixelAt(1 + x, 1 + y).red, 1 + x / 2 + 2 * (y / 2));
    EXPECT_EQ(merged.bitmap.PixelAt(5, 5), kBack);
}

TEST(MergeLayers, CompositesPartialAlpha) {
    Layer back = Flat(1, 1, kBack, 0, 0);
    back.bitmap.SetAlphaChannel({200});
    Layer front = Flat(1, 1, kFront, 0, 0);
    front.bitmap.SetAlphaChannel({128});
    const Layer merged = MergeLayers(back, front, kGround);
    const double aT = 128 / 255.0, aB = 200 / 255.0;
    const double a = aT + (1 - aT) * aB;
    auto channel = [&](int t, int b) {
        return int(std::nearbyint((t * aT + b * (1 - aT) * aB) / a));
    };
    EXPECT_EQ(
        merged.bitmap.PixelAt(0, 0),
        (Rgb{uint8_t(channel(200, 10)), uint8_t(channel(100, 20)), uint8_t(channel(50, 30))}));
    EXPECT_EQ(merged.bitmap.AlphaAt(0, 0), int(std::nearbyint(a * 255)));
    // Hand-checked values for the red channel: (200 * 0.50196 + 10 * 0.49804 * 0.78431) / 0.89262
    EXPECT_EQ(merged.bitmap.PixelAt(0, 0).red, 117);
    EXPECT_EQ(merged.bitmap.AlphaAt(0, 0), 228);
}

TEST(MergeLayers, CapsAlphaByLayerTransparency) {
    Layer back = Flat(1, 1, kBack, 0, 0);
    Layer front = Flat(2, 1, kFront, 0, 0);
    front.transparency = 0;
    const Layer merged = MergeLayers(back, front, kGround);
    EXPECT_EQ(merged.bitmap.PixelAt(0, 0), kBack);  // an invisible object
    EXPECT_EQ(merged.bitmap.AlphaAt(0, 0), 255);
    EXPECT_EQ(merged.bitmap.PixelAt(1, 0), kFront);  // object only, with its capped alpha 0
    EXPECT_EQ(merged.bitmap.AlphaAt(1, 0), 0);
}

TEST(MergeLayers, TakesTheObjectsColourWhereBothAreTransparent) {
    Layer back = Flat(1, 1, kBack, 0, 0);
    back.bitmap.SetAlphaChannel({0});
    Layer front = Flat(1, 1, kFront, 0, 0);
    front.bitmap.SetAlphaChannel({0});
    const Layer merged = MergeLayers(back, front, kGround);
    EXPECT_EQ(merged.bitmap.PixelAt(0, 0), kFront);
    EXPECT_EQ(merged.bitmap.AlphaAt(0, 0), 0);
}

TEST(MergeLayers, DropsAnAllOpaqueAlpha) {
    Layer back = Flat(3, 3, kBack, 0, 0);
    back.bitmap.AlphaForWriting();  // present but 255 everywhere
    const Layer merged = MergeLayers(back, Flat(2, 2, kFront, 1, 1), kGround);
    EXPECT_FALSE(merged.bitmap.HasAlpha());
    EXPECT_EQ(merged.bitmap.PixelAt(2, 2), kFront);
    EXPECT_EQ(merged.bitmap.PixelAt(0, 0), kBack);
}

}  // namespace
}  // namespace imaging
