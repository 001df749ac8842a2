// Gradient image: the edge strength of every pixel as one byte, the level the flooding starts from.
//
// Grey g = (blue + green + red) / 3. For an interior pixel the horizontal difference gx is the sum
// of the three grey values of the right-hand column minus those of the left-hand column, divided
// by 3; gy likewise the row above minus the row below (integer divisions truncate toward zero).
// The level is trunc(sqrt(gx^2 + gy^2)), clamped to 255 (a sharp corner reaches 360). Border
// pixels repeat the level of their nearest interior pixel, corners that of their diagonal
// neighbour. Images narrower or lower than 3 pixels have no interior and get level 0 everywhere.
#ifndef MIRRASK_GRADIENT_H
#define MIRRASK_GRADIENT_H

#include <cstdint>

namespace mirrask {

// Writes width * height levels into gradient. Reads only the blue-green-red pixel buffer.
void ComputeGradient(const uint8_t* pixels, int32_t width, int32_t height, uint8_t* gradient);

}  // namespace mirrask

#endif  // MIRRASK_GRADIENT_H
