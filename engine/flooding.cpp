#include "flooding.h"

#include <algorithm>

namespace mirrask {

namespace {

constexpr int32_t kLabelInit = -2;  // level not reached yet
constexpr int32_t kLabelMask = -1;  // pixel of the level in progress, not yet in a region
constexpr int32_t kQueueMarker = -99;

// First-in first-out queue of pixel indices. Every pixel enters it once per call, plus one marker
// per distance step, and the queue runs empty after every phase, so one linear buffer that
// restarts whenever it is empty suffices.
class FloodQueue {
  public:
    void Push(int32_t value) { items_.push_back(value); }
    bool Empty() const { return head_ == items_.size(); }
    int32_t Pop() {
        const int32_t value = items_[head_++];
        if (head_ == items_.size()) {
            items_.clear();
            head_ = 0;
        }
        return value;
    }

  private:
    std::vector<int32_t> items_;
    size_t head_ = 0;
};

// The 4-neighbours of a pixel that lie inside the image, in the order left, right, above, below.
class Neighbourhood {
  public:
    Neighbourhood(int32_t width, int32_t height)
        : width_(width), height_(height), inverseWidth_(1.0 / width) {}

    template <typename Visit>
    void ForEach(int32_t p, Visit&& visit) const {
        int32_t y = static_cast<int32_t>(p * inverseWidth_);
        // The floating-point quotient can be one off near multiples of the width.
        if (y * width_ > p) {
            --y;
        } else if ((y + 1) * width_ <= p) {
            ++y;
        }
        const int32_t x = p - y * width_;
        if (x > 0 && visit(p - 1)) return;
        if (x < width_ - 1 && visit(p + 1)) return;
        if (y > 0 && visit(p - width_)) return;
        if (y < height_ - 1) visit(p + width_);
    }

  private:
    int32_t width_;
    int32_t height_;
    double inverseWidth_;
};

}  // namespace

SortedLevels SortPixelsByLevel(std::span<const uint8_t> gradient) {
    SortedLevels sorted;
    std::array<int32_t, 256> histogram{};
    for (uint8_t level : gradient)
        ++histogram[level];
    sorted.offsets[0] = 0;
    for (int v = 1; v <= 256; ++v)
        sorted.offsets[v] = sorted.offsets[v - 1] + histogram[v - 1];
    histogram.fill(0);
    sorted.pixels.resize(gradient.size());
    const int32_t count = static_cast<int32_t>(gradient.size());
    for (int32_t i = 0; i < count; ++i) {
        const uint8_t v = gradient[i];
        sorted.pixels[sorted.offsets[v] + histogram[v]++] = i;
    }
    return sorted;
}

int32_t FloodRegions(const SortedLevels& sorted, int32_t width, int32_t height,
                     std::span<int32_t> labels) {
    const Neighbourhood neighbours(width, height);
    std::fill(labels.begin(), labels.end(), kLabelInit);
    std::vector<int32_t> distance(labels.size(), 0);
    FloodQueue queue;
    int32_t regionCount = 0;

    for (int level = 0; level < 256; ++level) {
        const int32_t* first = sorted.pixels.data() + sorted.offsets[level];
        const int32_t* last = sorted.pixels.data() + sorted.offsets[level + 1];
        if (first == last) continue;

        // Mask the level; pixels next to an existing region are queued at distance 1.
        for (const int32_t* it = first; it != last; ++it) {
            const int32_t p = *it;
            labels[p] = kLabelMask;
            neighbours.ForEach(p, [&](int32_t q) {
                if (labels[q] < 1) return false;
                distance[p] = 1;
                queue.Push(p);
                return true;
            });
        }

        // Grow the existing regions into the level, one distance step at a time.
        int32_t currentDistance = 1;
        queue.Push(kQueueMarker);
        while (true) {
            int32_t p = queue.Pop();
            if (p == kQueueMarker) {
                if (queue.Empty()) break;
                queue.Push(kQueueMarker);
                ++currentDistance;
                p = queue.Pop();
            }
            neighbours.ForEach(p, [&](int32_t q) {
                if (distance[q] < currentDistance && labels[q] >= 1) {
                    if (labels[p] == kLabelMask) labels[p] = labels[q];
                } else if (labels[q] == kLabelMask && distance[q] == 0) {
                    distance[q] = currentDistance + 1;
                    queue.Push(q);
                }
                return false;
            });
        }

        // Pixels no region reached start new regions, one per connected group.
        for (const int32_t* it = first; it != last; ++it) {
            const int32_t p = *it;
            distance[p] = 0;
            if (labels[p] != kLabelMask) continue;
            labels[p] = ++regionCount;
            queue.Push(p);
            while (!queue.Empty()) {
                const int32_t r = queue.Pop();
                neighbours.ForEach(r, [&](int32_t q) {
                    if (labels[q] == kLabelMask) {
                        labels[q] = regionCount;
                        queue.Push(q);
                    }
                    return false;
                });
            }
        }
    }
    return regionCount;
}

}  // namespace mirrask
