// ResizeLayerFrame: where a layer lands when the user drags one of its resize grips.
//
// The side or corner opposite the dragged grip stays fixed; the dragged one moves by the drag
// offset (dx, dy), in image pixels. Width and height never drop below 1. With the aspect lock
// the ratio of the layer bitmap's width to height is kept (the other dimension rounded to
// nearest, at least 1):
//   - corner grips follow the drag's width, or its height when the drag changes the height by
//     the larger fraction of the bitmap's size;
//   - the left and right grips set the width, the height follows downwards (top edge fixed);
//   - the top and bottom grips set the height, the width follows rightwards (left edge fixed).
// Without a usable bitmap size (0 in either side) the lock is ignored.
#ifndef QUILLANE_IMAGING_LAYER_RESIZE_H
#define QUILLANE_IMAGING_LAYER_RESIZE_H

namespace imaging {

enum class Grip { TopLeft, Top, TopRight, Right, BottomRight, Bottom, BottomLeft, Left };

// A layer's place and displayed size on the view's picture.
struct LayerFrame {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;

    friend bool operator==(const LayerFrame&, const LayerFrame&) = default;
};

LayerFrame ResizeLayerFrame(const LayerFrame& start, Grip grip, int dx, int dy, bool keepAspect,
                            int bitmapWidth, int bitmapHeight);

}  // namespace imaging

#endif  // QUILLANE_IMAGING_LAYER_RESIZE_H
