// MergeLayers: composites an object layer over a background layer into one layer.
//
// Positions are first made non-negative: if the background's x is negative both layers' x grow
// by its magnitude, then the same for the object's x, then likewise for y. A layer whose
// displayed size differs from its bitmap is resampled to it (ResampleNearest). The result covers
// the origin to the farthest right and bottom edges: width max(x0 + w0, x1 + w1), height
// max(y0 + h0, y1 + h1). With B, T the background's and object's pixels and aB, aT their alphas
// capped by their layer transparency and divided by 255:
//   - covered by both: a = aT + (1 - aT) aB; each channel is (T aT + B (1 - aT) aB) / a rounded
//     to nearest (halves to even) and clamped to 0 .. 255, or T's when a = 0; alpha a * 255
//     rounded;
//   - covered by one layer: that layer's pixel and its capped alpha;
//   - covered by neither: the ground colour with alpha 0.
// An alpha channel that ends up 255 everywhere is dropped. The result is at (0, 0), shown at its
// bitmap's size, transparency 255. Throws std::length_error when the result would exceed
// Bitmap::kMaxPixelCount.
#ifndef QUILLANE_IMAGING_MERGE_H
#define QUILLANE_IMAGING_MERGE_H

#include "colour.h"
#include "layer.h"

namespace imaging {

Layer MergeLayers(const Layer& background, const Layer& object, Rgb ground);

}  // namespace imaging

#endif  // QUILLANE_IMAGING_MERGE_H
