// The region graph cut behind Lazy: every watershed region is one node of a two-terminal graph,
// adjacent regions are joined by edges, and a minimum cut labels each region foreground or
// background.
//
// Cost of a labelling = sum of the regions' costs for the side they get + sum of the weights of
// adjacent pairs that get different sides. Marked regions cost 1e10 on the side opposite to their
// mark; unmarked regions lean towards the side whose nearest colour prototype is nearer:
// foreground cost dF / (dF + dB), background cost 1 minus that (both 0 when dF + dB < 1e-30). The
// weight between adjacent regions is (pairs * 100) / (squared mean distance + 1), so the cut
// prefers to pass between regions of different colour.
#ifndef MIRRASK_GRAPH_CUT_H
#define MIRRASK_GRAPH_CUT_H

#include <cstdint>
#include <memory>
#include <vector>

#include "engine_state.h"
#include "maxflow/flow_graph.h"
#include "prototypes.h"

namespace mirrask {

inline constexpr float kHardCost = 1e10f;

struct RegionTerm {
    int32_t region = 0;
    float foregroundCost = 0.0f;  // capacity from the source
    float backgroundCost = 0.0f;  // capacity to the sink
};

struct NeighbourTerm {
    int32_t lower = 0;
    int32_t higher = 0;
    float weight = 0.0f;
};

std::vector<RegionTerm> ComputeRegionTerms(const EngineState& state, const MarkedRegions& marked);

// One term per adjacent pair, ordered by lower region, then higher region.
std::vector<NeighbourTerm> ComputeNeighbourTerms(const EngineState& state);

// The graph of the cut: node k is region k with the terms' terminal weights, one edge per term
// with its weight both ways. Exhausted graph storage raises std::bad_alloc.
std::unique_ptr<FlowGraph> BuildCutGraph(const std::vector<RegionTerm>& regionTerms,
                                         const std::vector<NeighbourTerm>& neighbourTerms);

// After MaxFlow: per node 1 if it ended on the sink side (foreground), else 0.
std::vector<uint8_t> ReadRegionSides(const FlowGraph& graph);

// Solves the cut; returns per region 1 for foreground (sink side), 0 for background (source side
// or left free). Exhausted graph storage raises std::bad_alloc.
std::vector<uint8_t> SolveRegionCut(const std::vector<RegionTerm>& regionTerms,
                                    const std::vector<NeighbourTerm>& neighbourTerms);

// Writes every byte of selection (the region's side, overridden by the pixel's own mark) and draws
// the outlines of the marks into pixels.
void WriteSelection(const EngineState& state, const std::vector<uint8_t>& regionIsForeground,
                    const uint8_t* marks, uint8_t* pixels, uint8_t* selection);

}  // namespace mirrask

#endif  // MIRRASK_GRAPH_CUT_H
