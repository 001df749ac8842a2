// The engine done the straightforward way, step by step as its rules read: a colour per pixel in
// an array, the gradient from full work images, (x, y) level records, a std::queue flood, one
// std::map of neighbours per region, std::set prototypes and a graph built from term lists. Slow
// on purpose; the benchmark compares the optimised engine with it before timing anything.
#ifndef QUILLANE_BENCH_REFERENCE_ENGINE_H
#define QUILLANE_BENCH_REFERENCE_ENGINE_H

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "engine_state.h"

namespace quillane::bench {

struct ReferenceSegmentation {
    int32_t width = 0;
    int32_t height = 0;
    std::vector<int32_t> regionMap;
    int32_t regionCount = 0;
    std::vector<mirrask::RegionInfo> regionTable;
    std::vector<std::map<int32_t, int32_t>> neighbours;
};

ReferenceSegmentation ReferenceWatershed(const uint8_t* pixels, int32_t width, int32_t height);

// Writes selection and the mark outlines into pixels, as Lazy does.
void ReferenceLazy(const ReferenceSegmentation& segmentation, const uint8_t* marks, uint8_t* pixels,
                   uint8_t* selection);

// Empty when the engine's state holds exactly the reference's pre-segmentation, else what differs.
std::string CompareSegmentations(const ReferenceSegmentation& reference,
                                 const mirrask::EngineState& state);

}  // namespace quillane::bench

#endif  // QUILLANE_BENCH_REFERENCE_ENGINE_H
