// Files quillane-cut writes besides ordinary pictures: grey masks, region pictures and raw
// region maps. Every file is written beside its target and renamed over it, so a failed write
// never leaves a damaged file where a good one stood.
#ifndef QUILLANE_TOOLS_CUT_OUTPUT_FILES_H
#define QUILLANE_TOOLS_CUT_OUTPUT_FILES_H

#include <QString>
#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "imaging/bitmap.h"
#include "io/image_file.h"

namespace cut {

// The lower-case extension of a file name ("" when it has none).
QString ExtensionOf(const QString& path);

// Whether an image file of this name can be written (its extension names a known writer);
// otherwise `error` says which extensions are known.
bool CheckImageOutputName(const std::string& path, std::string& error);

// Writes one byte per pixel as a single-channel grey picture in the format of the extension
// (TGA as 24-bit grey, which its writer supports), JPEG and WebP at the given quality (0 to 100)
// or the writer's default.
io::FileResult SaveGreyImageFile(const QString& path, std::span<const uint8_t> values, int width,
                                 int height, std::optional<int> quality = std::nullopt);

// Writes one 32-bit little-endian signed integer per element, in order, nothing else.
io::FileResult SaveRegionMapFile(const QString& path, std::span<const int32_t> regionMap);

// The image with every pixel painted in its region's mean colour: per region and channel the
// sum of the pixels' values divided by the pixel count, rounded to nearest (halves up). No alpha.
// `regionMap` holds one region index from 0 to regionCount - 1 per pixel.
imaging::Bitmap PaintRegionMeans(const imaging::Bitmap& image, std::span<const int32_t> regionMap,
                                 int32_t regionCount);

}  // namespace cut

#endif  // QUILLANE_TOOLS_CUT_OUTPUT_FILES_H
