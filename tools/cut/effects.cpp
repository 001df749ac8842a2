#include "effects.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>
#include <utility>

#include "imaging/background_effects.h"
#include "imaging/layer_resize.h"

namespace cut {

namespace {

// Writes the selection into the model's mask as the window does after a computation: 255 where
// selected, 0 elsewhere, then the bounding box and "has a selection" from the values.
void AdoptSelection(imaging::ImageModel& model, std::span<const uint8_t> selection) {
    imaging::SelectionMask& mask = model.Mask();
    if (selection.size() != size_t(mask.Width()) * size_t(mask.Height()))
        throw std::invalid_argument("selection and image differ in size");
    uint8_t* values = mask.MutableData();
    for (size_t p = 0; p < selection.size(); ++p)
        values[p] = selection[p] == 1 ? 255 : 0;
    mask.RecomputeBoundingBox();
    model.AdoptMask();
}

// Runs one of the window's background effects on the image with the selection as the object.
template <typename Effect>
imaging::Bitmap ApplyToBackground(const imaging::Bitmap& image, std::span<const uint8_t> selection,
                                  Effect effect) {
    if (SelectionCoverage(selection) == Coverage::All) return image;
    imaging::ImageModel model = MainViewWithSelection(image, selection);
    effect(model);
    return std::move(model.CurrentBitmap());
}

}  // namespace

Coverage SelectionCoverage(std::span<const uint8_t> selection) {
    const size_t selected = size_t(std::count(selection.begin(), selection.end(), uint8_t{1}));
    if (selected == 0) return Coverage::None;
    return selected == selection.size() ? Coverage::All : Coverage::Part;
}

imaging::ImageModel MainViewWithSelection(const imaging::Bitmap& image,
                                          std::span<const uint8_t> selection) {
    imaging::ImageModel model;
    model.SetMaskDepthTo8Bits();
    model.LoadIntoCurrentLayer(image);
    AdoptSelection(model, selection);
    model.ShowSelection(false);
    return model;
}

std::vector<uint8_t> SelectionMaskValues(std::span<const uint8_t> selection) {
    std::vector<uint8_t> values(selection.size());
    std::transform(selection.begin(), selection.end(), values.begin(),
                   [](uint8_t selected) { return selected == 1 ? uint8_t{255} : uint8_t{0}; });
    return values;
}

imaging::Bitmap FillBackground(const imaging::Bitmap& image, std::span<const uint8_t> selection,
                               imaging::Rgb colour, uint8_t opacity, double feather) {
    return ApplyToBackground(image, selection, [&](imaging::ImageModel& model) {
        imaging::FillBackground(model, opacity, feather, colour);
    });
}

imaging::Bitmap RemoveBackground(const imaging::Bitmap& image, std::span<const uint8_t> selection,
                                 double feather) {
    return ApplyToBackground(image, selection, [&](imaging::ImageModel& model) {
        imaging::RemoveBackground(model, feather);
    });
}

imaging::Bitmap BlurBackground(const imaging::Bitmap& image, std::span<const uint8_t> selection,
                               double sigma) {
    return ApplyToBackground(image, selection, [&](imaging::ImageModel& model) {
        imaging::BlurBackground(model, sigma);
    });
}

imaging::Bitmap ReplaceBackground(const imaging::Bitmap& image, std::span<const uint8_t> selection,
                                  imaging::Bitmap background, const ObjectPlacement& placement) {
    // Nothing selected: the window would crop nothing and lay the whole image over the
    // background; without an object the composite is the background.
    if (SelectionCoverage(selection) == Coverage::None) return background;

    imaging::ImageModel view;
    view.SetMaskDepthTo8Bits();
    view.LoadIntoCurrentLayer(std::move(background));
    view.AddLayer();
    view.LoadIntoCurrentLayer(image);
    AdoptSelection(view, selection);
    view.PushSelection();
    view.CropCurrentLayerToSelection();
    view.PopSelectionAfterCrop();

    imaging::Layer& object = view.LayerAt(1);
    const int width = object.bitmap.Width();
    const int height = object.bitmap.Height();
    // The size the user would reach by dragging the corner grip with the aspect lock on.
    const double scaledWidth = std::nearbyint(double(width) * placement.scale);
    const int targetWidth = int(std::clamp(scaledWidth, 1.0, double(1 << 30)));
    const imaging::LayerFrame frame =
        imaging::ResizeLayerFrame({0, 0, width, height}, imaging::Grip::BottomRight,
                                  targetWidth - width, 0, true, width, height);
    object.x = placement.at.x;
    object.y = placement.at.y;
    object.displayWidth = frame.width;
    object.displayHeight = frame.height;
    if (placement.opacity) {
        view.MakeLayerCurrent(1);
        view.SetSelectedAlpha(*placement.opacity);
    }
    view.Deselect();
    view.MergeFirstTwoLayers();
    return std::move(view.LayerAt(0).bitmap);
}

}  // namespace cut
