// The picture an image view shows, composed once into a QImage so that painting only scales it.
#ifndef QUILLANE_VIEW_PICTURE_CACHE_H
#define QUILLANE_VIEW_PICTURE_CACHE_H

#include <QImage>
#include <QRect>
#include <QSize>

#include "imaging/image_model.h"

namespace view {

// The picture's extent: from (0, 0) to the farthest right and bottom edge of any layer as
// displayed. Parts of layers at negative positions are not shown.
QSize PictureSize(const imaging::ImageModel& model);

// The layers composed over the model's background colour, layer 0 first, each at its position
// and displayed size, its alpha capped by the layer's transparency: an opaque
// QImage::Format_RGB32 of PictureSize(model), null for an empty picture.
QImage ComposePicture(const imaging::ImageModel& model);

// Composes again only `area` (picture coordinates) of `picture`, which must have been composed
// from the same model at the same size. Falls back to composing everything when the model has
// more than one layer or its layer is moved or resized.
void RecomposeArea(QImage& picture, const imaging::ImageModel& model, const QRect& area);

}  // namespace view

#endif  // QUILLANE_VIEW_PICTURE_CACHE_H
