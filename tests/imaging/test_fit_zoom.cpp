#include "imaging/fit_zoom.h"

#include <gtest/gtest.h>

namespace imaging {
namespace {

TEST(FitZoom, FitsTheTighterSide) {
    EXPECT_DOUBLE_EQ(FitZoom(1000, 500, 634, 521), 63.4);
    EXPECT_DOUBLE_EQ(FitZoom(500, 1042, 634, 521), 50.0);
    EXPECT_DOUBLE_EQ(FitZoom(100, 100, 634, 521), 521.0);  // small images are enlarged
}

TEST(FitZoom, Is100WithoutPixels) {
    EXPECT_DOUBLE_EQ(FitZoom(0, 100, 634, 521), 100.0);
    EXPECT_DOUBLE_EQ(FitZoom(100, 100, 0, 0), 100.0);
}

}  // namespace
}  // namespace imaging
