#include "region_tables.h"

#include <algorithm>

#include "large_buffers.h"
#include "luv_conversion.h"

namespace mirrask {

std::vector<RegionInfo> ComputeRegionStats(std::span<const int32_t> regionMap, int32_t regionCount,
                                           std::span<const LuvColour> pixelColours) {
    return ComputeRegionStatsWith(regionMap, regionCount,
                                  [&](size_t i) { return pixelColours[i]; });
}

std::vector<RegionInfo> ComputeRegionStatsFromPixels(std::span<const int32_t> regionMap,
                                                     int32_t regionCount, const uint8_t* pixels) {
    // Neighbouring pixels often share a colour, so the last conversion is remembered.
    const LuvConverter converter;
    uint32_t lastKey = 0xFFFFFFFFu;
    LuvColour lastColour;
    return ComputeRegionStatsWith(regionMap, regionCount, [&](size_t i) -> LuvColour {
        const uint8_t* p = pixels + 3 * i;
        const uint32_t key = uint32_t{p[0]} | uint32_t{p[1]} << 8 | uint32_t{p[2]} << 16;
        if (key != lastKey) {
            lastKey = key;
            lastColour = converter.Convert(p[0], p[1], p[2]);
        }
        return lastColour;
    });
}

namespace {

// Calls visit(lower, higher) for every examined pair that crosses a region border, in raster order
// of the pair's first pixel, the right-hand pair before the pair below.
template <typename Visit>
void ForEachCrossingPair(std::span<const int32_t> regionMap, int32_t width, int32_t height,
                         Visit&& visit) {
    for (int32_t y = 1; y <= height - 2; ++y) {
        const int32_t* row = regionMap.data() + static_cast<size_t>(y) * width;
        const int32_t* next = row + width;
        for (int32_t x = 1; x <= width - 2; ++x) {
            const int32_t a = row[x];
            if (const int32_t b = row[x + 1]; b != a) visit(std::min(a, b), std::max(a, b));
            if (const int32_t b = next[x]; b != a) visit(std::min(a, b), std::max(a, b));
        }
    }
}

}  // namespace

RegionGraph BuildRegionGraph(std::span<const int32_t> regionMap, int32_t width, int32_t height,
                             int32_t regionCount, std::vector<int32_t> scratch) {
    // Bucket every crossing by its lower region (two passes: count, then place), then sort and
    // count each bucket. This gives the same entries and order as one ordered map per region.
    // Counting into offsets[lo + 2] makes offsets[r + 1] the start of bucket r after the prefix
    // sums; placing advances it to the end of bucket r, which leaves offsets[0 .. regionCount] as
    // the bounds of all buckets, without a second array of cursors.
    std::vector<int32_t> offsets = MakeLarge<int32_t>(static_cast<size_t>(regionCount) + 2);
    ForEachCrossingPair(regionMap, width, height, [&](int32_t lo, int32_t) { ++offsets[lo + 2]; });
    for (int32_t r = 2; r <= regionCount + 1; ++r)
        offsets[r] += offsets[r - 1];

    // The old contents of scratch do not matter: keep them only where no copy is needed.
    std::vector<int32_t> crossings = std::move(scratch);
    if (crossings.capacity() < static_cast<size_t>(offsets[regionCount + 1])) crossings.clear();
    ReserveLarge(crossings, static_cast<size_t>(offsets[regionCount + 1]));
    crossings.resize(static_cast<size_t>(offsets[regionCount + 1]));
    ForEachCrossingPair(regionMap, width, height,
                        [&](int32_t lo, int32_t hi) { crossings[offsets[lo + 1]++] = hi; });

    // Each bucket sorted in place (they hold about ten entries: insertion sort beats a general
    // sort), its distinct neighbours counted, then the entries written into storage of exactly
    // the right size.
    std::vector<int32_t> uniqueOffsets = MakeLarge<int32_t>(static_cast<size_t>(regionCount) + 1);
    for (int32_t r = 0; r < regionCount; ++r) {
        int32_t* const first = crossings.data() + offsets[r];
        int32_t* const last = crossings.data() + offsets[r + 1];
        int32_t distinct = 0;
        for (int32_t* it = first; it != last; ++it) {
            const int32_t value = *it;
            int32_t* hole = it;
            for (; hole != first && hole[-1] > value; --hole)
                *hole = hole[-1];
            *hole = value;
        }
        for (int32_t* it = first; it != last; ++it)
            distinct += it == first || it[-1] != *it;
        uniqueOffsets[r + 1] = uniqueOffsets[r] + distinct;
    }
    std::vector<RegionNeighbour> entries;
    ReserveLarge(entries, static_cast<size_t>(uniqueOffsets[regionCount]));
    entries.resize(static_cast<size_t>(uniqueOffsets[regionCount]));
    RegionNeighbour* entry = entries.data();
    for (int32_t r = 0; r < regionCount; ++r) {
        const int32_t* const last = crossings.data() + offsets[r + 1];
        for (const int32_t* it = crossings.data() + offsets[r]; it != last;) {
            const int32_t* runEnd = it + 1;
            while (runEnd != last && *runEnd == *it)
                ++runEnd;
            *entry++ = {*it, static_cast<int32_t>(runEnd - it)};
            it = runEnd;
        }
    }
    RegionGraph graph;
    graph.Assign(std::move(uniqueOffsets), std::move(entries));
    return graph;
}

}  // namespace mirrask
