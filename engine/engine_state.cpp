#include "engine_state.h"

#include <limits>
#include <memory>
#include <new>
#include <optional>

#include "flooding.h"
#include "gradient.h"
#include "graph_cut.h"
#include "large_buffers.h"
#include "prototypes.h"
#include "region_tables.h"

namespace mirrask {

void RegionGraph::Assign(std::vector<int32_t> offsets, std::vector<RegionNeighbour> entries) {
    offsets_ = std::move(offsets);
    entries_ = std::move(entries);
}

void RegionGraph::Clear() {
    offsets_.clear();
    entries_.clear();
}

EngineState& GlobalEngineState() {
    static EngineState state;
    return state;
}

void ResetEngineState(EngineState& state) {
    state.pixels = nullptr;
    state.RegionMap.clear();
    state.RegionTable.clear();
    state.RegionNeighbours.Clear();
    state.width = 0;
    state.height = 0;
    state.pixelCount = 0;
}

int32_t RunWatershed(EngineState& state, const uint8_t* pixels, int32_t width, int32_t height) {
    if (pixels == nullptr || width < 1 || height < 1) return -1;
    const int64_t pixelCount = int64_t{width} * height;
    if (pixelCount > std::numeric_limits<int32_t>::max()) return -1;

    ResetEngineState(state);
    state.width = width;
    state.pixels = const_cast<uint8_t*>(pixels);
    state.height = height;
    state.pixelCount = static_cast<int32_t>(pixelCount);
    const size_t count = static_cast<size_t>(pixelCount);
    ReserveLarge(state.RegionMap, count);
    state.RegionMap.resize(count);

    // Left uninitialised: the gradient step writes every level.
    const auto gradient = std::make_unique_for_overwrite<uint8_t[]>(count);
    AdviseHugePages(gradient.get(), count);
    ComputeGradient(pixels, width, height, gradient.get());

    // The statistics and the adjacency take every row as soon as the flooding has finished it,
    // while it is still in the cache. The colours are converted on the fly, in raster order,
    // instead of being kept per pixel: the float sums see the same values in the same order.
    std::optional<RegionStatsBuilder> stats;
    std::optional<RegionGraphBuilder> graph;
    const size_t w = static_cast<size_t>(width);
    const int32_t* const regions = state.RegionMap.data();
    state.RegionCount = FloodRegions({gradient.get(), count}, width, height, state.RegionMap,
                                     [&](int32_t y, int32_t regionCount) {
                                         if (y == 0) {
                                             stats.emplace(regionCount, pixels, width);
                                             graph.emplace(width, height, regionCount);
                                         }
                                         stats->AddRow(regions + y * w, y);
                                         // Row y - 1's pairs reach into row y.
                                         if (y >= 2)
                                             graph->AddRow(regions + (y - 1) * w, regions + y * w);
                                     });
    state.RegionTable = stats->Finish();
    state.RegionNeighbours = graph->Finish();
    return 0;
}

void RunLazy(EngineState& state, const uint8_t* marks, uint8_t* pixels, uint8_t* selection) {
    state.pixels = pixels;
    if (state.pixelCount == 0) return;
    const MarkedRegions marked = ScanMarks(state, marks);
    const std::vector<uint8_t> foreground =
        SolveRegionCut(ComputeRegionTerms(state, marked), ComputeNeighbourTerms(state));
    WriteSelection(state, foreground, marks, pixels, selection);
}

}  // namespace mirrask
