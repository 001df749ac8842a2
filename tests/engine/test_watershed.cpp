#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "engine_state.h"
#include "synthetic_images.h"

namespace mirrask {
namespace {

using mirrask::testing::Noise;
using mirrask::testing::ObjectOnBackground;

void ExpectInvariants(const EngineState& state) {
    ASSERT_GE(state.RegionCount, 1);
    ASSERT_EQ(state.RegionMap.size(), static_cast<size_t>(state.pixelCount));
    ASSERT_EQ(state.RegionTable.size(), static_cast<size_t>(state.RegionCount));
    ASSERT_EQ(state.RegionNeighbours.RegionCount(), state.RegionCount);
    std::vector<int32_t> counts(state.RegionCount, 0);
    for (int32_t r : state.RegionMap) {
        ASSERT_GE(r, 0);
        ASSERT_LT(r, state.RegionCount);
        ++counts[r];
    }
    for (int32_t r = 0; r < state.RegionCount; ++r) {
        EXPECT_GE(counts[r], 1) << r;
        EXPECT_EQ(state.RegionTable[r].pixelCount, counts[r]) << r;
        for (const RegionNeighbour& n : state.RegionNeighbours.NeighboursOf(r)) {
            EXPECT_GT(n.region, r);
            EXPECT_LT(n.region, state.RegionCount);
            EXPECT_GE(n.pairCount, 1);
        }
    }
}

TEST(Watershed, BadArgumentsAreRefusedAndKeepThePreviousImage) {
    EngineState state;
    const auto picture = ObjectOnBackground(20, 16);
    ASSERT_EQ(RunWatershed(state, picture.pixels.data(), 20, 16), 0);
    const auto regionMap = state.RegionMap;
    const int32_t regionCount = state.RegionCount;

    const uint8_t one[3] = {1, 2, 3};
    struct Bad {
        const uint8_t* pixels;
        int32_t width, height;
    };
    for (const Bad bad :
         {Bad{nullptr, 20, 16}, {one, 0, 1}, {one, 1, -3}, {one, -1, -1}, {one, 65536, 65536}}) {
        EXPECT_EQ(RunWatershed(state, bad.pixels, bad.width, bad.height), -1);
        EXPECT_EQ(state.width, 20);
        EXPECT_EQ(state.height, 16);
        EXPECT_EQ(state.RegionCount, regionCount);
        EXPECT_EQ(state.RegionMap, regionMap);
    }
}

TEST(Watershed, LeavesThePixelsUnchangedAndHoldsItsInvariants) {
    for (const auto& picture : {ObjectOnBackground(40, 30), Noise(17, 23, 3), Noise(3, 3, 4)}) {
        EngineState state;
        const auto before = picture.pixels;
        ASSERT_EQ(RunWatershed(state, picture.pixels.data(), picture.width, picture.height), 0);
        EXPECT_EQ(picture.pixels, before);
        ExpectInvariants(state);
    }
}

TEST(Watershed, TinyImagesAreValid) {
    for (auto [w, h] : {std::pair{1, 1}, {2, 7}, {7, 2}, {3, 3}, {1, 40}}) {
        SCOPED_TRACE(std::to_string(w) + "x" + std::to_string(h));
        EngineState state;
        const auto picture = Noise(w, h, 11);
        ASSERT_EQ(RunWatershed(state, picture.pixels.data(), w, h), 0);
        ExpectInvariants(state);
        // Without an interior every level is 0: one region, no pairs.
        if (w < 3 || h < 3) {
            EXPECT_EQ(state.RegionCount, 1);
            EXPECT_EQ(state.RegionNeighbours.PairCount(), 0);
        }
    }
}

TEST(Watershed, UniformImageIsOneRegionAndASecondImageReplacesTheFirst) {
    EngineState state;
    const auto noisy = Noise(30, 30, 5);
    ASSERT_EQ(RunWatershed(state, noisy.pixels.data(), 30, 30), 0);
    ASSERT_GT(state.RegionCount, 1);

    const std::vector<uint8_t> uniform(5 * 4 * 3, 90);
    ASSERT_EQ(RunWatershed(state, uniform.data(), 5, 4), 0);
    EXPECT_EQ(state.width, 5);
    EXPECT_EQ(state.height, 4);
    EXPECT_EQ(state.RegionCount, 1);
    EXPECT_EQ(std::vector<int32_t>(state.RegionMap.begin(), state.RegionMap.end()),
              std::vector<int32_t>(20, 0));
    ASSERT_EQ(state.RegionTable.size(), 1u);
    EXPECT_EQ(state.RegionTable[0].pixelCount, 20);
    EXPECT_TRUE(state.RegionNeighbours.NeighboursOf(0).empty());
}

}  // namespace
}  // namespace mirrask
