// Fuzz target: random small graphs through FlowGraph, checked against a plain reference max-flow:
// equal flow, and the cut that SegmentOf describes has exactly that capacity.
//
// Input: node count - 1 (mod 16), then per node its source and sink capacities (mod 21), then
// edges of four bytes each: from, to, capacity and reverse capacity. Integer capacities keep
// every float sum exact.
#include <cstdint>

#include "fuzz_check.h"
#include "maxflow/flow_graph.h"
#include "reference_max_flow.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzInput input(data, size);
    mirrask::testing::TerminalGraph graph;
    const int32_t nodes = 1 + input.Byte() % 16;
    for (int32_t i = 0; i < nodes; ++i) {
        graph.sourceCapacities.push_back(input.Byte() % 21);
        graph.sinkCapacities.push_back(input.Byte() % 21);
    }
    while (input.Remaining() >= 4 && graph.edges.size() < 64) {
        const int32_t from = input.Byte() % nodes;
        const int32_t to = input.Byte() % nodes;
        const int32_t capacity = input.Byte() % 21;
        const int32_t reverse = input.Byte() % 21;
        if (from != to) graph.edges.push_back({from, to, capacity, reverse});
    }

    mirrask::FlowGraph solver(nodes);
    for (int32_t i = 0; i < nodes; ++i) {
        FUZZ_CHECK(solver.AddNode() == i);
        solver.AddTerminalWeights(i, float(graph.sourceCapacities[i]),
                                  float(graph.sinkCapacities[i]));
    }
    for (const auto& e : graph.edges)
        solver.AddEdge(e.from, e.to, float(e.capacity), float(e.reverseCapacity));
    const float flow = solver.MaxFlow();
    const int64_t expected = mirrask::testing::ReferenceMaxFlow(graph);
    FUZZ_CHECK(flow == float(expected));

    auto onSink = [&](int32_t node) {
        return solver.SegmentOf(node) == mirrask::FlowGraph::Segment::Sink;
    };
    int64_t cut = 0;
    for (int32_t i = 0; i < nodes; ++i)
        cut += onSink(i) ? graph.sourceCapacities[i] : graph.sinkCapacities[i];
    for (const auto& e : graph.edges) {
        if (!onSink(e.from) && onSink(e.to)) cut += e.capacity;
        if (onSink(e.from) && !onSink(e.to)) cut += e.reverseCapacity;
    }
    FUZZ_CHECK(cut == expected);
    return 0;
}
