// The engine's process-wide state: the pre-segmentation of the last image given to Watershed.
#ifndef MIRRASK_ENGINE_STATE_H
#define MIRRASK_ENGINE_STATE_H

#include <cstdint>
#include <span>
#include <vector>

#include "large_buffers.h"

namespace mirrask {

// Region index of every pixel, row-major. Sized without zero-filling: the flooding writes every
// entry.
using RegionIndexMap = std::vector<int32_t, UninitialisedAllocator<int32_t>>;

// CIE L*u*v* colour, three float32 in the order L, u, v.
struct LuvColour {
    float L = 0.0f;
    float u = 0.0f;
    float v = 0.0f;
    friend bool operator==(const LuvColour&, const LuvColour&) = default;
};

// One watershed region: its size and mean colour.
struct RegionInfo {
    int32_t pixelCount = 0;
    LuvColour mean;
    friend bool operator==(const RegionInfo&, const RegionInfo&) = default;
};

// One adjacent pair as seen from its lower region: the higher region and the number of touching
// pixel pairs counted between them.
struct RegionNeighbour {
    int32_t region = 0;
    int32_t pairCount = 0;
    friend bool operator==(const RegionNeighbour&, const RegionNeighbour&) = default;
};

// Adjacency of the regions. Every touching pair a < b is held once, under a, so every neighbour of
// a is greater than a; each region's neighbours are kept in ascending order. Stored compactly as
// one array of all entries with an offset per region instead of one ordered map per region: the
// iteration order is the same, the memory a fraction.
class RegionGraph {
  public:
    // Builds the graph from entries grouped by lower region in ascending order.
    void Assign(std::vector<int32_t> offsets, std::vector<RegionNeighbour> entries);
    void Clear();

    int32_t RegionCount() const {
        return offsets_.empty() ? 0 : static_cast<int32_t>(offsets_.size() - 1);
    }
    int64_t PairCount() const { return static_cast<int64_t>(entries_.size()); }
    // All entries, region after region.
    std::span<const RegionNeighbour> Entries() const { return entries_; }
    std::span<const RegionNeighbour> NeighboursOf(int32_t region) const {
        return {entries_.data() + offsets_[region],
                static_cast<size_t>(offsets_[region + 1] - offsets_[region])};
    }

  private:
    std::vector<int32_t> offsets_;  // RegionCount + 1 entries
    std::vector<RegionNeighbour> entries_;
};

struct EngineState {
    // The pixel buffer of the call in progress; only used during the call that stored it.
    uint8_t* pixels = nullptr;
    int32_t width = 0;
    int32_t height = 0;
    int32_t pixelCount = 0;
    // Region index (0 .. RegionCount - 1) of every pixel, row-major.
    RegionIndexMap RegionMap;
    int32_t RegionCount = 0;
    std::vector<RegionInfo> RegionTable;
    RegionGraph RegionNeighbours;
};

// The one state of this process, used by the exports.
EngineState& GlobalEngineState();

// Forgets the current image: pixel pointer null, arrays emptied, width, height and pixel count 0.
// RegionCount is left alone: a successful Watershed always overwrites it.
void ResetEngineState(EngineState& state);

// Runs the whole pre-segmentation of an image on the given state. Returns 0, or -1 when pixels is
// null, a side is below 1 or the pixel count does not fit int32 (state untouched). Exceptions
// (exhausted memory) propagate; the export catches them.
int32_t RunWatershed(EngineState& state, const uint8_t* pixels, int32_t width, int32_t height);

// The graph cut of the marks over the state's regions; see Lazy in segmentation.h.
void RunLazy(EngineState& state, const uint8_t* marks, uint8_t* pixels, uint8_t* selection);

}  // namespace mirrask

#endif  // MIRRASK_ENGINE_STATE_H
