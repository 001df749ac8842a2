#include <gtest/gtest.h>

#include "imaging/background_effects.h"
#include "imaging/image_model.h"
#include "test_images.h"

namespace imaging {
namespace {

using testing::PatternBitmap;

constexpr int kWidth = 24, kHeight = 18;

bool InObject(int x, int y) {
    return x >= 8 && x < 16 && y >= 6 && y < 12;
}

// A view holding the pattern with the object (a rectangle) selected at 255, as after a cut.
ImageModel ViewWithObjectSelected() {
    ImageModel model;
    model.SetMaskDepthTo8Bits();
    model.LoadIntoCurrentLayer(PatternBitmap(kWidth, kHeight));
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x)
            model.SetMaskPixel(x, y, InObject(x, y) ? 255 : 0);
    model.AdoptMask();
    return model;
}

TEST(BackgroundEffects, WorkOnTheBackgroundAndKeepTheSelection) {
    const Bitmap original = PatternBitmap(kWidth, kHeight);
    const Rgb colour{30, 200, 90};
    struct Case {
        const char* name;
        void (*apply)(ImageModel&);
        bool objectUntouched;
    };
    const Case cases[] = {
        {"fill, opacity 255, no feathering",
         [](ImageModel& m) {
             FillBackground(m, 255, 0.0, Rgb{30, 200, 90});
         },
         true},
        {"fill, opacity 0, radius 2",
         [](ImageModel& m) {
             FillBackground(m, 0, 2.0, Rgb{30, 200, 90});
         },
         false},
        {"remove, radius 1", [](ImageModel& m) { RemoveBackground(m, 1.0); }, false},
        {"blur, sigma 2", [](ImageModel& m) { BlurBackground(m, 2.0); }, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ImageModel model = ViewWithObjectSelected();
        const auto before = model.CurrentSelection();
        c.apply(model);
        EXPECT_TRUE(model.CurrentSelection() == before);
        for (int y = 0; y < kHeight; ++y) {
            for (int x = 0; x < kWidth; ++x) {
                const Rgb now = model.CurrentBitmap().PixelAt(x, y);
                if (InObject(x, y)) {
                    EXPECT_EQ(model.CurrentBitmap().AlphaAt(x, y), 255);
                    if (c.objectUntouched) {
                        EXPECT_EQ(now, original.PixelAt(x, y));
                    }
                }
            }
        }
    }

    // The exact fill: each background channel reaches the colour or ends one below it.
    ImageModel filled = ViewWithObjectSelected();
    FillBackground(filled, 255, 0.0, colour);
    const Rgb corner = filled.CurrentBitmap().PixelAt(0, 0);
    const Rgb was = original.PixelAt(0, 0);
    EXPECT_EQ(corner.red, colour.red > was.red ? colour.red - 1 : colour.red);
    EXPECT_EQ(corner.green, colour.green > was.green ? colour.green - 1 : colour.green);
    EXPECT_EQ(corner.blue, colour.blue > was.blue ? colour.blue - 1 : colour.blue);

    // Remove: the background is transparent and white.
    ImageModel removed = ViewWithObjectSelected();
    RemoveBackground(removed, 1.0);
    EXPECT_EQ(removed.CurrentBitmap().AlphaAt(0, 0), 0);
    const Rgb white = removed.CurrentBitmap().PixelAt(0, 0);
    EXPECT_GE(white.red, 254);
    EXPECT_GE(white.green, 254);
    EXPECT_GE(white.blue, 254);
}

}  // namespace
}  // namespace imaging
