// FeatherMask: softens a selection's border with a Gaussian.
//
// With radius r > 0 the margin is d = max(1, trunc(5 r)); the work rectangle is the mask's
// bounding box grown by d on each side and clipped to the mask. Inside it the mask values are
// smoothed by GaussianSmoothRect with sigma r (rows, then columns, edge samples repeating the
// rectangle's edge, rounded to bytes); values outside it are untouched. The bounding box is
// then recomputed from the non-zero values. A hard 0/255 border becomes a ramp on both sides.
//
// Nothing happens when r <= 0 (or not finite) or the mask is empty.
#ifndef QUILLANE_IMAGING_FEATHER_H
#define QUILLANE_IMAGING_FEATHER_H

#include "selection_mask.h"

namespace imaging {

// The rectangle FeatherMask works in (empty when it would do nothing).
BoundingBox FeatherRect(const SelectionMask& mask, double radius);

void FeatherMask(SelectionMask& mask, double radius);

}  // namespace imaging

#endif  // QUILLANE_IMAGING_FEATHER_H
