// Colour conversion of 8-bit blue-green-red pixels to CIE L*u*v*.
//
// The 8-bit channel values enter the XYZ matrix directly (no gamma expansion), with integer
// coefficients scaled by 10000; the reference white is Y = 1, u'n = 0.1978, v'n = 0.4683; the cube
// root of the lightness is looked up in a 256-entry table. Intermediate arithmetic is double and
// every stored value is rounded to float32 where it is stored, so the results are the same to the
// last bit on every machine.
#ifndef MIRRASK_LUV_CONVERSION_H
#define MIRRASK_LUV_CONVERSION_H

#include <array>
#include <cstdint>
#include <span>

#include "engine_state.h"

namespace mirrask {

class LuvConverter {
  public:
    LuvConverter();

    // The colour of one pixel given by its blue, green and red bytes.
    LuvColour Convert(uint8_t blue, uint8_t green, uint8_t red) const;

    // The colours of count pixels of a blue-green-red buffer, as planes of L, u and v: exactly the
    // values of Convert, eight pixels at a time where the processor has AVX2.
    void ConvertRow(const uint8_t* pixels, int32_t count, float* L, float* u, float* v) const;

    // Lightness table entry i: 116 * (i / 255)^0.3333333 - 16, rounded to float32 once.
    float LightnessEntry(int index) const { return lightness_[index]; }

  private:
    std::array<float, 256> lightness_;
};

// Converts pixelCount pixels of a blue-green-red buffer into colours[0 .. pixelCount - 1].
void ConvertToLuv(const uint8_t* pixels, int32_t pixelCount, std::span<LuvColour> colours);

}  // namespace mirrask

#endif  // MIRRASK_LUV_CONVERSION_H
