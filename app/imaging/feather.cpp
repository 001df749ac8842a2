#include "feather.h"

#include <algorithm>
#include <cmath>

#include "gaussian.h"

namespace imaging {

BoundingBox FeatherRect(const SelectionMask& mask, double radius) {
    if (!(radius > 0.0) || !std::isfinite(radius) || mask.IsEmpty()) return BoundingBox{};
    // trunc(5 r) for large r is capped by the mask's own size before it can overflow an int.
    const double limit = double(std::max(mask.Width(), mask.Height()));
    const int margin = std::max(1, int(std::min(std::trunc(5.0 * radius), limit)));
    const BoundingBox& box = mask.Box();
    return BoundingBox{std::max(box.x1 - margin, 0), std::max(box.y1 - margin, 0),
                       std::min(box.x2 + margin, mask.Width() - 1),
                       std::min(box.y2 + margin, mask.Height() - 1)};
}

void FeatherMask(SelectionMask& mask, double radius) {
    const BoundingBox rect = FeatherRect(mask, radius);
    if (rect.IsEmpty()) return;
    GaussianSmoothRect(mask.MutableData(), size_t(mask.Width()), 1, rect, radius);
    mask.RecomputeBoundingBox();
}

}  // namespace imaging
