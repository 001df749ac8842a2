// WriteTga: uncompressed Truevision TGA output (Qt's TGA plugin only reads).
#ifndef QUILLANE_IO_TGA_WRITER_H
#define QUILLANE_IO_TGA_WRITER_H

#include <QIODevice>

#include "imaging/bitmap.h"

namespace io {

// Writes the bitmap as an uncompressed true-colour TGA (image type 2), rows from the top
// (descriptor bit 5): 24 bits per pixel, or 32 with 8 alpha bits when `withAlpha` and the bitmap
// has alpha; followed by the TGA 2.0 footer. Returns false when a side exceeds 65535 or the
// device fails to take every byte.
bool WriteTga(QIODevice& device, const imaging::Bitmap& bitmap, bool withAlpha);

}  // namespace io

#endif  // QUILLANE_IO_TGA_WRITER_H
