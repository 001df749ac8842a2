#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <functional>
#include <random>
#include <vector>

#include "gradient.h"

namespace mirrask {
namespace {

// A grey image (all three channels equal) from a function of (x, y).
std::vector<uint8_t> GreyImage(int w, int h, const std::function<int(int, int)>& grey) {
    std::vector<uint8_t> pixels(3 * static_cast<size_t>(w) * h);
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            const auto g = static_cast<uint8_t>(grey(x, y));
            uint8_t* p = &pixels[3 * (static_cast<size_t>(y) * w + x)];
            p[0] = p[1] = p[2] = g;
        }
    }
    return pixels;
}

std::vector<uint8_t> Gradient(int w, int h, const std::function<int(int, int)>& grey) {
    const auto pixels = GreyImage(w, h, grey);
    std::vector<uint8_t> levels(static_cast<size_t>(w) * h, 0xAB);
    ComputeGradient(pixels.data(), w, h, levels.data());
    return levels;
}

TEST(Gradient, UniformImageIsLevelZero) {
    for (const auto& levels : {Gradient(6, 5, [](int, int) { return 77; }),
                               Gradient(3, 3, [](int, int) { return 255; })}) {
        for (uint8_t level : levels)
            EXPECT_EQ(level, 0);
    }
}

struct StepCase {
    int step;      // grey difference between the two sides
    int expected;  // level in the two columns beside the step
};

TEST(Gradient, VerticalStepGivesItsLevelInTheTwoColumnsBesideIt) {
    for (const StepCase c : {StepCase{255, 255}, {3, 3}, {2, 2}, {1, 1}}) {
        SCOPED_TRACE(c.step);
        const int w = 8, h = 5;
        const auto levels = Gradient(w, h, [&](int x, int) { return x < 4 ? 0 : c.step; });
        for (int y = 0; y < h; ++y) {
            for (int x = 0; x < w; ++x) {
                EXPECT_EQ(levels[y * w + x], (x == 3 || x == 4) ? c.expected : 0) << x << "," << y;
            }
        }
    }
}

TEST(Gradient, HorizontalStepBehavesTheSameInRows) {
    const int w = 5, h = 8;
    const auto levels = Gradient(w, h, [](int, int y) { return y < 4 ? 255 : 0; });
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x)
            EXPECT_EQ(levels[y * w + x], (y == 3 || y == 4) ? 255 : 0);
    }
}

TEST(Gradient, SinglePixelOffByOneOrTwoLeavesLevelZero) {
    for (int delta : {1, 2}) {
        const auto levels =
            Gradient(7, 7, [&](int x, int y) { return x == 3 && y == 3 ? 100 + delta : 100; });
        for (uint8_t level : levels)
            EXPECT_EQ(level, 0) << delta;
    }
}

TEST(Gradient, StepAlongTheBorderIsSeenOnePixelInside) {
    const int w = 6, h = 4;
    const auto levels = Gradient(w, h, [](int x, int) { return x == 0 ? 255 : 0; });
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x)
            EXPECT_EQ(levels[y * w + x], x <= 1 ? 255 : 0) << x << "," << y;
    }
}

TEST(Gradient, BordersRepeatTheNearestInteriorPixelAndCornersTheDiagonal) {
    const int w = 5, h = 5;
    const auto levels = Gradient(w, h, [](int x, int y) { return (x * 37 + y * 91) % 256; });
    auto at = [&](int x, int y) { return levels[y * w + x]; };
    for (int i = 1; i <= 3; ++i) {
        EXPECT_EQ(at(0, i), at(1, i));
        EXPECT_EQ(at(4, i), at(3, i));
        EXPECT_EQ(at(i, 0), at(i, 1));
        EXPECT_EQ(at(i, 4), at(i, 3));
    }
    EXPECT_EQ(at(0, 0), at(1, 1));
    EXPECT_EQ(at(4, 0), at(3, 1));
    EXPECT_EQ(at(0, 4), at(1, 3));
    EXPECT_EQ(at(4, 4), at(3, 3));
}

TEST(Gradient, MagnitudesAbove255AreClamped) {
    // gx = 255, gy = 85: trunc(268.8) = 268 does not fit a byte and is kept as 255.
    const int corner[3][3] = {{0, 255, 255}, {0, 0, 255}, {0, 0, 255}};
    for (uint8_t level : Gradient(3, 3, [&](int x, int y) { return corner[y][x]; })) {
        EXPECT_EQ(level, 255);
    }
    // At a black quadrant's corner gx = 170 and gy = -170: trunc(240.4) = 240, below the clamp.
    const auto quadrant = Gradient(6, 6, [](int x, int y) { return x < 3 && y < 3 ? 0 : 255; });
    EXPECT_EQ(quadrant[2 * 6 + 2], 240);
}

TEST(Gradient, ImagesWithoutInteriorAreLevelZero) {
    for (auto [w, h] : {std::pair{1, 1}, {2, 7}, {7, 2}, {1, 9}}) {
        const auto levels = Gradient(w, h, [](int x, int y) { return (x + y) % 2 ? 255 : 0; });
        for (uint8_t level : levels)
            EXPECT_EQ(level, 0) << w << "x" << h;
    }
}

// The definition written out per pixel: full grey, gx and gy images, borders copied, the
// magnitude truncated and clamped to 255.
std::vector<uint8_t> PlainGradient(const std::vector<uint8_t>& pixels, int w, int h) {
    std::vector<int> grey(static_cast<size_t>(w) * h), gx(grey.size()), gy(grey.size());
    for (size_t i = 0; i < grey.size(); ++i)
        grey[i] = (pixels[3 * i] + pixels[3 * i + 1] + pixels[3 * i + 2]) / 3;
    const auto g = [&](int x, int y) { return grey[static_cast<size_t>(y) * w + x]; };
    for (int y = 1; y <= h - 2; ++y) {
        for (int x = 1; x <= w - 2; ++x) {
            gx[y * w + x] = (g(x + 1, y - 1) + g(x + 1, y) + g(x + 1, y + 1) - g(x - 1, y - 1) -
                             g(x - 1, y) - g(x - 1, y + 1)) /
                            3;
            gy[y * w + x] = (g(x - 1, y - 1) + g(x, y - 1) + g(x + 1, y - 1) - g(x - 1, y + 1) -
                             g(x, y + 1) - g(x + 1, y + 1)) /
                            3;
        }
    }
    for (std::vector<int>* d : {&gx, &gy}) {
        for (int y = 0; y < h; ++y) {
            (*d)[y * w] = (*d)[y * w + 1];
            (*d)[y * w + w - 1] = (*d)[y * w + w - 2];
        }
        for (int x = 0; x < w; ++x) {
            (*d)[x] = (*d)[w + x];
            (*d)[(h - 1) * w + x] = (*d)[(h - 2) * w + x];
        }
    }
    std::vector<uint8_t> levels(grey.size());
    for (size_t i = 0; i < levels.size(); ++i) {
        const int magnitude = static_cast<int>(std::sqrt(double(gx[i] * gx[i] + gy[i] * gy[i])));
        levels[i] = static_cast<uint8_t>(std::min(magnitude, 255));
    }
    return levels;
}

// Eight pixels at a time, magnitudes are taken as float square roots: for every sum of two
// squares the gradient can produce, the truncated float root must equal the truncated exact root.
TEST(Gradient, FloatRootsTruncateLikeExactRootsForEverySumOfSquares) {
    int mismatches = 0;
    for (int32_t s = 0; s <= 2 * 255 * 255; ++s) {
        mismatches += static_cast<int>(std::sqrt(static_cast<float>(s))) !=
                      static_cast<int>(std::sqrt(static_cast<double>(s)));
    }
    EXPECT_EQ(mismatches, 0);
}

// Random colours, sharp black-and-white patterns and smooth ramps, in widths that put pixels in
// every position of the eight-pixel blocks and the row's tail.
TEST(Gradient, SameLevelsAsTheDefinitionPerPixel) {
    std::mt19937 random(99);
    for (int trial = 0; trial < 60; ++trial) {
        const int w = 3 + trial % 23, h = 3 + static_cast<int>(random() % 9);
        std::vector<uint8_t> pixels(3 * static_cast<size_t>(w) * h);
        for (size_t i = 0; i < pixels.size(); ++i) {
            switch (trial % 3) {
                case 0:
                    pixels[i] = static_cast<uint8_t>(random());
                    break;
                case 1:
                    pixels[i] = random() % 2 ? 255 : 0;
                    break;
                default:
                    pixels[i] = static_cast<uint8_t>((i / 3 % w) * 11 + (i / 3 / w) * 29 + i % 3);
            }
        }
        std::vector<uint8_t> levels(static_cast<size_t>(w) * h, 0xAB);
        ComputeGradient(pixels.data(), w, h, levels.data());
        ASSERT_EQ(levels, PlainGradient(pixels, w, h)) << w << " x " << h << ", trial " << trial;
    }
}

}  // namespace
}  // namespace mirrask
