#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "engine_state.h"
#include "graph_cut.h"
#include "maxflow/flow_graph.h"
#include "outlines.h"
#include "prototypes.h"
#include "segmentation.h"
#include "synthetic_images.h"

namespace mirrask {
namespace {

using mirrask::testing::ObjectOnBackground;
using mirrask::testing::Picture;

// A hand-made pre-segmentation: one row of pixels, region r covering the pixels listed for it.
EngineState RowState(const std::vector<int32_t>& regionOfPixel, const std::vector<LuvColour>& means,
                     int32_t width = 0, int32_t height = 1) {
    EngineState state;
    state.width = width ? width : static_cast<int32_t>(regionOfPixel.size());
    state.height = height;
    state.pixelCount = state.width * state.height;
    state.RegionMap.assign(regionOfPixel.begin(), regionOfPixel.end());
    state.RegionMap.resize(static_cast<size_t>(state.pixelCount), 0);
    state.RegionCount = static_cast<int32_t>(means.size());
    for (const LuvColour& mean : means)
        state.RegionTable.push_back({1, mean});
    state.RegionNeighbours.Assign(std::vector<int32_t>(means.size() + 1, 0), {});
    return state;
}

TEST(Prototypes, ThresholdIsPixelCountOverTenThousand) {
    EXPECT_EQ(PrototypeThreshold(640 * 480), 30.0f);
    EXPECT_EQ(PrototypeThreshold(9999), 0.0f);
    EXPECT_EQ(PrototypeThreshold(10000), 1.0f);
    EXPECT_EQ(PrototypeThreshold(0), 0.0f);
}

TEST(Prototypes, NearestDistanceIsSquaredAndCappedByAMillion) {
    const std::vector<RegionInfo> table = {{1, {0, 0, 0}}, {1, {3, 4, 0}}, {1, {10, 0, 0}}};
    EXPECT_EQ(NearestPrototypeDistance({0, 0, 0}, {}, table), 1000000.0f);
    EXPECT_EQ(NearestPrototypeDistance({0, 0, 0}, std::vector<int32_t>{1, 2}, table), 25.0f);
    EXPECT_EQ(NearestPrototypeDistance({2000, 0, 0}, std::vector<int32_t>{0}, table), 1000000.0f);
}

TEST(Prototypes, MarkScanFollowsItsRules) {
    // Regions 0..4 with means along u; pixel i belongs to region regionOf[i].
    const std::vector<LuvColour> means = {
        {50, 0, 0}, {50, 0, 0}, {50, 0.5f, 0}, {50, 20, 0}, {50, 40, 0}};
    const EngineState state = RowState({0, 0, 1, 2, 3, 3, 4, 4}, means);
    struct Case {
        const char* name;
        std::vector<uint8_t> marks;
        std::vector<uint8_t> labels;
        std::vector<int32_t> foreground, background;
    };
    const Case cases[] = {
        {"no marks", {0, 0, 0, 0, 0, 0, 0, 0}, {0, 0, 0, 0, 0}, {}, {}},
        {"a stroke inside one region gives one prototype",
         {1, 1, 0, 0, 0, 0, 0, 0},
         {1, 0, 0, 0, 0},
         {0},
         {}},
        {"a region equal to a prototype adds nothing, a different one does (threshold 0)",
         {1, 1, 1, 1, 0, 0, 0, 0},
         {1, 1, 1, 0, 0},
         {0, 2},
         {}},
        {"values other than 1 and 2 are no marks",
         {3, 255, 0, 0, 7, 0, 0, 0},
         {0, 0, 0, 0, 0},
         {},
         {}},
        {"background first, then foreground: label 1, in both sets",
         {0, 0, 0, 0, 2, 1, 0, 0},
         {0, 0, 0, 1, 0},
         {3},
         {3}},
        {"foreground first, then background: label 1, foreground set only",
         {0, 0, 0, 0, 1, 2, 2, 0},
         {0, 0, 0, 1, 2},
         {3},
         {4}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const MarkedRegions marked = ScanMarks(state, c.marks.data());
        EXPECT_EQ(marked.labels, c.labels);
        EXPECT_EQ(marked.foreground, c.foreground);
        EXPECT_EQ(marked.background, c.background);
    }
}

TEST(Prototypes, ThresholdThirtyOnA640x480Image) {
    // Squared distances 25 (not above 30) and 30.25 (above) from the first prototype.
    EngineState state = RowState({0, 1, 2}, {{50, 0, 0}, {50, 5, 0}, {50, 5.5f, 0}}, 640, 480);
    std::vector<uint8_t> marks(640 * 480, 0);
    marks[0] = marks[1] = marks[2] = 1;
    EXPECT_EQ(ScanMarks(state, marks.data()).foreground, (std::vector<int32_t>{0, 2}));
}

TEST(GraphCut, RegionTermsFromLabelsAndPrototypeDistances) {
    const EngineState state =
        RowState({0, 1, 2, 3}, {{10, 0, 0}, {20, 0, 0}, {13, 0, 0}, {90, 0, 0}});
    MarkedRegions marked;
    marked.labels = {1, 2, 0, 0};
    marked.foreground = {0};
    marked.background = {1};
    const auto terms = ComputeRegionTerms(state, marked);
    ASSERT_EQ(terms.size(), 4u);
    EXPECT_EQ(terms[0].foregroundCost, 0.0f);
    EXPECT_EQ(terms[0].backgroundCost, 1e10f);
    EXPECT_EQ(terms[1].foregroundCost, 1e10f);
    EXPECT_EQ(terms[1].backgroundCost, 0.0f);
    // dF = 9, dB = 49: leans to the foreground.
    EXPECT_EQ(terms[2].foregroundCost, float(9.0 / 58.0));
    EXPECT_EQ(terms[2].backgroundCost, float(1.0 - double(float(9.0 / 58.0))));
    EXPECT_EQ(terms[3].region, 3);

    MarkedRegions none;
    none.labels = {0, 0, 0, 0};
    for (const RegionTerm& term : ComputeRegionTerms(state, none)) {
        EXPECT_EQ(term.foregroundCost, 0.5f);
        EXPECT_EQ(term.backgroundCost, 0.5f);
    }
    // A region whose mean equals a prototype of each side: both costs 0.
    MarkedRegions tie;
    tie.labels = {0, 0, 0, 0};
    tie.foreground = {2};
    tie.background = {2};
    EXPECT_EQ(ComputeRegionTerms(state, tie)[2].foregroundCost, 0.0f);
    EXPECT_EQ(ComputeRegionTerms(state, tie)[2].backgroundCost, 0.0f);
}

TEST(GraphCut, NeighbourWeightsFallWithColourDistance) {
    EngineState state = RowState({0, 1, 2}, {{50, 0, 0}, {50, 0, 0}, {50, 0, 9.9498743f}});
    state.RegionNeighbours.Assign({0, 2, 2, 2}, {{1, 7}, {2, 7}});
    const auto terms = ComputeNeighbourTerms(state);
    ASSERT_EQ(terms.size(), 2u);
    EXPECT_EQ(terms[0].lower, 0);
    EXPECT_EQ(terms[0].higher, 1);
    EXPECT_EQ(terms[0].weight, 700.0f);
    const float D = SquaredLuvDistance(state.RegionTable[0].mean, state.RegionTable[2].mean);
    EXPECT_NEAR(D, 99.0f, 1e-4f);
    EXPECT_EQ(terms[1].weight, float(700.0 / (double(D) + 1.0)));
    EXPECT_NEAR(terms[1].weight, 7.0f, 1e-5f);
}

TEST(GraphCut, UnconnectedRegionWithEqualCostsEndsBackground) {
    const std::vector<RegionTerm> regions = {{0, 0.0f, 0.0f}, {1, 0.5f, 0.5f}, {2, 0.2f, 0.8f}};
    EXPECT_EQ(SolveRegionCut(regions, {}), (std::vector<uint8_t>{0, 0, 1}));
}

// Runs the real pre-segmentation and cut on a picture.
struct Cut {
    std::vector<uint8_t> selection;
    std::vector<uint8_t> pixels;
};

Cut RunCut(EngineState& state, const Picture& picture, const std::vector<uint8_t>& marks) {
    Cut cut{std::vector<uint8_t>(picture.PixelCount(), 0xEE), picture.pixels};
    RunLazy(state, marks.data(), cut.pixels.data(), cut.selection.data());
    return cut;
}

void Stroke(std::vector<uint8_t>& marks, int width, int x0, int x1, int y, uint8_t mark) {
    for (int x = x0; x <= x1; ++x)
        marks[static_cast<size_t>(y) * width + x] = mark;
}

class LazyOnPicture : public ::testing::Test {
  protected:
    void SetUp() override {
        picture = ObjectOnBackground(80, 60);
        ASSERT_EQ(RunWatershed(state, picture.pixels.data(), picture.width, picture.height), 0);
        marks.assign(picture.PixelCount(), 0);
    }
    Picture picture;
    EngineState state;
    std::vector<uint8_t> marks;
};

TEST_F(LazyOnPicture, NoMarksSelectNothingAndDrawNothing) {
    const Cut cut = RunCut(state, picture, marks);
    EXPECT_EQ(cut.selection, std::vector<uint8_t>(picture.PixelCount(), 0));
    EXPECT_EQ(cut.pixels, picture.pixels);
}

TEST_F(LazyOnPicture, OneSideOnlySelectsAllOrNothing) {
    Stroke(marks, 80, 35, 45, 30, 1);
    EXPECT_EQ(RunCut(state, picture, marks).selection,
              std::vector<uint8_t>(picture.PixelCount(), 1));
    Stroke(marks, 80, 35, 45, 30, 2);
    EXPECT_EQ(RunCut(state, picture, marks).selection,
              std::vector<uint8_t>(picture.PixelCount(), 0));
}

TEST_F(LazyOnPicture, OneStrokeEachSelectsTheObjectExactly) {
    Stroke(marks, 80, 34, 46, 30, 1);
    Stroke(marks, 80, 3, 76, 4, 2);
    const Cut cut = RunCut(state, picture, marks);
    // Pixels on the object's edge lie on a gradient ridge, which joins one side by the flooding's
    // neighbour order and the noise; every other pixel is exact.
    int edgeMisses = 0;
    for (int y = 0; y < 60; ++y) {
        for (int x = 0; x < 80; ++x) {
            const size_t p = static_cast<size_t>(y) * 80 + x;
            if (cut.selection[p] == picture.inside[p]) continue;
            const bool onEdge = picture.inside[p - 1] != picture.inside[p] ||
                                picture.inside[p + 1] != picture.inside[p] ||
                                picture.inside[p - 80] != picture.inside[p] ||
                                picture.inside[p + 80] != picture.inside[p];
            EXPECT_TRUE(onEdge) << x << "," << y;
            edgeMisses += onEdge;
        }
    }
    EXPECT_LT(edgeMisses, 40);

    // The outlines drawn are exactly those ShowLines draws.
    std::vector<uint8_t> outlined = picture.pixels;
    DrawMarkOutlines(marks.data(), outlined.data(), picture.width, picture.height);
    EXPECT_EQ(cut.pixels, outlined);

    // Same marks, same answer, also after other cuts.
    EXPECT_EQ(RunCut(state, picture, marks).selection, cut.selection);
    std::vector<uint8_t> other(picture.PixelCount(), 0);
    Stroke(other, 80, 10, 20, 50, 1);
    RunCut(state, picture, other);
    const Cut again = RunCut(state, picture, marks);
    EXPECT_EQ(again.selection, cut.selection);
    EXPECT_EQ(again.pixels, cut.pixels);
}

TEST(Lazy, SelectsAnObjectWithCleanEdgesExactly) {
    // Without noise both pixels of an edge's ridge have one level and each joins the side it
    // touches, so the cut follows the edges to the pixel. Only at the corners, where the gradient
    // is diagonal and lower, does a ridge pixel go by the neighbour order.
    const Picture picture = ObjectOnBackground(64, 48, 3, 0, mirrask::testing::Shape::Rectangle);
    EngineState state;
    ASSERT_EQ(RunWatershed(state, picture.pixels.data(), 64, 48), 0);
    std::vector<uint8_t> marks(picture.PixelCount(), 0);
    Stroke(marks, 64, 28, 36, 24, 1);
    Stroke(marks, 64, 2, 60, 3, 2);
    const auto selection = RunCut(state, picture, marks).selection;
    int misses = 0;
    for (int y = 0; y < 48; ++y) {
        for (int x = 0; x < 64; ++x) {
            const size_t p = static_cast<size_t>(y) * 64 + x;
            if (selection[p] == picture.inside[p]) continue;
            ++misses;
            const bool nearCorner = (std::abs(x - 16) <= 2 || std::abs(x - 47) <= 2) &&
                                    (std::abs(y - 12) <= 2 || std::abs(y - 35) <= 2);
            EXPECT_TRUE(nearCorner) << x << "," << y;
        }
    }
    EXPECT_LE(misses, 8);
}

TEST_F(LazyOnPicture, MarkedPixelsKeepTheirSideInsideARegionMarkedBothWays) {
    // Mark the same region both ways: it ends foreground as a whole, the pixels keep their marks.
    const size_t centre = 30 * 80 + 40;
    const int32_t region = state.RegionMap[centre];
    std::vector<size_t> pixelsOfRegion;
    for (size_t p = 0; p < picture.PixelCount(); ++p) {
        if (state.RegionMap[p] == region) pixelsOfRegion.push_back(p);
    }
    ASSERT_GE(pixelsOfRegion.size(), 3u);
    marks[pixelsOfRegion[0]] = 2;
    marks[pixelsOfRegion[1]] = 1;
    const Cut cut = RunCut(state, picture, marks);
    EXPECT_EQ(cut.selection[pixelsOfRegion[0]], 0);
    EXPECT_EQ(cut.selection[pixelsOfRegion[1]], 1);
    EXPECT_EQ(cut.selection[pixelsOfRegion[2]], 1);
}

TEST(Lazy, BeforeAnyWatershedWritesNothing) {
    EngineState fresh;
    std::vector<uint8_t> marks(16, 1), pixels(48, 9), selection(16, 0xEE);
    RunLazy(fresh, marks.data(), pixels.data(), selection.data());
    EXPECT_EQ(pixels, std::vector<uint8_t>(48, 9));
    EXPECT_EQ(selection, std::vector<uint8_t>(16, 0xEE));
}

void* FailingAllocator(void*, std::size_t) {
    return nullptr;
}

TEST(Lazy, ExhaustedGraphStorageLeavesSelectionZeroAndPixelsUnchanged) {
    const Picture picture = ObjectOnBackground(40, 30);
    ASSERT_EQ(Watershed(picture.pixels.data(), picture.width, picture.height), 0);
    std::vector<uint8_t> marks(picture.PixelCount(), 0);
    Stroke(marks, 40, 17, 23, 15, 1);
    Stroke(marks, 40, 2, 37, 2, 2);
    std::vector<uint8_t> pixels = picture.pixels;
    std::vector<uint8_t> expected(picture.PixelCount(), 0xEE);
    Lazy(marks.data(), pixels.data(), expected.data());
    ASSERT_NE(expected, std::vector<uint8_t>(picture.PixelCount(), 0));
    pixels = picture.pixels;
    std::vector<uint8_t> selection(picture.PixelCount(), 0xEE);

    FlowGraph::SetStorageAllocatorForTesting(&FailingAllocator);
    Lazy(marks.data(), pixels.data(), selection.data());
    FlowGraph::SetStorageAllocatorForTesting(nullptr);
    EXPECT_EQ(selection, std::vector<uint8_t>(picture.PixelCount(), 0));
    EXPECT_EQ(pixels, picture.pixels);

    // The engine still works afterwards.
    Lazy(marks.data(), pixels.data(), selection.data());
    EXPECT_EQ(selection, expected);
}

}  // namespace
}  // namespace mirrask
