// Watershed flooding of the gradient image into regions.
//
// The pixels are sorted by level (a stable counting sort: within a level, raster order); the image
// is then immersed level by level from 0 to 255. Pixels of a level join the regions they touch, in
// order of their distance from them through pixels of the same level (first-in first-out queue
// with distance steps); pixels no region reaches start new regions, one per 4-connected group.
// There are no watershed lines: a pixel that several regions reach joins the first of them in the
// neighbour order left, right, above, below. Every region is 4-connected.
#ifndef MIRRASK_FLOODING_H
#define MIRRASK_FLOODING_H

#include <array>
#include <cstdint>
#include <span>
#include <vector>

namespace mirrask {

// Pixel indices (y * width + x) grouped by level, each level in raster order; the pixels of level
// v occupy positions offsets[v] .. offsets[v + 1] - 1.
struct SortedLevels {
    std::vector<int32_t> pixels;
    std::array<int32_t, 257> offsets{};
};

SortedLevels SortPixelsByLevel(std::span<const uint8_t> gradient);

// Labels every pixel of labels (pixel count = width * height elements) with a region label from 1
// upwards, numbered in order of creation, and returns the number of regions.
int32_t FloodRegions(const SortedLevels& sorted, int32_t width, int32_t height,
                     std::span<int32_t> labels);

// The same flooding, writing region indices from 0 (label - 1) into regionMap, whose prior contents
// do not matter. Returns the number of regions. The storage of scratch, if any, is reused for the
// flooding's one byte of work per pixel.
int32_t FloodRegionIndices(const SortedLevels& sorted, int32_t width, int32_t height,
                           std::span<int32_t> regionMap, std::vector<uint8_t> scratch = {});

}  // namespace mirrask

#endif  // MIRRASK_FLOODING_H
