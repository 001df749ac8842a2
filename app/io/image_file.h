// Reading and writing image files into and out of the image-view model.
#ifndef QUILLANE_IO_IMAGE_FILE_H
#define QUILLANE_IO_IMAGE_FILE_H

#include <QString>
#include <QStringList>
#include <cstdint>

#include "imaging/bitmap.h"

namespace io {

// Images are refused before any pixel is allocated when their header claims more pixels than
// this (256 megapixels: a 50-megapixel photo opens, a forged or absurd header does not), or a
// side longer than kMaxImageSide.
inline constexpr int64_t kMaxImagePixels = 256LL * 1024 * 1024;
inline constexpr int kMaxImageSide = 65535;

// Outcome of a load or a save. On failure `message` is a sentence for the hint line (Chinese)
// and `reason` the technical detail (English, naming the file and the cause).
struct FileResult {
    bool ok = false;
    QString message;
    QString reason;
};

struct LoadedImage {
    FileResult result;
    // The image when result.ok: 24-bit blue-green-red, with an alpha channel only when the file
    // has one that is not 255 everywhere. Empty on failure.
    imaging::Bitmap bitmap;
};

// Reads the first image of the file, the format chosen by its name's extension, or by its
// contents when that format's reader cannot read them, whatever its pixel layout: grey, palette, 16
// bits per channel, CMYK, with or without alpha, the first frame of an animation. Fails, with a
// message, for a missing, empty, truncated, damaged or unknown file, and for a size beyond
// kMaxImagePixels or kMaxImageSide (checked from the header before decoding).
LoadedImage LoadImageFile(const QString& path);

// Per-format options of the writers, as the save dialog's advanced button edits them. -1 leaves
// the writer's own default.
struct OutputSettings {
    int jpegQuality = -1;        // 0 (smallest file) to 100 (best picture); the default is 75
    int webpQuality = -1;        // the same scale; the default is 75
    int pngCompression = -1;     // zlib level 0 (none, fastest) to 9 (smallest file); default 6
    bool tiffCompressed = true;  // LZW (lossless) or none
    bool operator==(const OutputSettings&) const = default;
};

// Writes the bitmap in the format named by the file's extension, compared in lower case: png,
// jpg, jpeg, bmp, tif, tiff, tga, webp (and any other the installed writers support). The alpha
// channel is written where the format keeps one (png, tif, tiff, tga, webp); elsewhere the
// colours are written as they are. The settings apply to their formats (TIFF is LZW-compressed
// unless they say otherwise). With alpha, TIFF is written with 16 bits per channel (each byte v
// as v * 257), so that the colours under transparent pixels survive. The
// file is written beside the target and then renamed over it, so a failed save leaves an existing
// file as it was. Fails for an unknown extension, an empty bitmap or any write error.
FileResult SaveImageFile(const QString& path, const imaging::Bitmap& bitmap,
                         const OutputSettings& settings = {});

// Lower-case extensions SaveImageFile writes, without dots.
QStringList WritableExtensions();
// Whether SaveImageFile writes the alpha channel for this (lower-case) extension.
bool ExtensionKeepsAlpha(const QString& extension);

}  // namespace io

#endif  // QUILLANE_IO_IMAGE_FILE_H
