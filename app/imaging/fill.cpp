#include "fill.h"

#include <algorithm>

namespace imaging {

void FillThroughMask(Bitmap& bitmap, const SelectionMask& mask, Rgb colour) {
    if (mask.IsEmpty()) {
        bitmap.Fill(colour);
        return;
    }
    const BoundingBox& box = mask.Box();
    const int x2 = std::min(box.x2, bitmap.Width() - 1);
    const int y2 = std::min(box.y2, bitmap.Height() - 1);
    const int target[3] = {colour.blue, colour.green, colour.red};
    for (int y = box.y1; y <= y2; ++y) {
        const uint8_t* weights = mask.Row(y);
        uint8_t* row = bitmap.Row(y);
        for (int x = box.x1; x <= x2; ++x) {
            const int m = weights[x];
            uint8_t* p = row + size_t(x) * 3;
            // An arithmetic right shift by 8 is floor(v / 256), also for negative v.
            for (int c = 0; c < 3; ++c)
                p[c] = uint8_t(p[c] + (((target[c] - p[c]) * m) >> 8));
        }
    }
}

}  // namespace imaging
