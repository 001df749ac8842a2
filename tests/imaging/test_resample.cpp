#include "imaging/resample.h"

#include <gtest/gtest.h>

namespace imaging {
namespace {

constexpr Rgb kA{1, 2, 3}, kB{4, 5, 6}, kC{7, 8, 9};

TEST(ResampleNearest, EnlargesByRepeatingPixels) {
    Bitmap source(2, 1);
    source.SetPixel(0, 0, kA);
    source.SetPixel(1, 0, kB);
    const Bitmap result = ResampleNearest(source, 4, 2);
    for (int y = 0; y < 2; ++y) {
        EXPECT_EQ(result.PixelAt(0, y), kA);
        EXPECT_EQ(result.PixelAt(1, y), kA);
        EXPECT_EQ(result.PixelAt(2, y), kB);
        EXPECT_EQ(result.PixelAt(3, y), kB);
    }
}

TEST(ResampleNearest, ReducesByTakingThePixelUnderEachCentre) {
    Bitmap source(3, 1);
    source.SetPixel(0, 0, kA);
    source.SetPixel(1, 0, kB);
    source.SetPixel(2, 0, kC);
    source.SetAlphaChannel({10, 20, 30});
    const Bitmap result = ResampleNearest(source, 2, 1);
    EXPECT_EQ(result.PixelAt(0, 0), kA);  // centre 0.75 of 3
    EXPECT_EQ(result.PixelAt(1, 0), kC);  // centre 2.25 of 3
    EXPECT_EQ(result.AlphaChannel(), (std::vector<uint8_t>{10, 30}));
}

TEST(ResampleNearest, GivesAnEmptyBitmapForZeroSize) {
    EXPECT_TRUE(ResampleNearest(Bitmap(3, 3), 0, 5).IsEmpty());
    EXPECT_EQ(ResampleNearest(Bitmap(0, 0), 4, 2).Width(), 4);
}

}  // namespace
}  // namespace imaging
