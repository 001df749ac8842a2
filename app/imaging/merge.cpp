#include "merge.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>

#include "resample.h"

namespace imaging {

namespace {

// A layer at its place on the merged picture, at its displayed size.
struct PlacedLayer {
    const Bitmap* bitmap = nullptr;
    int64_t x = 0;
    int64_t y = 0;
    uint8_t transparency = 255;

    bool Covers(int64_t px, int64_t py) const {
        return px >= x && py >= y && px < x + bitmap->Width() && py < y + bitmap->Height();
    }
    // Alpha capped by the layer transparency, 0 .. 1.
    double AlphaAt(int64_t px, int64_t py) const {
        const int a = std::min<int>(bitmap->AlphaAt(int(px - x), int(py - y)), transparency);
        return double(a) / 255.0;
    }
    const uint8_t* PixelAt(int64_t px, int64_t py) const {
        return bitmap->Row(int(py - y)) + size_t(px - x) * 3;
    }
};

// The layer's bitmap at its displayed size: the bitmap itself, or a resampled copy kept in
// `storage`.
const Bitmap& DisplayedBitmap(const Layer& layer, Bitmap& storage) {
    const int width = std::max(0, layer.displayWidth);
    const int height = std::max(0, layer.displayHeight);
    if (width == layer.bitmap.Width() && height == layer.bitmap.Height()) return layer.bitmap;
    storage = ResampleNearest(layer.bitmap, width, height);
    return storage;
}

uint8_t AlphaByte(double alpha) {
    return uint8_t(std::nearbyint(alpha * 255.0));
}

}  // namespace

Layer MergeLayers(const Layer& background, const Layer& object, Rgb ground) {
    // Positions made non-negative, in the order background x, object x, background y, object y.
    int64_t x0 = background.x, x1 = object.x, y0 = background.y, y1 = object.y;
    if (x0 < 0) {
        x1 -= x0;
        x0 = 0;
    }
    if (x1 < 0) {
        x0 -= x1;
        x1 = 0;
    }
    if (y0 < 0) {
        y1 -= y0;
        y0 = 0;
    }
    if (y1 < 0) {
        y0 -= y1;
        y1 = 0;
    }
    Bitmap backStorage, frontStorage;
    const PlacedLayer back{&DisplayedBitmap(background, backStorage), x0, y0,
                           background.transparency};
    const PlacedLayer front{&DisplayedBitmap(object, frontStorage), x1, y1, object.transparency};

    const int64_t width = std::max(x0 + back.bitmap->Width(), x1 + front.bitmap->Width());
    const int64_t height = std::max(y0 + back.bitmap->Height(), y1 + front.bitmap->Height());
    if (width > INT32_MAX || height > INT32_MAX || width * height > Bitmap::kMaxPixelCount)
        throw std::length_error("MergeLayers: merged picture too large");

    Bitmap merged(static_cast<int>(width), static_cast<int>(height));
    uint8_t* alpha = merged.AlphaForWriting();
    for (int64_t y = 0; y < height; ++y) {
        uint8_t* out = merged.Row(int(y));
        uint8_t* outAlpha = alpha + size_t(y) * size_t(width);
        for (int64_t x = 0; x < width; ++x) {
            uint8_t* p = out + size_t(x) * 3;
            const bool inBack = back.Covers(x, y);
            const bool inFront = front.Covers(x, y);
            if (inBack && inFront) {
                const double aB = back.AlphaAt(x, y);
                const double aT = front.AlphaAt(x, y);
                const uint8_t* B = back.PixelAt(x, y);
                const uint8_t* T = front.PixelAt(x, y);
                const double a = aT + (1.0 - aT) * aB;
                for (int c = 0; c < 3; ++c) {
                    if (a > 0.0) {
                        const double v = (T[c] * aT + B[c] * (1.0 - aT) * aB) / a;
                        p[c] = uint8_t(std::clamp(std::nearbyint(v), 0.0, 255.0));
                    } else {
                        p[c] = T[c];
                    }
                }
                outAlpha[x] = AlphaByte(a);
            } else if (inBack || inFront) {
                const PlacedLayer& only = inFront ? front : back;
                const uint8_t* s = only.PixelAt(x, y);
                p[0] = s[0];
                p[1] = s[1];
                p[2] = s[2];
                outAlpha[x] = AlphaByte(only.AlphaAt(x, y));
            } else {
                p[0] = ground.blue;
                p[1] = ground.green;
                p[2] = ground.red;
                outAlpha[x] = 0;
            }
        }
    }
    merged.DropAlphaIfOpaque();
    return Layer::FromBitmap(std::move(merged));
}

}  // namespace imaging
