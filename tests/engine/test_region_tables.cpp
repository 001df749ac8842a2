#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <map>
#include <numeric>
#include <random>
#include <string>
#include <tuple>
#include <vector>

#include "luv_conversion.h"
#include "region_tables.h"

namespace mirrask {
namespace {

std::map<int32_t, int32_t> MapOf(const RegionGraph& graph, int32_t region) {
    std::map<int32_t, int32_t> entries;
    for (const RegionNeighbour& n : graph.NeighboursOf(region))
        entries[n.region] = n.pairCount;
    return entries;
}

std::vector<int32_t> Regions(const std::vector<std::string>& rows) {
    std::vector<int32_t> regions;
    for (const auto& row : rows) {
        for (char c : row)
            regions.push_back(c - '0');
    }
    return regions;
}

TEST(RegionGraph, StraightVerticalBorderCountsHeightMinusTwoUnderTheLowerIndex) {
    const int w = 6, h = 5;
    for (int c = 1; c <= w - 2; ++c) {
        SCOPED_TRACE(c);
        std::vector<int32_t> map(w * h);
        for (int y = 0; y < h; ++y) {
            for (int x = 0; x < w; ++x)
                map[y * w + x] = x <= c ? 0 : 1;
        }
        const RegionGraph graph = BuildRegionGraph(map, w, h, 2);
        EXPECT_EQ(MapOf(graph, 0), (std::map<int32_t, int32_t>{{1, h - 2}}));
        EXPECT_TRUE(graph.NeighboursOf(1).empty());
    }
}

TEST(RegionGraph, BordersAtColumnZeroOrRowZeroAreNeverCounted) {
    const auto column = Regions({"1000", "1000", "1000", "1000"});
    EXPECT_TRUE(MapOf(BuildRegionGraph(column, 4, 4, 2), 0).empty());
    const auto row = Regions({"1111", "0000", "0000", "0000"});
    EXPECT_TRUE(MapOf(BuildRegionGraph(row, 4, 4, 2), 0).empty());
}

TEST(RegionGraph, SurroundedRegionIsEnteredOnceWithEveryExaminedCrossing) {
    // Region 1 inside region 0: of the crossings around it, the examined ones are the pair to its
    // left ((1,2),(2,2)), to its right, above ((2,1),(2,2)) and below.
    const auto map = Regions({"00000", "00000", "00100", "00000", "00000"});
    const RegionGraph graph = BuildRegionGraph(map, 5, 5, 2);
    EXPECT_EQ(MapOf(graph, 0), (std::map<int32_t, int32_t>{{1, 4}}));
    EXPECT_TRUE(graph.NeighboursOf(1).empty());
}

TEST(RegionGraph, NeighboursAreAscendingAndAboveTheirRegion) {
    const auto map = Regions({"33333", "32103", "32103", "34443", "33333"});
    const RegionGraph graph = BuildRegionGraph(map, 5, 5, 5);
    EXPECT_EQ(MapOf(graph, 0), (std::map<int32_t, int32_t>{{1, 2}, {3, 2}, {4, 1}}));
    for (int32_t r = 0; r < 5; ++r) {
        int32_t previous = r;
        for (const RegionNeighbour& n : graph.NeighboursOf(r)) {
            EXPECT_GT(n.region, previous);
            previous = n.region;
        }
    }
}

TEST(RegionGraph, ImagesWithoutInteriorHaveNoPairs) {
    for (auto [w, h] : {std::pair{2, 7}, {7, 2}, {1, 1}}) {
        std::vector<int32_t> map(static_cast<size_t>(w) * h);
        for (size_t i = 0; i < map.size(); ++i)
            map[i] = static_cast<int32_t>(i);
        const RegionGraph graph = BuildRegionGraph(map, w, h, w * h);
        EXPECT_EQ(graph.PairCount(), 0) << w << "x" << h;
    }
}

// Thousands of regions, so that lower regions fall into many groups of the distribution; every
// list must equal one ordered map per region filled pair by pair.
TEST(RegionGraph, SameListsAsOrderedMapsOnManyRegions) {
    std::mt19937 random(4242);
    for (const auto& [w, h, blocks] : {std::tuple{300, 200, 7000}, {97, 61, 1500}, {3, 3, 9}}) {
        // Random blocks painted over each other, numbered without gaps afterwards.
        std::vector<int32_t> map(static_cast<size_t>(w) * h, 0);
        for (int b = 1; b < blocks; ++b) {
            const int x0 = static_cast<int>(random() % w), y0 = static_cast<int>(random() % h);
            const int bw = 1 + static_cast<int>(random() % 6),
                      bh = 1 + static_cast<int>(random() % 6);
            for (int y = y0; y < std::min(h, y0 + bh); ++y) {
                for (int x = x0; x < std::min(w, x0 + bw); ++x)
                    map[y * w + x] = b;
            }
        }
        std::map<int32_t, int32_t> renumber;
        for (const int32_t r : map)
            renumber.emplace(r, 0);
        int32_t next = 0;
        for (auto& [from, to] : renumber)
            to = next++;
        // Shuffled numbers, so that neighbours' numbers lie far apart.
        std::vector<int32_t> shuffled(static_cast<size_t>(next));
        std::iota(shuffled.begin(), shuffled.end(), 0);
        std::shuffle(shuffled.begin(), shuffled.end(), random);
        for (int32_t& r : map)
            r = shuffled[renumber[r]];

        std::vector<std::map<int32_t, int32_t>> expected(static_cast<size_t>(next));
        for (int y = 1; y <= h - 2; ++y) {
            for (int x = 1; x <= w - 2; ++x) {
                const int32_t a = map[y * w + x];
                for (const int32_t b : {map[y * w + x + 1], map[(y + 1) * w + x]}) {
                    if (b != a) ++expected[std::min(a, b)][std::max(a, b)];
                }
            }
        }
        const RegionGraph graph = BuildRegionGraph(map, w, h, next);
        ASSERT_EQ(graph.RegionCount(), next);
        int64_t pairs = 0;
        for (int32_t r = 0; r < next; ++r) {
            ASSERT_EQ(MapOf(graph, r), expected[r]) << "region " << r;
            int32_t previous = r;
            for (const RegionNeighbour& n : graph.NeighboursOf(r)) {
                ASSERT_GT(n.region, previous);
                previous = n.region;
            }
            pairs += static_cast<int64_t>(expected[r].size());
        }
        EXPECT_EQ(graph.PairCount(), pairs);
        if (w == 300) {
            EXPECT_GT(next, 3000);
        }
    }
}

// Over 2^22 regions, so that the higher regions are sorted in three digits: every pixel its own
// region, numbered at random. Every examined pair then crosses once and no two are alike.
TEST(RegionGraph, EveryPixelItsOwnRegionAmongMillions) {
    const int32_t w = 2100, h = 2000;
    const int32_t count = w * h;
    ASSERT_GT(count, 1 << 22);
    std::vector<int32_t> map(static_cast<size_t>(count));
    std::iota(map.begin(), map.end(), 0);
    std::shuffle(map.begin(), map.end(), std::mt19937(77));
    std::vector<uint64_t> expected;
    for (int32_t y = 1; y <= h - 2; ++y) {
        for (int32_t x = 1; x <= w - 2; ++x) {
            const int32_t a = map[y * w + x];
            for (const int32_t b : {map[y * w + x + 1], map[(y + 1) * w + x]})
                expected.push_back(uint64_t(std::min(a, b)) << 32 | uint32_t(std::max(a, b)));
        }
    }
    std::sort(expected.begin(), expected.end());
    const RegionGraph graph = BuildRegionGraph(map, w, h, count);
    ASSERT_EQ(graph.PairCount(), static_cast<int64_t>(expected.size()));
    size_t k = 0;
    bool allMatch = true;
    for (int32_t r = 0; r < count && allMatch; ++r) {
        for (const RegionNeighbour& n : graph.NeighboursOf(r)) {
            allMatch = allMatch && n.pairCount == 1 &&
                       expected[k++] == (uint64_t(r) << 32 | uint32_t(n.region));
        }
    }
    EXPECT_TRUE(allMatch) << "first difference at pair " << k - 1;
}

// The statistics converted from pixels, row after row in blocks, are the sums of the converted
// colours in raster order: rows longer than a block, with a tail that fills no vector.
TEST(RegionStats, FromPixelsSameAsFromConvertedColours) {
    const int32_t w = 2100 + 5, h = 3;
    std::mt19937 random(5);
    std::vector<uint8_t> pixels(3 * static_cast<size_t>(w) * h);
    for (uint8_t& byte : pixels)
        byte = static_cast<uint8_t>(random());
    std::vector<int32_t> map(static_cast<size_t>(w) * h);
    for (int32_t& r : map)
        r = static_cast<int32_t>(random() % 40);
    std::vector<LuvColour> colours(map.size());
    ConvertToLuv(pixels.data(), w * h, colours);
    const auto expected = ComputeRegionStats(map, 40, colours);
    const auto fromPixels = ComputeRegionStatsFromPixels(map, w, h, 40, pixels.data());
    ASSERT_EQ(fromPixels.size(), expected.size());
    for (size_t r = 0; r < expected.size(); ++r)
        EXPECT_EQ(std::memcmp(&fromPixels[r], &expected[r], sizeof(RegionInfo)), 0) << r;
}

TEST(RegionStats, CountsAndFloatMeansInRasterOrder) {
    const std::vector<int32_t> map = {0, 1, 0, 1};
    const std::vector<LuvColour> colours = {{1, 2, 3}, {10, 20, 30}, {2, 4, 7}, {0, 0, 1}};
    const auto table = ComputeRegionStats(map, 2, colours);
    ASSERT_EQ(table.size(), 2u);
    EXPECT_EQ(table[0], (RegionInfo{2, {1.5f, 3.0f, 5.0f}}));
    EXPECT_EQ(table[1], (RegionInfo{2, {5.0f, 10.0f, 15.5f}}));

    // The sum is a float rounded after every addition: 2^24 + 1 + 1 stays 2^24.
    const std::vector<int32_t> one(3, 0);
    const std::vector<LuvColour> big = {{16777216.0f, 0, 0}, {1, 0, 0}, {1, 0, 0}};
    EXPECT_EQ(ComputeRegionStats(one, 1, big)[0].mean.L, float(16777216.0 / 3));
}

}  // namespace
}  // namespace mirrask
