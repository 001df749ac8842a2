// The background effects: the work each does on the background of a view whose selection is the
// cut-out object. The window and the command-line tool both run them, so both give the same pixels.
//
// Each saves the selection, inverts it (the background is then selected with 255 and the object
// with 0), works through it, and restores the selection exactly as it was: the selection after an
// effect is the one before it, unfeathered. Restoring the opened image first, the cursor and the
// outline are the caller's.
//
// With nothing selected, or everything, the inversion leaves the mask empty and the work covers
// the whole image.
#ifndef QUILLANE_IMAGING_BACKGROUND_EFFECTS_H
#define QUILLANE_IMAGING_BACKGROUND_EFFECTS_H

#include <cstdint>

#include "imaging/colour.h"
#include "imaging/image_model.h"

namespace imaging {

// The background's alpha becomes `opacity` with a hard border, then the selection is feathered by
// `featherRadius` and the background filled with `colour` through it.
void FillBackground(ImageModel& model, uint8_t opacity, double featherRadius, Rgb colour);

// The background becomes transparent (alpha 0, hard border) and white through the selection
// feathered by `featherRadius`, so the object's border blends towards white.
void RemoveBackground(ImageModel& model, double featherRadius);

// The background is blurred with a Gaussian of standard deviation `sigma` through the unfeathered
// selection; the blur reads the object's pixels too.
void BlurBackground(ImageModel& model, double sigma);

}  // namespace imaging

#endif  // QUILLANE_IMAGING_BACKGROUND_EFFECTS_H
