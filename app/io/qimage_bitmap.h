// Conversions between QImage and the model's Bitmap.
#ifndef QUILLANE_IO_QIMAGE_BITMAP_H
#define QUILLANE_IO_QIMAGE_BITMAP_H

#include <QImage>

#include "imaging/bitmap.h"

namespace io {

// Any QImage to 24-bit blue-green-red; alpha is kept when the image has an alpha channel with
// some value below 255, dropped otherwise. A null image gives an empty bitmap. Throws
// std::length_error beyond Bitmap::kMaxPixelCount.
imaging::Bitmap BitmapFromQImage(const QImage& image);

// The bitmap as QImage::Format_ARGB32 (non-premultiplied) when it has alpha and `withAlpha` is
// set, else as Format_RGB888 with the colours as they are (alpha ignored). An empty bitmap gives
// a null image. Throws std::bad_alloc when the image cannot be allocated.
QImage QImageFromBitmap(const imaging::Bitmap& bitmap, bool withAlpha = true);

}  // namespace io

#endif  // QUILLANE_IO_QIMAGE_BITMAP_H
