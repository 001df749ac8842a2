// Shared by the window tests of this folder: a generated test picture and the engine's answer
// for the window's current marks.
#ifndef QUILLANE_TESTS_STRESS_WINDOW_FIXTURE_H
#define QUILLANE_TESTS_STRESS_WINDOW_FIXTURE_H

#include <QImage>
#include <cmath>
#include <cstdint>
#include <vector>

#include "Unit1.h"
#include "segmentation.h"

namespace stress {

// An orange disc on a blue ground with a little deterministic noise, so that the engine finds a
// clear object.
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

// The selection the engine computes from the window's current marks and loaded pixels.
inline std::vector<uint8_t> EngineSelection() {
    std::vector<uint8_t> pixels = LoadedPixels;
    std::vector<uint8_t> selection(MarkMap.size(), 0);
    Lazy(MarkMap.data(), pixels.data(), selection.data());
    return selection;
}

}  // namespace stress

#endif  // QUILLANE_TESTS_STRESS_WINDOW_FIXTURE_H
