// Marks of a job: a marks image and rectangles turned into the engine's MarkMap.
#ifndef QUILLANE_TOOLS_CUT_MARKS_H
#define QUILLANE_TOOLS_CUT_MARKS_H

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "cut_options.h"
#include "imaging/bitmap.h"

namespace cut {

// Whether a marks image is a map of mark values rather than a painting: every pixel that is not
// fully transparent has equal red, green and blue (a grey image, one channel or three).
bool IsMarkValueImage(const imaging::Bitmap& marks);

// The MarkMap of a marks image (one byte per pixel, row-major: 0 none, 1 foreground,
// 2 background). A grey image holds the values themselves (0, 1, 2; any other value is no
// mark). Any other image is a painting: pure red (255, 0, 0) is foreground, pure green
// (0, 255, 0) background, every other colour no mark. Fully transparent pixels are never marks.
std::vector<uint8_t> MarkMapFromImage(const imaging::Bitmap& marks);

// Writes the rectangles into the map in their order, each clipped to the image, later ones over
// earlier ones. Returns an error naming the first rectangle that lies wholly outside the image,
// leaving the map unchanged; empty on success.
std::string ApplyMarkRects(std::vector<uint8_t>& map, int width, int height,
                           std::span<const MarkRect> rects);

struct MarkCounts {
    size_t foreground = 0;
    size_t background = 0;
};
MarkCounts CountMarks(std::span<const uint8_t> map);

}  // namespace cut

#endif  // QUILLANE_TOOLS_CUT_MARKS_H
