#include "region_tables.h"

#include <algorithm>
#include <array>
#include <bit>
#include <memory>

#include "processor_features.h"

#if defined(MIRRASK_HAS_AVX2_PATHS)
#include <immintrin.h>
#endif

#include "large_buffers.h"
#include "luv_conversion.h"

namespace mirrask {

std::vector<RegionInfo> ComputeRegionStats(std::span<const int32_t> regionMap, int32_t regionCount,
                                           std::span<const LuvColour> pixelColours) {
    return ComputeRegionStatsWith(regionMap, regionCount,
                                  [&](size_t i) { return pixelColours[i]; });
}

void DivideRegionSums(std::span<RegionInfo> table) {
    for (RegionInfo& entry : table) {
        entry.mean.L = float(double(entry.mean.L) / entry.pixelCount);
        entry.mean.u = float(double(entry.mean.u) / entry.pixelCount);
        entry.mean.v = float(double(entry.mean.v) / entry.pixelCount);
    }
}

// The colours are converted a block at a time into planes that stay in the cache (the conversion
// is vectorised), then added to their regions in raster order.
struct RegionStatsBuilder::Planes {
    static constexpr int32_t kBlock = 2048;
    LuvConverter converter;
    std::vector<float> values = std::vector<float>(3 * kBlock);
};

RegionStatsBuilder::RegionStatsBuilder(int32_t regionCount, const uint8_t* pixels, int32_t width)
    : planes_(std::make_unique<Planes>()),
      table_(MakeLarge<RegionInfo>(static_cast<size_t>(regionCount))),
      pixels_(pixels),
      width_(width) {}

RegionStatsBuilder::~RegionStatsBuilder() = default;

void RegionStatsBuilder::AddRow(const int32_t* regionRow, int32_t y) {
    constexpr int32_t kBlock = Planes::kBlock;
    float* const L = planes_->values.data();
    float* const u = L + kBlock;
    float* const v = u + kBlock;
    const uint8_t* const row = pixels_ + 3 * static_cast<size_t>(y) * width_;
    // Counted so that start never passes the width: a row may be up to 2^31 - 1 pixels long.
    for (int32_t start = 0, count = 0; start < width_; start += count) {
        count = std::min(kBlock, width_ - start);
        planes_->converter.ConvertRow(row + 3 * static_cast<size_t>(start), count, L, u, v);
        const int32_t* const regions = regionRow + start;
        for (int32_t k = 0; k < count; ++k) {
            RegionInfo& entry = table_[regions[k]];
            entry.pixelCount += 1;
            entry.mean.L += L[k];
            entry.mean.u += u[k];
            entry.mean.v += v[k];
        }
    }
}

std::vector<RegionInfo> RegionStatsBuilder::Finish() {
    DivideRegionSums(table_);
    return std::move(table_);
}

std::vector<RegionInfo> ComputeRegionStatsFromPixels(std::span<const int32_t> regionMap,
                                                     int32_t width, int32_t height,
                                                     int32_t regionCount, const uint8_t* pixels) {
    RegionStatsBuilder builder(regionCount, pixels, width);
    for (int32_t y = 0; y < height; ++y)
        builder.AddRow(regionMap.data() + static_cast<size_t>(y) * width, y);
    return builder.Finish();
}

namespace {

// Regions per group: the crossings are first distributed to groups of this many consecutive
// lower regions, few enough for the distribution to write to cached memory, then each group is
// sorted on its own, in cache.
constexpr int kGroupBits = 10;
constexpr int32_t kGroupSize = int32_t{1} << kGroupBits;
// A crossing key holds the lower region in its high half, the higher in its low half; the bits
// above the lower region's place in its group are its group.
constexpr int kCountShift = 32 + kGroupBits;
constexpr uint64_t kLowerAndHigher = (uint64_t{1} << kCountShift) - 1;

// A crossing of a region border as distributed: the lower region in the high half, the higher in
// the low half.
uint64_t CrossingKey(int32_t a, int32_t b) {
    const uint64_t lo = static_cast<uint32_t>(std::min(a, b));
    const uint64_t hi = static_cast<uint32_t>(std::max(a, b));
    return lo << 32 | hi;
}

// Writes the crossing keys of a row (1 <= y <= height - 2) into keys, from x = first on: for each
// pixel the right-hand pair, then the pair below. Returns their number. keys needs room for
// 2 * width.
size_t RowCrossings(const int32_t* row, const int32_t* next, int32_t width, int32_t first,
                    uint64_t* keys) {
    size_t count = 0;
    // Without branches: about one pair in four crosses a border, in no pattern.
    for (int32_t x = first; x <= width - 2; ++x) {
        const int32_t a = row[x], right = row[x + 1], below = next[x];
        keys[count] = CrossingKey(a, right);
        count += right != a;
        keys[count] = CrossingKey(a, below);
        count += below != a;
    }
    return count;
}

#if defined(MIRRASK_HAS_AVX2_PATHS)
#define MIRRASK_AVX2 __attribute__((target("avx2"), always_inline)) inline

// The keys of four pairs (lower region in the high half), and the lanes where the pair crosses.
MIRRASK_AVX2 void KeysOfPairs(__m256i a, __m256i b, __m256i& firstFour, __m256i& lastFour) {
    const __m256i lower = _mm256_min_epi32(a, b), higher = _mm256_max_epi32(a, b);
    // Unpacking works within 128-bit halves: keys of pixels 0, 1, 4, 5 and 2, 3, 6, 7.
    const __m256i even = _mm256_unpacklo_epi32(higher, lower);
    const __m256i odd = _mm256_unpackhi_epi32(higher, lower);
    firstFour = _mm256_permute2x128_si256(even, odd, 0x20);
    lastFour = _mm256_permute2x128_si256(even, odd, 0x31);
}

// Writes the lanes of four keys picked by mask (bit k for lane k) to out, in lane order; returns
// how many. Writes all four lanes: out needs room for four.
MIRRASK_AVX2 int StorePicked(__m256i keys, unsigned mask, uint64_t* out) {
    // Per mask, the 32-bit lanes that bring the picked keys to the front.
    static constexpr int32_t kGather[16][8] = {
        {0, 1, 2, 3, 4, 5, 6, 7}, {0, 1, 2, 3, 4, 5, 6, 7}, {2, 3, 0, 1, 4, 5, 6, 7},
        {0, 1, 2, 3, 4, 5, 6, 7}, {4, 5, 0, 1, 2, 3, 6, 7}, {0, 1, 4, 5, 2, 3, 6, 7},
        {2, 3, 4, 5, 0, 1, 6, 7}, {0, 1, 2, 3, 4, 5, 6, 7}, {6, 7, 0, 1, 2, 3, 4, 5},
        {0, 1, 6, 7, 2, 3, 4, 5}, {2, 3, 6, 7, 0, 1, 4, 5}, {0, 1, 2, 3, 6, 7, 4, 5},
        {4, 5, 6, 7, 0, 1, 2, 3}, {0, 1, 4, 5, 6, 7, 2, 3}, {2, 3, 4, 5, 6, 7, 0, 1},
        {0, 1, 2, 3, 4, 5, 6, 7}};
    const __m256i order = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(kGather[mask]));
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(out), _mm256_permutevar8x32_epi32(keys, order));
    return __builtin_popcount(mask);
}

// RowCrossings eight pixels at a time: for each eight, the crossing right-hand pairs, then the
// crossing pairs below. The order of the keys decides nothing but how many runs they form. Returns
// the number of keys and sets done to the first pixel it left for RowCrossings. keys needs room for
// 2 * width + 4.
__attribute__((target("avx2"))) size_t RowCrossingsAvx2(const int32_t* row, const int32_t* next,
                                                        int32_t width, int32_t& done,
                                                        uint64_t* keys) {
    size_t count = 0;
    int32_t x = 1;
    // The right-hand neighbours of pixels x .. x + 7 reach x + 8, which must be at most width - 1.
    for (; width - 1 - x >= 8; x += 8) {
        const __m256i a = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(row + x));
        const __m256i right = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(row + x + 1));
        const __m256i below = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(next + x));
        const unsigned rightSame = static_cast<unsigned>(
            _mm256_movemask_ps(_mm256_castsi256_ps(_mm256_cmpeq_epi32(a, right))));
        const unsigned belowSame = static_cast<unsigned>(
            _mm256_movemask_ps(_mm256_castsi256_ps(_mm256_cmpeq_epi32(a, below))));
        if ((rightSame & belowSame) == 0xFF) continue;  // inside one region
        __m256i firstFour, lastFour;
        KeysOfPairs(a, right, firstFour, lastFour);
        count += StorePicked(firstFour, ~rightSame & 0xF, keys + count);
        count += StorePicked(lastFour, (~rightSame >> 4) & 0xF, keys + count);
        KeysOfPairs(a, below, firstFour, lastFour);
        count += StorePicked(firstFour, ~belowSame & 0xF, keys + count);
        count += StorePicked(lastFour, (~belowSame >> 4) & 0xF, keys + count);
    }
    done = x;
    return count;
}
#undef MIRRASK_AVX2
#endif

// The crossings of each group, in chunks of fixed size carved from large blocks, so that one pass
// over the map distributes them without knowing the groups' sizes in advance.
class GroupedCrossings {
  public:
    static constexpr size_t kChunk = 1024;

    GroupedCrossings(int32_t groupCount, size_t expected)
        : chunks_(static_cast<size_t>(groupCount)),
          cursor_(static_cast<size_t>(groupCount), nullptr),
          chunkEnd_(static_cast<size_t>(groupCount), nullptr),
          blockSize_(std::max<size_t>(expected + groupCount * kChunk, 16 * kChunk) / kChunk *
                     kChunk) {}

    void Add(uint32_t group, uint64_t key) {
        if (cursor_[group] == chunkEnd_[group]) NewChunk(group);
        *cursor_[group]++ = key;
    }

    // Calls visit(key) for every key of the group, in the order added.
    template <typename Visit>
    void ForEach(uint32_t group, Visit&& visit) const {
        const std::vector<uint64_t*>& chunks = chunks_[group];
        for (size_t c = 0; c < chunks.size(); ++c) {
            const uint64_t* const end = c + 1 < chunks.size() ? chunks[c] + kChunk : cursor_[group];
            for (const uint64_t* it = chunks[c]; it != end; ++it)
                visit(*it);
        }
    }

    // Replaces the group's keys by those of [first, last), no more than it holds.
    void Replace(uint32_t group, const uint64_t* first, const uint64_t* last) {
        std::vector<uint64_t*>& chunks = chunks_[group];
        size_t used = 0;
        for (size_t left = static_cast<size_t>(last - first); left > 0; ++used) {
            const size_t count = std::min(left, kChunk);
            std::copy_n(first, count, chunks[used]);
            first += count;
            left -= count;
            cursor_[group] = chunks[used] + count;
        }
        chunks.resize(used);
        if (used == 0) cursor_[group] = nullptr;
        chunkEnd_[group] = used == 0 ? nullptr : chunks.back() + kChunk;
    }

    size_t Size(uint32_t group) const {
        const std::vector<uint64_t*>& chunks = chunks_[group];
        return chunks.empty() ? 0 : (chunks.size() - 1) * kChunk + (cursor_[group] - chunks.back());
    }

  private:
    void NewChunk(uint32_t group) {
        if (blocks_.empty() || blockUsed_ == blockSizes_.back()) {
            // Blocks after the first are smaller: the first is sized for most images. Left
            // uninitialised: only the chunks handed out are ever written or read, and the pages
            // of the rest are never touched.
            const size_t size = blocks_.empty()
                                    ? blockSize_
                                    : std::max(blockSize_ / 4 / kChunk, size_t{1}) * kChunk;
            blocks_.push_back(std::make_unique_for_overwrite<uint64_t[]>(size));
            blockSizes_.push_back(size);
            AdviseHugePages(blocks_.back().get(), size * sizeof(uint64_t));
            blockUsed_ = 0;
        }
        uint64_t* const chunk = blocks_.back().get() + blockUsed_;
        blockUsed_ += kChunk;
        chunks_[group].push_back(chunk);
        cursor_[group] = chunk;
        chunkEnd_[group] = chunk + kChunk;
    }

    std::vector<std::unique_ptr<uint64_t[]>> blocks_;
    std::vector<size_t> blockSizes_;
    size_t blockUsed_ = 0;
    std::vector<std::vector<uint64_t*>> chunks_;
    std::vector<uint64_t*> cursor_, chunkEnd_;
    size_t blockSize_;
};

}  // namespace

// Every examined pair that crosses a border, as a key of its two regions with a count, is
// distributed to the group of its lower region. Each group is then sorted by lower region, and
// each region's distinct higher regions are counted and sorted: the same entries, in the same
// order, as one ordered map per region.
struct RegionGraphBuilder::Crossings {
    Crossings(int32_t width, int32_t height, int32_t regionCount)
        : groupCount((regionCount + kGroupSize - 1) / kGroupSize),
          // About one crossing per two pixels in photos; more only costs another block.
          grouped(groupCount, static_cast<size_t>(width) * static_cast<size_t>(height) / 2),
          // Room for the four lanes a vector store writes past the last key.
          rowKeys(2 * static_cast<size_t>(std::max(width, 1)) + 4),
          runLengths(rowKeys.size()),
          runs(rowKeys.size() < (size_t{1} << (64 - kCountShift))) {}

    int32_t groupCount;
    GroupedCrossings grouped;
    std::vector<uint64_t> rowKeys;
    std::vector<uint32_t> runLengths;
    // A run of equal keys in a row (a border along the row crosses the pairs below one after
    // another, a staircase both pairs of its pixels) is distributed once, with its length in the
    // top bits, where the lower region's group was. Rows too long for those bits are distributed
    // key by key.
    bool runs;
};

RegionGraphBuilder::RegionGraphBuilder(int32_t width, int32_t height, int32_t regionCount)
    : crossings_(std::make_unique<Crossings>(width, height, regionCount)),
      width_(width),
      regionCount_(regionCount) {}

RegionGraphBuilder::~RegionGraphBuilder() = default;

void RegionGraphBuilder::AddRow(const int32_t* regionRow, const int32_t* regionRowBelow) {
    uint64_t* const rowKeys = crossings_->rowKeys.data();
    uint32_t* const runLengths = crossings_->runLengths.data();
    const bool runs = crossings_->runs;
    size_t count = 0;
    int32_t first = 1;
#if defined(MIRRASK_HAS_AVX2_PATHS)
    if (HasAvx2()) count = RowCrossingsAvx2(regionRow, regionRowBelow, width_, first, rowKeys);
#endif
    count += RowCrossings(regionRow, regionRowBelow, width_, first, rowKeys + count);
    size_t runCount = 0;
    uint64_t previous = ~uint64_t{0};  // no key: lower regions are below 2^31
    for (size_t k = 0; k < count; ++k) {
        // Without branches: a new run is written, a continued one only lengthened.
        const uint64_t key = rowKeys[k];
        const bool continued = runs && key == previous;
        rowKeys[runCount] = key;
        runLengths[runCount] = 1;
        runLengths[runCount - continued] += continued;
        runCount += !continued;
        previous = key;
    }
    for (size_t k = 0; k < runCount; ++k) {
        const uint64_t key = rowKeys[k];
        crossings_->grouped.Add(static_cast<uint32_t>(key >> kCountShift),
                                (key & kLowerAndHigher) | uint64_t{runLengths[k]} << kCountShift);
    }
}

RegionGraph BuildRegionGraph(std::span<const int32_t> regionMap, int32_t width, int32_t height,
                             int32_t regionCount) {
    RegionGraphBuilder builder(width, height, regionCount);
    const size_t w = static_cast<size_t>(width);
    for (int32_t y = 1; y <= height - 2; ++y)
        builder.AddRow(regionMap.data() + y * w, regionMap.data() + (y + 1) * w);
    return builder.Finish();
}

RegionGraph RegionGraphBuilder::Finish() {
    const int32_t regionCount = regionCount_;
    const int32_t groupCount = crossings_->groupCount;
    GroupedCrossings& grouped = crossings_->grouped;
    // Group by group, the crossings are sorted by lower region and then by higher region, a stable
    // counting sort per digit from the lowest: the higher region in digits of at most 11 bits,
    // then the lower region's place in the group. Equal neighbours then lie next to each other and
    // are merged into (higher, count) pairs, without a branch on what the keys hold.
    const int higherBits = std::max(
        1, static_cast<int>(std::bit_width(static_cast<uint32_t>(std::max(regionCount - 1, 1)))));
    const int higherDigits = (higherBits + 10) / 11;
    const int digitBits = (higherBits + higherDigits - 1) / higherDigits;
    const int digitCount = higherDigits + 1;  // the last digit is the place in the group
    const size_t buckets = size_t{1} << std::max(digitBits, kGroupBits);
    const uint64_t digitMask = (uint64_t{1} << digitBits) - 1;
    const auto digitOf = [&](uint64_t key, int digit) -> size_t {
        if (digit == higherDigits) return (key >> 32) & (kGroupSize - 1);
        return ((key & 0xFFFFFFFFu) >> (digit * digitBits)) & digitMask;
    };

    std::vector<int32_t> offsets = MakeLarge<int32_t>(static_cast<size_t>(regionCount) + 1);
    size_t pairCount = 0;
    std::vector<uint64_t> keys, other;
    std::vector<int32_t> starts(static_cast<size_t>(digitCount) * buckets);
    std::array<int32_t, kGroupSize> lastPairOf;
    for (int32_t g = 0; g < groupCount; ++g) {
        const int32_t base = g * kGroupSize;
        const int32_t regions = std::min(kGroupSize, regionCount - base);
        const size_t size = grouped.Size(static_cast<uint32_t>(g));
        if (keys.size() < size) {
            keys.resize(size);
            other.resize(size);
        }
        std::fill(starts.begin(), starts.end(), 0);
        grouped.ForEach(static_cast<uint32_t>(g), [&](uint64_t key) {
            for (int d = 0; d < digitCount; ++d)
                ++starts[d * buckets + digitOf(key, d)];
        });
        for (int d = 0; d < digitCount; ++d) {
            int32_t sum = 0;
            for (size_t b = 0; b < buckets; ++b) {
                const int32_t n = starts[d * buckets + b];
                starts[d * buckets + b] = sum;
                sum += n;
            }
        }
        grouped.ForEach(static_cast<uint32_t>(g),
                        [&](uint64_t key) { keys[starts[digitOf(key, 0)]++] = key; });
        for (int d = 1; d < digitCount; ++d) {
            int32_t* const start = starts.data() + d * buckets;
            for (size_t k = 0; k < size; ++k)
                other[start[digitOf(keys[k], d)]++] = keys[k];
            keys.swap(other);
        }

        // Merged into pairs: a run of equal keys sums its counts into its last pair written.
        lastPairOf.fill(-1);
        uint64_t* const pairs = other.data();
        int32_t written = 0;
        int32_t runCount = 0;
        uint64_t previous = ~uint64_t{0};  // no key: keys without their count have 42 bits
        for (size_t k = 0; k < size; ++k) {
            const uint64_t key = keys[k];
            const uint64_t regionsOfKey = key & kLowerAndHigher;
            const int32_t count = static_cast<int32_t>(key >> kCountShift);
            const bool same = regionsOfKey == previous;
            runCount = same ? runCount + count : count;
            written -= same;
            pairs[written] = (key & 0xFFFFFFFFu) | static_cast<uint64_t>(runCount) << 32;
            lastPairOf[(key >> 32) & (kGroupSize - 1)] = written;
            ++written;
            previous = regionsOfKey;
        }
        int32_t end = 0;
        for (int32_t r = 0; r < regions; ++r) {
            const int32_t regionEnd = std::max(end, lastPairOf[r] + 1);
            offsets[base + r + 1] = regionEnd - end;
            end = regionEnd;
        }
        // The group's pairs, (higher, count) region after region, take the place of its
        // crossings.
        grouped.Replace(static_cast<uint32_t>(g), pairs, pairs + written);
        pairCount += static_cast<size_t>(written);
    }

    for (int32_t r = 1; r <= regionCount; ++r)
        offsets[r] += offsets[r - 1];
    std::vector<RegionNeighbour> entries;
    ReserveLarge(entries, pairCount);
    for (int32_t g = 0; g < groupCount; ++g) {
        grouped.ForEach(static_cast<uint32_t>(g), [&](uint64_t pair) {
            entries.push_back(
                {static_cast<int32_t>(pair & 0xFFFFFFFFu), static_cast<int32_t>(pair >> 32)});
        });
    }
    RegionGraph graph;
    graph.Assign(std::move(offsets), std::move(entries));
    return graph;
}

}  // namespace mirrask
