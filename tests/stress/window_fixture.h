// Shared by the window tests of this folder: the window tests' generated picture and the engine's
// answer for the window's current marks.
#ifndef QUILLANE_TESTS_STRESS_WINDOW_FIXTURE_H
#define QUILLANE_TESTS_STRESS_WINDOW_FIXTURE_H

#include <QImage>
#include <cstdint>
#include <vector>

#include "../app/window_fixture.h"
#include "Unit1.h"
#include "segmentation.h"

namespace stress {

// The same generated picture as the window tests use.
using window_fixture::DiscImage;

// The selection the engine computes from the window's current marks and loaded pixels.
inline std::vector<uint8_t> EngineSelection() {
    std::vector<uint8_t> pixels = LoadedPixels;
    std::vector<uint8_t> selection(MarkMap.size(), 0);
    Lazy(MarkMap.data(), pixels.data(), selection.data());
    return selection;
}

}  // namespace stress

#endif  // QUILLANE_TESTS_STRESS_WINDOW_FIXTURE_H
