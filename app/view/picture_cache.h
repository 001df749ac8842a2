// The picture an image view shows, composed once into a QImage so that painting only scales it.
#ifndef QUILLANE_VIEW_PICTURE_CACHE_H
#define QUILLANE_VIEW_PICTURE_CACHE_H

#include <QImage>
#include <QRect>
#include <vector>

#include "imaging/image_model.h"

namespace view {

// The picture's extent in layer-0 coordinates: the union of every non-empty layer as displayed
// (a layer moved to negative positions widens it to the left or top). Empty without pixels.
QRect PictureRect(const imaging::ImageModel& model);

// A layer's bitmap as a non-premultiplied ARGB image, its alpha capped by the layer's
// transparency.
QImage LayerImage(const imaging::Layer& layer);

// The layers composed over the model's background colour, layer 0 first, each at its position
// and displayed size (nearest-neighbour scaling), its alpha capped by the layer's transparency:
// an opaque QImage::Format_RGB32 covering PictureRect(model), whose top-left pixel is that
// rectangle's top-left corner; null for an empty picture. `layerImages`, when given with one
// image per layer (LayerImage), saves converting the layers again.
QImage ComposePicture(const imaging::ImageModel& model,
                      const std::vector<QImage>* layerImages = nullptr);

// Composes again only `area` (picture coordinates) of `picture`, which must have been composed
// from the same model at the same size. Falls back to composing everything when the model has
// more than one layer, its layer is moved or resized, or the picture's size changed.
void RecomposeArea(QImage& picture, const imaging::ImageModel& model, const QRect& area);

}  // namespace view

#endif  // QUILLANE_VIEW_PICTURE_CACHE_H
