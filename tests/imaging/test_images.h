// Small helpers shared by the image-view model's tests.
#ifndef QUILLANE_TESTS_IMAGING_TEST_IMAGES_H
#define QUILLANE_TESTS_IMAGING_TEST_IMAGES_H

#include <cstdint>

#include "imaging/bitmap.h"
#include "imaging/selection_mask.h"

namespace imaging::testing {

// A bitmap whose every pixel has a different colour derived from its coordinates.
inline Bitmap PatternBitmap(int width, int height) {
    Bitmap bitmap(width, height);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            bitmap.SetPixel(x, y,
                            Rgb{uint8_t(x * 37 + y * 11), uint8_t(x * 5 + y * 53),
                                uint8_t(255 - x * 13 - y * 7)});
    return bitmap;
}

// A mask whose pixel (x, y) is value where inside(x, y) holds, built with SetPixel.
template <typename Inside>
SelectionMask MaskWhere(int width, int height, uint8_t value, Inside inside) {
    SelectionMask mask(width, height);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            if (inside(x, y)) mask.SetPixel(x, y, value);
    return mask;
}

}  // namespace imaging::testing

#endif  // QUILLANE_TESTS_IMAGING_TEST_IMAGES_H
