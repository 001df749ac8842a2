// CropToMask: cuts the selected object out of a bitmap.
//
// With the mask's bounding box X1 .. X2, Y1 .. Y2 the result has (X2 - X1 + 1) x (Y2 - Y1 + 1)
// pixels. Each takes the source pixel s at the same place of the box blended with the ground
// colour b through the mask value m: channel = b + floor((s - b) * m / 256); its alpha is
// min(a, m) where m != 0 (a the source alpha, 255 without an alpha channel) and 0 where m = 0.
// An alpha channel that ends up 255 everywhere is dropped. With 0/255 masks an object pixel
// keeps every channel not above the ground's and loses at most one unit on one above it.
//
// Returns the source unchanged when the mask is empty. Mask pixels beyond the bitmap count as
// outside the object (ground colour, alpha 0).
#ifndef QUILLANE_IMAGING_CROP_H
#define QUILLANE_IMAGING_CROP_H

#include "bitmap.h"
#include "colour.h"
#include "selection_mask.h"

namespace imaging {

Bitmap CropToMask(const Bitmap& source, const SelectionMask& mask, Rgb ground);

}  // namespace imaging

#endif  // QUILLANE_IMAGING_CROP_H
