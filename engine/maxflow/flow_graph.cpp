#include "maxflow/flow_graph.h"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <limits>
#include <vector>

#include "large_buffers.h"

namespace mirrask {

namespace {

void* ReallocateStorage(void* block, std::size_t bytes) {
    return std::realloc(block, bytes);
}

FlowGraph::StorageAllocator storageAllocator = &ReallocateStorage;

constexpr int32_t kMinimumNodeCapacity = 16;
constexpr int32_t kInitialArcCapacity = 32;
constexpr int32_t kInfiniteDistance = std::numeric_limits<int32_t>::max();

}  // namespace

void FlowGraph::SetStorageAllocatorForTesting(StorageAllocator allocator) {
    storageAllocator = allocator != nullptr ? allocator : &ReallocateStorage;
}

void FlowGraph::FreeStorage::operator()(void* block) const {
    std::free(block);
}

// Orphan-list entries come from blocks of 128; entries not in use form a free chain, so a solve
// allocates only when more orphans wait at once than ever before.
class FlowGraph::OrphanPool {
  public:
    OrphanEntry* Take() {
        if (freeChain_ == nullptr) {
            auto& block = *blocks_.emplace_back(std::make_unique<Block>());
            for (std::size_t k = 0; k + 1 < block.size(); ++k)
                block[k].next = &block[k + 1];
            block.back().next = nullptr;
            freeChain_ = &block.front();
        }
        OrphanEntry* entry = freeChain_;
        freeChain_ = entry->next;
        return entry;
    }

    void Return(OrphanEntry* entry) {
        entry->next = freeChain_;
        freeChain_ = entry;
    }

  private:
    using Block = std::array<OrphanEntry, 128>;
    std::vector<std::unique_ptr<Block>> blocks_;
    OrphanEntry* freeChain_ = nullptr;
};

FlowGraph::FlowGraph(int32_t nodeEstimate, ErrorHandler errorHandler, int32_t edgeEstimate)
    : errorHandler_(errorHandler) {
    const int32_t nodeCapacity = std::max(nodeEstimate, kMinimumNodeCapacity);
    const int32_t arcCapacity =
        edgeEstimate > kInitialArcCapacity / 2 &&
                edgeEstimate <= (std::numeric_limits<int32_t>::max() - 1) / 2
            ? 2 * edgeEstimate
            : kInitialArcCapacity;
    // Both requests are made before either is checked; a failed one leaves nothing behind, since
    // the members own whatever was obtained.
    nodes_.reset(static_cast<FlowNode*>(
        storageAllocator(nullptr, std::size_t(nodeCapacity) * sizeof(FlowNode))));
    arcs_.reset(static_cast<FlowArc*>(
        storageAllocator(nullptr, std::size_t(arcCapacity) * sizeof(FlowArc))));
    if (nodes_ == nullptr || arcs_ == nullptr) ReportOutOfMemory();
    // Fresh storage is touched node by node and arc by arc; huge pages make that one fault per
    // 2 MiB instead of one per 4 KiB.
    AdviseHugePages(nodes_.get(), std::size_t(nodeCapacity) * sizeof(FlowNode));
    AdviseHugePages(arcs_.get(), std::size_t(arcCapacity) * sizeof(FlowArc));
    nodeCapacity_ = nodeCapacity;
    arcCapacity_ = arcCapacity;
}

FlowGraph::~FlowGraph() = default;

void FlowGraph::ReportOutOfMemory() {
    if (errorHandler_ != nullptr) errorHandler_("Not enough memory!");
    std::exit(1);
}

void FlowGraph::GrowNodeStorage() {
    int64_t capacity = int64_t(nodeCapacity_) + nodeCapacity_ / 2;
    capacity = std::max(capacity, int64_t(nodeCount_) + 1);
    if (capacity > std::numeric_limits<int32_t>::max()) ReportOutOfMemory();
    void* grown = storageAllocator(nodes_.get(), std::size_t(capacity) * sizeof(FlowNode));
    if (grown == nullptr) ReportOutOfMemory();
    // realloc has taken over (or freed) the old block.
    (void)nodes_.release();
    nodes_.reset(static_cast<FlowNode*>(grown));
    nodeCapacity_ = int32_t(capacity);
}

void FlowGraph::GrowArcStorage() {
    int64_t capacity = int64_t(arcCapacity_) + arcCapacity_ / 2;
    if (capacity % 2 != 0) ++capacity;  // arcs come in pairs
    if (capacity > std::numeric_limits<int32_t>::max() - 1) ReportOutOfMemory();
    void* grown = storageAllocator(arcs_.get(), std::size_t(capacity) * sizeof(FlowArc));
    if (grown == nullptr) ReportOutOfMemory();
    (void)arcs_.release();
    arcs_.reset(static_cast<FlowArc*>(grown));
    arcCapacity_ = int32_t(capacity);
}

int32_t FlowGraph::AddNode() {
    if (nodeCount_ == nodeCapacity_) GrowNodeStorage();
    const int32_t node = nodeCount_++;
    nodes_[node] = FlowNode{kNone, kNone, kNone, kNone, 0, 0, 0, 0.0f};
    return node;
}

void FlowGraph::AddTerminalWeights(int32_t node, float sourceCapacity, float sinkCapacity) {
    const float delta = nodes_[node].terminalResidual;
    if (delta > 0) {
        sourceCapacity += delta;
    } else {
        sinkCapacity -= delta;
    }
    flow_ += sourceCapacity < sinkCapacity ? sourceCapacity : sinkCapacity;
    nodes_[node].terminalResidual = sourceCapacity - sinkCapacity;
}

void FlowGraph::AddEdge(int32_t from, int32_t to, float capacity, float reverseCapacity) {
    if (arcCount_ == arcCapacity_) GrowArcStorage();
    const int32_t forward = arcCount_;
    const int32_t reverse = forward + 1;
    arcCount_ += 2;
    arcs_[forward] = FlowArc{to, nodes_[from].firstArc, capacity};
    nodes_[from].firstArc = forward;
    arcs_[reverse] = FlowArc{from, nodes_[to].firstArc, reverseCapacity};
    nodes_[to].firstArc = reverse;
}

FlowGraph::Segment FlowGraph::SegmentOf(int32_t node) const {
    return nodes_[node].parent != kNone && InSinkTree(node) ? Segment::Sink : Segment::Source;
}

// Appends to the next queue unless the node is queued already (or is the current node, which
// links to itself while its path is augmented).
void FlowGraph::Activate(int32_t node) {
    FlowNode& entry = nodes_[node];
    if (entry.nextActive != kNone) return;
    if (queueLast_[1] != kNone) {
        nodes_[queueLast_[1]].nextActive = node;
    } else {
        queueFirst_[1] = node;
    }
    queueLast_[1] = node;
    entry.nextActive = node;
}

int32_t FlowGraph::NextActive() {
    for (;;) {
        int32_t node = queueFirst_[0];
        if (node == kNone) {
            node = queueFirst_[0] = queueFirst_[1];
            queueLast_[0] = queueLast_[1];
            queueFirst_[1] = queueLast_[1] = kNone;
            if (node == kNone) return kNone;
        }
        FlowNode& entry = nodes_[node];
        if (entry.nextActive == node) {
            queueFirst_[0] = queueLast_[0] = kNone;
        } else {
            queueFirst_[0] = entry.nextActive;
        }
        entry.nextActive = kNone;
        if (entry.parent != kNone) return node;
    }
}

void FlowGraph::AddOrphanAtFront(int32_t node) {
    nodes_[node].parent = kOrphan;
    OrphanEntry* entry = orphanPool_->Take();
    entry->node = node;
    entry->next = orphanFirst_;
    if (orphanFirst_ == nullptr) orphanLast_ = entry;
    orphanFirst_ = entry;
}

void FlowGraph::AddOrphanAtEnd(int32_t node) {
    nodes_[node].parent = kOrphan;
    OrphanEntry* entry = orphanPool_->Take();
    entry->node = node;
    entry->next = nullptr;
    if (orphanLast_ != nullptr) {
        orphanLast_->next = entry;
    } else {
        orphanFirst_ = entry;
    }
    orphanLast_ = entry;
}

// Scans the arcs of node (in the source tree, or the sink tree if kSinkTree) and returns the
// middle arc of a path from the source tree to the sink tree, or kNone.
template <bool kSinkTree>
int32_t FlowGraph::Grow(int32_t node) {
    const FlowNode& current = nodes_[node];
    for (int32_t arc = current.firstArc; arc != kNone; arc = arcs_[arc].next) {
        // In the source tree flow leaves along the arc, in the sink tree it arrives along its
        // reverse.
        if (arcs_[kSinkTree ? arc ^ 1 : arc].residual == 0) continue;
        const int32_t neighbour = arcs_[arc].head;
        FlowNode& next = nodes_[neighbour];
        if (next.parent == kNone) {
            next.flags = kSinkTree ? (next.flags | kSinkTreeBit) : (next.flags & ~kSinkTreeBit);
            next.parent = arc ^ 1;
            next.parentNode = node;
            next.timestamp = current.timestamp;
            next.distance = current.distance + 1;
            Activate(neighbour);
        } else if (InSinkTree(neighbour) != kSinkTree) {
            return kSinkTree ? arc ^ 1 : arc;
        } else if (next.timestamp <= current.timestamp && next.distance > current.distance) {
            // A shorter way to the terminal.
            next.parent = arc ^ 1;
            next.parentNode = node;
            next.timestamp = current.timestamp;
            next.distance = current.distance + 1;
        }
    }
    return kNone;
}

void FlowGraph::Augment(int32_t middleArc) {
    const int32_t sourceSide = arcs_[middleArc ^ 1].head;
    const int32_t sinkSide = arcs_[middleArc].head;

    // The bottleneck is the first smallest value in the order middle arc, source side from the
    // source-side node up to its root, sink side likewise. The two sides are walked at the same
    // time, so that the reads of both paths overlap, each side's minimum folded in its own order:
    // the source side's on from the middle arc, the sink side's from infinity; the sink side's
    // minimum then replaces the other only if strictly smaller, which is exactly the sequential
    // fold (first minimum kept; values that compare false, such as NaN, skipped alike). Both
    // paths are noted on the way.
    sourcePath_.clear();
    sinkPath_.clear();
    float sourceMinimum = arcs_[middleArc].residual;
    float sinkMinimum = std::numeric_limits<float>::infinity();
    int32_t sourceNode = sourceSide;
    int32_t sinkNode = sinkSide;
    int32_t sourceArc = nodes_[sourceNode].parent;
    int32_t sinkArc = nodes_[sinkNode].parent;
    while (sourceArc != kTerminal && sinkArc != kTerminal) {
        sourcePath_.push_back({sourceNode, sourceArc});
        sinkPath_.push_back({sinkNode, sinkArc});
        const float sourceResidual = arcs_[sourceArc ^ 1].residual;
        if (sourceResidual < sourceMinimum) sourceMinimum = sourceResidual;
        const float sinkResidual = arcs_[sinkArc].residual;
        if (sinkResidual < sinkMinimum) sinkMinimum = sinkResidual;
        sourceNode = nodes_[sourceNode].parentNode;
        sinkNode = nodes_[sinkNode].parentNode;
        sourceArc = nodes_[sourceNode].parent;
        sinkArc = nodes_[sinkNode].parent;
    }
    for (; sourceArc != kTerminal; sourceArc = nodes_[sourceNode].parent) {
        sourcePath_.push_back({sourceNode, sourceArc});
        const float residual = arcs_[sourceArc ^ 1].residual;
        if (residual < sourceMinimum) sourceMinimum = residual;
        sourceNode = nodes_[sourceNode].parentNode;
    }
    for (; sinkArc != kTerminal; sinkArc = nodes_[sinkNode].parent) {
        sinkPath_.push_back({sinkNode, sinkArc});
        const float residual = arcs_[sinkArc].residual;
        if (residual < sinkMinimum) sinkMinimum = residual;
        sinkNode = nodes_[sinkNode].parentNode;
    }
    if (nodes_[sourceNode].terminalResidual < sourceMinimum)
        sourceMinimum = nodes_[sourceNode].terminalResidual;
    if (-nodes_[sinkNode].terminalResidual < sinkMinimum)
        sinkMinimum = -nodes_[sinkNode].terminalResidual;
    const float bottleneck = sinkMinimum < sourceMinimum ? sinkMinimum : sourceMinimum;

    arcs_[middleArc ^ 1].residual += bottleneck;
    arcs_[middleArc].residual -= bottleneck;

    // Saturated tree arcs cut their child off; exactly 0 counts as saturated. The noted paths
    // are what a second walk up the trees would find: only the middle arc has changed since.
    for (const PathStep& step : sourcePath_) {
        arcs_[step.arc].residual += bottleneck;
        arcs_[step.arc ^ 1].residual -= bottleneck;
        if (arcs_[step.arc ^ 1].residual == 0) AddOrphanAtFront(step.node);
    }
    nodes_[sourceNode].terminalResidual -= bottleneck;
    if (nodes_[sourceNode].terminalResidual == 0) AddOrphanAtFront(sourceNode);

    for (const PathStep& step : sinkPath_) {
        arcs_[step.arc ^ 1].residual += bottleneck;
        arcs_[step.arc].residual -= bottleneck;
        if (arcs_[step.arc].residual == 0) AddOrphanAtFront(step.node);
    }
    nodes_[sinkNode].terminalResidual += bottleneck;
    if (nodes_[sinkNode].terminalResidual == 0) AddOrphanAtFront(sinkNode);

    flow_ += bottleneck;
}

// Processes the orphan list in runs: the first entry alone, plus every orphan that its processing
// appends, before the entries that were waiting behind it.
void FlowGraph::AdoptOrphans() {
    while (orphanFirst_ != nullptr) {
        OrphanEntry* const setAsideFirst = orphanFirst_->next;
        OrphanEntry* const setAsideLast = setAsideFirst != nullptr ? orphanLast_ : nullptr;
        orphanFirst_->next = nullptr;
        orphanLast_ = orphanFirst_;
        while (orphanFirst_ != nullptr) {
            OrphanEntry* const entry = orphanFirst_;
            orphanFirst_ = entry->next;
            if (orphanFirst_ == nullptr) orphanLast_ = nullptr;
            const int32_t node = entry->node;
            orphanPool_->Return(entry);
            if (InSinkTree(node)) {
                ProcessOrphan<true>(node);
            } else {
                ProcessOrphan<false>(node);
            }
        }
        orphanFirst_ = setAsideFirst;
        orphanLast_ = setAsideLast;
    }
}

template <bool kSinkTree>
void FlowGraph::ProcessOrphan(int32_t orphan) {
    // The capacity towards the orphan from a neighbour: the arc neighbour -> orphan in the source
    // tree, orphan -> neighbour in the sink tree. arc leaves the orphan.
    const auto capacityTowardsOrphan = [this](int32_t arc) {
        return arcs_[kSinkTree ? arc : arc ^ 1].residual;
    };
    const auto isCandidateParent = [this](int32_t node) {
        return nodes_[node].parent != kNone && InSinkTree(node) == kSinkTree;
    };

    int32_t bestArc = kNone;
    int32_t bestParent = kNone;
    int32_t bestDistance = kInfiniteDistance;
    for (int32_t arc = nodes_[orphan].firstArc; arc != kNone; arc = arcs_[arc].next) {
        if (capacityTowardsOrphan(arc) == 0) continue;
        const int32_t neighbour = arcs_[arc].head;
        if (!isCandidateParent(neighbour)) continue;

        // Distance to the terminal, ending early at a node confirmed at this time.
        int32_t distance = 0;
        for (int32_t node = neighbour;;) {
            FlowNode& entry = nodes_[node];
            if (entry.timestamp == time_) {
                distance += entry.distance;
                break;
            }
            ++distance;
            if (entry.parent == kTerminal) {
                entry.timestamp = time_;
                entry.distance = 1;
                break;
            }
            if (entry.parent == kOrphan) {
                distance = kInfiniteDistance;
                break;
            }
            node = entry.parentNode;
        }
        if (distance == kInfiniteDistance) continue;

        if (distance < bestDistance) {  // ties keep the first arc
            bestArc = arc;
            bestParent = neighbour;
            bestDistance = distance;
        }
        // Confirm the distances along the path just walked.
        for (int32_t node = neighbour; nodes_[node].timestamp != time_;
             node = nodes_[node].parentNode) {
            nodes_[node].timestamp = time_;
            nodes_[node].distance = distance--;
        }
    }

    FlowNode& entry = nodes_[orphan];
    entry.parent = bestArc;
    if (bestArc != kNone) {
        entry.parentNode = bestParent;
        entry.timestamp = time_;
        entry.distance = bestDistance + 1;
        return;
    }

    // No way back: the orphan is free. Its tree neighbours may now grow into it, and its
    // children are orphans in turn.
    for (int32_t arc = entry.firstArc; arc != kNone; arc = arcs_[arc].next) {
        const int32_t neighbour = arcs_[arc].head;
        if (!isCandidateParent(neighbour)) continue;
        if (capacityTowardsOrphan(arc) != 0) Activate(neighbour);
        const int32_t parent = nodes_[neighbour].parent;
        if (parent >= 0 && nodes_[neighbour].parentNode == orphan) AddOrphanAtEnd(neighbour);
    }
}

float FlowGraph::MaxFlow() {
    if (orphanPool_ == nullptr) orphanPool_ = std::make_unique<OrphanPool>();

    queueFirst_[0] = queueFirst_[1] = queueLast_[0] = queueLast_[1] = kNone;
    orphanFirst_ = orphanLast_ = nullptr;
    time_ = 0;

    for (int32_t node = 0; node < nodeCount_; ++node) {
        FlowNode& entry = nodes_[node];
        entry.flags &= kSinkTreeBit;
        entry.nextActive = kNone;
        entry.timestamp = 0;
        if (entry.terminalResidual > 0) {
            entry.flags &= ~kSinkTreeBit;
            entry.parent = kTerminal;
            Activate(node);
            entry.distance = 1;
        } else if (entry.terminalResidual < 0) {
            entry.flags |= kSinkTreeBit;
            entry.parent = kTerminal;
            Activate(node);
            entry.distance = 1;
        } else {
            entry.parent = kNone;
        }
    }

    int32_t current = kNone;
    for (;;) {
        if (current != kNone) {
            nodes_[current].nextActive = kNone;
            if (nodes_[current].parent == kNone) current = kNone;
        }
        if (current == kNone) {
            current = NextActive();
            if (current == kNone) break;
        }

        const int32_t middleArc = InSinkTree(current) ? Grow<true>(current) : Grow<false>(current);
        ++time_;

        if (middleArc != kNone) {
            // Marked as queued so that adoption cannot activate it; growth resumes from it.
            nodes_[current].nextActive = current;
            Augment(middleArc);
            AdoptOrphans();
        } else {
            current = kNone;
        }
    }

    orphanPool_.reset();
    return flow_;
}

}  // namespace mirrask
