#include "blur.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#include "gaussian.h"

namespace imaging {

void BlurThroughMask(Bitmap& bitmap, const SelectionMask& mask, double sigma) {
    if (!(sigma > 0.0) || !std::isfinite(sigma) || bitmap.IsEmpty()) return;
    const size_t stride = size_t(bitmap.Width()) * 3;
    if (mask.IsEmpty()) {
        const BoundingBox whole{0, 0, bitmap.Width() - 1, bitmap.Height() - 1};
        GaussianSmoothRect(bitmap.Data(), stride, 3, whole, sigma);
        return;
    }
    const BoundingBox& maskBox = mask.Box();
    const BoundingBox box{maskBox.x1, maskBox.y1, std::min(maskBox.x2, bitmap.Width() - 1),
                          std::min(maskBox.y2, bitmap.Height() - 1)};
    if (box.IsEmpty()) return;

    // Working copy of the box, smoothed as an image of its own so its edges repeat the box's.
    const size_t copyStride = size_t(box.Width()) * 3;
    std::vector<uint8_t> copy(copyStride * size_t(box.Height()));
    for (int y = box.y1; y <= box.y2; ++y)
        std::memcpy(copy.data() + size_t(y - box.y1) * copyStride,
                    bitmap.Row(y) + size_t(box.x1) * 3, copyStride);
    GaussianSmoothRect(copy.data(), copyStride, 3,
                       BoundingBox{0, 0, box.Width() - 1, box.Height() - 1}, sigma);

    for (int y = box.y1; y <= box.y2; ++y) {
        const uint8_t* weights = mask.Row(y);
        const uint8_t* blurred = copy.data() + size_t(y - box.y1) * copyStride;
        uint8_t* row = bitmap.Row(y) + size_t(box.x1) * 3;
        for (int x = 0; x < box.Width(); ++x) {
            const int m = weights[box.x1 + x];
            for (int c = 0; c < 3; ++c) {
                const size_t i = size_t(x) * 3 + size_t(c);
                // floor((q - p) * m / 256) by an arithmetic shift.
                row[i] = uint8_t(row[i] + (((blurred[i] - row[i]) * m) >> 8));
            }
        }
    }
}

}  // namespace imaging
