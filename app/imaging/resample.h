// ResampleNearest: unfiltered (nearest-neighbour) resize of a bitmap.
//
// Output pixel (x, y) of a width x height result takes the source pixel at column
// floor((2x + 1) * sourceWidth / (2 width)) and row floor((2y + 1) * sourceHeight / (2 height)),
// the source pixel whose area holds the output pixel's centre. Alpha is resampled the same way
// when present. An empty source or a size of 0 gives an empty bitmap of the requested size.
// Throws as Bitmap's constructor for a negative or too large size.
#ifndef QUILLANE_IMAGING_RESAMPLE_H
#define QUILLANE_IMAGING_RESAMPLE_H

#include "bitmap.h"

namespace imaging {

Bitmap ResampleNearest(const Bitmap& source, int width, int height);

}  // namespace imaging

#endif  // QUILLANE_IMAGING_RESAMPLE_H
