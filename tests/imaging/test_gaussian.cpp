#include "imaging/gaussian.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <numeric>

namespace imaging {
namespace {

TEST(GaussianKernel, ReachesThreeSigmaAndIsNormalisedAndSymmetric) {
    for (double sigma : {0.3, 1.0, 2.0, 2.5, 10.0}) {
        SCOPED_TRACE(sigma);
        const std::vector<float> kernel = GaussianKernel(sigma);
        const int radius = int(std::ceil(3.0 * sigma));
        ASSERT_EQ(kernel.size(), size_t(2 * radius + 1));
        EXPECT_NEAR(std::accumulate(kernel.begin(), kernel.end(), 0.0), 1.0, 1e-6);
        for (int k = 1; k <= radius; ++k) {
            EXPECT_EQ(kernel[size_t(radius - k)], kernel[size_t(radius + k)]);
            EXPECT_LT(kernel[size_t(radius + k)], kernel[size_t(radius + k - 1)]);
        }
    }
}

TEST(GaussianKernel, HasTheRequestedStandardDeviation) {
    // Cutting the tails at 3 sigma loses about 3 % of the variance.
    for (double sigma : {1.0, 2.0, 5.0}) {
        const std::vector<float> kernel = GaussianKernel(sigma);
        const int radius = int(kernel.size() / 2);
        double variance = 0.0;
        for (int k = -radius; k <= radius; ++k)
            variance += double(k) * k * kernel[size_t(k + radius)];
        EXPECT_NEAR(std::sqrt(variance), sigma, 0.03 * sigma) << sigma;
    }
}

TEST(GaussianKernel, IsEmptyForNonPositiveOrNonFiniteSigma) {
    EXPECT_TRUE(GaussianKernel(0.0).empty());
    EXPECT_TRUE(GaussianKernel(-1.0).empty());
    EXPECT_TRUE(GaussianKernel(std::numeric_limits<double>::quiet_NaN()).empty());
    EXPECT_TRUE(GaussianKernel(std::numeric_limits<double>::infinity()).empty());
}

TEST(GaussianSmoothRect, ImpulseGivesTheKernelAlongARow) {
    std::vector<uint8_t> row(21, 0);
    row[10] = 255;
    GaussianSmoothRect(row.data(), row.size(), 1, BoundingBox{0, 0, 20, 0}, 1.5);
    const std::vector<float> kernel = GaussianKernel(1.5);
    const int radius = int(kernel.size() / 2);
    for (int x = 0; x < 21; ++x) {
        const int k = x - 10;
        const double expected = std::abs(k) <= radius ? 255.0 * kernel[size_t(k + radius)] : 0.0;
        EXPECT_EQ(row[size_t(x)], int(std::floor(expected + 0.5))) << x;
    }
}

TEST(GaussianSmoothRect, KeepsFlatChannelsAndLeavesEverythingOutsideTheRect) {
    // 6 x 5 pixels, two channels of different flat values, a marker outside the rectangle.
    const int width = 6, height = 5, channels = 2;
    std::vector<uint8_t> image(size_t(width * height * channels));
    for (size_t i = 0; i < image.size(); ++i)
        image[i] = i % 2 == 0 ? 17 : 240;
    image[0] = 99;  // pixel (0, 0), outside the rectangle below
    const std::vector<uint8_t> before = image;
    GaussianSmoothRect(image.data(), size_t(width * channels), channels, BoundingBox{1, 1, 5, 4},
                       3.0);
    EXPECT_EQ(image, before);
}

TEST(GaussianSmoothRect, RepeatsTheRectanglesEdgeNotTheImages) {
    // A bright column left of the rectangle must not leak into it.
    std::vector<uint8_t> image{255, 10, 10, 10, 255, 10, 10, 10};
    GaussianSmoothRect(image.data(), 4, 1, BoundingBox{1, 0, 3, 1}, 2.0);
    EXPECT_EQ(image, (std::vector<uint8_t>{255, 10, 10, 10, 255, 10, 10, 10}));
}

TEST(GaussianSmoothRect, RunsRowsThenColumnsSeparably) {
    // A single bright pixel spreads into a cross-symmetric blob whose corner values equal the
    // product of the two one-dimensional passes.
    const int size = 9;
    std::vector<uint8_t> image(size * size, 0);
    image[4 * size + 4] = 255;
    GaussianSmoothRect(image.data(), size, 1, BoundingBox{0, 0, size - 1, size - 1}, 1.0);
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x) {
            EXPECT_EQ(image[size_t(y * size + x)], image[size_t(x * size + y)]);
            EXPECT_EQ(image[size_t(y * size + x)], image[size_t(y * size + (size - 1 - x))]);
        }
    EXPECT_GT(image[4 * size + 4], image[4 * size + 5]);
    EXPECT_GT(image[4 * size + 5], image[5 * size + 5]);
}

}  // namespace
}  // namespace imaging
