// FillThroughMask: fills the selected area of a bitmap with one colour.
//
// When the mask is empty every pixel becomes exactly the colour. Otherwise every pixel of the
// mask's bounding box is blended towards the colour by its mask value m: each channel p becomes
// p + floor((C - p) * m / 256) (floor towards minus infinity). m = 0 keeps the pixel; with
// m = 255 a channel reaches C when C <= p and may end one below C when C > p (p = 0, C = 255
// gives 254). Pixels outside the box and the alpha channel are untouched. The mask should have
// the bitmap's size; pixels beyond either one's extent are left alone.
#ifndef QUILLANE_IMAGING_FILL_H
#define QUILLANE_IMAGING_FILL_H

#include "bitmap.h"
#include "colour.h"
#include "selection_mask.h"

namespace imaging {

void FillThroughMask(Bitmap& bitmap, const SelectionMask& mask, Rgb colour);

}  // namespace imaging

#endif  // QUILLANE_IMAGING_FILL_H
