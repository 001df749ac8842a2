// The window's background effects, applied to a selection computed without the window.
//
// Each effect builds the image-view model as the main view holds it after a selection
// computation (the image, its mask 255 on the selected object and 0 elsewhere) and runs the
// window's effect frame on it: push the selection, invert it so the background is selected, work
// on the background through the mask, pop the selection. The operations are the model's own
// (imaging/), so the command line and the window give the same pixels.
//
// One difference from the window, where the window's frame would destroy the object: when the
// selection holds every pixel there is no background, and the inversion would leave an empty
// mask, which the model's operations read as "the whole image". The effects then leave the
// image as it is instead of filling, blurring or removing the object itself.
#ifndef QUILLANE_TOOLS_CUT_EFFECTS_H
#define QUILLANE_TOOLS_CUT_EFFECTS_H

#include <cstdint>
#include <optional>
#include <span>

#include "cut_options.h"
#include "imaging/bitmap.h"
#include "imaging/colour.h"
#include "imaging/image_model.h"

namespace cut {

// How much of the image a SelectionMap (1 selected, anything else not) selects.
enum class Coverage { None, Part, All };
Coverage SelectionCoverage(std::span<const uint8_t> selection);

// The main view after a computation: one layer holding `image`, the mask 255 where `selection`
// is 1 and 0 elsewhere, selected exactly when the mask is not empty, the outline hidden.
// `selection` must have one byte per pixel of the image.
imaging::ImageModel MainViewWithSelection(const imaging::Bitmap& image,
                                          std::span<const uint8_t> selection);

// The selection as a 0/255 grey mask: 255 where `selection` is 1.
std::vector<uint8_t> SelectionMaskValues(std::span<const uint8_t> selection);

// Fill background: the background's alpha becomes `opacity` (hard border), the inverted
// selection is feathered by `feather` and the background filled with `colour` through it.
imaging::Bitmap FillBackground(const imaging::Bitmap& image, std::span<const uint8_t> selection,
                               imaging::Rgb colour, uint8_t opacity, double feather);

// Remove background: the background's alpha becomes 0 (hard border), the inverted selection is
// feathered by `feather` and the background filled with white through it.
imaging::Bitmap RemoveBackground(const imaging::Bitmap& image, std::span<const uint8_t> selection,
                                 double feather);

// Blur background: the background is blurred through the (unfeathered) inverted selection with
// a Gaussian of standard deviation `sigma`.
imaging::Bitmap BlurBackground(const imaging::Bitmap& image, std::span<const uint8_t> selection,
                               double sigma);

// Where the cut-out object goes on the new background.
struct ObjectPlacement {
    Point at;                        // top-left corner of the object's layer on the background
    double scale = 1.0;              // displayed size = cropped size * scale, aspect ratio kept
    std::optional<uint8_t> opacity;  // the object's alpha; unset leaves it opaque
};

// Replace background: layer 0 is `background`, layer 1 the image cropped to the selection (its
// surround transparent), placed, sized (as the aspect lock sizes it) and optionally given an
// opacity; the two are merged into one picture. With nothing selected there is no object and
// the result is the background alone. Throws std::length_error when the merged picture would
// be too large.
imaging::Bitmap ReplaceBackground(const imaging::Bitmap& image, std::span<const uint8_t> selection,
                                  imaging::Bitmap background, const ObjectPlacement& placement);

}  // namespace cut

#endif  // QUILLANE_TOOLS_CUT_EFFECTS_H
