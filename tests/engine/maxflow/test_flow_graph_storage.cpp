// FlowGraph's node and arc storage: initial room, growth by half, and running out of memory.
#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <stdexcept>
#include <string>
#include <vector>

#include "maxflow/flow_graph.h"

namespace mirrask {
namespace {

TEST(FlowGraphStorage, NodeRoomIsEstimateButAtLeastSixteen) {
    const struct {
        int32_t estimate;
        int32_t capacity;
    } cases[] = {{-3, 16}, {0, 16}, {15, 16}, {16, 16}, {17, 17}, {1000, 1000}};
    for (const auto& c : cases) {
        FlowGraph graph(c.estimate);
        EXPECT_EQ(graph.NodeCapacity(), c.capacity) << "estimate " << c.estimate;
        EXPECT_EQ(graph.ArcCapacity(), 32) << "estimate " << c.estimate;
        EXPECT_EQ(graph.NodeCount(), 0);
        EXPECT_EQ(graph.ArcCount(), 0);
    }
}

// Capacities seen while adding, each with the count that first needed it.
struct Growth {
    int32_t count;
    int32_t capacity;
    bool operator==(const Growth&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Growth& growth) {
    return out << "{" << growth.count << ", " << growth.capacity << "}";
}

TEST(FlowGraphStorage, NodeStorageGrowsByHalfAndKeepsNodes) {
    FlowGraph graph(0);
    std::vector<Growth> growths{{0, graph.NodeCapacity()}};
    for (int32_t node = 0; node < 130; ++node) {
        ASSERT_EQ(graph.AddNode(), node);
        graph.AddTerminalWeights(node, float(node), 0.5f);
        if (graph.NodeCapacity() != growths.back().capacity) {
            growths.push_back({graph.NodeCount(), graph.NodeCapacity()});
        }
    }
    const std::vector<Growth> expected{{0, 16},  {17, 24},  {25, 36},  {37, 54},
                                       {55, 81}, {82, 121}, {122, 181}};
    EXPECT_EQ(growths, expected);
    for (int32_t node = 0; node < 130; ++node) {
        ASSERT_EQ(graph.TerminalResidual(node), float(node) - 0.5f) << "node " << node;
    }
}

// Arc pairs must not straddle the end of storage, so an odd size is rounded up: 162 + 81 = 243
// gives 244.
TEST(FlowGraphStorage, ArcStorageGrowsByHalfToEvenSizesAndKeepsArcs) {
    FlowGraph graph(4);
    for (int32_t node = 0; node < 4; ++node)
        graph.AddNode();
    std::vector<Growth> growths{{0, graph.ArcCapacity()}};
    constexpr int32_t kEdges = 123;
    for (int32_t edge = 0; edge < kEdges; ++edge) {
        graph.AddEdge(edge % 4, (edge + 1) % 4, float(edge), float(-edge));
        if (graph.ArcCapacity() != growths.back().capacity) {
            growths.push_back({graph.ArcCount() / 2, graph.ArcCapacity()});
        }
    }
    const std::vector<Growth> expected{{0, 32},   {17, 48},  {25, 72},  {37, 108},
                                       {55, 162}, {82, 244}, {123, 366}};
    EXPECT_EQ(growths, expected);
    ASSERT_EQ(graph.ArcCount(), 2 * kEdges);
    for (int32_t edge = 0; edge < kEdges; ++edge) {
        ASSERT_EQ(graph.ArcResidual(2 * edge), float(edge)) << "edge " << edge;
        ASSERT_EQ(graph.ArcResidual(2 * edge + 1), float(-edge)) << "edge " << edge;
    }
}

// Fault injection: storage request number failingRequest (counted from installation) fails.
int32_t requestsMade = 0;
int32_t failingRequest = 0;

void* FailingAllocator(void* block, std::size_t bytes) {
    if (++requestsMade == failingRequest) return nullptr;
    return std::realloc(block, bytes);
}

struct OutOfStorage : std::runtime_error {
    using std::runtime_error::runtime_error;
};

void ThrowingHandler(const char* message) {
    throw OutOfStorage(message);
}

void PrintingHandler(const char* message) {
    std::fprintf(stderr, "handler: %s\n", message);
}

enum class Stage { NodeStorageAtCreation, ArcStorageAtCreation, NodeGrowth, ArcGrowth };

const char* ToString(Stage stage) {
    switch (stage) {
        case Stage::NodeStorageAtCreation:
            return "node storage at creation";
        case Stage::ArcStorageAtCreation:
            return "arc storage at creation";
        case Stage::NodeGrowth:
            return "node growth";
        case Stage::ArcGrowth:
            return "arc growth";
    }
    return "?";
}

constexpr Stage kAllStages[] = {Stage::NodeStorageAtCreation, Stage::ArcStorageAtCreation,
                                Stage::NodeGrowth, Stage::ArcGrowth};

class FlowGraphOutOfMemory : public ::testing::Test {
  protected:
    static void FailRequest(int32_t number) {
        requestsMade = 0;
        failingRequest = number;
        FlowGraph::SetStorageAllocatorForTesting(&FailingAllocator);
    }
    void TearDown() override { FlowGraph::SetStorageAllocatorForTesting(nullptr); }

    // Creation makes requests 1 (nodes) and 2 (arcs); the first growth of either is request 3.
    static void BuildUntilFailure(Stage stage, FlowGraph::ErrorHandler handler) {
        switch (stage) {
            case Stage::NodeStorageAtCreation:
                FailRequest(1);
                break;
            case Stage::ArcStorageAtCreation:
                FailRequest(2);
                break;
            case Stage::NodeGrowth:
            case Stage::ArcGrowth:
                FailRequest(3);
                break;
        }
        FlowGraph graph(0, handler);
        for (int32_t node = 0; node < 16; ++node)
            graph.AddNode();
        if (stage == Stage::NodeGrowth) graph.AddNode();
        for (int32_t edge = 0; edge < 17; ++edge)
            graph.AddEdge(edge % 16, (edge + 1) % 16, 1, 1);
        std::fprintf(stderr, "not reached\n");
    }
};

TEST_F(FlowGraphOutOfMemory, WithoutHandlerEndsProcessWithStatusOneSilently) {
    for (const Stage stage : kAllStages) {
        SCOPED_TRACE(ToString(stage));
        EXPECT_EXIT(BuildUntilFailure(stage, nullptr), ::testing::ExitedWithCode(1), "^$");
    }
}

TEST_F(FlowGraphOutOfMemory, HandlerGetsMessageThenProcessEndsWithStatusOne) {
    for (const Stage stage : kAllStages) {
        SCOPED_TRACE(ToString(stage));
        EXPECT_EXIT(BuildUntilFailure(stage, &PrintingHandler), ::testing::ExitedWithCode(1),
                    "^handler: Not enough memory!\n$");
    }
}

TEST_F(FlowGraphOutOfMemory, ThrowingHandlerAtCreationLeavesNothingBehind) {
    for (const Stage stage : {Stage::NodeStorageAtCreation, Stage::ArcStorageAtCreation}) {
        SCOPED_TRACE(ToString(stage));
        try {
            BuildUntilFailure(stage, &ThrowingHandler);
            ADD_FAILURE() << "no exception";
        } catch (const OutOfStorage& error) {
            EXPECT_STREQ(error.what(), "Not enough memory!");
        }
        // Under AddressSanitizer a leaked block of the other storage fails the run at exit.
    }
}

// A failed growth leaves the graph as it was; once memory is back, building and solving go on.
TEST_F(FlowGraphOutOfMemory, ThrowingHandlerAtGrowthLeavesGraphIntact) {
    for (const Stage stage : {Stage::NodeGrowth, Stage::ArcGrowth}) {
        SCOPED_TRACE(ToString(stage));
        FlowGraph graph(0, &ThrowingHandler);
        // A chain 0 -> 1 -> ... -> 15 of capacity 3 plus a shortcut of 1: exactly full storage.
        for (int32_t node = 0; node < 16; ++node)
            graph.AddNode();
        graph.AddTerminalWeights(0, 5, 0);
        graph.AddTerminalWeights(15, 0, 9);
        for (int32_t node = 0; node < 15; ++node)
            graph.AddEdge(node, node + 1, 3, 0);
        graph.AddEdge(0, 15, 1, 0);

        FailRequest(1);
        if (stage == Stage::NodeGrowth) {
            EXPECT_THROW(graph.AddNode(), OutOfStorage);
        } else {
            EXPECT_THROW(graph.AddEdge(3, 4, 7, 7), OutOfStorage);
        }
        FlowGraph::SetStorageAllocatorForTesting(nullptr);

        EXPECT_EQ(graph.NodeCount(), 16);
        EXPECT_EQ(graph.NodeCapacity(), 16);
        EXPECT_EQ(graph.ArcCount(), 32);
        EXPECT_EQ(graph.ArcCapacity(), 32);
        EXPECT_EQ(graph.ArcResidual(0), 3.0f);
        EXPECT_EQ(graph.ArcResidual(30), 1.0f);
        EXPECT_EQ(graph.TerminalResidual(15), -9.0f);

        EXPECT_EQ(graph.AddNode(), 16);
        graph.AddTerminalWeights(16, 2, 0);
        graph.AddEdge(16, 15, 2, 0);
        EXPECT_EQ(graph.MaxFlow(), 3.0f + 1.0f + 2.0f);
        EXPECT_EQ(graph.SegmentOf(15), FlowGraph::Segment::Sink);
    }
}

}  // namespace
}  // namespace mirrask
