// Small generated pictures for the tests of quillane-cut.
#ifndef QUILLANE_TESTS_TOOLS_CUT_TEST_IMAGES_H
#define QUILLANE_TESTS_TOOLS_CUT_TEST_IMAGES_H

#include <algorithm>
#include <cstdint>
#include <random>
#include <vector>

#include "imaging/bitmap.h"

namespace cut::testing {

// An ellipse of one colour on a background of another, every channel with a little noise.
struct Scene {
    imaging::Bitmap image;
    int width = 0;
    int height = 0;

    // The ellipse's equation at the pixel's centre: below 1 inside, above 1 outside.
    double Radius(int x, int y) const {
        const double dx = (x + 0.5 - width / 2.0) / (width / 4.0);
        const double dy = (y + 0.5 - height / 2.0) / (height / 4.0);
        return dx * dx + dy * dy;
    }
};

inline Scene MakeScene(int width, int height, uint32_t seed = 11) {
    Scene scene{imaging::Bitmap(width, height), width, height};
    std::mt19937 random(seed);
    std::uniform_int_distribution<int> noise(-5, 5);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const bool inside = scene.Radius(x, y) < 1.0;
            // Object: warm red; background: teal. Both at most 240 per channel, the crop's
            // ground, so that a cropped object keeps its colours exactly.
            const int base[3] = {inside ? 40 : 190, inside ? 60 : 170, inside ? 200 : 80};
            uint8_t* pixel = scene.image.Row(y) + 3 * x;
            for (int c = 0; c < 3; ++c)
                pixel[c] = uint8_t(std::clamp(base[c] + noise(random), 0, 240));
        }
    }
    return scene;
}

// A selection (1 selected) of the pixels with Radius below `radius`.
inline std::vector<uint8_t> EllipseSelection(const Scene& scene, double radius = 1.0) {
    std::vector<uint8_t> selection(size_t(scene.width) * size_t(scene.height), 0);
    for (int y = 0; y < scene.height; ++y)
        for (int x = 0; x < scene.width; ++x)
            selection[size_t(y) * size_t(scene.width) + size_t(x)] = scene.Radius(x, y) < radius;
    return selection;
}

// Random colours, at most 240 per channel.
inline imaging::Bitmap NoiseImage(int width, int height, uint32_t seed) {
    imaging::Bitmap image(width, height);
    std::mt19937 random(seed);
    std::uniform_int_distribution<int> value(0, 240);
    for (size_t i = 0; i < 3 * image.PixelCount(); ++i)
        image.Data()[i] = uint8_t(value(random));
    return image;
}

}  // namespace cut::testing

#endif  // QUILLANE_TESTS_TOOLS_CUT_TEST_IMAGES_H
