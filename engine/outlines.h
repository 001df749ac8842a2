// Outline overlay of the user's marks.
//
// A pixel marked 1 (foreground) or 2 (background) is an outline pixel when it lies in the first or
// last row or column, or when one of its four direct neighbours holds another mark value (any value
// other than its own, including values that are no mark). Outline pixels of mark 1 become red
// (bytes 0, 0, 255 in blue-green-red order), those of mark 2 green (0, 255, 0); every other byte of
// the buffer keeps its value. No mark outside the image is ever read.
#ifndef MIRRASK_OUTLINES_H
#define MIRRASK_OUTLINES_H

#include <cstddef>
#include <cstdint>

namespace mirrask {

// Applies the outline rule to pixel (x, y), p = y * width + x.
inline void DrawOutlinePixel(const uint8_t* marks, uint8_t* pixels, int32_t width, int32_t height,
                             int32_t x, int32_t y, size_t p) {
    const uint8_t m = marks[p];
    if (m != 1 && m != 2) return;
    const bool outline = x == 0 || x == width - 1 || y == 0 || y == height - 1 ||
                         marks[p + width] != m || marks[p - width] != m || marks[p + 1] != m ||
                         marks[p - 1] != m;
    if (!outline) return;
    uint8_t* out = pixels + 3 * p;
    out[0] = 0;
    out[1] = m == 2 ? 255 : 0;
    out[2] = m == 1 ? 255 : 0;
}

// Draws the outlines of all marks of a width x height image into pixels.
void DrawMarkOutlines(const uint8_t* marks, uint8_t* pixels, int32_t width, int32_t height);

}  // namespace mirrask

#endif  // MIRRASK_OUTLINES_H
