#include "bitmap.h"

#include <algorithm>
#include <stdexcept>
#include <utility>

namespace imaging {

namespace {

size_t CheckedPixelCount(int width, int height) {
    if (width < 0 || height < 0) throw std::invalid_argument("Bitmap: negative size");
    const int64_t count = int64_t(width) * int64_t(height);
    if (count > Bitmap::kMaxPixelCount) throw std::length_error("Bitmap: too many pixels");
    return size_t(count);
}

}  // namespace

Bitmap::Bitmap(int width, int height)
    : width_(width), height_(height), pixels_(CheckedPixelCount(width, height) * 3, 0) {}

Bitmap::Bitmap(int width, int height, Rgb colour) : Bitmap(width, height) {
    Fill(colour);
}

Rgb Bitmap::PixelAt(int x, int y) const {
    const uint8_t* p = Row(y) + size_t(x) * 3;
    return Rgb{p[2], p[1], p[0]};
}

void Bitmap::SetPixel(int x, int y, Rgb colour) {
    if (x < 0 || y < 0 || x >= width_ || y >= height_) return;
    uint8_t* p = Row(y) + size_t(x) * 3;
    p[0] = colour.blue;
    p[1] = colour.green;
    p[2] = colour.red;
}

void Bitmap::Fill(Rgb colour) {
    for (size_t i = 0; i < pixels_.size(); i += 3) {
        pixels_[i] = colour.blue;
        pixels_[i + 1] = colour.green;
        pixels_[i + 2] = colour.red;
    }
}

uint8_t* Bitmap::AlphaForWriting() {
    if (alpha_.empty()) alpha_.assign(PixelCount(), 255);
    return alpha_.data();
}

void Bitmap::SetAlphaChannel(std::vector<uint8_t> alpha) {
    if (!alpha.empty() && alpha.size() != PixelCount())
        throw std::invalid_argument("Bitmap: alpha channel of the wrong size");
    alpha_ = std::move(alpha);
}

bool Bitmap::DropAlphaIfOpaque() {
    if (std::all_of(alpha_.begin(), alpha_.end(), [](uint8_t a) { return a == 255; }))
        alpha_.clear();
    return !alpha_.empty();
}

}  // namespace imaging
