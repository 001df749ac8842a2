#include "gradient.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

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

void GreyRow(const uint8_t* pixels, int32_t width, int32_t y, int16_t* grey) {
    const uint8_t* p = pixels + 3 * static_cast<size_t>(y) * width;
    for (int32_t x = 0; x < width; ++x, p += 3)
        grey[x] = static_cast<int16_t>((p[0] + p[1] + p[2]) / 3);
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
    std::vector<int16_t> rows(3 * w);
    int16_t* above = rows.data();
    int16_t* centre = above + w;
    int16_t* below = centre + w;
    GreyRow(pixels, width, 0, above);
    GreyRow(pixels, width, 1, centre);

    for (int32_t y = 1; y <= height - 2; ++y) {
        GreyRow(pixels, width, y + 1, below);
        uint8_t* out = gradient + static_cast<size_t>(y) * w;
        int32_t x = 1;
#if defined(__SSE2__)
        // Eight pixels at a time in 16-bit lanes (sums of three grey values stay below 766).
        // Division by 3 toward zero: |d| * 21846 >> 16 equals |d| / 3 for every |d| <= 765,
        // and the sign is put back afterwards.
        const __m128i third = _mm_set1_epi16(21846);
        const auto divide = [&](__m128i d) {
            const __m128i sign = _mm_srai_epi16(d, 15);
            const __m128i size = _mm_sub_epi16(_mm_xor_si128(d, sign), sign);
            const __m128i quotient = _mm_mulhi_epu16(size, third);
            return _mm_sub_epi16(_mm_xor_si128(quotient, sign), sign);
        };
        const auto load = [](const int16_t* p) {
            return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
        };
        for (; x + 8 <= width - 1; x += 8) {
            const __m128i right = _mm_add_epi16(
                _mm_add_epi16(load(above + x + 1), load(centre + x + 1)), load(below + x + 1));
            const __m128i left = _mm_add_epi16(
                _mm_add_epi16(load(above + x - 1), load(centre + x - 1)), load(below + x - 1));
            const __m128i aboveSum = _mm_add_epi16(
                _mm_add_epi16(load(above + x - 1), load(above + x)), load(above + x + 1));
            const __m128i belowSum = _mm_add_epi16(
                _mm_add_epi16(load(below + x - 1), load(below + x)), load(below + x + 1));
            const __m128i gx = divide(_mm_sub_epi16(right, left));
            const __m128i gy = divide(_mm_sub_epi16(aboveSum, belowSum));
            const __m128i low = _mm_unpacklo_epi16(gx, gy), high = _mm_unpackhi_epi16(gx, gy);
            // The magnitude table computed in place: the squares are integers below 2^24, so
            // their float square roots are correctly rounded, and no square lies close enough
            // below a perfect square for its root to round up to an integer. Packing saturates
            // at 255, the clamp.
            const auto root = [](__m128i square) {
                return _mm_cvttps_epi32(_mm_sqrt_ps(_mm_cvtepi32_ps(square)));
            };
            const __m128i roots =
                _mm_packs_epi32(root(_mm_madd_epi16(low, low)), root(_mm_madd_epi16(high, high)));
            _mm_storel_epi64(reinterpret_cast<__m128i*>(out + x), _mm_packus_epi16(roots, roots));
        }
#endif
        // Column sums of three rows and the above-minus-below differences, sliding along x.
        for (; x <= width - 2; ++x) {
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
