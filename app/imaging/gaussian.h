// Gaussian smoothing of a rectangle of 8-bit samples, the common core of feathering and blurring.
//
// The discrete Gaussian of standard deviation sigma has taps at offsets -R .. R with
// R = ceil(3 * sigma), weight exp(-k^2 / (2 sigma^2)) computed in double and normalised so the
// weights sum to 1. Samples are filtered in float: first every row of the rectangle across its
// columns, each result rounded to the nearest byte (halves up) and written back; then every
// column across its rows, reading the row pass's bytes, rounded and written back the same way.
// Samples beyond the rectangle's edge repeat the rectangle's edge sample (not the image's), so
// nothing outside the rectangle is read or written. A flat rectangle stays exactly flat.
#ifndef QUILLANE_IMAGING_GAUSSIAN_H
#define QUILLANE_IMAGING_GAUSSIAN_H

#include <cstddef>
#include <cstdint>
#include <vector>

#include "selection_mask.h"

namespace imaging {

// Weights for offsets -R .. R (2R + 1 values, summing to 1). Empty when sigma <= 0 or is not
// finite.
std::vector<float> GaussianKernel(double sigma);

// Smooths the rectangle of an interleaved 8-bit image in place: `data` points at pixel (0, 0),
// `rowStride` is the distance in bytes between rows, `channels` the samples per pixel (each
// channel filtered on its own). The rectangle must lie inside the image. Nothing happens when
// sigma <= 0 or the rectangle is empty. Memory: one float copy of a row and a ring of 2R + 1
// float rows of one 512-sample strip.
void GaussianSmoothRect(uint8_t* data, size_t rowStride, int channels, const BoundingBox& rect,
                        double sigma);

}  // namespace imaging

#endif  // QUILLANE_IMAGING_GAUSSIAN_H
