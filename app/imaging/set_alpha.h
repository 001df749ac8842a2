// SetAlphaThroughMask: sets the alpha of the selected area.
//
// Every pixel whose mask value is non-zero gets the alpha value; when the mask is empty every
// pixel does. Creates the alpha channel (at 255) if the bitmap has none. Colours are untouched.
// Mask pixels beyond the bitmap, and bitmap pixels beyond the mask, are left alone.
#ifndef QUILLANE_IMAGING_SET_ALPHA_H
#define QUILLANE_IMAGING_SET_ALPHA_H

#include <cstdint>

#include "bitmap.h"
#include "selection_mask.h"

namespace imaging {

void SetAlphaThroughMask(Bitmap& bitmap, const SelectionMask& mask, uint8_t alpha);

}  // namespace imaging

#endif  // QUILLANE_IMAGING_SET_ALPHA_H
