#include "reference_max_flow.h"

#include <algorithm>
#include <cstddef>
#include <limits>
#include <queue>

namespace mirrask::testing {

namespace {

class Dinic {
  public:
    explicit Dinic(int32_t nodeCount) : arcsOf_(std::size_t(nodeCount)) {}

    void AddArcPair(int32_t from, int32_t to, int64_t capacity, int64_t reverseCapacity) {
        arcsOf_[std::size_t(from)].push_back(int32_t(arcs_.size()));
        arcs_.push_back({to, capacity});
        arcsOf_[std::size_t(to)].push_back(int32_t(arcs_.size()));
        arcs_.push_back({from, reverseCapacity});
    }

    int64_t Solve(int32_t source, int32_t sink) {
        int64_t flow = 0;
        while (BuildLevels(source, sink)) {
            nextArc_.assign(arcsOf_.size(), 0);
            while (int64_t pushed = Push(source, sink, std::numeric_limits<int64_t>::max())) {
                flow += pushed;
            }
        }
        return flow;
    }

  private:
    struct Arc {
        int32_t head;
        int64_t residual;
    };

    bool BuildLevels(int32_t source, int32_t sink) {
        level_.assign(arcsOf_.size(), -1);
        level_[std::size_t(source)] = 0;
        std::queue<int32_t> queue;
        queue.push(source);
        while (!queue.empty()) {
            const int32_t node = queue.front();
            queue.pop();
            for (const int32_t arc : arcsOf_[std::size_t(node)]) {
                const Arc& a = arcs_[std::size_t(arc)];
                if (a.residual > 0 && level_[std::size_t(a.head)] < 0) {
                    level_[std::size_t(a.head)] = level_[std::size_t(node)] + 1;
                    queue.push(a.head);
                }
            }
        }
        return level_[std::size_t(sink)] >= 0;
    }

    int64_t Push(int32_t node, int32_t sink, int64_t limit) {
        if (node == sink) return limit;
        auto& arcs = arcsOf_[std::size_t(node)];
        for (std::size_t& k = nextArc_[std::size_t(node)]; k < arcs.size(); ++k) {
            Arc& a = arcs_[std::size_t(arcs[k])];
            if (a.residual <= 0 || level_[std::size_t(a.head)] != level_[std::size_t(node)] + 1) {
                continue;
            }
            if (const int64_t pushed = Push(a.head, sink, std::min(limit, a.residual))) {
                a.residual -= pushed;
                arcs_[std::size_t(arcs[k] ^ 1)].residual += pushed;
                return pushed;
            }
        }
        return 0;
    }

    std::vector<std::vector<int32_t>> arcsOf_;
    std::vector<Arc> arcs_;
    std::vector<int32_t> level_;
    std::vector<std::size_t> nextArc_;
};

}  // namespace

int64_t ReferenceMaxFlow(const TerminalGraph& graph) {
    const auto nodeCount = int32_t(graph.sourceCapacities.size());
    const int32_t source = nodeCount;
    const int32_t sink = nodeCount + 1;
    Dinic dinic(nodeCount + 2);
    for (int32_t node = 0; node < nodeCount; ++node) {
        dinic.AddArcPair(source, node, graph.sourceCapacities[std::size_t(node)], 0);
        dinic.AddArcPair(node, sink, graph.sinkCapacities[std::size_t(node)], 0);
    }
    for (const auto& edge : graph.edges) {
        dinic.AddArcPair(edge.from, edge.to, edge.capacity, edge.reverseCapacity);
    }
    return dinic.Solve(source, sink);
}

}  // namespace mirrask::testing
