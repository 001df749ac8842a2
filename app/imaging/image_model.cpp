#include "image_model.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <stdexcept>
#include <utility>

#include "blur.h"
#include "crop.h"
#include "feather.h"
#include "fill.h"
#include "merge.h"
#include "set_alpha.h"

namespace imaging {

ImageModel::ImageModel() : layers_(1) {}

Layer& ImageModel::LayerAt(int index) {
    if (index < 0 || index >= LayerCount()) throw std::out_of_range("ImageModel: no such layer");
    return layers_[size_t(index)];
}

const Layer& ImageModel::LayerAt(int index) const {
    if (index < 0 || index >= LayerCount()) throw std::out_of_range("ImageModel: no such layer");
    return layers_[size_t(index)];
}

void ImageModel::FitMaskToCurrentLayer() {
    const Bitmap& bitmap = CurrentBitmap();
    SelectionMask& mask = selection_.mask;
    if (mask.Width() == bitmap.Width() && mask.Height() == bitmap.Height()) return;
    mask.Resize(bitmap.Width(), bitmap.Height());
    selection_.hasSelection = false;
}

void ImageModel::LoadIntoCurrentLayer(Bitmap bitmap) {
    // A mask of the new size is made before anything changes: if memory runs out, the model stays
    // as it was.
    const bool resize =
        selection_.mask.Width() != bitmap.Width() || selection_.mask.Height() != bitmap.Height();
    SelectionMask fitted =
        resize ? SelectionMask(bitmap.Width(), bitmap.Height()) : SelectionMask();
    Layer& layer = CurrentLayer();
    layer.displayWidth = bitmap.Width();
    layer.displayHeight = bitmap.Height();
    layer.bitmap = std::move(bitmap);
    if (resize) {
        selection_.mask = std::move(fitted);
        selection_.hasSelection = false;
    }
}

void ImageModel::MakeLayerCurrent(int index) {
    if (index < 0 || index >= LayerCount() || index == current_) return;
    current_ = index;
    FitMaskToCurrentLayer();
}

int ImageModel::AddLayer() {
    const Bitmap& model = CurrentBitmap();
    layers_.push_back(Layer::FromBitmap(Bitmap(model.Width(), model.Height())));
    current_ = LayerCount() - 1;
    FitMaskToCurrentLayer();
    return current_;
}

void ImageModel::RemoveAllLayersButFirst() {
    if (LayerCount() <= 1) return;
    layers_.resize(1);
    Layer& first = layers_.front();
    first.x = 0;
    first.y = 0;
    first.displayWidth = first.bitmap.Width();
    first.displayHeight = first.bitmap.Height();
    first.transparency = 255;
    current_ = 0;
    FitMaskToCurrentLayer();
}

void ImageModel::CropCurrentLayerToSelection() {
    if (selection_.mask.IsEmpty()) return;
    Layer& layer = CurrentLayer();
    Bitmap cropped = CropToMask(layer.bitmap, selection_.mask, background_);
    layer.displayWidth = cropped.Width();
    layer.displayHeight = cropped.Height();
    layer.bitmap = std::move(cropped);
    FitMaskToCurrentLayer();
}

bool ImageModel::MergeFirstTwoLayers() {
    if (LayerCount() < 2) return false;
    Layer merged = MergeLayers(layers_[0], layers_[1], background_);
    layers_.erase(layers_.begin() + 1);
    layers_[0] = std::move(merged);
    current_ = 0;
    FitMaskToCurrentLayer();
    return true;
}

void ImageModel::SetMaskDepthTo8Bits() {
    if (selection_.hasSelection) Deselect();
}

void ImageModel::Deselect() {
    selection_.mask.Deselect();
    selection_.hasSelection = false;
}

void ImageModel::InvertSelection() {
    const bool wasEmpty = selection_.mask.IsEmpty();
    selection_.mask.Invert();
    if (!wasEmpty && selection_.mask.IsEmpty()) selection_.hasSelection = false;
}

void ImageModel::PopSelection() {
    if (stack_.empty()) return;
    Selection saved = std::move(stack_.back());
    stack_.pop_back();
    const Bitmap& bitmap = CurrentBitmap();
    if (saved.mask.Width() == bitmap.Width() && saved.mask.Height() == bitmap.Height()) {
        selection_ = std::move(saved);
        return;
    }
    // The layer changed size since the push: keep the values that still fit, top-left aligned.
    SelectionMask fitted(bitmap.Width(), bitmap.Height());
    const int width = std::min(saved.mask.Width(), bitmap.Width());
    const int height = std::min(saved.mask.Height(), bitmap.Height());
    for (int y = 0; y < height; ++y)
        std::memcpy(fitted.MutableRow(y), saved.mask.Row(y), size_t(width));
    fitted.RecomputeBoundingBox();
    selection_.hasSelection = saved.hasSelection && !fitted.IsEmpty();
    selection_.mask = std::move(fitted);
}

void ImageModel::PopSelectionAfterCrop() {
    if (stack_.empty()) return;
    Selection saved = std::move(stack_.back());
    stack_.pop_back();
    const Bitmap& bitmap = CurrentBitmap();
    SelectionMask moved(bitmap.Width(), bitmap.Height());
    if (!saved.mask.IsEmpty()) {
        const BoundingBox& box = saved.mask.Box();
        const int width = std::min(saved.mask.Width() - box.x1, bitmap.Width());
        const int height = std::min(saved.mask.Height() - box.y1, bitmap.Height());
        for (int y = 0; y < height; ++y)
            std::memcpy(moved.MutableRow(y), saved.mask.Row(box.y1 + y) + box.x1, size_t(width));
        moved.RecomputeBoundingBox();
    }
    selection_.hasSelection = saved.hasSelection && !moved.IsEmpty();
    selection_.mask = std::move(moved);
}

void ImageModel::SetSelectedAlpha(uint8_t alpha) {
    SetAlphaThroughMask(CurrentBitmap(), selection_.mask, alpha);
}

void ImageModel::FeatherSelection(double radius) {
    if (!selection_.hasSelection) return;
    FeatherMask(selection_.mask, radius);
}

void ImageModel::FillSelection(Rgb colour) {
    FillThroughMask(CurrentBitmap(), selection_.mask, colour);
}

void ImageModel::BlurSelection(double sigma) {
    BlurThroughMask(CurrentBitmap(), selection_.mask, sigma);
}

bool ImageModel::SetZoom(double percent) {
    if (!(percent > 0.0) || percent == zoom_ || !std::isfinite(percent)) return false;
    zoom_ = percent;
    return true;
}

}  // namespace imaging
