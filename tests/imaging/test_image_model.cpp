#include "imaging/image_model.h"

#include <gtest/gtest.h>

#include <limits>

#include "imaging/feather.h"
#include "test_images.h"

namespace imaging {
namespace {

using testing::PatternBitmap;

// A model holding one w x h image with the selection `inside` at 255, adopted.
template <typename Inside>
ImageModel ModelWithSelection(int width, int height, Inside inside) {
    ImageModel model;
    model.LoadIntoCurrentLayer(PatternBitmap(width, height));
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            if (inside(x, y)) model.SetMaskPixel(x, y, 255);
    model.AdoptMask();
    return model;
}

TEST(ImageModel, StartsWithOneEmptyLayerAndNothingSelected) {
    const ImageModel model;
    EXPECT_EQ(model.LayerCount(), 1);
    EXPECT_EQ(model.CurrentLayerIndex(), 0);
    EXPECT_TRUE(model.CurrentBitmap().IsEmpty());
    EXPECT_FALSE(model.HasSelection());
    EXPECT_TRUE(model.Mask().IsEmpty());
    EXPECT_EQ(model.SelectionStackDepth(), 0u);
    EXPECT_EQ(model.Background(), kViewBackground);
}

TEST(ImageModel, LoadingSizesTheMaskAndDropsASelectionOfAnotherSize) {
    ImageModel model = ModelWithSelection(6, 4, [](int x, int) { return x < 3; });
    EXPECT_TRUE(model.HasSelection());
    model.LoadIntoCurrentLayer(PatternBitmap(6, 4));  // same size: the selection stays
    EXPECT_TRUE(model.HasSelection());
    model.LoadIntoCurrentLayer(PatternBitmap(9, 2));
    EXPECT_EQ(model.Mask().Width(), 9);
    EXPECT_EQ(model.Mask().Height(), 2);
    EXPECT_TRUE(model.Mask().IsEmpty());
    EXPECT_FALSE(model.HasSelection());
    EXPECT_EQ(model.CurrentLayer().displayWidth, 9);
}

TEST(ImageModel, AdoptingSelectsExactlyWhenTheMaskIsNotEmpty) {
    ImageModel model;
    model.LoadIntoCurrentLayer(Bitmap(3, 3));
    model.AdoptMask();
    EXPECT_FALSE(model.HasSelection());
    model.SetMaskPixel(1, 1, 255);
    model.SetMaskPixel(1, 1, 0);
    model.AdoptMask();  // all 0 but not empty
    EXPECT_TRUE(model.HasSelection());
    model.Deselect();
    EXPECT_FALSE(model.HasSelection());
    EXPECT_TRUE(model.Mask().IsEmpty());
}

TEST(ImageModel, InvertingAFullSelectionDeselectsOtherwiseKeepsTheSelectedState) {
    ImageModel all = ModelWithSelection(4, 4, [](int, int) { return true; });
    all.InvertSelection();
    EXPECT_FALSE(all.HasSelection());
    EXPECT_TRUE(all.Mask().IsEmpty());

    ImageModel part = ModelWithSelection(4, 4, [](int x, int) { return x == 0; });
    part.InvertSelection();
    EXPECT_TRUE(part.HasSelection());
    EXPECT_EQ(part.Mask().Box(), (BoundingBox{1, 0, 3, 3}));

    ImageModel none;
    none.LoadIntoCurrentLayer(Bitmap(4, 4));
    none.InvertSelection();
    EXPECT_FALSE(none.HasSelection());
    EXPECT_TRUE(none.Mask().IsEmpty());
}

TEST(ImageModel, SettingTheMaskDepthDeselectsASelection) {
    ImageModel model = ModelWithSelection(4, 4, [](int x, int) { return x == 0; });
    model.SetMaskDepthTo8Bits();
    EXPECT_FALSE(model.HasSelection());
    EXPECT_TRUE(model.Mask().IsEmpty());
}

TEST(ImageModel, PopRestoresExactlyWhatWasPushedLastInFirstOut) {
    ImageModel model = ModelWithSelection(7, 5, [](int x, int y) { return x > y; });
    model.SetMaskPixel(0, 4, 90);
    const Selection first = model.CurrentSelection();
    model.PushSelection();
    model.InvertSelection();
    FeatherMask(model.Mask(), 1.0);
    const Selection second = model.CurrentSelection();
    model.PushSelection();
    model.Deselect();
    EXPECT_EQ(model.SelectionStackDepth(), 2u);

    model.PopSelection();
    EXPECT_EQ(model.CurrentSelection(), second);
    model.PopSelection();
    EXPECT_EQ(model.CurrentSelection(), first);
    EXPECT_EQ(model.Mask().Box(), first.mask.Box());
    EXPECT_TRUE(model.HasSelection());

    model.PopSelection();  // empty stack: nothing happens
    EXPECT_EQ(model.CurrentSelection(), first);
}

TEST(ImageModel, PopKeepsAnEmptyButSelectedStateAsPushed) {
    ImageModel model;
    model.LoadIntoCurrentLayer(Bitmap(3, 3));
    model.PushSelection();
    model.SetMaskPixel(0, 0, 255);
    model.AdoptMask();
    model.PopSelection();
    EXPECT_FALSE(model.HasSelection());
    EXPECT_TRUE(model.Mask().IsEmpty());
}

TEST(ImageModel, CropAndPopLineTheSelectionUpWithTheCroppedLayer) {
    // Object: an L in the box columns 3..6, rows 2..4 of a 10 x 8 image.
    auto object = [](int x, int y) {
        return (x == 3 && y >= 2 && y <= 4) || (y == 4 && x >= 3 && x <= 6);
    };
    ImageModel model = ModelWithSelection(10, 8, object);
    model.CurrentLayer().x = 5;
    const Bitmap original = model.CurrentBitmap();
    model.PushSelection();
    model.CropCurrentLayerToSelection();
    model.PopSelectionAfterCrop();

    const Bitmap& layer = model.CurrentBitmap();
    ASSERT_EQ(layer.Width(), 4);
    ASSERT_EQ(layer.Height(), 3);
    EXPECT_EQ(model.CurrentLayer().x, 5);  // position unchanged
    EXPECT_EQ(model.CurrentLayer().displayWidth, 4);
    ASSERT_EQ(model.Mask().Width(), 4);
    ASSERT_EQ(model.Mask().Height(), 3);
    EXPECT_TRUE(model.HasSelection());
    EXPECT_EQ(model.Mask().Box(), (BoundingBox{0, 0, 3, 2}));
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 4; ++x) {
            const bool inside = object(x + 3, y + 2);
            EXPECT_EQ(model.Mask().At(x, y), inside ? 255 : 0) << x << "," << y;
            EXPECT_EQ(layer.AlphaAt(x, y), inside ? 255 : 0);
            if (inside) {
                const Rgb s = original.PixelAt(x + 3, y + 2), p = layer.PixelAt(x, y);
                // Channels not above the ground colour stay, others lose at most one unit.
                for (auto [sv, pv] :
                     {std::pair{s.red, p.red}, {s.green, p.green}, {s.blue, p.blue}})
                    EXPECT_TRUE(sv <= 240 ? pv == sv : pv == sv - 1 || pv == sv);
            }
        }
    EXPECT_EQ(model.SelectionStackDepth(), 0u);
}

TEST(ImageModel, CropWithNothingSelectedKeepsTheLayerAndPopLeavesNothingSelected) {
    ImageModel model;
    model.LoadIntoCurrentLayer(PatternBitmap(5, 4));
    const Bitmap original = model.CurrentBitmap();
    model.AdoptMask();
    model.PushSelection();
    model.CropCurrentLayerToSelection();
    model.PopSelectionAfterCrop();
    EXPECT_EQ(model.CurrentBitmap(), original);
    EXPECT_TRUE(model.Mask().IsEmpty());
    EXPECT_EQ(model.Mask().Width(), 5);
    EXPECT_FALSE(model.HasSelection());
}

TEST(ImageModel, LayersAddMakeCurrentAndRemove) {
    ImageModel model;
    model.LoadIntoCurrentLayer(PatternBitmap(6, 3));
    EXPECT_EQ(model.AddLayer(), 1);
    EXPECT_EQ(model.CurrentLayerIndex(), 1);
    EXPECT_EQ(model.CurrentBitmap().Width(), 6);
    EXPECT_EQ(model.CurrentBitmap().Height(), 3);
    EXPECT_EQ(model.CurrentLayer().transparency, 255);

    model.MakeLayerCurrent(5);  // invalid: ignored
    model.MakeLayerCurrent(-1);
    EXPECT_EQ(model.CurrentLayerIndex(), 1);
    model.LoadIntoCurrentLayer(PatternBitmap(2, 2));
    EXPECT_EQ(model.Mask().Width(), 2);
    model.MakeLayerCurrent(0);
    EXPECT_EQ(model.Mask().Width(), 6);  // the mask follows the current layer's size

    model.LayerAt(0).x = -4;
    model.LayerAt(0).displayWidth = 12;
    model.LayerAt(0).transparency = 9;
    model.MakeLayerCurrent(1);
    model.RemoveAllLayersButFirst();
    EXPECT_EQ(model.LayerCount(), 1);
    EXPECT_EQ(model.CurrentLayerIndex(), 0);
    EXPECT_EQ(model.CurrentLayer().x, 0);
    EXPECT_EQ(model.CurrentLayer().displayWidth, 6);
    EXPECT_EQ(model.CurrentLayer().transparency, 255);
    EXPECT_THROW(model.LayerAt(1), std::out_of_range);
}

TEST(ImageModel, MergesTheFirstTwoLayersOnly) {
    ImageModel model;
    EXPECT_FALSE(model.MergeFirstTwoLayers());
    model.LoadIntoCurrentLayer(Bitmap(4, 4, Rgb{1, 1, 1}));
    model.AddLayer();
    model.LoadIntoCurrentLayer(Bitmap(2, 2, Rgb{9, 9, 9}));
    model.CurrentLayer().x = 3;
    ASSERT_TRUE(model.MergeFirstTwoLayers());
    EXPECT_EQ(model.LayerCount(), 1);
    EXPECT_EQ(model.CurrentLayerIndex(), 0);
    EXPECT_EQ(model.CurrentBitmap().Width(), 5);
    EXPECT_EQ(model.CurrentBitmap().PixelAt(4, 1), (Rgb{9, 9, 9}));
    EXPECT_EQ(model.CurrentBitmap().PixelAt(4, 3), kViewBackground);
    EXPECT_EQ(model.CurrentBitmap().AlphaAt(4, 3), 0);
    EXPECT_EQ(model.Mask().Width(), 5);
    EXPECT_FALSE(model.MergeFirstTwoLayers());
}

TEST(ImageModel, EffectsActOnTheCurrentLayerThroughTheMask) {
    ImageModel model = ModelWithSelection(6, 6, [](int x, int) { return x >= 3; });
    model.SetSelectedAlpha(40);
    EXPECT_EQ(model.CurrentBitmap().AlphaAt(0, 0), 255);
    EXPECT_EQ(model.CurrentBitmap().AlphaAt(5, 5), 40);
    model.FillSelection(Rgb{0, 0, 0});
    EXPECT_EQ(model.CurrentBitmap().PixelAt(4, 2), (Rgb{0, 0, 0}));
    EXPECT_NE(model.CurrentBitmap().PixelAt(1, 2), (Rgb{0, 0, 0}));

    const SelectionMask before = model.Mask();
    model.FeatherSelection(0.0);
    EXPECT_EQ(model.Mask(), before);
    model.FeatherSelection(1.0);
    EXPECT_NE(model.Mask(), before);

    // Feathering needs a selection: a non-empty mask that was never adopted stays.
    ImageModel unadopted;
    unadopted.LoadIntoCurrentLayer(Bitmap(6, 6));
    unadopted.SetMaskPixel(2, 2, 255);
    const SelectionMask single = unadopted.Mask();
    unadopted.FeatherSelection(2.0);
    EXPECT_EQ(unadopted.Mask(), single);
}

TEST(ImageModel, ZoomIgnoresNonPositiveAndEqualValues) {
    ImageModel model;
    EXPECT_TRUE(model.SetZoom(1e-12));
    EXPECT_DOUBLE_EQ(model.Zoom(), 1e-12);
    EXPECT_FALSE(model.SetZoom(0.0));
    EXPECT_FALSE(model.SetZoom(-5.0));
    EXPECT_FALSE(model.SetZoom(std::numeric_limits<double>::quiet_NaN()));
    EXPECT_FALSE(model.SetZoom(1e-12));
    EXPECT_DOUBLE_EQ(model.Zoom(), 1e-12);
    EXPECT_TRUE(model.SetZoom(63.4));
    EXPECT_DOUBLE_EQ(model.Zoom(), 63.4);
}

}  // namespace
}  // namespace imaging
