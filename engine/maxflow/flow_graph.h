// FlowGraph: two-terminal minimum cut by the Boykov–Kolmogorov max-flow algorithm.
//
// A search tree grows from the source and another from the sink; where they touch, the path
// between the two roots is augmented by its bottleneck, and the nodes cut off by saturated arcs
// (orphans) are re-attached to their tree or freed. Capacities and flow are 32-bit floats, and a
// residual counts as saturated only when it is exactly 0.
//
// Use: add every node, terminal weight and edge, call MaxFlow once, then read SegmentOf.
//
// The solver is deterministic to the last float rounding: arc lists are scanned newest first, the
// active nodes are served first in first out, and ties between equally distant parents keep the
// first arc in the list.
//
// Nodes and arcs are held by index. Edge e owns arcs 2e (forward) and 2e + 1 (reverse), so the
// reverse of arc a is a ^ 1.
//
// Each node keeps, beside the arc to its parent, the parent node itself: augmentation and the
// origin search of orphans walk long paths up the trees, and each step then waits for one memory
// read instead of two (node, then arc).
#ifndef MIRRASK_MAXFLOW_FLOW_GRAPH_H
#define MIRRASK_MAXFLOW_FLOW_GRAPH_H

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

namespace mirrask {

class FlowGraph {
  public:
    // Called with "Not enough memory!" when node or arc storage cannot be obtained; if it returns,
    // the process ends with exit status 1. It may throw instead: the graph stays as it was before
    // the failed request and can be destroyed (or used on) normally.
    using ErrorHandler = void (*)(const char* message);
    // realloc-like: (nullptr, n) obtains n bytes, (block, n) resizes block; nullptr on failure,
    // leaving block untouched. Storage is always released with std::free.
    using StorageAllocator = void* (*)(void* block, std::size_t bytes);

    enum class Segment { Source, Sink };

    // Room for max(nodeEstimate, 16) nodes and 32 arcs (16 edges), or for edgeEstimate edges if
    // that is more: a caller that knows its graph's size spares the storage every growth.
    explicit FlowGraph(int32_t nodeEstimate, ErrorHandler errorHandler = nullptr,
                       int32_t edgeEstimate = 0);
    ~FlowGraph();
    FlowGraph(const FlowGraph&) = delete;
    FlowGraph& operator=(const FlowGraph&) = delete;

    // Appends a node without arcs or terminal weights; returns its index (0, 1, 2, ...).
    int32_t AddNode();
    // Adds capacities from the source and to the sink. Repeated calls accumulate: the common part
    // of the two capacities goes straight into the flow, the rest stays as the terminal residual.
    void AddTerminalWeights(int32_t node, float sourceCapacity, float sinkCapacity);
    // Adds the arc pair from -> to (capacity) and to -> from (reverseCapacity); both lists get the
    // new arc at their front. Both nodes must exist.
    void AddEdge(int32_t from, int32_t to, float capacity, float reverseCapacity);
    // Only a hint that AddEdge is about to use the node: its record is fetched into the cache.
    [[gnu::always_inline]] void PrefetchNode(int32_t node) const {
        __builtin_prefetch(nodes_.get() + node, 1);
    }
    // Computes a maximum flow and returns the total flow (terminal weights included).
    float MaxFlow();
    // Sink if the node ended in the sink tree; Source otherwise, including a node left free.
    Segment SegmentOf(int32_t node) const;

    // Read-only introspection.
    int32_t NodeCount() const { return nodeCount_; }
    int32_t NodeCapacity() const { return nodeCapacity_; }
    int32_t ArcCount() const { return arcCount_; }
    int32_t ArcCapacity() const { return arcCapacity_; }
    float Flow() const { return flow_; }
    // Residual from the source minus residual to the sink.
    float TerminalResidual(int32_t node) const { return nodes_[node].terminalResidual; }
    // Arc 2e is edge e's forward arc, 2e + 1 its reverse.
    float ArcResidual(int32_t arc) const { return arcs_[arc].residual; }

    // Replaces the allocator of node and arc storage (nullptr restores std::realloc). Affects every
    // graph created or grown afterwards; for fault-injection tests only.
    static void SetStorageAllocatorForTesting(StorageAllocator allocator);

  private:
    struct FlowNode {
        int32_t firstArc;    // newest arc leaving the node, or kNone
        int32_t parent;      // arc to the parent, kNone (free), kTerminal or kOrphan
        int32_t parentNode;  // head of the parent arc while parent is an arc
        int32_t nextActive;  // queue link: kNone if not queued, itself if last
        int32_t timestamp;
        int32_t distance;
        uint32_t flags;  // bit 0: in the sink tree (meaningful only while parent != kNone)
        float terminalResidual;
    };
    struct FlowArc {
        int32_t head;
        int32_t next;  // next arc leaving the same node, or kNone
        float residual;
    };
    struct OrphanEntry {
        int32_t node;
        OrphanEntry* next;
    };
    class OrphanPool;
    struct FreeStorage {
        void operator()(void* block) const;
    };

    [[noreturn]] void ReportOutOfMemory();
    void GrowNodeStorage();
    void GrowArcStorage();

    bool InSinkTree(int32_t node) const { return (nodes_[node].flags & kSinkTreeBit) != 0; }
    void Activate(int32_t node);
    int32_t NextActive();
    void AddOrphanAtFront(int32_t node);
    void AddOrphanAtEnd(int32_t node);
    template <bool kSinkTree>
    int32_t Grow(int32_t node);
    void Augment(int32_t middleArc);
    void AdoptOrphans();
    template <bool kSinkTree>
    void ProcessOrphan(int32_t node);

    static constexpr int32_t kNone = -1;
    static constexpr int32_t kTerminal = -2;
    static constexpr int32_t kOrphan = -3;
    static constexpr uint32_t kSinkTreeBit = 1;

    std::unique_ptr<FlowNode[], FreeStorage> nodes_;
    std::unique_ptr<FlowArc[], FreeStorage> arcs_;
    int32_t nodeCapacity_ = 0;
    int32_t arcCount_ = 0;
    int32_t arcCapacity_ = 0;
    int32_t nodeCount_ = 0;
    std::unique_ptr<OrphanPool> orphanPool_;
    // The tree arcs of the path being augmented, each with its child node, from the middle arc
    // up to the root, as the bottleneck search found them: the flow is pushed along them
    // without walking the trees a second time.
    struct PathStep {
        int32_t node;
        int32_t arc;
    };
    std::vector<PathStep> sourcePath_, sinkPath_;
    ErrorHandler errorHandler_;
    float flow_ = 0.0f;
    int32_t queueFirst_[2] = {kNone, kNone};  // [0] current queue, [1] next queue
    int32_t queueLast_[2] = {kNone, kNone};
    OrphanEntry* orphanFirst_ = nullptr;
    OrphanEntry* orphanLast_ = nullptr;
    int32_t time_ = 0;
};

}  // namespace mirrask

#endif  // MIRRASK_MAXFLOW_FLOW_GRAPH_H
