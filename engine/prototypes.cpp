#include "prototypes.h"

#include <algorithm>

namespace mirrask {

float SquaredLuvDistance(const LuvColour& a, const LuvColour& b) {
    const float dL = a.L - b.L;
    const float du = a.u - b.u;
    const float dv = a.v - b.v;
    const float sL = dL * dL;
    const float su = du * du;
    const float sv = dv * dv;
    return float(double(sL) + double(su) + double(sv));
}

float NearestPrototypeDistance(const LuvColour& colour, std::span<const int32_t> prototypes,
                               std::span<const RegionInfo> regionTable) {
    float result = kNoPrototypeDistance;
    for (int32_t k : prototypes) {
        const float d = SquaredLuvDistance(regionTable[k].mean, colour);
        if (d < result) result = d;
    }
    return result;
}

float PrototypeThreshold(int32_t pixelCount) {
    return float(pixelCount / 10000);
}

MarkedRegions ScanMarks(const EngineState& state, const uint8_t* marks) {
    MarkedRegions result;
    result.labels.assign(static_cast<size_t>(state.RegionCount), 0);
    const float threshold = PrototypeThreshold(state.pixelCount);
    const std::span<const RegionInfo> table(state.RegionTable);

    // A region's distance to its side's set only shrinks as the set grows, so once a region has
    // been weighed against a side (and either joined it or fallen within the threshold) it can
    // never join later: every region is weighed at most once per side.
    enum : uint8_t { kWeighedForeground = 1, kWeighedBackground = 2, kForegroundPrototype = 4 };
    std::vector<uint8_t> status(static_cast<size_t>(state.RegionCount), 0);

    for (int32_t p = 0; p < state.pixelCount; ++p) {
        const uint8_t m = marks[p];
        if (m != 1 && m != 2) continue;
        const int32_t r = state.RegionMap[p];
        uint8_t& s = status[r];
        if (m == 1) {
            result.labels[r] = 1;
            if (s & kWeighedForeground) continue;
            s |= kWeighedForeground;
            if (NearestPrototypeDistance(table[r].mean, result.foreground, table) > threshold) {
                result.foreground.push_back(r);
                s |= kForegroundPrototype;
            }
        } else {
            if (result.labels[r] != 1) result.labels[r] = 2;
            if (s & (kWeighedBackground | kForegroundPrototype)) continue;
            s |= kWeighedBackground;
            if (NearestPrototypeDistance(table[r].mean, result.background, table) > threshold) {
                result.background.push_back(r);
            }
        }
    }
    return result;
}

}  // namespace mirrask
