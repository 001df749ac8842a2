// FlowGraph against an independent max-flow on random graphs: the flow must match, the cut read
// from SegmentOf must be a minimum cut, and the residuals must describe a valid flow.
#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <ostream>
#include <random>
#include <string>
#include <vector>

#include "maxflow/flow_graph.h"
#include "reference_max_flow.h"

namespace mirrask {
namespace {

using testing::ReferenceMaxFlow;
using testing::TerminalGraph;

int32_t Uniform(std::mt19937& random, int32_t low, int32_t high) {
    return low + int32_t(random() % uint32_t(high - low + 1));
}

// Capacity from 0 to 20, 0 in about a third of the cases.
int32_t RandomCapacity(std::mt19937& random) {
    return Uniform(random, 0, 2) == 0 ? 0 : Uniform(random, 1, 20);
}

TerminalGraph RandomSmallGraph(std::mt19937& random) {
    TerminalGraph graph;
    const int32_t nodeCount = Uniform(random, 2, 12);
    for (int32_t node = 0; node < nodeCount; ++node) {
        graph.sourceCapacities.push_back(RandomCapacity(random));
        graph.sinkCapacities.push_back(RandomCapacity(random));
    }
    const int32_t edgeCount = Uniform(random, 0, 3 * nodeCount);
    for (int32_t edge = 0; edge < edgeCount; ++edge) {
        const int32_t from = Uniform(random, 0, nodeCount - 1);
        int32_t to = Uniform(random, 0, nodeCount - 2);
        if (to >= from) ++to;
        graph.edges.push_back({from, to, RandomCapacity(random), RandomCapacity(random)});
    }
    return graph;
}

// 4-connected grid with a few strong seeds of either side and weak, noisy terminals elsewhere,
// roughly what the engine's region graphs look like.
TerminalGraph RandomGrid(std::mt19937& random, int32_t width, int32_t height) {
    TerminalGraph graph;
    for (int32_t node = 0; node < width * height; ++node) {
        const int32_t kind = Uniform(random, 0, 39);
        graph.sourceCapacities.push_back(kind == 0 ? 1000 : Uniform(random, 0, 3));
        graph.sinkCapacities.push_back(kind == 1 ? 1000 : Uniform(random, 0, 3));
    }
    for (int32_t y = 0; y < height; ++y) {
        for (int32_t x = 0; x < width; ++x) {
            const int32_t node = y * width + x;
            if (x + 1 < width) {
                const int32_t capacity = Uniform(random, 0, 30);
                graph.edges.push_back({node, node + 1, capacity, capacity});
            }
            if (y + 1 < height) {
                graph.edges.push_back(
                    {node, node + width, Uniform(random, 0, 30), Uniform(random, 0, 30)});
            }
        }
    }
    return graph;
}

// Builds the graph, splitting the terminal weights of some nodes over two calls (which must add
// up to the same thing), solves it and checks the result against the reference.
void SolveAndCheck(const TerminalGraph& graph, std::mt19937& random) {
    const auto nodeCount = int32_t(graph.sourceCapacities.size());
    FlowGraph flowGraph(nodeCount);
    for (int32_t node = 0; node < nodeCount; ++node) {
        ASSERT_EQ(flowGraph.AddNode(), node);
        const int32_t source = graph.sourceCapacities[std::size_t(node)];
        const int32_t sink = graph.sinkCapacities[std::size_t(node)];
        if (Uniform(random, 0, 3) == 0) {
            const int32_t sourcePart = Uniform(random, 0, source);
            const int32_t sinkPart = Uniform(random, 0, sink);
            flowGraph.AddTerminalWeights(node, float(sourcePart), float(sinkPart));
            flowGraph.AddTerminalWeights(node, float(source - sourcePart), float(sink - sinkPart));
        } else {
            flowGraph.AddTerminalWeights(node, float(source), float(sink));
        }
        ASSERT_EQ(flowGraph.TerminalResidual(node), float(source - sink));
    }
    for (const auto& edge : graph.edges) {
        flowGraph.AddEdge(edge.from, edge.to, float(edge.capacity), float(edge.reverseCapacity));
    }

    const int64_t expectedFlow = ReferenceMaxFlow(graph);
    const float flow = flowGraph.MaxFlow();
    EXPECT_EQ(flow, float(expectedFlow));
    EXPECT_EQ(flowGraph.Flow(), flow);

    // The cut between the sink side and everything else carries exactly the flow.
    std::vector<bool> onSinkSide(std::size_t(nodeCount), false);
    int64_t cutCapacity = 0;
    for (int32_t node = 0; node < nodeCount; ++node) {
        const bool sinkSide = flowGraph.SegmentOf(node) == FlowGraph::Segment::Sink;
        onSinkSide[std::size_t(node)] = sinkSide;
        cutCapacity += sinkSide ? graph.sourceCapacities[std::size_t(node)]
                                : graph.sinkCapacities[std::size_t(node)];
    }
    for (const auto& edge : graph.edges) {
        const bool fromSink = onSinkSide[std::size_t(edge.from)];
        const bool toSink = onSinkSide[std::size_t(edge.to)];
        if (!fromSink && toSink) cutCapacity += edge.capacity;
        if (fromSink && !toSink) cutCapacity += edge.reverseCapacity;
    }
    EXPECT_EQ(cutCapacity, expectedFlow);

    // Residuals form a valid flow: arc pairs keep their total, nothing goes negative, and what a
    // node takes from its terminals it passes on through its edges.
    std::vector<int64_t> netOutflow(std::size_t(nodeCount), 0);
    for (std::size_t edge = 0; edge < graph.edges.size(); ++edge) {
        const auto& e = graph.edges[edge];
        const float forward = flowGraph.ArcResidual(int32_t(2 * edge));
        const float reverse = flowGraph.ArcResidual(int32_t(2 * edge + 1));
        EXPECT_GE(forward, 0.0f) << "edge " << edge;
        EXPECT_GE(reverse, 0.0f) << "edge " << edge;
        EXPECT_EQ(forward + reverse, float(e.capacity + e.reverseCapacity)) << "edge " << edge;
        const auto carried = int64_t(e.capacity) - int64_t(forward);
        netOutflow[std::size_t(e.from)] += carried;
        netOutflow[std::size_t(e.to)] -= carried;
    }
    for (int32_t node = 0; node < nodeCount; ++node) {
        const int64_t before =
            graph.sourceCapacities[std::size_t(node)] - graph.sinkCapacities[std::size_t(node)];
        const auto after = int64_t(flowGraph.TerminalResidual(node));
        EXPECT_EQ(before - after, netOutflow[std::size_t(node)]) << "node " << node;
        // Whatever terminal capacity is left over must not reach the other terminal.
        if (after != 0) {
            EXPECT_EQ(onSinkSide[std::size_t(node)], after < 0) << "node " << node;
        }
    }
}

TEST(FlowGraphCrossCheck, RandomSmallGraphsMatchReference) {
    std::mt19937 random(20240611);
    for (int32_t round = 0; round < 400 && !::testing::Test::HasFailure(); ++round) {
        const TerminalGraph graph = RandomSmallGraph(random);
        SCOPED_TRACE("graph " + std::to_string(round));
        SolveAndCheck(graph, random);
    }
}

TEST(FlowGraphCrossCheck, RandomGridsMatchReference) {
    std::mt19937 random(7);
    for (int32_t round = 0; round < 3 && !::testing::Test::HasFailure(); ++round) {
        const TerminalGraph graph = RandomGrid(random, 100, 100);
        SCOPED_TRACE("grid " + std::to_string(round));
        SolveAndCheck(graph, random);
    }
}

// Deep trees and many simultaneous saturations (small whole capacities, long-range edges).
TEST(FlowGraphCrossCheck, RandomSparseGraphsMatchReference) {
    std::mt19937 random(11);
    for (int32_t round = 0; round < 3 && !::testing::Test::HasFailure(); ++round) {
        TerminalGraph graph;
        constexpr int32_t kNodes = 3000;
        for (int32_t node = 0; node < kNodes; ++node) {
            graph.sourceCapacities.push_back(Uniform(random, 0, 4));
            graph.sinkCapacities.push_back(Uniform(random, 0, 4));
        }
        for (int32_t edge = 0; edge < 3 * kNodes; ++edge) {
            const int32_t from = Uniform(random, 0, kNodes - 1);
            int32_t to = Uniform(random, 0, kNodes - 2);
            if (to >= from) ++to;
            graph.edges.push_back({from, to, Uniform(random, 0, 3), Uniform(random, 0, 3)});
        }
        SCOPED_TRACE("sparse graph " + std::to_string(round));
        SolveAndCheck(graph, random);
    }
}

// A graph with fractional float weights, for the determinism checks.
struct WeightedGraph {
    struct Edge {
        int32_t from, to;
        float weight, reverseWeight;
    };
    std::vector<float> sources, sinks;
    std::vector<Edge> edges;
};

void AddRandomTerminals(std::mt19937& random, int32_t nodeCount, WeightedGraph& graph) {
    for (int32_t node = 0; node < nodeCount; ++node) {
        const int32_t kind = Uniform(random, 0, 19);
        graph.sources.push_back(kind == 0 ? 1e10f : float(Uniform(random, 0, 1000)) / 1000.0f);
        graph.sinks.push_back(kind == 1 ? 1e10f : float(Uniform(random, 0, 1000)) / 1000.0f);
    }
}

WeightedGraph FractionalGrid(std::mt19937& random, int32_t width, int32_t height) {
    WeightedGraph graph;
    AddRandomTerminals(random, width * height, graph);
    for (int32_t y = 0; y < height; ++y) {
        for (int32_t x = 0; x < width; ++x) {
            const int32_t node = y * width + x;
            for (const int32_t neighbour :
                 {x + 1 < width ? node + 1 : -1, y + 1 < height ? node + width : -1}) {
                if (neighbour < 0) continue;
                const float weight = float(Uniform(random, 0, 700)) / 7.0f;
                graph.edges.push_back({node, neighbour, weight, weight});
            }
        }
    }
    return graph;
}

// Long-range random edges give deep trees; with small whole capacities, ties between residuals
// saturate several arcs of a path at once and so make several orphans per augmentation.
WeightedGraph RandomSparseGraph(std::mt19937& random, int32_t nodeCount, bool wholeCapacities) {
    WeightedGraph graph;
    if (wholeCapacities) {
        for (int32_t node = 0; node < nodeCount; ++node) {
            graph.sources.push_back(float(Uniform(random, 0, 4)));
            graph.sinks.push_back(float(Uniform(random, 0, 4)));
        }
    } else {
        AddRandomTerminals(random, nodeCount, graph);
    }
    const auto capacity = [&random, wholeCapacities] {
        return wholeCapacities ? float(Uniform(random, 0, 3))
                               : float(Uniform(random, 0, 300)) / 3.0f;
    };
    for (int32_t edge = 0; edge < 3 * nodeCount; ++edge) {
        const int32_t from = Uniform(random, 0, nodeCount - 1);
        int32_t to = Uniform(random, 0, nodeCount - 2);
        if (to >= from) ++to;
        const float weight = capacity();
        graph.edges.push_back({from, to, weight, capacity()});
    }
    return graph;
}

struct Fingerprint {
    uint32_t flowBits;
    int32_t sinkSide;
    uint64_t hash;  // FNV-1a over every segment and every residual's bit pattern
    bool operator==(const Fingerprint&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Fingerprint& f) {
    return out << "{" << f.flowBits << "u, " << f.sinkSide << ", " << f.hash << "u}";
}

uint32_t BitsOf(float value) {
    uint32_t pattern;
    std::memcpy(&pattern, &value, sizeof pattern);
    return pattern;
}

Fingerprint SolveAndFingerprint(const WeightedGraph& weighted) {
    const auto nodeCount = int32_t(weighted.sources.size());
    FlowGraph graph(nodeCount);
    for (int32_t node = 0; node < nodeCount; ++node) {
        graph.AddNode();
        graph.AddTerminalWeights(node, weighted.sources[std::size_t(node)],
                                 weighted.sinks[std::size_t(node)]);
    }
    for (const auto& edge : weighted.edges) {
        graph.AddEdge(edge.from, edge.to, edge.weight, edge.reverseWeight);
    }
    const float flow = graph.MaxFlow();

    // A minimum cut up to float rounding, so the fingerprint is one of a correct solution.
    double cutCapacity = 0;
    for (int32_t node = 0; node < nodeCount; ++node) {
        cutCapacity += graph.SegmentOf(node) == FlowGraph::Segment::Sink
                           ? weighted.sources[std::size_t(node)]
                           : weighted.sinks[std::size_t(node)];
    }
    for (const auto& edge : weighted.edges) {
        const auto from = graph.SegmentOf(edge.from);
        const auto to = graph.SegmentOf(edge.to);
        if (from == FlowGraph::Segment::Source && to == FlowGraph::Segment::Sink) {
            cutCapacity += edge.weight;
        }
        if (from == FlowGraph::Segment::Sink && to == FlowGraph::Segment::Source) {
            cutCapacity += edge.reverseWeight;
        }
    }
    EXPECT_NEAR(flow, cutCapacity, 1e-4 * cutCapacity);

    Fingerprint fingerprint{BitsOf(flow), 0, 14695981039346656037u};
    const auto mix = [&fingerprint](uint32_t value) {
        for (int32_t byte = 0; byte < 4; ++byte) {
            fingerprint.hash = (fingerprint.hash ^ ((value >> (8 * byte)) & 0xFF)) * 1099511628211u;
        }
    };
    for (int32_t node = 0; node < nodeCount; ++node) {
        const bool sink = graph.SegmentOf(node) == FlowGraph::Segment::Sink;
        fingerprint.sinkSide += sink ? 1 : 0;
        mix(sink ? 1 : 0);
        mix(BitsOf(graph.TerminalResidual(node)));
    }
    for (int32_t arc = 0; arc < graph.ArcCount(); ++arc)
        mix(BitsOf(graph.ArcResidual(arc)));
    return fingerprint;
}

// Any change to the order of the search (arc lists, queues, orphan handling, timestamps and
// distances) moves flow between the many equally good paths of these graphs, and so the
// residuals. The fingerprints were recorded from the solver and hold as long as every step
// happens in the same order with the same float roundings.
TEST(FlowGraphDeterminism, SearchOrderFingerprintsAreStable) {
    std::mt19937 random(99);
    const WeightedGraph grid = FractionalGrid(random, 60, 60);
    EXPECT_EQ(SolveAndFingerprint(grid), (Fingerprint{1188265683u, 1574, 9699323127993680895u}))
        << "60 x 60 grid";
    const WeightedGraph sparse = RandomSparseGraph(random, 3000, false);
    EXPECT_EQ(SolveAndFingerprint(sparse), (Fingerprint{1194111714u, 2821, 17669486407294456067u}))
        << "sparse graph";
    const WeightedGraph whole = RandomSparseGraph(random, 3000, true);
    EXPECT_EQ(SolveAndFingerprint(whole), (Fingerprint{1169639424u, 48, 4258387810030559112u}))
        << "sparse graph, whole capacities";
}

}  // namespace
}  // namespace mirrask
