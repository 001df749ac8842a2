// SelectionMask: the 8-bit selection of an image view and its bounding box.
#ifndef QUILLANE_IMAGING_SELECTION_MASK_H
#define QUILLANE_IMAGING_SELECTION_MASK_H

#include <cstddef>
#include <cstdint>
#include <vector>

namespace imaging {

// An inclusive rectangle of pixels, columns x1 .. x2 and rows y1 .. y2. Empty when x2 < x1 or
// y2 < y1; the default rectangle is empty.
struct BoundingBox {
    int x1 = 0;
    int y1 = 0;
    int x2 = -1;
    int y2 = -1;

    bool IsEmpty() const { return x2 < x1 || y2 < y1; }
    int Width() const { return IsEmpty() ? 0 : x2 - x1 + 1; }
    int Height() const { return IsEmpty() ? 0 : y2 - y1 + 1; }
    bool Contains(int x, int y) const { return x >= x1 && x <= x2 && y >= y1 && y <= y2; }
    // Grows the rectangle to include (x, y); an empty rectangle becomes that one pixel.
    void Include(int x, int y);

    friend bool operator==(const BoundingBox&, const BoundingBox&) = default;
};

// One value per pixel, 0 .. 255, row-major from the top, sized to an image. The mask is empty
// exactly when its bounding box is: after construction, Resize and Deselect, until a non-zero
// value is set. Setting values back to 0 does not make it empty again; only Deselect, Invert
// (of an all-255 mask) or RecomputeBoundingBox do.
class SelectionMask {
  public:
    SelectionMask() = default;
    // All 0 and empty. Throws std::invalid_argument for a negative size.
    SelectionMask(int width, int height);

    int Width() const { return width_; }
    int Height() const { return height_; }
    // New size, every value 0, empty.
    void Resize(int width, int height);

    // The value at (x, y); 0 outside the mask.
    uint8_t At(int x, int y) const {
        return InRange(x, y) ? values_[size_t(y) * size_t(width_) + size_t(x)] : 0;
    }
    // Sets the value at (x, y); coordinates outside are ignored. A non-zero value grows the
    // bounding box to include the pixel (and so makes the mask non-empty); 0 leaves the box.
    void SetPixel(int x, int y, uint8_t value) {
        if (!InRange(x, y)) return;
        values_[size_t(y) * size_t(width_) + size_t(x)] = value;
        if (value != 0) box_.Include(x, y);
    }

    const BoundingBox& Box() const { return box_; }
    bool IsEmpty() const { return box_.IsEmpty(); }

    // Every value 0, the box empty.
    void Deselect();
    // When every value is 255: Deselect. When empty: nothing. Otherwise every non-zero value
    // becomes 0 and every 0 becomes 255 (an all-0 mask that is not empty becomes all 255), and
    // the box is recomputed.
    void Invert();
    // Makes the box the smallest rectangle holding every non-zero value (empty if none).
    void RecomputeBoundingBox();

    // Raw values, Width() * Height() bytes. Writes through MutableRow/MutableData leave the box
    // alone: follow them with RecomputeBoundingBox (or SetPixel) as the operation requires.
    const uint8_t* Data() const { return values_.data(); }
    uint8_t* MutableData() { return values_.data(); }
    const uint8_t* Row(int y) const { return values_.data() + size_t(y) * size_t(width_); }
    uint8_t* MutableRow(int y) { return values_.data() + size_t(y) * size_t(width_); }

    friend bool operator==(const SelectionMask&, const SelectionMask&) = default;

  private:
    bool InRange(int x, int y) const { return x >= 0 && y >= 0 && x < width_ && y < height_; }

    int width_ = 0;
    int height_ = 0;
    std::vector<uint8_t> values_;
    BoundingBox box_;
};

}  // namespace imaging

#endif  // QUILLANE_IMAGING_SELECTION_MASK_H
