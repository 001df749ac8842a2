// Bitmap: the pixels of one image or layer.
#ifndef QUILLANE_IMAGING_BITMAP_H
#define QUILLANE_IMAGING_BITMAP_H

#include <cstddef>
#include <cstdint>
#include <vector>

#include "colour.h"

namespace imaging {

// Width x height pixels, 3 bytes each in the order blue, green, red, rows from the top, no
// padding: pixel (x, y) occupies bytes 3 * (y * width + x) .. + 2 of Data(). This is the
// PixelBuffer layout the engine reads, so a bitmap's Data() can be copied to and from it as is.
//
// The alpha channel is optional: one byte per pixel, same pixel order, 255 opaque, 0
// transparent. When absent every pixel counts as 255. The first write through
// AlphaForWriting() creates it with every value 255.
class Bitmap {
  public:
    // Largest pixel count a bitmap may hold: the engine and the window index pixel buffers with
    // 32-bit integers, so 3 * width * height must stay below 2^31.
    static constexpr int64_t kMaxPixelCount = 0x7FFFFFFF / 3;

    Bitmap() = default;
    // A black bitmap without alpha. Throws std::invalid_argument for a negative size and
    // std::length_error when width * height exceeds kMaxPixelCount. Either side 0 gives an empty
    // bitmap of that size.
    Bitmap(int width, int height);
    // A bitmap of one colour without alpha; throws as above.
    Bitmap(int width, int height, Rgb colour);

    int Width() const { return width_; }
    int Height() const { return height_; }
    bool IsEmpty() const { return width_ == 0 || height_ == 0; }
    size_t PixelCount() const { return size_t(width_) * size_t(height_); }

    // All rows, 3 * PixelCount() bytes.
    uint8_t* Data() { return pixels_.data(); }
    const uint8_t* Data() const { return pixels_.data(); }
    // Row y (0 = top): 3 * Width() bytes. y must lie in 0 .. Height() - 1.
    uint8_t* Row(int y) { return pixels_.data() + size_t(y) * size_t(width_) * 3; }
    const uint8_t* Row(int y) const { return pixels_.data() + size_t(y) * size_t(width_) * 3; }

    // The colour at (x, y), which must lie inside.
    Rgb PixelAt(int x, int y) const;
    // Sets the colour at (x, y); coordinates outside are ignored.
    void SetPixel(int x, int y, Rgb colour);
    // Every pixel becomes the colour; the alpha channel is kept.
    void Fill(Rgb colour);

    bool HasAlpha() const { return !alpha_.empty(); }
    // Alpha at (x, y), which must lie inside; 255 without an alpha channel.
    uint8_t AlphaAt(int x, int y) const {
        return alpha_.empty() ? 255 : alpha_[size_t(y) * size_t(width_) + size_t(x)];
    }
    // The alpha channel, PixelCount() bytes, or empty when absent.
    const std::vector<uint8_t>& AlphaChannel() const { return alpha_; }
    // The alpha channel for writing, PixelCount() bytes; creates it with every value 255 when
    // absent.
    uint8_t* AlphaForWriting();
    // Replaces the alpha channel: PixelCount() bytes, or empty to drop it. Throws
    // std::invalid_argument for any other length.
    void SetAlphaChannel(std::vector<uint8_t> alpha);
    void DropAlpha() { alpha_.clear(); }
    // Drops an alpha channel that is 255 everywhere; returns whether the bitmap has alpha after.
    bool DropAlphaIfOpaque();

    friend bool operator==(const Bitmap&, const Bitmap&) = default;

  private:
    int width_ = 0;
    int height_ = 0;
    std::vector<uint8_t> pixels_;
    std::vector<uint8_t> alpha_;
};

}  // namespace imaging

#endif  // QUILLANE_IMAGING_BITMAP_H
