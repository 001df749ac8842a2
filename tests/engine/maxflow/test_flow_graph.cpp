// FlowGraph's behaviour on small hand-made graphs whose every step can be followed.
#include <gtest/gtest.h>

#include <cstdint>
#include <ostream>

#include "maxflow/flow_graph.h"

namespace mirrask {

// Readable failure messages; found by argument-dependent lookup.
void PrintTo(FlowGraph::Segment segment, std::ostream* out) {
    *out << (segment == FlowGraph::Segment::Sink ? "Sink" : "Source");
}

namespace {

using Segment = FlowGraph::Segment;

struct TerminalWeightsCase {
    float firstSource, firstSink;
    float expectedFlowAfterFirst, expectedResidualAfterFirst;
    float secondSource, secondSink;
    float expectedFlowAfterSecond, expectedResidualAfterSecond;
};

TEST(FlowGraphTerminalWeights, RepeatedCallsAccumulate) {
    const TerminalWeightsCase cases[] = {
        // The leftover 2 towards the source turns the later source capacity 0 into 2.
        {3, 1, 1, 2, 0, 5, 3, -3},
        // Mirror image: the leftover 2 towards the sink is added to the sink capacity.
        {1, 3, 1, -2, 5, 0, 3, 3},
        // A residual of 0 adds nothing to either side.
        {4, 4, 4, 0, 1, 6, 5, -5},
        {0, 0, 0, 0, 2.5f, 0.5f, 0.5f, 2},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::Message() << "first " << c.firstSource << "," << c.firstSink);
        FlowGraph graph(1);
        const int32_t node = graph.AddNode();
        graph.AddTerminalWeights(node, c.firstSource, c.firstSink);
        EXPECT_EQ(graph.Flow(), c.expectedFlowAfterFirst);
        EXPECT_EQ(graph.TerminalResidual(node), c.expectedResidualAfterFirst);
        graph.AddTerminalWeights(node, c.secondSource, c.secondSink);
        EXPECT_EQ(graph.Flow(), c.expectedFlowAfterSecond);
        EXPECT_EQ(graph.TerminalResidual(node), c.expectedResidualAfterSecond);
        // A lone node has nothing to augment.
        EXPECT_EQ(graph.MaxFlow(), c.expectedFlowAfterSecond);
    }
}

TEST(FlowGraphSolve, EmptyGraphHasNoFlow) {
    FlowGraph graph(0);
    EXPECT_EQ(graph.NodeCount(), 0);
    EXPECT_EQ(graph.ArcCount(), 0);
    EXPECT_EQ(graph.MaxFlow(), 0.0f);
}

TEST(FlowGraphSolve, NodesAreNumberedInOrderOfAddition) {
    FlowGraph graph(2);
    for (int32_t expected = 0; expected < 40; ++expected)
        EXPECT_EQ(graph.AddNode(), expected);
    EXPECT_EQ(graph.NodeCount(), 40);
}

// Without a source tree nothing can be augmented: the flow is what the terminal weights put in,
// every arc keeps its capacity, and every node ends on the sink side.
TEST(FlowGraphSolve, AllNegativeResidualsPutEveryNodeOnSinkSide) {
    FlowGraph graph(4);
    const float sourceCapacities[] = {0.25f, 0, 3, 0.5f};
    const float sinkCapacities[] = {0.5f, 2, 4, 0.75f};
    for (int32_t node = 0; node < 4; ++node) {
        graph.AddNode();
        graph.AddTerminalWeights(node, sourceCapacities[node], sinkCapacities[node]);
    }
    graph.AddEdge(0, 1, 5, 6);
    graph.AddEdge(1, 2, 7, 0);
    graph.AddEdge(3, 0, 1, 2);
    const float expectedFlow = 0.25f + 3 + 0.5f;
    EXPECT_EQ(graph.Flow(), expectedFlow);

    EXPECT_EQ(graph.MaxFlow(), expectedFlow);

    const float capacities[] = {5, 6, 7, 0, 1, 2};
    for (int32_t arc = 0; arc < 6; ++arc)
        EXPECT_EQ(graph.ArcResidual(arc), capacities[arc]);
    for (int32_t node = 0; node < 4; ++node) {
        EXPECT_EQ(graph.SegmentOf(node), Segment::Sink) << "node " << node;
        EXPECT_EQ(graph.TerminalResidual(node), sourceCapacities[node] - sinkCapacities[node]);
    }
}

TEST(FlowGraphSolve, AllPositiveResidualsPutEveryNodeOnSourceSide) {
    FlowGraph graph(3);
    for (int32_t node = 0; node < 3; ++node) {
        graph.AddNode();
        graph.AddTerminalWeights(node, 2, 1);
    }
    graph.AddEdge(0, 1, 5, 5);
    graph.AddEdge(1, 2, 5, 5);
    EXPECT_EQ(graph.MaxFlow(), 3.0f);
    for (int32_t node = 0; node < 3; ++node)
        EXPECT_EQ(graph.SegmentOf(node), Segment::Source);
}

// Node 1 has a terminal residual of 0 and its only edges point away from it towards the sink
// tree and into it from the source tree with no capacity, so no tree ever reaches it.
TEST(FlowGraphSolve, UnreachedNodeWithZeroResidualIsFreeAndCountsAsSource) {
    FlowGraph graph(4);
    for (int32_t node = 0; node < 4; ++node)
        graph.AddNode();
    graph.AddTerminalWeights(0, 4, 0);  // source root
    graph.AddTerminalWeights(1, 2, 2);  // residual exactly 0
    graph.AddTerminalWeights(2, 0, 4);  // sink root
    graph.AddTerminalWeights(3, 0, 0);  // isolated, residual 0
    graph.AddEdge(0, 1, 0, 5);          // source tree cannot grow into 1
    graph.AddEdge(1, 2, 0, 5);          // sink tree cannot grow into 1
    graph.AddEdge(0, 2, 1, 0);          // the only augmenting path

    EXPECT_EQ(graph.MaxFlow(), 2.0f + 1.0f);
    EXPECT_EQ(graph.SegmentOf(0), Segment::Source);
    EXPECT_EQ(graph.SegmentOf(1), Segment::Source);
    EXPECT_EQ(graph.SegmentOf(2), Segment::Sink);
    EXPECT_EQ(graph.SegmentOf(3), Segment::Source);
    EXPECT_EQ(graph.TerminalResidual(0), 3.0f);
    EXPECT_EQ(graph.TerminalResidual(2), -3.0f);
}

// 0.3f - 0.1f - 0.2f leaves 2^-26 in float although 0.1f + 0.2f == 0.3f. A capacity of 0.3 feeds
// a hub with sinks of 0.1 and 0.2 and, one step further away, a last sink. The remainder left on
// the arc into the hub (or on the root's terminal residual) must keep it usable (or the root
// attached) and reach the last sink.
TEST(FlowGraphSolve, ResidualJustAboveZeroStaysUsable) {
    constexpr float kLimit = 0.3f;
    constexpr float kFirstSink = 0.1f;
    constexpr float kSecondSink = 0.2f;
    constexpr float kLastSink = 1.0f / 1024;
    volatile float remainder = kLimit;  // volatile: computed at run time, in float
    remainder = remainder - kFirstSink;
    remainder = remainder - kSecondSink;
    ASSERT_GT(remainder, 0.0f);
    ASSERT_EQ(kFirstSink + kSecondSink, kLimit);

    enum : int32_t { kSource, kHub, kFirst, kSecond, kRelay, kLast };
    for (const bool limitOnArc : {true, false}) {
        SCOPED_TRACE(limitOnArc ? "limit on the arc into the hub" : "limit on the root's terminal");
        FlowGraph graph(6);
        for (int32_t node = 0; node < 6; ++node)
            graph.AddNode();
        graph.AddTerminalWeights(kSource, limitOnArc ? 1 : kLimit, 0);
        graph.AddTerminalWeights(kFirst, 0, kFirstSink);
        graph.AddTerminalWeights(kSecond, 0, kSecondSink);
        graph.AddTerminalWeights(kLast, 0, kLastSink);
        graph.AddEdge(kSource, kHub, limitOnArc ? kLimit : 1, 0);  // arcs 0, 1
        graph.AddEdge(kHub, kRelay, 1, 0);
        graph.AddEdge(kRelay, kLast, 1, 0);
        graph.AddEdge(kHub, kSecond, 1, 0);
        graph.AddEdge(kHub, kFirst, 1, 0);

        float expectedFlow = kFirstSink;
        expectedFlow += kSecondSink;
        expectedFlow += remainder;
        EXPECT_EQ(graph.MaxFlow(), expectedFlow);
        EXPECT_EQ(graph.ArcResidual(1), expectedFlow) << "all of the flow went through the hub";
        EXPECT_EQ(limitOnArc ? graph.ArcResidual(0) : graph.TerminalResidual(kSource), 0.0f);
        EXPECT_EQ(graph.TerminalResidual(kLast), -kLastSink + remainder);
        EXPECT_EQ(graph.TerminalResidual(kFirst), 0.0f);
        EXPECT_EQ(graph.TerminalResidual(kSecond), 0.0f);
        // The saturated limit is the cut: only a source left with capacity stays on its side.
        EXPECT_EQ(graph.SegmentOf(kSource), limitOnArc ? Segment::Source : Segment::Sink);
        for (const int32_t node : {kHub, kFirst, kSecond, kRelay, kLast}) {
            EXPECT_EQ(graph.SegmentOf(node), Segment::Sink) << "node " << node;
        }
    }
}

// The child's first parent (root kWeak, source capacity 1) is exhausted by the first
// augmentation. The child is then adopted by one of two roots at equal distance; the remaining
// flow of 9 runs through the edge of the chosen one, whose arc residual is left at 10 - 9.
// The arc that comes first in the child's list, i.e. the edge added last, must win.
TEST(FlowGraphSolve, AdoptionTieKeepsMostRecentlyAddedEdge) {
    enum : int32_t { kWeak, kSink, kRootA, kRootB, kChild };
    for (const bool rootBAddedLast : {true, false}) {
        SCOPED_TRACE(rootBAddedLast ? "root B added last" : "root A added last");
        FlowGraph graph(5);
        for (int32_t node = 0; node < 5; ++node)
            graph.AddNode();
        graph.AddTerminalWeights(kWeak, 1, 0);
        graph.AddTerminalWeights(kSink, 0, 10);
        graph.AddTerminalWeights(kRootA, 10, 0);
        graph.AddTerminalWeights(kRootB, 10, 0);
        graph.AddEdge(kWeak, kChild, 10, 0);  // arcs 0, 1
        graph.AddEdge(kChild, kSink, 10, 0);  // arcs 2, 3
        const int32_t first = rootBAddedLast ? kRootA : kRootB;
        const int32_t last = rootBAddedLast ? kRootB : kRootA;
        graph.AddEdge(first, kChild, 10, 0);  // arcs 4, 5
        graph.AddEdge(last, kChild, 10, 0);   // arcs 6, 7

        EXPECT_EQ(graph.MaxFlow(), 10.0f);
        EXPECT_EQ(graph.ArcResidual(0), 9.0f);
        EXPECT_EQ(graph.ArcResidual(4), 10.0f) << "the earlier edge carries nothing";
        EXPECT_EQ(graph.ArcResidual(6), 1.0f) << "the latest edge carries the 9";
        EXPECT_EQ(graph.TerminalResidual(last), 1.0f);
        EXPECT_EQ(graph.TerminalResidual(first), 10.0f);
        EXPECT_EQ(graph.SegmentOf(kSink), Segment::Source) << "its sink capacity is used up";
    }
}

// Both roots reach the middle node at distance 2. The first root attaches it; the second one,
// served next, takes it over (a neighbour farther from the terminal is re-attached under the
// node being grown), so the flow to the sink is drawn from the second root.
TEST(FlowGraphSolve, GrowthReattachesNeighbourUnderLaterRootOfSameDistance) {
    enum : int32_t { kFirstRoot, kSecondRoot, kMiddle, kSink };
    FlowGraph graph(4);
    for (int32_t node = 0; node < 4; ++node)
        graph.AddNode();
    graph.AddTerminalWeights(kFirstRoot, 10, 0);
    graph.AddTerminalWeights(kSecondRoot, 10, 0);
    graph.AddTerminalWeights(kSink, 0, 4);
    graph.AddEdge(kFirstRoot, kMiddle, 10, 0);   // arcs 0, 1
    graph.AddEdge(kSecondRoot, kMiddle, 10, 0);  // arcs 2, 3
    graph.AddEdge(kMiddle, kSink, 10, 0);

    EXPECT_EQ(graph.MaxFlow(), 4.0f);
    EXPECT_EQ(graph.TerminalResidual(kFirstRoot), 10.0f);
    EXPECT_EQ(graph.TerminalResidual(kSecondRoot), 6.0f);
    EXPECT_EQ(graph.ArcResidual(0), 10.0f);
    EXPECT_EQ(graph.ArcResidual(2), 6.0f);
}

// Arc lists are newest first: of two equally short paths from a root, the one over the edge added
// last is found first and takes the root's whole capacity.
TEST(FlowGraphSolve, GrowthScansNewestEdgeFirst) {
    enum : int32_t { kRoot, kSinkA, kSinkB };
    for (const bool sinkBAddedLast : {true, false}) {
        SCOPED_TRACE(sinkBAddedLast ? "sink B added last" : "sink A added last");
        FlowGraph graph(3);
        for (int32_t node = 0; node < 3; ++node)
            graph.AddNode();
        graph.AddTerminalWeights(kRoot, 3, 0);
        graph.AddTerminalWeights(kSinkA, 0, 5);
        graph.AddTerminalWeights(kSinkB, 0, 5);
        const int32_t first = sinkBAddedLast ? kSinkA : kSinkB;
        const int32_t last = sinkBAddedLast ? kSinkB : kSinkA;
        graph.AddEdge(kRoot, first, 5, 0);
        graph.AddEdge(kRoot, last, 5, 0);

        EXPECT_EQ(graph.MaxFlow(), 3.0f);
        EXPECT_EQ(graph.TerminalResidual(last), -2.0f);
        EXPECT_EQ(graph.TerminalResidual(first), -5.0f);
        // With its source capacity used up the root is freed, and the sink trees take it.
        EXPECT_EQ(graph.SegmentOf(kRoot), Segment::Sink);
    }
}

}  // namespace
}  // namespace mirrask
