// BlurThroughMask: Gaussian blur of the selected area of a bitmap.
//
// When the mask is empty the whole bitmap is smoothed in place (GaussianSmoothRect, sigma s,
// each of the three channels on its own, edges repeating the image's edge). Otherwise a working
// copy of the mask's bounding box is smoothed as a whole (edges repeating the box's edge) and
// copied back through the mask: each channel p becomes p + floor((q - p) * m / 256), q the
// smoothed value, m the mask value. Pixels outside the box and the alpha channel are untouched.
// Nothing happens when s <= 0 (or not finite).
#ifndef QUILLANE_IMAGING_BLUR_H
#define QUILLANE_IMAGING_BLUR_H

#include "bitmap.h"
#include "selection_mask.h"

namespace imaging {

void BlurThroughMask(Bitmap& bitmap, const SelectionMask& mask, double sigma);

}  // namespace imaging

#endif  // QUILLANE_IMAGING_BLUR_H
