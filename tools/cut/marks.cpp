#include "marks.h"

#include <algorithm>

namespace cut {

namespace {

std::string RectText(const MarkRect& rect) {
    return std::string(rect.mark == kForegroundMark ? "--fg-rect " : "--bg-rect ") +
           std::to_string(rect.x) + "," + std::to_string(rect.y) + "," +
           std::to_string(rect.width) + "," + std::to_string(rect.height);
}

}  // namespace

bool IsMarkValueImage(const imaging::Bitmap& marks) {
    const uint8_t* pixels = marks.Data();
    const std::vector<uint8_t>& alpha = marks.AlphaChannel();
    const size_t count = marks.PixelCount();
    for (size_t p = 0; p < count; ++p) {
        if (!alpha.empty() && alpha[p] == 0) continue;
        const uint8_t* bgr = pixels + 3 * p;
        if (bgr[0] != bgr[1] || bgr[1] != bgr[2]) return false;
    }
    return true;
}

std::vector<uint8_t> MarkMapFromImage(const imaging::Bitmap& marks) {
    const size_t count = marks.PixelCount();
    std::vector<uint8_t> map(count, 0);
    const uint8_t* pixels = marks.Data();
    const std::vector<uint8_t>& alpha = marks.AlphaChannel();
    const bool values = IsMarkValueImage(marks);
    for (size_t p = 0; p < count; ++p) {
        if (!alpha.empty() && alpha[p] == 0) continue;
        const uint8_t blue = pixels[3 * p], green = pixels[3 * p + 1], red = pixels[3 * p + 2];
        if (values) {
            if (blue == kForegroundMark || blue == kBackgroundMark) map[p] = blue;
        } else if (red == 255 && green == 0 && blue == 0) {
            map[p] = kForegroundMark;
        } else if (red == 0 && green == 255 && blue == 0) {
            map[p] = kBackgroundMark;
        }
    }
    return map;
}

std::string ApplyMarkRects(std::vector<uint8_t>& map, int width, int height,
                           std::span<const MarkRect> rects) {
    for (const MarkRect& rect : rects) {
        const int64_t right = int64_t(rect.x) + rect.width;
        const int64_t bottom = int64_t(rect.y) + rect.height;
        if (rect.width < 1 || rect.height < 1 || rect.x >= width || rect.y >= height ||
            right <= 0 || bottom <= 0) {
            return RectText(rect) + " lies outside the image (" + std::to_string(width) + " x " +
                   std::to_string(height) + ")";
        }
    }
    for (const MarkRect& rect : rects) {
        const int x1 = std::max(rect.x, 0);
        const int y1 = std::max(rect.y, 0);
        const int x2 = int(std::min<int64_t>(int64_t(rect.x) + rect.width, width));
        const int y2 = int(std::min<int64_t>(int64_t(rect.y) + rect.height, height));
        for (int y = y1; y < y2; ++y) {
            uint8_t* row = map.data() + size_t(y) * size_t(width);
            std::fill(row + x1, row + x2, rect.mark);
        }
    }
    return {};
}

MarkCounts CountMarks(std::span<const uint8_t> map) {
    MarkCounts counts;
    for (const uint8_t mark : map) {
        if (mark == kForegroundMark) ++counts.foreground;
        if (mark == kBackgroundMark) ++counts.background;
    }
    return counts;
}

}  // namespace cut
