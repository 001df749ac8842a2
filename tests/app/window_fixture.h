// Shared pieces of the window tests: a generated image with a clear object, real mouse strokes
// over the main view, and views of the model's bytes.
#ifndef QUILLANE_TESTS_APP_WINDOW_FIXTURE_H
#define QUILLANE_TESTS_APP_WINDOW_FIXTURE_H

#include <QImage>
#include <QPoint>
#include <QtTest>
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

#include "ImageView.h"

namespace window_fixture {

// An orange disc on a blue ground with a little deterministic noise, so that the engine finds
// a clear object.
inline QImage DiscImage(int width, int height) {
    QImage image(width, height, QImage::Format_RGB32);
    uint32_t noise = 12345;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            noise = noise * 1103515245u + 12345u;
            const int jitter = int((noise >> 16) % 9) - 4;
            const double dx = x - width / 2.0;
            const double dy = y - height / 2.0;
            const bool inside = std::sqrt(dx * dx + dy * dy) < height / 3.5;
            image.setPixel(x, y,
                           inside ? qRgb(230 + jitter / 2, 140 + jitter, 40 + jitter)
                                  : qRgb(30 + jitter, 60 + jitter, 160 + jitter));
        }
    }
    return image;
}

inline std::vector<uint8_t> BitmapBytes(const ImageView* view) {
    const imaging::Bitmap& bitmap = view->Model().CurrentBitmap();
    return {bitmap.Data(), bitmap.Data() + 3 * bitmap.PixelCount()};
}

inline std::vector<uint8_t> MaskBytes(const ImageView* view) {
    const imaging::SelectionMask& mask = view->Model().Mask();
    return {mask.Data(), mask.Data() + size_t(mask.Width()) * size_t(mask.Height())};
}

// The main view's mask for an engine selection: 1 gives 255, 0 gives 0.
inline std::vector<uint8_t> MaskOf(const std::vector<uint8_t>& selection) {
    std::vector<uint8_t> mask(selection.size());
    for (size_t i = 0; i < selection.size(); ++i)
        mask[i] = selection[i] == 1 ? 255 : 0;
    return mask;
}

inline int CountOf(const std::vector<uint8_t>& values, uint8_t value) {
    return int(std::count(values.begin(), values.end(), value));
}

// The client point at the centre of picture pixel (x, y) of a view.
inline QPoint ClientOf(const ImageView* view, int x, int y) {
    return view->BmpToScr(QPointF(x + 0.5, y + 0.5)).toPoint();
}

// Presses at the first picture point, moves through the others, releases at the last.
inline void Stroke(ImageView* view, Qt::MouseButton button, const std::vector<QPoint>& points,
                   Qt::KeyboardModifiers modifiers = {}) {
    QWidget* viewport = view->viewport();
    QTest::mousePress(viewport, button, modifiers, ClientOf(view, points[0].x(), points[0].y()));
    for (const QPoint& point : points)
        QTest::mouseMove(viewport, ClientOf(view, point.x(), point.y()));
    const QPoint last = points.back();
    QTest::mouseRelease(viewport, button, modifiers, ClientOf(view, last.x(), last.y()));
}

}  // namespace window_fixture

#endif  // QUILLANE_TESTS_APP_WINDOW_FIXTURE_H
