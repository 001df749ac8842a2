#include "flooding.h"

#include <algorithm>

#include "large_buffers.h"

namespace mirrask {

namespace {

// The flooding keeps one state byte per pixel and writes each pixel's region index once, when the
// pixel joins a region. The low bits hold the pixel's state; the high bits say which of its four
// neighbours lie outside the image, so that no neighbour visit needs the pixel's coordinates. The
// byte array is a quarter of the size of the region map, which matters: every level of the
// immersion sweeps over it.
//
// The distance of a queued pixel from the regions is never stored. A pixel is queued at most once
// per level, and the only question asked of a labelled pixel of the level in progress is whether
// it was labelled in the current distance step (it then may not pass its label on yet): such
// pixels are "fresh" until their step ends.
enum State : uint8_t {
    kNotReached = 0,  // level not reached yet
    kMask = 1,        // pixel of the level in progress, not queued, no region
    kQueued = 2,      // pixel of the level in progress, queued, no region yet
    kLabelled = 3,    // in a region
    kFresh = 4,       // in a region since the current distance step
};
constexpr uint8_t kStateBits = 0x07;
constexpr uint8_t kNoLeft = 0x10, kNoRight = 0x20, kNoAbove = 0x40, kNoBelow = 0x80;
constexpr int32_t kQueueMarker = -99;

// How many queue places ahead the memory of a pixel is requested.
constexpr size_t kPrefetchDistance = 12;

// Asks for the cache lines of p and of the pixels above and below it; only a hint. Always inlined:
// a separate function holding nothing but prefetches counts as free of effects, and its calls are
// dropped.
template <typename T>
[[gnu::always_inline]] inline void PrefetchRows(std::span<T> data, int32_t p, int32_t width) {
    const size_t at = static_cast<size_t>(p);
    __builtin_prefetch(data.data() + at);
    if (at >= static_cast<size_t>(width)) __builtin_prefetch(data.data() + (at - width));
    if (at + width < data.size()) __builtin_prefetch(data.data() + (at + width));
}

bool IsLabelled(uint8_t state) {
    return (state & kStateBits) == kLabelled;
}

// Mask pixels, queued or not; a queued pixel always gets a region before the new regions of its
// level are formed, so in that phase only unqueued ones occur.
bool WithoutRegion(uint8_t state) {
    const uint8_t s = state & kStateBits;
    return s == kMask || s == kQueued;
}

class PixelStates {
  public:
    PixelStates(int32_t width, int32_t height, std::vector<uint8_t> storage)
        : width_(width), states_(std::move(storage)) {
        const size_t count = static_cast<size_t>(width) * height;
        ReserveLarge(states_, count);
        states_.assign(count, kNotReached);
        uint8_t* s = states_.data();
        for (int32_t y = 0; y < height; ++y, s += width) {
            s[0] |= kNoLeft;
            s[width - 1] |= kNoRight;
        }
        const size_t last = static_cast<size_t>(height - 1) * width;
        for (int32_t x = 0; x < width; ++x) {
            states_[x] |= kNoAbove;
            states_[last + x] |= kNoBelow;
        }
    }

    [[gnu::always_inline]] void Prefetch(int32_t p) const {
        PrefetchRows(std::span<const uint8_t>(states_), p, width_);
    }
    uint8_t StateOf(int32_t p) const { return states_[p] & kStateBits; }
    // True when all four neighbours of p lie inside the image.
    bool Interior(int32_t p) const { return (states_[p] & ~kStateBits) == 0; }
    uint8_t* Data() { return states_.data(); }
    void Set(int32_t p, State state) {
        states_[p] = static_cast<uint8_t>((states_[p] & ~kStateBits) | state);
    }

    // Visits the neighbours of p inside the image in the order left, right, above, below, until
    // visit returns true.
    template <typename Visit>
    void ForEachNeighbour(int32_t p, Visit&& visit) const {
        const uint8_t outside = states_[p];
        if (!(outside & kNoLeft) && visit(p - 1)) return;
        if (!(outside & kNoRight) && visit(p + 1)) return;
        if (!(outside & kNoAbove) && visit(p - width_)) return;
        if (!(outside & kNoBelow)) visit(p + width_);
    }

  private:
    int32_t width_;
    std::vector<uint8_t> states_;
};

// First-in first-out queue of pixel indices. It is emptied explicitly after every phase, and until
// then the items taken stay readable, so that the pixels of a finished distance step can be
// visited again.
class FloodQueue {
  public:
    explicit FloodQueue(size_t capacity) {
        ReserveLarge(items_, capacity);
        items_.resize(capacity);
    }
    // Makes room for count more items.
    void MakeRoom(size_t count) {
        if (tail_ + count > items_.size())
            items_.resize(std::max(2 * items_.size(), tail_ + count));
    }
    void Push(int32_t value) {
        MakeRoom(1);
        items_[tail_++] = value;
    }
    // Appends value only if keep, without a branch on keep; needs room for one more item.
    void PushIf(int32_t value, bool keep) {
        items_[tail_] = value;
        tail_ += keep;
    }
    bool Empty() const { return head_ == tail_; }
    int32_t Pop() { return items_[head_++]; }
    size_t Position() const { return head_; }
    int32_t At(size_t position) const { return items_[position]; }
    // The item that will be taken distance places after the next one, or a marker if there is
    // none yet.
    int32_t Ahead(size_t distance) const {
        const size_t position = head_ + distance;
        return position < tail_ ? items_[position] : kQueueMarker;
    }
    void Clear() { head_ = tail_ = 0; }

  private:
    std::vector<int32_t> items_;  // items_[head_ .. tail_ - 1] are queued
    size_t head_ = 0;
    size_t tail_ = 0;
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
    ReserveLarge(sorted.pixels, gradient.size());
    sorted.pixels.resize(gradient.size());
    const int32_t count = static_cast<int32_t>(gradient.size());
    for (int32_t i = 0; i < count; ++i) {
        const uint8_t v = gradient[i];
        sorted.pixels[sorted.offsets[v] + histogram[v]++] = i;
    }
    return sorted;
}

int32_t FloodRegionIndices(const SortedLevels& sorted, int32_t width, int32_t height,
                           std::span<int32_t> regionMap, std::vector<uint8_t> scratch) {
    if (regionMap.empty()) return 0;
    PixelStates states(width, height, std::move(scratch));
    // Room for the largest level: the queue never holds more than one level's pixels, plus one
    // marker per distance step.
    int32_t largestLevel = 0;
    for (int level = 0; level < 256; ++level)
        largestLevel = std::max(largestLevel, sorted.offsets[level + 1] - sorted.offsets[level]);
    FloodQueue queue(static_cast<size_t>(largestLevel) + 64);
    int32_t regionCount = 0;
    uint8_t* const state = states.Data();

    for (int level = 0; level < 256; ++level) {
        const int32_t* first = sorted.pixels.data() + sorted.offsets[level];
        const int32_t* last = sorted.pixels.data() + sorted.offsets[level + 1];
        if (first == last) continue;

        // Mask the level; pixels next to an existing region are queued for the first step.
        // Interior pixels take a path without branches on the neighbours' states, which no
        // branch predictor could learn.
        for (const int32_t* it = first; it != last; ++it) {
            const int32_t p = *it;
            if (states.Interior(p)) {
                const bool nextToRegion = IsLabelled(state[p - 1]) | IsLabelled(state[p + 1]) |
                                          IsLabelled(state[p - width]) |
                                          IsLabelled(state[p + width]);
                state[p] = static_cast<uint8_t>(kMask + nextToRegion);  // kQueued if next to one
                queue.MakeRoom(1);
                queue.PushIf(p, nextToRegion);
                continue;
            }
            states.Set(p, kMask);
            states.ForEachNeighbour(p, [&](int32_t q) {
                if (states.StateOf(q) != kLabelled) return false;
                states.Set(p, kQueued);
                queue.Push(p);
                return true;
            });
        }

        // Grow the existing regions into the level, one distance step at a time: a pixel joins
        // the region of its first neighbour that was in a region before the current step.
        size_t stepStart = 0;
        const auto endStep = [&](size_t stepEnd) {
            for (size_t k = stepStart; k < stepEnd; ++k) {
                const int32_t p = queue.At(k);
                if (p != kQueueMarker && states.StateOf(p) == kFresh) states.Set(p, kLabelled);
            }
            stepStart = stepEnd;
        };
        queue.Push(kQueueMarker);
        while (true) {
            int32_t p = queue.Pop();
            if (p == kQueueMarker) {
                endStep(queue.Position());
                if (queue.Empty()) break;
                queue.Push(kQueueMarker);
                p = queue.Pop();
            }
            // The pixels a few places ahead will need their neighbours' region indices.
            if (const int32_t ahead = queue.Ahead(kPrefetchDistance); ahead >= 0) {
                states.Prefetch(ahead);
                PrefetchRows(regionMap, ahead, width);
            }
            if (states.Interior(p)) {
                queue.MakeRoom(4);
                const int32_t neighbours[4] = {p - 1, p + 1, p - width, p + width};
                int32_t source = p;  // the neighbour whose region p joins
                for (const int32_t q : neighbours) {
                    const uint8_t s = state[q];
                    source = IsLabelled(s) && source == p ? q : source;
                    const bool mask = (s & kStateBits) == kMask;
                    state[q] = static_cast<uint8_t>(s + mask);  // kMask becomes kQueued
                    queue.PushIf(q, mask);
                }
                if (source != p) {
                    regionMap[p] = regionMap[source];
                    states.Set(p, kFresh);
                }
                continue;
            }
            bool joined = false;
            states.ForEachNeighbour(p, [&](int32_t q) {
                const uint8_t state = states.StateOf(q);
                if (state == kLabelled) {
                    if (!joined) {
                        regionMap[p] = regionMap[q];
                        joined = true;
                    }
                } else if (state == kMask) {
                    states.Set(q, kQueued);
                    queue.Push(q);
                }
                return false;
            });
            if (joined) states.Set(p, kFresh);
        }
        queue.Clear();

        // Pixels no region reached start new regions, one per connected group.
        for (const int32_t* it = first; it != last; ++it) {
            const int32_t p = *it;
            if (!WithoutRegion(states.StateOf(p))) continue;
            const int32_t region = regionCount++;
            regionMap[p] = region;
            states.Set(p, kLabelled);
            queue.Push(p);
            while (!queue.Empty()) {
                states.ForEachNeighbour(queue.Pop(), [&](int32_t q) {
                    if (WithoutRegion(states.StateOf(q))) {
                        regionMap[q] = region;
                        states.Set(q, kLabelled);
                        queue.Push(q);
                    }
                    return false;
                });
            }
            queue.Clear();
        }
    }
    return regionCount;
}

int32_t FloodRegions(const SortedLevels& sorted, int32_t width, int32_t height,
                     std::span<int32_t> labels) {
    const int32_t count = FloodRegionIndices(sorted, width, height, labels);
    for (int32_t& label : labels)
        label += 1;
    return count;
}

}  // namespace mirrask
