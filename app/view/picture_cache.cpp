#include "picture_cache.h"

#include <QPainter>
#include <algorithm>
#include <cstdint>

namespace view {

namespace {

// One layer at (0, 0) at its own size: its pixels map one to one onto the picture.
bool IsPlainSingleLayer(const imaging::ImageModel& model) {
    if (model.LayerCount() != 1) return false;
    const imaging::Layer& layer = model.LayerAt(0);
    return layer.x == 0 && layer.y == 0 && !layer.IsResized();
}

QRgb Blend(uint8_t red, uint8_t green, uint8_t blue, int alpha, imaging::Rgb ground) {
    const auto mix = [alpha](int front, int back) {
        return (front * alpha + back * (255 - alpha) + 127) / 255;
    };
    return qRgb(mix(red, ground.red), mix(green, ground.green), mix(blue, ground.blue));
}

// Rows y0 .. y1 - 1, columns x0 .. x1 - 1 of a plain single-layer picture.
void ComposePlainRows(QImage& picture, const imaging::ImageModel& model, const QRect& area) {
    const imaging::Layer& layer = model.LayerAt(0);
    const imaging::Bitmap& bitmap = layer.bitmap;
    const imaging::Rgb ground = model.Background();
    const int transparency = layer.transparency;
    const bool hasAlpha = bitmap.HasAlpha() || transparency < 255;
    for (int y = area.top(); y <= area.bottom(); ++y) {
        const uint8_t* source = bitmap.Row(y);
        auto* target = reinterpret_cast<QRgb*>(picture.scanLine(y));
        if (!hasAlpha) {
            for (int x = area.left(); x <= area.right(); ++x) {
                const uint8_t* bgr = source + 3 * x;
                target[x] = qRgb(bgr[2], bgr[1], bgr[0]);
            }
            continue;
        }
        for (int x = area.left(); x <= area.right(); ++x) {
            const uint8_t* bgr = source + 3 * x;
            const int alpha = std::min<int>(bitmap.AlphaAt(x, y), transparency);
            target[x] = Blend(bgr[2], bgr[1], bgr[0], alpha, ground);
        }
    }
}

}  // namespace

QRect PictureRect(const imaging::ImageModel& model) {
    QRect rect;
    for (const imaging::Layer& layer : model.Layers()) {
        if (layer.bitmap.IsEmpty() || layer.displayWidth <= 0 || layer.displayHeight <= 0) continue;
        rect |= QRect(layer.x, layer.y, layer.displayWidth, layer.displayHeight);
    }
    return rect;
}

QImage LayerImage(const imaging::Layer& layer) {
    const imaging::Bitmap& bitmap = layer.bitmap;
    QImage image(bitmap.Width(), bitmap.Height(), QImage::Format_ARGB32);
    if (image.isNull()) return image;
    for (int y = 0; y < bitmap.Height(); ++y) {
        const uint8_t* source = bitmap.Row(y);
        auto* target = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < bitmap.Width(); ++x) {
            const uint8_t* bgr = source + 3 * x;
            const int alpha = std::min<int>(bitmap.AlphaAt(x, y), layer.transparency);
            target[x] = qRgba(bgr[2], bgr[1], bgr[0], alpha);
        }
    }
    return image;
}

QImage ComposePicture(const imaging::ImageModel& model, const std::vector<QImage>* layerImages) {
    const QRect rect = PictureRect(model);
    if (rect.isEmpty()) return {};
    QImage picture(rect.size(), QImage::Format_RGB32);
    if (picture.isNull()) return picture;
    if (IsPlainSingleLayer(model)) {
        ComposePlainRows(picture, model, picture.rect());
        return picture;
    }
    const imaging::Rgb ground = model.Background();
    picture.fill(qRgb(ground.red, ground.green, ground.blue));
    QPainter painter(&picture);
    painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
    painter.translate(-rect.topLeft());
    const bool cached = layerImages != nullptr && layerImages->size() == size_t(model.LayerCount());
    for (int index = 0; index < model.LayerCount(); ++index) {
        const imaging::Layer& layer = model.LayerAt(index);
        if (layer.bitmap.IsEmpty() || layer.displayWidth <= 0 || layer.displayHeight <= 0) continue;
        const QRect target(layer.x, layer.y, layer.displayWidth, layer.displayHeight);
        if (cached) {
            painter.drawImage(target, (*layerImages)[size_t(index)]);
        } else {
            painter.drawImage(target, LayerImage(layer));
        }
    }
    return picture;
}

void RecomposeArea(QImage& picture, const imaging::ImageModel& model, const QRect& area) {
    if (picture.isNull() || picture.size() != PictureRect(model).size() ||
        !IsPlainSingleLayer(model)) {
        picture = QImage();  // the old picture goes before the new one is allocated
        picture = ComposePicture(model);
        return;
    }
    const QRect clipped = area.intersected(picture.rect());
    if (!clipped.isEmpty()) ComposePlainRows(picture, model, clipped);
}

}  // namespace view
