// Marks of quillane-cut: painted marks images, grey mark-value images and rectangles.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "marks.h"

namespace cut {
namespace {

using imaging::Bitmap;
using imaging::Rgb;

TEST(CutMarks, PaintedMarksArePureRedAndPureGreenOnly) {
    struct Case {
        Rgb colour;
        uint8_t alpha;
        uint8_t mark;
    };
    const std::vector<Case> cases{
        {{255, 0, 0}, 255, kForegroundMark},
        {{0, 255, 0}, 255, kBackgroundMark},
        {{254, 0, 0}, 255, 0},
        {{255, 1, 0}, 255, 0},
        {{255, 0, 1}, 255, 0},
        {{1, 255, 0}, 255, 0},
        {{0, 254, 0}, 255, 0},
        {{0, 255, 1}, 255, 0},
        {{0, 0, 255}, 255, 0},
        {{255, 0, 0}, 0, 0},  // transparent: no mark whatever its colour
        {{0, 255, 0}, 1, kBackgroundMark},
        {{1, 1, 1}, 255, 0},
        {{255, 255, 255}, 255, 0},
    };
    Bitmap marks(int(cases.size()), 1);
    uint8_t* alpha = marks.AlphaForWriting();
    for (size_t i = 0; i < cases.size(); ++i) {
        marks.SetPixel(int(i), 0, cases[i].colour);
        alpha[i] = cases[i].alpha;
    }
    ASSERT_FALSE(IsMarkValueImage(marks));
    const std::vector<uint8_t> map = MarkMapFromImage(marks);
    ASSERT_EQ(map.size(), cases.size());
    for (size_t i = 0; i < cases.size(); ++i)
        EXPECT_EQ(map[i], cases[i].mark) << "case " << i;
}

TEST(CutMarks, GreyImagesHoldMarkValues) {
    const std::vector<uint8_t> values{0, 1, 2, 3, 255, 2, 1};
    Bitmap marks(int(values.size()), 1);
    for (size_t i = 0; i < values.size(); ++i)
        marks.SetPixel(int(i), 0, Rgb{values[i], values[i], values[i]});
    ASSERT_TRUE(IsMarkValueImage(marks));
    EXPECT_EQ(MarkMapFromImage(marks), (std::vector<uint8_t>{0, 1, 2, 0, 0, 2, 1}));

    // A single coloured pixel makes it a painting, in which grey values mark nothing.
    marks.SetPixel(3, 0, Rgb{255, 0, 0});
    EXPECT_FALSE(IsMarkValueImage(marks));
    EXPECT_EQ(MarkMapFromImage(marks), (std::vector<uint8_t>{0, 0, 0, 1, 0, 0, 0}));

    // ... unless that pixel is fully transparent.
    marks.AlphaForWriting()[3] = 0;
    EXPECT_TRUE(IsMarkValueImage(marks));
    EXPECT_EQ(MarkMapFromImage(marks), (std::vector<uint8_t>{0, 1, 2, 0, 0, 2, 1}));
}

TEST(CutMarks, RectanglesAreClippedAndLaterOnesWin) {
    std::vector<uint8_t> map(5 * 4, 0);
    map[0] = kBackgroundMark;
    const std::vector<MarkRect> rects{{-2, -1, 4, 3, kForegroundMark},
                                      {1, 1, 100, 100, kBackgroundMark}};
    ASSERT_EQ(ApplyMarkRects(map, 5, 4, rects), "");
    const std::vector<uint8_t> expected{
        1, 1, 0, 0, 0,  //
        1, 2, 2, 2, 2,  //
        0, 2, 2, 2, 2,  //
        0, 2, 2, 2, 2,  //
    };
    EXPECT_EQ(map, expected);
    const MarkCounts counts = CountMarks(map);
    EXPECT_EQ(counts.foreground, 3u);
    EXPECT_EQ(counts.background, 12u);
}

TEST(CutMarks, RectanglesOutsideTheImageAreRefusedAndChangeNothing) {
    for (const MarkRect& outside :
         {MarkRect{5, 0, 1, 1, kForegroundMark}, MarkRect{0, 4, 3, 3, kForegroundMark},
          MarkRect{-3, 0, 3, 1, kBackgroundMark}, MarkRect{0, -2, 1, 2, kBackgroundMark}}) {
        std::vector<uint8_t> map(5 * 4, 0);
        const std::vector<MarkRect> rects{{0, 0, 2, 2, kForegroundMark}, outside};
        const std::string error = ApplyMarkRects(map, 5, 4, rects);
        EXPECT_NE(error.find("lies outside the image (5 x 4)"), std::string::npos) << error;
        EXPECT_EQ(CountMarks(map).foreground, 0u);
    }
}

}  // namespace
}  // namespace cut
