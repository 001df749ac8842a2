// Layer: one bitmap of an image view, placed and sized on the view's picture.
#ifndef QUILLANE_IMAGING_LAYER_H
#define QUILLANE_IMAGING_LAYER_H

#include <cstdint>
#include <utility>

#include "bitmap.h"

namespace imaging {

struct Layer {
    Bitmap bitmap;
    // Top-left corner on the view's picture, in image pixels (may be negative).
    int x = 0;
    int y = 0;
    // Displayed size: the bitmap's size unless the user resized the layer with its grips.
    int displayWidth = 0;
    int displayHeight = 0;
    // Layer transparency, 0 .. 255, capping every alpha value of the layer when composited.
    uint8_t transparency = 255;

    // A layer at (0, 0) showing the bitmap at its own size, transparency 255.
    static Layer FromBitmap(Bitmap bitmap) {
        Layer layer;
        layer.displayWidth = bitmap.Width();
        layer.displayHeight = bitmap.Height();
        layer.bitmap = std::move(bitmap);
        return layer;
    }
    bool IsResized() const {
        return displayWidth != bitmap.Width() || displayHeight != bitmap.Height();
    }
};

}  // namespace imaging

#endif  // QUILLANE_IMAGING_LAYER_H
