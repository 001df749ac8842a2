#include "luv_conversion.h"

#include <cmath>

namespace mirrask {

namespace {
// XYZ coefficients scaled by 10000; the Y row sums to 10000, so white gives Y = 2550000.
constexpr int32_t kXr = 4125, kXg = 3576, kXb = 1804;
constexpr int32_t kYr = 2125, kYg = 7154, kYb = 721;
constexpr int32_t kZr = 193, kZg = 1192, kZb = 9502;
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

void ConvertToLuv(const uint8_t* pixels, int32_t pixelCount, std::span<LuvColour> colours) {
    const LuvConverter converter;
    for (int32_t k = 0; k < pixelCount; ++k) {
        const uint8_t* p = pixels + 3 * static_cast<size_t>(k);
        colours[k] = converter.Convert(p[0], p[1], p[2]);
    }
}

}  // namespace mirrask
