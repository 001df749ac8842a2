#include "luv_conversion.h"

#include <array>
#include <cmath>

#include "processor_features.h"

#if defined(MIRRASK_HAS_AVX2_PATHS)
#include <immintrin.h>

#include "eight_pixels_avx2.h"
#endif

namespace mirrask {

namespace {
// XYZ coefficients scaled by 10000; the Y row sums to 10000, so white gives Y = 2550000.
constexpr int32_t kXr = 4125, kXg = 3576, kXb = 1804;
constexpr int32_t kYr = 2125, kYg = 7154, kYb = 721;
constexpr int32_t kZr = 193, kZg = 1192, kZb = 9502;

#if defined(MIRRASK_HAS_AVX2_PATHS)
// Convert for eight pixels at a time, with every value rounded to float32 where Convert rounds it.
// Divisions, the slowest step by far, are traded for products where that gives the same float32
// for every 8-bit colour (the tests try all 2^24): y as Y times 1 / 2550000, u' and v' as 4X and
// 9Y times one reciprocal of d.
#define MIRRASK_AVX2 __attribute__((target("avx2"), always_inline)) inline

// Eight values in double, as two halves of four.
struct EightDoubles {
    __m256d low, high;
};

MIRRASK_AVX2 EightDoubles Widen(__m256i lanes) {
    return {_mm256_cvtepi32_pd(_mm256_castsi256_si128(lanes)),
            _mm256_cvtepi32_pd(_mm256_extracti128_si256(lanes, 1))};
}

MIRRASK_AVX2 EightDoubles Widen(__m256 lanes) {
    return {_mm256_cvtps_pd(_mm256_castps256_ps128(lanes)),
            _mm256_cvtps_pd(_mm256_extractf128_ps(lanes, 1))};
}

MIRRASK_AVX2 __m256 RoundToFloat(EightDoubles d) {
    return _mm256_set_m128(_mm256_cvtpd_ps(d.high), _mm256_cvtpd_ps(d.low));
}

MIRRASK_AVX2 EightDoubles Times(double factor, EightDoubles d) {
    const __m256d f = _mm256_set1_pd(factor);
    return {_mm256_mul_pd(f, d.low), _mm256_mul_pd(f, d.high)};
}

MIRRASK_AVX2 EightDoubles Quotient(EightDoubles a, EightDoubles b) {
    return {_mm256_div_pd(a.low, b.low), _mm256_div_pd(a.high, b.high)};
}

MIRRASK_AVX2 EightDoubles Product(EightDoubles a, EightDoubles b) {
    return {_mm256_mul_pd(a.low, b.low), _mm256_mul_pd(a.high, b.high)};
}

MIRRASK_AVX2 EightDoubles Minus(EightDoubles a, double b) {
    const __m256d s = _mm256_set1_pd(b);
    return {_mm256_sub_pd(a.low, s), _mm256_sub_pd(a.high, s)};
}

MIRRASK_AVX2 __m256i WeightedSum(__m256i red, int32_t r, __m256i green, int32_t g, __m256i blue,
                                 int32_t b) {
    return _mm256_add_epi32(_mm256_add_epi32(_mm256_mullo_epi32(red, _mm256_set1_epi32(r)),
                                             _mm256_mullo_epi32(green, _mm256_set1_epi32(g))),
                            _mm256_mullo_epi32(blue, _mm256_set1_epi32(b)));
}

// Returns how many of the count pixels it converted (a multiple of eight).
__attribute__((target("avx2"))) int32_t ConvertRowAvx2(const uint8_t* pixels, int32_t count,
                                                       const float* lightness, float* L, float* u,
                                                       float* v) {
    int32_t k = 0;
    for (; count - k >= 8; k += 8) {
        const auto [blue, green, red] = LoadEightPixels(pixels + 3 * static_cast<size_t>(k));
        const __m256i X = WeightedSum(red, kXr, green, kXg, blue, kXb);
        const __m256i Y = WeightedSum(red, kYr, green, kYg, blue, kYb);
        const __m256i Z = WeightedSum(red, kZr, green, kZg, blue, kZb);

        const EightDoubles Yd = Widen(Y);
        const __m256 y = RoundToFloat(Times(1.0 / 2550000.0, Yd));
        const EightDoubles yd = Widen(y);
        // Every index is inside the table: y lies in [0, 1].
        const __m256d half = _mm256_set1_pd(0.5);
        const EightDoubles place = Times(255.0, yd);
        const __m256i index = _mm256_set_m128i(_mm256_cvttpd_epi32(_mm256_add_pd(place.high, half)),
                                               _mm256_cvttpd_epi32(_mm256_add_pd(place.low, half)));
        // Eight loads instead of a gather instruction, which some processors (these among them)
        // execute slowly.
        alignas(32) int32_t places[8];
        _mm256_store_si256(reinterpret_cast<__m256i*>(places), index);
        const __m256 bright = _mm256_setr_ps(
            lightness[places[0]], lightness[places[1]], lightness[places[2]], lightness[places[3]],
            lightness[places[4]], lightness[places[5]], lightness[places[6]], lightness[places[7]]);
        const __m256 dark = RoundToFloat(Times(903.3, yd));
        const __m256 lightnessOut =
            _mm256_blendv_ps(dark, bright, _mm256_cmp_ps(y, _mm256_set1_ps(0.008856f), _CMP_GT_OQ));

        const __m256i d =
            _mm256_add_epi32(_mm256_add_epi32(X, _mm256_mullo_epi32(Y, _mm256_set1_epi32(15))),
                             _mm256_mullo_epi32(Z, _mm256_set1_epi32(3)));
        const __m256 black = _mm256_castsi256_ps(_mm256_cmpeq_epi32(d, _mm256_setzero_si256()));
        // A divisor of 1 where d is 0 keeps 1 / 0 out; those lanes take the fixed values.
        const EightDoubles df =
            Widen(_mm256_blendv_ps(_mm256_cvtepi32_ps(d), _mm256_set1_ps(1.0f), black));
        const EightDoubles reciprocal = Quotient({_mm256_set1_pd(1.0), _mm256_set1_pd(1.0)}, df);
        const __m256 uPrime = _mm256_blendv_ps(
            RoundToFloat(Product(Times(4.0, Widen(X)), reciprocal)), _mm256_set1_ps(4.0f), black);
        const __m256 vPrime = _mm256_blendv_ps(RoundToFloat(Product(Times(9.0, Yd), reciprocal)),
                                               _mm256_set1_ps(0.6f), black);

        const EightDoubles L13 = Widen(RoundToFloat(Times(13.0, Widen(lightnessOut))));
        _mm256_storeu_ps(L + k, lightnessOut);
        _mm256_storeu_ps(u + k, RoundToFloat(Product(Minus(Widen(uPrime), double(0.1978f)), L13)));
        _mm256_storeu_ps(v + k, RoundToFloat(Product(L13, Minus(Widen(vPrime), double(0.4683f)))));
    }
    return k;
}
#undef MIRRASK_AVX2
#endif

}  // namespace

LuvConverter::LuvConverter() {
    for (int i = 0; i < 256; ++i) {
        lightness_[i] = float(116.0 * std::pow(double(i) / 255.0, 0.3333333) - 16.0);
    }
}

LuvColour LuvConverter::Convert(uint8_t blue, uint8_t green, uint8_t red) const {
    const int32_t X = kXr * red + kXg * green + kXb * blue;
    const int32_t Y = kYr * red + kYg * green + kYb * blue;
    const int32_t Z = kZr * red + kZg * green + kZb * blue;

    const float y = float(double(Y) / 2550000.0);
    float L;
    if (y > 0.008856f) {
        const int index = int(double(y) * 255.0 + 0.5);
        L = lightness_[index];
    } else {
        L = float(double(y) * 903.3);
    }

    const int32_t d = X + 15 * Y + 3 * Z;
    float uPrime;
    float vPrime;
    if (d == 0) {
        uPrime = 4.0f;
        vPrime = 0.6f;
    } else {
        const float df = float(d);
        // 9 * Y exceeds 2^24: the quotient must be taken in double, then rounded once.
        uPrime = float(4.0 * double(X) / double(df));
        vPrime = float(9.0 * double(Y) / double(df));
    }

    const float L13 = float(13.0 * double(L));
    const float u = float((double(uPrime) - double(0.1978f)) * double(L13));
    const float v = float(double(L13) * (double(vPrime) - double(0.4683f)));
    return {L, u, v};
}

void LuvConverter::ConvertRow(const uint8_t* pixels, int32_t count, float* L, float* u,
                              float* v) const {
    int32_t k = 0;
#if defined(MIRRASK_HAS_AVX2_PATHS)
    if (HasAvx2()) k = ConvertRowAvx2(pixels, count, lightness_.data(), L, u, v);
#endif
    for (; k < count; ++k) {
        const uint8_t* p = pixels + 3 * static_cast<size_t>(k);
        const LuvColour c = Convert(p[0], p[1], p[2]);
        L[k] = c.L;
        u[k] = c.u;
        v[k] = c.v;
    }
}

void ConvertToLuv(const uint8_t* pixels, int32_t pixelCount, std::span<LuvColour> colours) {
    const LuvConverter converter;
    for (int32_t k = 0; k < pixelCount; ++k) {
        const uint8_t* p = pixels + 3 * static_cast<size_t>(k);
        colours[k] = converter.Convert(p[0], p[1], p[2]);
    }
}

}  // namespace mirrask
