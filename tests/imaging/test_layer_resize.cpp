#include "imaging/layer_resize.h"

#include <gtest/gtest.h>

namespace imaging {
namespace {

struct ResizeCase {
    const char* name;
    Grip grip;
    int dx;
    int dy;
    bool keepAspect;
    LayerFrame expected;
};

void PrintTo(const ResizeCase& c, std::ostream* os) {
    *os << c.name;
}

class ResizeLayerFrameCases : public ::testing::TestWithParam<ResizeCase> {};

TEST_P(ResizeLayerFrameCases, MovesTheDraggedSideAndKeepsTheOpposite) {
    const ResizeCase c = GetParam();
    // A 200 x 100 bitmap shown at its size at (10, 20).
    const LayerFrame start{10, 20, 200, 100};
    EXPECT_EQ(ResizeLayerFrame(start, c.grip, c.dx, c.dy, c.keepAspect, 200, 100), c.expected)
        << c.name;
}

INSTANTIATE_TEST_SUITE_P(
    Table, ResizeLayerFrameCases,
    ::testing::Values(
        ResizeCase{"free bottom-right", Grip::BottomRight, 10, 5, false, {10, 20, 210, 105}},
        ResizeCase{"free top-left", Grip::TopLeft, 10, 5, false, {20, 25, 190, 95}},
        ResizeCase{"free top", Grip::Top, 50, -30, false, {10, -10, 200, 130}},
        ResizeCase{"free left collapses to 1", Grip::Left, 500, 0, false, {209, 20, 1, 100}},
        ResizeCase{"locked right", Grip::Right, 100, 0, true, {10, 20, 300, 150}},
        ResizeCase{"locked bottom", Grip::Bottom, 0, 50, true, {10, 20, 300, 150}},
        ResizeCase{"locked left", Grip::Left, 100, 0, true, {110, 20, 100, 50}},
        ResizeCase{
            "locked corner, width leads", Grip::BottomRight, 100, 10, true, {10, 20, 300, 150}},
        ResizeCase{
            "locked corner, height leads", Grip::TopLeft, -20, -100, true, {-190, -80, 400, 200}},
        ResizeCase{"locked tiny", Grip::BottomRight, -199, -99, true, {10, 20, 1, 1}}));

TEST(ResizeLayerFrame, IgnoresTheLockWithoutABitmapSize) {
    const LayerFrame start{0, 0, 10, 10};
    EXPECT_EQ(ResizeLayerFrame(start, Grip::Right, 5, 0, true, 0, 0), (LayerFrame{0, 0, 15, 10}));
}

}  // namespace
}  // namespace imaging
