#include "layer_resize.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>

namespace imaging {

namespace {

// Keeps sizes within int range whatever the drag.
constexpr int64_t kMaxSide = 1 << 30;

int ClampSide(int64_t side) {
    return int(std::clamp<int64_t>(side, 1, kMaxSide));
}

int ScaledSide(int64_t side, int numerator, int denominator) {
    return ClampSide(int64_t(std::nearbyint(double(side) * numerator / denominator)));
}

}  // namespace

LayerFrame ResizeLayerFrame(const LayerFrame& start, Grip grip, int dx, int dy, bool keepAspect,
                            int bitmapWidth, int bitmapHeight) {
    const bool movesLeft = grip == Grip::TopLeft || grip == Grip::Left || grip == Grip::BottomLeft;
    const bool movesRight =
        grip == Grip::TopRight || grip == Grip::Right || grip == Grip::BottomRight;
    const bool movesTop = grip == Grip::TopLeft || grip == Grip::Top || grip == Grip::TopRight;
    const bool movesBottom =
        grip == Grip::BottomLeft || grip == Grip::Bottom || grip == Grip::BottomRight;

    const int64_t widthChange = movesRight ? dx : movesLeft ? -int64_t(dx) : 0;
    const int64_t heightChange = movesBottom ? dy : movesTop ? -int64_t(dy) : 0;
    int width = ClampSide(int64_t(start.width) + widthChange);
    int height = ClampSide(int64_t(start.height) + heightChange);

    if (keepAspect && bitmapWidth > 0 && bitmapHeight > 0) {
        const bool horizontal = movesLeft || movesRight;
        const bool vertical = movesTop || movesBottom;
        bool heightLeads = vertical && !horizontal;
        if (horizontal && vertical) {
            // Compare |dh| / bitmapHeight with |dw| / bitmapWidth without dividing.
            heightLeads = std::abs(double(height - start.height)) * bitmapWidth >
                          std::abs(double(width - start.width)) * bitmapHeight;
        }
        if (heightLeads)
            width = ScaledSide(height, bitmapWidth, bitmapHeight);
        else
            height = ScaledSide(width, bitmapHeight, bitmapWidth);
    }

    LayerFrame frame;
    frame.width = width;
    frame.height = height;
    const int64_t right = int64_t(start.x) + start.width;
    const int64_t bottom = int64_t(start.y) + start.height;
    frame.x = movesLeft ? int(right - width) : start.x;
    frame.y = movesTop ? int(bottom - height) : start.y;
    return frame;
}

}  // namespace imaging
