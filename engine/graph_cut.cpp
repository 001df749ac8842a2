#include "graph_cut.h"

#include <limits>
#include <new>

#include "large_buffers.h"
#include "outlines.h"

namespace mirrask {

namespace {
// How many entries ahead memory is requested in loops over the region pairs.
constexpr size_t kPrefetchDistance = 16;
}  // namespace

std::vector<RegionTerm> ComputeRegionTerms(const EngineState& state, const MarkedRegions& marked) {
    std::vector<RegionTerm> terms;
    ReserveLarge(terms, static_cast<size_t>(state.RegionCount));
    terms.resize(static_cast<size_t>(state.RegionCount));
    for (int32_t i = 0; i < state.RegionCount; ++i) {
        RegionTerm& term = terms[i];
        term.region = i;
        switch (marked.labels[i]) {
            case 1:
                term.foregroundCost = 0.0f;
                term.backgroundCost = kHardCost;
                break;
            case 2:
                term.foregroundCost = kHardCost;
                term.backgroundCost = 0.0f;
                break;
            default: {
                const LuvColour& mean = state.RegionTable[i].mean;
                const float dF =
                    NearestPrototypeDistance(mean, marked.foreground, state.RegionTable);
                const float dB =
                    NearestPrototypeDistance(mean, marked.background, state.RegionTable);
                const double sum = double(dF) + double(dB);
                if (sum < 1e-30) {
                    term.foregroundCost = 0.0f;
                    term.backgroundCost = 0.0f;
                } else {
                    term.foregroundCost = float(double(dF) / sum);
                    term.backgroundCost = float(1.0 - double(term.foregroundCost));
                }
            }
        }
    }
    return terms;
}

std::vector<NeighbourTerm> ComputeNeighbourTerms(const EngineState& state) {
    const std::span<const RegionNeighbour> entries = state.RegionNeighbours.Entries();
    const RegionInfo* const table = state.RegionTable.data();
    std::vector<NeighbourTerm> terms;
    ReserveLarge(terms, entries.size());
    size_t next = 0;  // index of the entry in hand in entries
    for (int32_t i = 0; i < state.RegionCount; ++i) {
        const LuvColour& a = table[i].mean;
        for (const RegionNeighbour& n : state.RegionNeighbours.NeighboursOf(i)) {
            // The neighbours' means lie anywhere in the table: ask for them a little ahead.
            if (next + kPrefetchDistance < entries.size())
                __builtin_prefetch(table + entries[next + kPrefetchDistance].region);
            ++next;
            const float D = SquaredLuvDistance(a, table[n.region].mean);
            const int32_t scaledCount = n.pairCount * 100;
            const float weight = float(double(scaledCount) / (double(D) + 1.0));
            terms.push_back({i, n.region, weight});
        }
    }
    return terms;
}

namespace {
// Exhausted graph storage must not end the user's process: raise, and let Lazy recover.
[[noreturn]] void RaiseOutOfMemory(const char*) {
    throw std::bad_alloc();
}
}  // namespace

std::unique_ptr<FlowGraph> BuildCutGraph(const std::vector<RegionTerm>& regionTerms,
                                         const std::vector<NeighbourTerm>& neighbourTerms) {
    // Room for every edge at once: no growth, no copying of arcs.
    const size_t edges = neighbourTerms.size();
    auto graph = std::make_unique<FlowGraph>(
        static_cast<int32_t>(regionTerms.size()), &RaiseOutOfMemory,
        edges <= size_t{std::numeric_limits<int32_t>::max() / 2} ? static_cast<int32_t>(edges) : 0);
    for (const RegionTerm& term : regionTerms) {
        const int32_t node = graph->AddNode();
        graph->AddTerminalWeights(node, term.foregroundCost, term.backgroundCost);
    }
    for (size_t k = 0; k < edges; ++k) {
        // The higher node of an edge lies anywhere in node storage.
        if (k + kPrefetchDistance < edges)
            graph->PrefetchNode(neighbourTerms[k + kPrefetchDistance].higher);
        const NeighbourTerm& term = neighbourTerms[k];
        graph->AddEdge(term.lower, term.higher, term.weight, term.weight);
    }
    return graph;
}

std::vector<uint8_t> ReadRegionSides(const FlowGraph& graph) {
    std::vector<uint8_t> foreground(static_cast<size_t>(graph.NodeCount()));
    for (size_t i = 0; i < foreground.size(); ++i) {
        foreground[i] = graph.SegmentOf(static_cast<int32_t>(i)) == FlowGraph::Segment::Sink;
    }
    return foreground;
}

std::vector<uint8_t> SolveRegionCut(const std::vector<RegionTerm>& regionTerms,
                                    const std::vector<NeighbourTerm>& neighbourTerms) {
    const std::unique_ptr<FlowGraph> graph = BuildCutGraph(regionTerms, neighbourTerms);
    graph->MaxFlow();
    return ReadRegionSides(*graph);
}

void WriteSelection(const EngineState& state, const std::vector<uint8_t>& regionIsForeground,
                    const uint8_t* marks, uint8_t* pixels, uint8_t* selection) {
    const int32_t width = state.width;
    const int32_t height = state.height;
    size_t p = 0;
    for (int32_t y = 0; y < height; ++y) {
        for (int32_t x = 0; x < width; ++x, ++p) {
            DrawOutlinePixel(marks, pixels, width, height, x, y, p);
            const uint8_t m = marks[p];
            selection[p] = m == 1 ? 1 : m == 2 ? 0 : regionIsForeground[state.RegionMap[p]];
        }
    }
}

}  // namespace mirrask
