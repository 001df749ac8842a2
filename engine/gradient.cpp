#include "gradient.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <vector>

#include "processor_features.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#if defined(MIRRASK_HAS_AVX2_PATHS)
#include <immintrin.h>

#include "eight_pixels_avx2.h"
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

#if defined(MIRRASK_HAS_AVX2_PATHS)
// The grey values of eight pixels: the sum of the three bytes times 21846, shifted right by 16,
// is the sum divided by 3 for every sum up to 765.
__attribute__((target("avx2"), always_inline)) inline __m256i GreyOfEight(const uint8_t* p) {
    const EightPixels eight = LoadEightPixels(p);
    const __m256i sum = _mm256_add_epi32(_mm256_add_epi32(eight.blue, eight.green), eight.red);
    return _mm256_srli_epi32(_mm256_mullo_epi32(sum, _mm256_set1_epi32(21846)), 16);
}

// GreyRow sixteen pixels at a time; returns how many pixels it did.
__attribute__((target("avx2"))) int32_t GreyRowAvx2(const uint8_t* row, int32_t width,
                                                    int16_t* grey) {
    int32_t x = 0;
    for (; width - x >= 16; x += 16) {
        const uint8_t* p = row + 3 * static_cast<size_t>(x);
        // Packing works within 128-bit halves; the permutation puts the pixels back in order.
        const __m256i packed = _mm256_packs_epi32(GreyOfEight(p), GreyOfEight(p + 24));
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(grey + x),
                            _mm256_permute4x64_epi64(packed, 0xD8));
    }
    return x;
}
#endif

void GreyRow(const uint8_t* pixels, int32_t width, int32_t y, int16_t* grey) {
    const uint8_t* const row = pixels + 3 * static_cast<size_t>(y) * width;
    int32_t x = 0;
#if defined(MIRRASK_HAS_AVX2_PATHS)
    if (HasAvx2()) x = GreyRowAvx2(row, width, grey);
#endif
    for (const uint8_t* p = row + 3 * static_cast<size_t>(x); x < width; ++x, p += 3)
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
