#include "set_alpha.h"

#include <algorithm>

namespace imaging {

void SetAlphaThroughMask(Bitmap& bitmap, const SelectionMask& mask, uint8_t alpha) {
    if (bitmap.IsEmpty()) return;
    uint8_t* values = bitmap.AlphaForWriting();
    if (mask.IsEmpty()) {
        std::fill(values, values + bitmap.PixelCount(), alpha);
        return;
    }
    const BoundingBox& box = mask.Box();
    const int x2 = std::min(box.x2, bitmap.Width() - 1);
    const int y2 = std::min(box.y2, bitmap.Height() - 1);
    for (int y = box.y1; y <= y2; ++y) {
        const uint8_t* weights = mask.Row(y);
        uint8_t* row = values + size_t(y) * size_t(bitmap.Width());
        for (int x = box.x1; x <= x2; ++x)
            if (weights[x] != 0) row[x] = alpha;
    }
}

}  // namespace imaging
