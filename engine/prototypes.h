// Colour prototypes of the marks: which regions the user marked, and small sets of marked regions
// whose mean colours stand for the foreground and background colours.
#ifndef MIRRASK_PROTOTYPES_H
#define MIRRASK_PROTOTYPES_H

#include <cstdint>
#include <span>
#include <vector>

#include "engine_state.h"

namespace mirrask {

// Squared L*u*v* distance: each difference and square rounded to float32, the sum of the three
// squares rounded to float32 once.
float SquaredLuvDistance(const LuvColour& a, const LuvColour& b);

// The distance returned for an empty prototype set, and the largest any call returns.
inline constexpr float kNoPrototypeDistance = 1000000.0f;

// Smallest squared distance from colour to the mean of any region in prototypes, at most
// kNoPrototypeDistance.
float NearestPrototypeDistance(const LuvColour& colour, std::span<const int32_t> prototypes,
                               std::span<const RegionInfo> regionTable);

struct MarkedRegions {
    // Per region: 0 unmarked, 1 foreground-marked, 2 background-marked (foreground wins).
    std::vector<uint8_t> labels;
    // Prototype regions of each side, in the order they were found.
    std::vector<int32_t> foreground;
    std::vector<int32_t> background;
};

// Squared distance a marked region's mean must exceed, from every prototype of its side, to
// become a prototype itself: pixel count / 10000 (integer division), as float32.
float PrototypeThreshold(int32_t pixelCount);

// Scans the marks in raster order and collects the region labels and the prototypes.
MarkedRegions ScanMarks(const EngineState& state, const uint8_t* marks);

}  // namespace mirrask

#endif  // MIRRASK_PROTOTYPES_H
