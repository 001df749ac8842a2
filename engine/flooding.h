// Watershed flooding of the gradient image into regions.
//
// The image is immersed level by level from 0 to 255. Pixels of a level join the regions they
// touch, in order of their distance from them through pixels of the same level (first-in
// first-out queue with distance steps); pixels no region reaches start new regions, one per
// 4-connected group, numbered by level and then by the raster position of the group's first
// pixel. There are no watershed lines: a pixel that several regions reach joins the first of them
// in the neighbour order left, right, above, below. Every region is 4-connected.
#ifndef MIRRASK_FLOODING_H
#define MIRRASK_FLOODING_H

#include <cstdint>
#include <functional>
#include <span>
#include <vector>

namespace mirrask {

// Told of each row, in order from the top, as soon as the region indices of that row and of every
// row above it are final; the number of regions is known by then.
using RowFinished = std::function<void(int32_t row, int32_t regionCount)>;

// Floods the gradient image (width * height levels) and writes every pixel's region index, from 0
// in order of creation, into regionMap (same size; its prior contents do not matter). Returns the
// number of regions.
int32_t FloodRegions(std::span<const uint8_t> gradient, int32_t width, int32_t height,
                     std::span<int32_t> regionMap, const RowFinished& rowFinished = {});

}  // namespace mirrask

#endif  // MIRRASK_FLOODING_H
