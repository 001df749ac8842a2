#include "flooding.h"

#include <algorithm>
#include <memory>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "large_buffers.h"

namespace mirrask {

// How the immersion is computed here. Taking the levels one after another over the whole image
// visits the pixels in an order scattered over all of it, and nearly every visit waits for memory.
// The result, though, is fixed by local facts alone:
//
// - When level v is flooded, exactly the pixels of lower levels are in regions. A pixel of level v
//   with a lower neighbour is queued in the first distance step, and any other pixel of level v is
//   queued in step d + 1 when it is d steps away from such pixels through pixels of level v: its
//   distance is the breadth-first distance inside its plateau (4-connected pixels of one level).
// - A pixel queued in step d joins the region of its first neighbour (left, right, above, below)
//   that was in a region before step d: its first lower neighbour when d is 1, otherwise its first
//   neighbour of the plateau at distance d - 1. So every pixel copies the region of one neighbour,
//   its parent, which the plateau alone decides.
// - A plateau with no lower neighbour at all is reached by no region and starts a new one; the new
//   regions are numbered by level and, within a level, by the raster position of the plateau's
//   first pixel.
//
// So the flooding is done in passes in raster order, each touching the image locally: mark every
// pixel's equal neighbours and its first lower neighbour; give the pixels of the next few steps
// their parent from their neighbours' marks; then, plateau by plateau, find the parents of the
// pixels still without one by a breadth-first search from the last of those steps, or number the
// plateau as a new region; finally copy every pixel's region from its parent, following chains of
// parents that lead ahead in raster order. The regions and their numbers are exactly those of the
// level-by-level immersion.

namespace {

// One state byte per pixel. The low bits hold a code; the high bits say which neighbours have the
// same level (never one outside the image), so that no plateau walk needs coordinates or levels.
enum Code : uint8_t {
    kInner = 0,  // no lower neighbour, parent not known yet
    kParentLeft = 1,
    kParentRight = 2,
    kParentAbove = 3,
    kParentBelow = 4,
    kNewRegion = 5,  // in a plateau that starts a region; the region map holds its discovery number
    kResolved = 6,   // the region map holds the region index
};
constexpr uint8_t kCodeBits = 0x07;
// In the plateau being worked on and not reached yet by its breadth-first search.
constexpr uint8_t kPending = 0x08;
constexpr uint8_t kSameLeft = 0x10, kSameRight = 0x20, kSameAbove = 0x40, kSameBelow = 0x80;
constexpr uint8_t kSameAny = kSameLeft | kSameRight | kSameAbove | kSameBelow;
// A level no pixel has: stands for a neighbour outside the image.
constexpr int kOutside = 256;

// whenTrue if condition holds, otherwise whenFalse, computed without a branch: the conditions in
// the sweeps below follow the image and no branch predictor could learn them.
[[gnu::always_inline]] inline int32_t Select(bool condition, int32_t whenTrue, int32_t whenFalse) {
    const int32_t mask = -static_cast<int32_t>(condition);
    return whenFalse ^ ((whenFalse ^ whenTrue) & mask);
}

uint8_t WithCode(uint8_t state, uint8_t code) {
    return static_cast<uint8_t>((state & ~kCodeBits) | code);
}

// The state of a pixel of level v from its neighbours' levels (kOutside where there is none):
// which neighbours are equal, and the first lower one in the order left, right, above, below.
[[gnu::always_inline]] inline uint8_t Classify(int v, int left, int right, int above, int below) {
    const int code = left < v    ? kParentLeft
                     : right < v ? kParentRight
                     : above < v ? kParentAbove
                     : below < v ? kParentBelow
                                 : kInner;
    return static_cast<uint8_t>(code | (left == v ? kSameLeft : 0) | (right == v ? kSameRight : 0) |
                                (above == v ? kSameAbove : 0) | (below == v ? kSameBelow : 0));
}

void ClassifyRow(const uint8_t* above, const uint8_t* row, const uint8_t* below, int32_t width,
                 uint8_t* state) {
    const auto at = [](const uint8_t* levels, int32_t x) {
        return levels != nullptr ? int{levels[x]} : kOutside;
    };
    const auto edge = [&](int32_t x) {
        state[x] = Classify(row[x], x > 0 ? row[x - 1] : kOutside,
                            x + 1 < width ? row[x + 1] : kOutside, at(above, x), at(below, x));
    };
    edge(0);
    int32_t x = 1;
    if (above != nullptr && below != nullptr) {
#if defined(__SSE2__)
        // Sixteen pixels at a time, the same selections on byte lanes.
        const __m128i codeLeft = _mm_set1_epi8(kParentLeft),
                      codeRight = _mm_set1_epi8(kParentRight);
        const __m128i codeAbove = _mm_set1_epi8(kParentAbove);
        const __m128i codeBelow = _mm_set1_epi8(kParentBelow);
        const __m128i sameLeft = _mm_set1_epi8(kSameLeft), sameRight = _mm_set1_epi8(kSameRight);
        const __m128i sameAbove = _mm_set1_epi8(kSameAbove);
        const __m128i sameBelow = _mm_set1_epi8(static_cast<char>(kSameBelow));
        const auto load = [](const uint8_t* p) {
            return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
        };
        // All ones where n >= v (unsigned).
        const auto notLower = [](__m128i n, __m128i v) {
            return _mm_cmpeq_epi8(_mm_max_epu8(n, v), n);
        };
        for (; x + 16 < width; x += 16) {
            const __m128i v = load(row + x);
            const __m128i l = load(row + x - 1), r = load(row + x + 1);
            const __m128i a = load(above + x), b = load(below + x);
            __m128i code = _mm_andnot_si128(notLower(b, v), codeBelow);
            __m128i keep = notLower(a, v);
            code = _mm_or_si128(_mm_and_si128(keep, code), _mm_andnot_si128(keep, codeAbove));
            keep = notLower(r, v);
            code = _mm_or_si128(_mm_and_si128(keep, code), _mm_andnot_si128(keep, codeRight));
            keep = notLower(l, v);
            code = _mm_or_si128(_mm_and_si128(keep, code), _mm_andnot_si128(keep, codeLeft));
            const __m128i same =
                _mm_or_si128(_mm_or_si128(_mm_and_si128(_mm_cmpeq_epi8(l, v), sameLeft),
                                          _mm_and_si128(_mm_cmpeq_epi8(r, v), sameRight)),
                             _mm_or_si128(_mm_and_si128(_mm_cmpeq_epi8(a, v), sameAbove),
                                          _mm_and_si128(_mm_cmpeq_epi8(b, v), sameBelow)));
            _mm_storeu_si128(reinterpret_cast<__m128i*>(state + x), _mm_or_si128(code, same));
        }
#endif
        for (; x + 1 < width; ++x)
            state[x] = Classify(row[x], row[x - 1], row[x + 1], above[x], below[x]);
    } else {
        for (; x + 1 < width; ++x)
            edge(x);
    }
    if (width > 1) edge(width - 1);
}

// The state of a pixel once the next distance step is known. After the first step, a pixel without
// a lower neighbour but with a neighbour of its level that has one is in the second step, and its
// parent is the first such neighbour. Likewise after step d: a pixel still without a parent has no
// neighbour of its level in a step before d, so if one in step d is next to it, it is in step
// d + 1 with the first such neighbour as parent. Takes the states of the pixel and its four
// neighbours before this step (0 for a neighbour outside the image).
[[gnu::always_inline]] inline uint8_t NextStep(uint8_t s, uint8_t left, uint8_t right,
                                               uint8_t above, uint8_t below) {
    if ((s & kCodeBits) != kInner) return s;
    const auto near = [&](uint8_t same, uint8_t neighbour) {
        return (s & same) != 0 && (neighbour & kCodeBits) != kInner;
    };
    const int code = near(kSameLeft, left)     ? kParentLeft
                     : near(kSameRight, right) ? kParentRight
                     : near(kSameAbove, above) ? kParentAbove
                     : near(kSameBelow, below) ? kParentBelow
                                               : kInner;
    return static_cast<uint8_t>(s | code);
}

// NextStep for a row, from the states before the step (above or below null at the image's
// edge) into out.
void NextStepRow(const uint8_t* above, const uint8_t* row, const uint8_t* below, int32_t width,
                 uint8_t* out) {
    const auto edge = [&](int32_t x) {
        out[x] = NextStep(row[x], x > 0 ? row[x - 1] : 0, x + 1 < width ? row[x + 1] : 0,
                          above != nullptr ? above[x] : 0, below != nullptr ? below[x] : 0);
    };
    edge(0);
    int32_t x = 1;
    if (above != nullptr && below != nullptr) {
#if defined(__SSE2__)
        const __m128i codeBits = _mm_set1_epi8(kCodeBits), zero = _mm_setzero_si128();
        const auto load = [](const uint8_t* p) {
            return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
        };
        // All ones where s has the neighbour's same-level bit and the neighbour a lower one.
        const auto near = [&](__m128i s, uint8_t same, __m128i neighbour) {
            const __m128i hasSame =
                _mm_cmpeq_epi8(_mm_and_si128(s, _mm_set1_epi8(static_cast<char>(same))), zero);
            const __m128i inner = _mm_cmpeq_epi8(_mm_and_si128(neighbour, codeBits), zero);
            return _mm_andnot_si128(_mm_or_si128(hasSame, inner), _mm_set1_epi8(-1));
        };
        const auto choose = [](__m128i take, int value, __m128i otherwise) {
            return _mm_or_si128(_mm_and_si128(take, _mm_set1_epi8(static_cast<char>(value))),
                                _mm_andnot_si128(take, otherwise));
        };
        for (; x + 16 < width; x += 16) {
            const __m128i s = load(row + x);
            __m128i code = choose(near(s, kSameBelow, load(below + x)), kParentBelow, zero);
            code = choose(near(s, kSameAbove, load(above + x)), kParentAbove, code);
            code = choose(near(s, kSameRight, load(row + x + 1)), kParentRight, code);
            code = choose(near(s, kSameLeft, load(row + x - 1)), kParentLeft, code);
            const __m128i inner = _mm_cmpeq_epi8(_mm_and_si128(s, codeBits), zero);
            _mm_storeu_si128(reinterpret_cast<__m128i*>(out + x),
                             _mm_or_si128(s, _mm_and_si128(inner, code)));
        }
#endif
        for (; x + 1 < width; ++x)
            out[x] = NextStep(row[x], row[x - 1], row[x + 1], above[x], below[x]);
    } else {
        for (; x + 1 < width; ++x)
            edge(x);
    }
    if (width > 1) edge(width - 1);
}

class Flooding {
  public:
    Flooding(std::span<const uint8_t> gradient, int32_t width, int32_t height,
             std::span<int32_t> regionMap, const RowFinished& rowFinished)
        : gradient_(gradient),
          width_(width),
          height_(height),
          regionMap_(regionMap),
          rowFinished_(rowFinished) {}

    int32_t Run() {
        ClassifyPixels();
        // Steps 2 to 4 this way, a few cheap passes; the plateaus reach further only rarely.
        for (int step = 2; step <= 4; ++step)
            MarkNextStep();
        FindParents();
        NumberNewRegions();
        CopyRegions();
        return static_cast<int32_t>(newRegionLevels_.size());
    }

  private:
    void ClassifyPixels() {
        // Left uninitialised: the classification writes every byte.
        stateStorage_ = std::make_unique_for_overwrite<uint8_t[]>(regionMap_.size());
        AdviseHugePages(stateStorage_.get(), regionMap_.size());
        state_ = {stateStorage_.get(), regionMap_.size()};
        const size_t w = static_cast<size_t>(width_);
        for (int32_t y = 0; y < height_; ++y) {
            const uint8_t* row = gradient_.data() + y * w;
            ClassifyRow(y > 0 ? row - w : nullptr, row, y + 1 < height_ ? row + w : nullptr, width_,
                        state_.data() + y * w);
        }
    }

    // Rows are written back one row late, so that every pixel sees its neighbours' states from
    // before this step.
    void MarkNextStep() {
        const size_t w = static_cast<size_t>(width_);
        std::vector<uint8_t> rows(2 * w);
        for (int32_t y = 0; y < height_; ++y) {
            const uint8_t* row = state_.data() + y * w;
            NextStepRow(y > 0 ? row - w : nullptr, row, y + 1 < height_ ? row + w : nullptr, width_,
                        rows.data() + (y & 1) * w);
            if (y > 0) std::copy_n(rows.data() + ((y - 1) & 1) * w, w, state_.data() + (y - 1) * w);
        }
        std::copy_n(rows.data() + ((height_ - 1) & 1) * w, w, state_.data() + (height_ - 1) * w);
    }

    // Every pixel without a lower neighbour gets its parent, or its plateau a discovery number.
    void FindParents() {
        const int32_t count = static_cast<int32_t>(state_.size());
        const uint8_t* const state = state_.data();
        int32_t p = 0;
#if defined(__SSE2__)
        // Most pixels have a lower neighbour, and the others mostly come in plateaus found from
        // their first pixel: look for inner pixels sixteen at a time.
        const __m128i codeBits = _mm_set1_epi8(kCodeBits);
        for (; p + 16 <= count; p += 16) {
            const __m128i codes = _mm_and_si128(
                _mm_loadu_si128(reinterpret_cast<const __m128i*>(state + p)), codeBits);
            unsigned inner = static_cast<unsigned>(
                _mm_movemask_epi8(_mm_cmpeq_epi8(codes, _mm_setzero_si128())));
            while (inner != 0) {
                const int32_t q = p + __builtin_ctz(inner);
                inner &= inner - 1;
                if ((state[q] & kCodeBits) == kInner) StartFrom(q);  // maybe done by a walk since
            }
        }
#endif
        for (; p < count; ++p) {
            if ((state[p] & kCodeBits) == kInner) StartFrom(p);
        }
    }

    void StartFrom(int32_t p) {
        if ((state_[p] & kSameAny) == 0) {  // a plateau of one pixel, a local minimum
            regionMap_[p] = static_cast<int32_t>(newRegionLevels_.size());
            newRegionLevels_.push_back(gradient_[p]);
            state_[p] = WithCode(state_[p], kNewRegion);
            return;
        }
        WalkPlateau(p);
    }

    // The neighbour of p in each direction where it has p's level; p itself where not. The walks
    // below take all four without branching on the image: p itself is never pending when asked.
    [[gnu::always_inline]] std::array<int32_t, 4> SameOrSelf(int32_t p, uint8_t s) const {
        return {s & kSameLeft ? p - 1 : p, s & kSameRight ? p + 1 : p,
                s & kSameAbove ? p - width_ : p, s & kSameBelow ? p + width_ : p};
    }

    // Grows list so that at least size + extra items fit, and returns its storage.
    static int32_t* Room(std::vector<int32_t>& list, size_t size, size_t extra) {
        if (list.size() < size + extra) list.resize(2 * (size + extra));
        return list.data();
    }

    void WalkPlateau(int32_t first) {
        uint8_t* const state = state_.data();
        // Gather the pixels of the plateau still without a parent: all beyond the marked steps,
        // or the whole plateau if no region reaches it.
        int32_t* members = Room(members_, 0, 1);
        size_t memberCount = 1;
        members[0] = first;
        state[first] |= kPending;
        // Also noted: whether any member touches a pixel of the last marked step (with a parent and
        // not pending). If none does, no region reaches the plateau.
        // A direction without a neighbour of the same level looks at a stand-in that is always
        // pending, one per direction: writing to p itself instead would make every later look at
        // p wait for that write.
        bool reached = false;
        uint8_t standIns[4] = {kPending, kPending, kPending, kPending};
        const int32_t offsets[4] = {-1, 1, -width_, width_};
        for (size_t k = 0; k < memberCount; ++k) {
            members = Room(members_, memberCount, 4);
            const int32_t p = members[k];
            const uint8_t same = state[p];
            for (int d = 0; d < 4; ++d) {
                const bool inside = same & (kSameLeft << d);
                // Unsigned: the sum outside the image is never used, but must not overflow.
                const int32_t q = Select(inside,
                                         static_cast<int32_t>(static_cast<uint32_t>(p) +
                                                              static_cast<uint32_t>(offsets[d])),
                                         0);
                uint8_t* const cell = inside ? state + q : standIns + d;
                const uint8_t value = *cell;
                const uint8_t s = value & (kCodeBits | kPending);
                const bool added = s == kInner;
                reached |= s != kInner && s < kPending;
                *cell = static_cast<uint8_t>(value | (added ? kPending : 0));
                members[memberCount] = q;
                memberCount += added;
            }
        }
        if (!reached) {  // a new region
            const int32_t number = static_cast<int32_t>(newRegionLevels_.size());
            newRegionLevels_.push_back(gradient_[first]);
            for (size_t k = 0; k < memberCount; ++k) {
                regionMap_[members[k]] = number;
                state[members[k]] = WithCode(state[members[k]] & ~kPending, kNewRegion);
            }
            return;
        }
        // Those next to a pixel of the last marked step form the next; their parent is the first
        // such neighbour.
        int32_t* step = Room(step_, 0, memberCount);
        size_t stepCount = 0;
        for (size_t k = 0; k < memberCount; ++k) {
            const int32_t p = members[k];
            const uint8_t s = state[p];
            const auto around = SameOrSelf(p, s);
            uint8_t code = kInner;
            for (int d = 3; d >= 0; --d) {
                // Members stay pending here, so only pixels of the last marked step count.
                const uint8_t c = state[around[d]] & (kCodeBits | kPending);
                code = c != kInner && c < kPending ? static_cast<uint8_t>(kParentLeft + d) : code;
            }
            state[p] = static_cast<uint8_t>(s | code);
            step[stepCount] = p;
            stepCount += code != kInner;
        }
        for (size_t k = 0; k < stepCount; ++k)
            state[step[k]] &= ~kPending;
        // Breadth-first, one distance step at a time. A pixel reached in the next step takes as
        // parent the first (in neighbour order) of its neighbours in the current step; it stays
        // pending until its step begins, so that later neighbours of this step can still win.
        int32_t* next = Room(nextStep_, 0, memberCount);
        static constexpr uint8_t kToward[4] = {kParentRight, kParentLeft, kParentBelow,
                                               kParentAbove};
        while (stepCount != 0) {
            size_t nextCount = 0;
            for (size_t k = 0; k < stepCount; ++k) {
                const int32_t p = step[k];
                const auto around = SameOrSelf(p, state[p]);
                for (int d = 0; d < 4; ++d) {
                    const int32_t q = around[d];
                    const uint8_t s = state[q];
                    const uint8_t code = s & kCodeBits;
                    const bool pending = s & kPending;
                    // An inner code (0) counts as the highest; the lowest wins.
                    const uint8_t better = static_cast<uint8_t>(
                        std::min<uint8_t>(static_cast<uint8_t>(code - 1), kToward[d] - 1) + 1);
                    state[q] = pending ? WithCode(s, better) : s;
                    next[nextCount] = q;
                    nextCount += pending && code == kInner;
                }
            }
            for (size_t k = 0; k < nextCount; ++k)
                state[next[k]] &= ~kPending;
            std::swap(step, next);
            stepCount = nextCount;
        }
    }

    // New regions are numbered by level, then in order of discovery (the raster order of their
    // first pixels).
    void NumberNewRegions() {
        std::array<int32_t, 256> start{};
        for (const uint8_t level : newRegionLevels_)
            ++start[level];
        int32_t sum = 0;
        for (int32_t& s : start) {
            const int32_t n = s;
            s = sum;
            sum += n;
        }
        regionOfNew_.resize(newRegionLevels_.size());
        for (size_t k = 0; k < newRegionLevels_.size(); ++k)
            regionOfNew_[k] = start[newRegionLevels_[k]]++;
    }

    // Every pixel copies the region of its parent, row by row. A parent to the left cannot have
    // its own parent to the right (nor the reverse), so within a row the copies to the right are
    // made in a forward sweep and those to the left in a backward sweep. A parent below may lead
    // along a chain of parents ahead, which is resolved at once and marked.
    void CopyRegions() {
        int32_t* const region = regionMap_.data();
        const uint8_t* const state = state_.data();
        // Where the forward sweep finds a pixel's region: above, or the pixel itself (a new
        // region's discovery number, or a region resolved ahead). Parents to the left are taken
        // from the last pixel; parents to the right give a value the backward sweep replaces.
        const std::array<int32_t, 8> source = {0, 0, 0, -width_, 0, 0, 0, 0};
        const int32_t lastNew = static_cast<int32_t>(regionOfNew_.size()) - 1;
        for (int32_t y = 0; y < height_; ++y) {
            const int32_t rowStart = y * width_;
            const int32_t rowEnd = rowStart + width_;
            int32_t last = 0;
            for (int32_t p = rowStart; p < rowEnd; ++p) {
                const uint8_t code = state[p] & kCodeBits;
                if (code == kParentBelow) {
                    last = ResolveChain(p, rowStart);
                    continue;
                }
                const int32_t loaded = region[p + source[code]];
                const bool isNew = code == kNewRegion;
                const int32_t renumbered =
                    regionOfNew_[Select(isNew, std::min(loaded, lastNew), 0)];
                const int32_t value =
                    Select(code == kParentLeft, last, Select(isNew, renumbered, loaded));
                region[p] = value;
                last = value;
            }
            int32_t next = 0;
            for (int32_t p = rowEnd - 1; p >= rowStart; --p) {
                const int32_t value =
                    Select((state[p] & kCodeBits) == kParentRight, next, region[p]);
                region[p] = value;
                next = value;
            }
            if (rowFinished_) rowFinished_(y, static_cast<int32_t>(regionOfNew_.size()));
        }
    }

    // Whether the chain of parents from p ends at q, the first pixel of it whose region is known:
    // one of a row already done, one resolved, or a new region's pixel, resolved here.
    bool EndsChain(int32_t q, int32_t p, int32_t rowStart) {
        if (q < rowStart) return true;
        const uint8_t c = state_[q] & kCodeBits;
        if ((q < p && c != kParentRight) || c == kResolved) return true;
        if (c != kNewRegion) return false;
        regionMap_[q] = regionOfNew_[regionMap_[q]];
        state_[q] = WithCode(state_[q], kResolved);
        return true;
    }

    // Resolves the chain of parents from p, whose parent lies below, and returns p's region.
    // Done are all rows above p's and, in p's row, the pixels before p except those with their
    // parent to the right.
    int32_t ResolveChain(int32_t p, int32_t rowStart) {
        const std::array<int32_t, 8> step = {0, -1, 1, -width_, width_, 0, 0, 0};
        // The chain after p: almost always short, held on the stack; a longer one goes on in
        // chain_.
        constexpr int kShort = 32;
        std::array<int32_t, kShort> ahead;
        int length = 0;
        chain_.clear();
        int32_t q = p + width_;
        while (!EndsChain(q, p, rowStart)) {
            if (length < kShort) {
                ahead[length++] = q;
            } else {
                chain_.push_back(q);
            }
            q += step[state_[q] & kCodeBits];
        }
        const int32_t index = regionMap_[q];
        regionMap_[p] = index;
        const auto resolve = [&](int32_t r) {
            regionMap_[r] = index;
            state_[r] = WithCode(state_[r], kResolved);
        };
        for (int k = 0; k < length; ++k)
            resolve(ahead[k]);
        for (const int32_t r : chain_)
            resolve(r);
        return index;
    }

    std::span<const uint8_t> gradient_;
    int32_t width_;
    int32_t height_;
    std::span<int32_t> regionMap_;
    const RowFinished& rowFinished_;
    std::unique_ptr<uint8_t[]> stateStorage_;
    std::span<uint8_t> state_;
    std::vector<uint8_t> newRegionLevels_;  // level of every new region, in order of discovery
    std::vector<int32_t> regionOfNew_;      // its region index
    std::vector<int32_t> members_, step_, nextStep_, chain_;
};

}  // namespace

int32_t FloodRegions(std::span<const uint8_t> gradient, int32_t width, int32_t height,
                     std::span<int32_t> regionMap, const RowFinished& rowFinished) {
    if (regionMap.empty()) return 0;
    return Flooding(gradient, width, height, regionMap, rowFinished).Run();
}

}  // namespace mirrask
