#include "resample.h"

#include <cstring>
#include <vector>

namespace imaging {

namespace {

// Source index whose span holds the centre of output index i: floor((2i + 1) * n / (2 m)).
std::vector<int> NearestIndices(int outputSize, int sourceSize) {
    std::vector<int> indices(static_cast<size_t>(outputSize));
    for (int i = 0; i < outputSize; ++i)
        indices[size_t(i)] =
            int((2 * int64_t(i) + 1) * int64_t(sourceSize) / (2 * int64_t(outputSize)));
    return indices;
}

}  // namespace

Bitmap ResampleNearest(const Bitmap& source, int width, int height) {
    Bitmap result(width, height);
    if (result.IsEmpty() || source.IsEmpty()) return result;
    const std::vector<int> columns = NearestIndices(width, source.Width());
    const std::vector<int> rows = NearestIndices(height, source.Height());
    uint8_t* alpha = source.HasAlpha() ? result.AlphaForWriting() : nullptr;
    for (int y = 0; y < height; ++y) {
        const int sy = rows[size_t(y)];
        const uint8_t* in = source.Row(sy);
        uint8_t* out = result.Row(y);
        for (int x = 0; x < width; ++x)
            std::memcpy(out + size_t(x) * 3, in + size_t(columns[size_t(x)]) * 3, 3);
        if (alpha) {
            uint8_t* outAlpha = alpha + size_t(y) * size_t(width);
            for (int x = 0; x < width; ++x)
                outAlpha[x] = source.AlphaAt(columns[size_t(x)], sy);
        }
    }
    return result;
}

}  // namespace imaging
