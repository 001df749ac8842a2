#include "outlines.h"

namespace mirrask {

void DrawMarkOutlines(const uint8_t* marks, uint8_t* pixels, int32_t width, int32_t height) {
    size_t p = 0;
    for (int32_t y = 0; y < height; ++y) {
        for (int32_t x = 0; x < width; ++x, ++p)
            DrawOutlinePixel(marks, pixels, width, height, x, y, p);
    }
}

}  // namespace mirrask
