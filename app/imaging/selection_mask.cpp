#include "selection_mask.h"

#include <algorithm>
#include <stdexcept>

namespace imaging {

void BoundingBox::Include(int x, int y) {
    if (IsEmpty()) {
        x1 = x2 = x;
        y1 = y2 = y;
        return;
    }
    x1 = std::min(x1, x);
    x2 = std::max(x2, x);
    y1 = std::min(y1, y);
    y2 = std::max(y2, y);
}

SelectionMask::SelectionMask(int width, int height) {
    Resize(width, height);
}

void SelectionMask::Resize(int width, int height) {
    if (width < 0 || height < 0) throw std::invalid_argument("SelectionMask: negative size");
    values_.assign(size_t(width) * size_t(height), 0);
    width_ = width;
    height_ = height;
    box_ = BoundingBox{};
}

void SelectionMask::Deselect() {
    std::fill(values_.begin(), values_.end(), uint8_t{0});
    box_ = BoundingBox{};
}

void SelectionMask::Invert() {
    if (IsEmpty()) return;
    if (std::all_of(values_.begin(), values_.end(), [](uint8_t v) { return v == 255; })) {
        Deselect();
        return;
    }
    for (uint8_t& v : values_)
        v = v == 0 ? 255 : 0;
    RecomputeBoundingBox();
}

void SelectionMask::RecomputeBoundingBox() {
    BoundingBox box;
    for (int y = 0; y < height_; ++y) {
        const uint8_t* row = Row(y);
        const uint8_t* end = row + width_;
        const uint8_t* first = std::find_if(row, end, [](uint8_t v) { return v != 0; });
        if (first == end) continue;
        const uint8_t* last = end - 1;
        while (*last == 0)
            --last;
        box.Include(int(first - row), y);
        box.Include(int(last - row), y);
    }
    box_ = box;
}

}  // namespace imaging
