// Small deterministic pictures for the engine's tests.
#ifndef QUILLANE_TESTS_SYNTHETIC_IMAGES_H
#define QUILLANE_TESTS_SYNTHETIC_IMAGES_H

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <random>
#include <vector>

namespace mirrask::testing {

struct Picture {
    int32_t width = 0;
    int32_t height = 0;
    std::vector<uint8_t> pixels;  // blue, green, red
    std::vector<uint8_t> inside;  // 1 where the object is

    size_t PixelCount() const { return static_cast<size_t>(width) * height; }
};

enum class Shape { Ellipse, Rectangle };

// An object of one colour (an ellipse or a rectangle covering the middle half of each side) on a
// background of another, each pixel with a little noise.
inline Picture ObjectOnBackground(int32_t width, int32_t height, uint32_t seed = 7, int noise = 6,
                                  Shape shape = Shape::Ellipse) {
    Picture picture{width, height, {}, {}};
    picture.pixels.resize(picture.PixelCount() * 3);
    picture.inside.resize(picture.PixelCount());
    std::mt19937 random(seed);
    std::uniform_int_distribution<int> jitter(-noise, noise);
    const double cx = width / 2.0, cy = height / 2.0, rx = width / 4.0, ry = height / 4.0;
    for (int32_t y = 0; y < height; ++y) {
        for (int32_t x = 0; x < width; ++x) {
            const double dx = (x + 0.5 - cx) / rx, dy = (y + 0.5 - cy) / ry;
            const bool in = shape == Shape::Ellipse ? dx * dx + dy * dy <= 1.0
                                                    : std::abs(dx) < 1.0 && std::abs(dy) < 1.0;
            const size_t p = static_cast<size_t>(y) * width + x;
            picture.inside[p] = in;
            const int base[3] = {in ? 40 : 200, in ? 60 : 180, in ? 210 : 90};  // red on teal
            for (int c = 0; c < 3; ++c) {
                picture.pixels[3 * p + c] =
                    static_cast<uint8_t>(std::clamp(base[c] + jitter(random), 0, 255));
            }
        }
    }
    return picture;
}

// Random pixels: the worst case for region counts.
inline Picture Noise(int32_t width, int32_t height, uint32_t seed) {
    Picture picture{width, height, {}, {}};
    picture.pixels.resize(picture.PixelCount() * 3);
    std::mt19937 random(seed);
    for (auto& byte : picture.pixels)
        byte = static_cast<uint8_t>(random());
    return picture;
}

}  // namespace mirrask::testing

#endif  // QUILLANE_TESTS_SYNTHETIC_IMAGES_H
