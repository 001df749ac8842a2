// A plain reference for checking FlowGraph: integer capacities, Dinic's blocking flows.
#ifndef QUILLANE_TESTS_ENGINE_MAXFLOW_REFERENCE_MAX_FLOW_H
#define QUILLANE_TESTS_ENGINE_MAXFLOW_REFERENCE_MAX_FLOW_H

#include <cstdint>
#include <vector>

namespace mirrask::testing {

// A two-terminal graph in the terms FlowGraph is fed with. Capacities are small integers, so that
// every float sum the solver forms is exact.
struct TerminalGraph {
    struct Edge {
        int32_t from;
        int32_t to;
        int32_t capacity;
        int32_t reverseCapacity;
    };
    std::vector<int32_t> sourceCapacities;  // per node
    std::vector<int32_t> sinkCapacities;    // per node
    std::vector<Edge> edges;
};

int64_t ReferenceMaxFlow(const TerminalGraph& graph);

}  // namespace mirrask::testing

#endif  // QUILLANE_TESTS_ENGINE_MAXFLOW_REFERENCE_MAX_FLOW_H
