// The three exports. No exception may cross the C boundary.
#include "segmentation.h"

#include <cstring>

#include "engine_state.h"
#include "outlines.h"

using mirrask::EngineState;
using mirrask::GlobalEngineState;

extern "C" int32_t Watershed(const uint8_t* pixels, int32_t width, int32_t height) {
    EngineState& state = GlobalEngineState();
    try {
        return mirrask::RunWatershed(state, pixels, width, height);
    } catch (...) {
        // A half-built pre-segmentation must never reach Lazy: forget the image and its storage.
        state = EngineState{};
        return -1;
    }
}

extern "C" void Lazy(const uint8_t* marks, uint8_t* pixels, uint8_t* selection) {
    EngineState& state = GlobalEngineState();
    try {
        mirrask::RunLazy(state, marks, pixels, selection);
    } catch (...) {
        // Every allocation happens before the output pass, so the pixels are still untouched.
        if (state.pixelCount > 0) std::memset(selection, 0, static_cast<size_t>(state.pixelCount));
    }
}

extern "C" void ShowLines(const uint8_t* marks, uint8_t* pixels) {
    EngineState& state = GlobalEngineState();
    state.pixels = pixels;
    mirrask::DrawMarkOutlines(marks, pixels, state.width, state.height);
}
