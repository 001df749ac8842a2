#include "gradient.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <vector>

namespace mirrask {

namespace {

constexpr int kMaxSquaredMagnitude = 2 * 255 * 255;

// trunc(sqrt(s)) clamped to 255 for every s = gx^2 + gy^2 that can occur.
const std::array<uint8_t, kMaxSquaredMagnitude + 1>& MagnitudeTable() {
    static const auto table = [] {
        std::array<uint8_t, kMaxSquaredMagnitude + 1> t{};
        for (int s = 0; s <= kMaxSquaredMagnitude; ++s) {
            t[s] = static_cast<uint8_t>(std::min(255, static_cast<int>(std::sqrt(double(s)))));
        }
        return t;
    }();
    return table;
}

void GreyRow(const uint8_t* pixels, int32_t width, int32_t y, int32_t* grey) {
    const uint8_t* p = pixels + 3 * static_cast<size_t>(y) * width;
    for (int32_t x = 0; x < width; ++x, p += 3)
        grey[x] = (p[0] + p[1] + p[2]) / 3;
}

}  // namespace

void ComputeGradient(const uint8_t* pixels, int32_t width, int32_t height, uint8_t* gradient) {
    const size_t w = static_cast<size_t>(width);
    if (width < 3 || height < 3) {
        std::memset(gradient, 0, w * static_cast<size_t>(height));
        return;
    }
    const auto& magnitude = MagnitudeTable();

    // Three grey rows roll over the image: above, current, below.
    std::vector<int32_t> rows(3 * w);
    int32_t* above = rows.data();
    int32_t* centre = above + w;
    int32_t* below = centre + w;
    GreyRow(pixels, width, 0, above);
    GreyRow(pixels, width, 1, centre);

    for (int32_t y = 1; y <= height - 2; ++y) {
        GreyRow(pixels, width, y + 1, below);
        uint8_t* out = gradient + static_cast<size_t>(y) * w;
        // Column sums of three rows and the above-minus-below differences, sliding along x.
        for (int32_t x = 1; x <= width - 2; ++x) {
            const int32_t right = above[x + 1] + centre[x + 1] + below[x + 1];
            const int32_t left = above[x - 1] + centre[x - 1] + below[x - 1];
            const int32_t gx = (right - left) / 3;
            const int32_t gy =
                (above[x - 1] + above[x] + above[x + 1] - below[x - 1] - below[x] - below[x + 1]) /
                3;
            out[x] = magnitude[gx * gx + gy * gy];
        }
        out[0] = out[1];
        out[width - 1] = out[width - 2];
        std::swap(above, centre);
        std::swap(centre, below);
    }
    std::memcpy(gradient, gradient + w, w);
    std::memcpy(gradient + (static_cast<size_t>(height) - 1) * w,
                gradient + (static_cast<size_t>(height) - 2) * w, w);
}

}  // namespace mirrask
