#include "selection_outline.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

namespace view {

namespace {

bool Selected(const uint8_t* row, int x) {
    return row[x] != 0;
}

// Horizontal edges on the grid line between `above` and `below` (either may be null: outside).
void AddHorizontalRuns(const uint8_t* above, const uint8_t* below, int width, int y,
                       std::vector<OutlineSegment>& out) {
    int runStart = -1;
    for (int x = 0; x <= width; ++x) {
        bool edge = false;
        if (x < width) {
            const bool a = above != nullptr && Selected(above, x);
            const bool b = below != nullptr && Selected(below, x);
            edge = a != b;
        }
        if (edge && runStart < 0) {
            runStart = x;
        } else if (!edge && runStart >= 0) {
            out.push_back({runStart, y, x, y});
            runStart = -1;
        }
    }
}

}  // namespace

std::vector<OutlineSegment> TraceSelectionOutline(const imaging::SelectionMask& mask) {
    const int width = mask.Width();
    const int height = mask.Height();
    std::vector<OutlineSegment> horizontal;
    std::vector<OutlineSegment> vertical;
    if (width <= 0 || height <= 0) return horizontal;

    // Vertical edges: an edge at corner column x of row y joins the open run of column x, which
    // started at openSince[x]; a run ends at the first row without that edge.
    std::vector<int> openSince(size_t(width) + 1, -1);
    const uint8_t* previous = nullptr;
    for (int y = 0; y <= height; ++y) {
        const uint8_t* row = y < height ? mask.Row(y) : nullptr;
        const bool sameAsPrevious =
            row != nullptr && previous != nullptr && std::memcmp(row, previous, size_t(width)) == 0;
        if (!sameAsPrevious) {
            AddHorizontalRuns(previous, row, width, y, horizontal);
            for (int x = 0; x <= width; ++x) {
                bool edge = false;
                if (row != nullptr) {
                    const bool left = x > 0 && Selected(row, x - 1);
                    const bool right = x < width && Selected(row, x);
                    edge = left != right;
                }
                if (edge && openSince[size_t(x)] < 0) {
                    openSince[size_t(x)] = y;
                } else if (!edge && openSince[size_t(x)] >= 0) {
                    vertical.push_back({x, openSince[size_t(x)], x, y});
                    openSince[size_t(x)] = -1;
                }
            }
        }
        previous = row;
    }
    std::sort(vertical.begin(), vertical.end(),
              [](const OutlineSegment& a, const OutlineSegment& b) {
                  return a.x1 != b.x1 ? a.x1 < b.x1 : a.y1 < b.y1;
              });
    horizontal.insert(horizontal.end(), vertical.begin(), vertical.end());
    return horizontal;
}

}  // namespace view
