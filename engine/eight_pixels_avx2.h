// The channels of eight blue-green-red pixels in 32-bit lanes, for the AVX2 paths chosen at run
// time (processor_features.h). Only for code built where MIRRASK_HAS_AVX2_PATHS is defined.
#ifndef MIRRASK_EIGHT_PIXELS_AVX2_H
#define MIRRASK_EIGHT_PIXELS_AVX2_H

#include <immintrin.h>

#include <cstdint>

namespace mirrask {

struct EightPixels {
    __m256i blue, green, red;
};

// One channel of the eight pixels whose 24 bytes hold bytes 0-15 in first and bytes 8-23 in last:
// the first five pixels lie in the former, the last three in the latter.
__attribute__((target("avx2"), always_inline)) inline __m256i ChannelOfEight(__m128i first,
                                                                             __m128i last,
                                                                             int channel) {
    alignas(16) int8_t fromFirst[16], fromLast[16];
    for (int k = 0; k < 16; ++k) {
        fromFirst[k] = k < 5 ? static_cast<int8_t>(3 * k + channel) : -1;
        fromLast[k] = k >= 5 && k < 8 ? static_cast<int8_t>(3 * k + channel - 8) : -1;
    }
    return _mm256_cvtepu8_epi32(
        _mm_or_si128(_mm_shuffle_epi8(first, _mm_load_si128(reinterpret_cast<__m128i*>(fromFirst))),
                     _mm_shuffle_epi8(last, _mm_load_si128(reinterpret_cast<__m128i*>(fromLast)))));
}

// The eight pixels at p; reads their 24 bytes and nothing past them.
__attribute__((target("avx2"), always_inline)) inline EightPixels LoadEightPixels(
    const uint8_t* p) {
    const __m128i first = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    const __m128i last = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 8));
    return {ChannelOfEight(first, last, 0), ChannelOfEight(first, last, 1),
            ChannelOfEight(first, last, 2)};
}

}  // namespace mirrask

#endif  // MIRRASK_EIGHT_PIXELS_AVX2_H
