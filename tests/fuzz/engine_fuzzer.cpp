// Fuzz target: small images and mark maps through Watershed, Lazy and ShowLines, with the engine's
// invariants checked after each call.
//
// Input: width - 1 and height - 1 (each mod 64), a style byte, then the bytes that make the
// pixels and the marks. Style bit 0 draws the pixels from a four-colour palette (large flat
// regions), otherwise the bytes are the pixels themselves (noise); the marks are sparse
// (style bit 1) or dense.
#include <cstdint>
#include <queue>
#include <vector>

#include "engine_state.h"
#include "fuzz_check.h"
#include "outlines.h"
#include "segmentation.h"

namespace {

void CheckRegions(const mirrask::EngineState& state) {
    const int32_t w = state.width, h = state.height;
    FUZZ_CHECK(state.RegionCount >= 1);
    FUZZ_CHECK(state.RegionMap.size() == static_cast<size_t>(w) * h);
    FUZZ_CHECK(state.RegionTable.size() == static_cast<size_t>(state.RegionCount));
    FUZZ_CHECK(state.RegionNeighbours.RegionCount() == state.RegionCount);

    // Every region is used, 4-connected (one flood reaches all its pixels) and counted right.
    std::vector<int32_t> seenIn(state.RegionMap.size(), -1);
    std::vector<int32_t> pixelsOf(state.RegionCount, 0);
    std::vector<bool> started(state.RegionCount, false);
    for (int32_t start = 0; start < w * h; ++start) {
        const int32_t r = state.RegionMap[start];
        FUZZ_CHECK(r >= 0 && r < state.RegionCount);
        if (seenIn[start] >= 0) continue;
        FUZZ_CHECK(!started[r]);  // a second component of the same region
        started[r] = true;
        std::queue<int32_t> queue;
        queue.push(start);
        seenIn[start] = r;
        while (!queue.empty()) {
            const int32_t p = queue.front();
            queue.pop();
            ++pixelsOf[r];
            const int32_t x = p % w, y = p / w;
            const int32_t next[4] = {x > 0 ? p - 1 : -1, x < w - 1 ? p + 1 : -1, y > 0 ? p - w : -1,
                                     y < h - 1 ? p + w : -1};
            for (int32_t q : next) {
                if (q >= 0 && seenIn[q] < 0 && state.RegionMap[q] == r) {
                    seenIn[q] = r;
                    queue.push(q);
                }
            }
        }
    }
    for (int32_t r = 0; r < state.RegionCount; ++r) {
        FUZZ_CHECK(started[r]);
        FUZZ_CHECK(state.RegionTable[r].pixelCount == pixelsOf[r]);
        int32_t previous = r;
        for (const mirrask::RegionNeighbour& n : state.RegionNeighbours.NeighboursOf(r)) {
            FUZZ_CHECK(n.region > previous && n.region < state.RegionCount);
            FUZZ_CHECK(n.pairCount >= 1);
            previous = n.region;
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzInput input(data, size);
    const int32_t w = 1 + input.Byte() % 64;
    const int32_t h = 1 + input.Byte() % 64;
    const uint8_t style = input.Byte();
    const size_t n = static_cast<size_t>(w) * h;

    static const uint8_t palette[4][3] = {
        {10, 20, 30}, {200, 180, 90}, {12, 22, 31}, {90, 90, 250}};
    std::vector<uint8_t> pixels(3 * n);
    for (size_t p = 0; p < n; ++p) {
        if (style & 1) {
            const uint8_t* colour = palette[input.Byte() % 4];
            for (int c = 0; c < 3; ++c)
                pixels[3 * p + c] = colour[c];
        } else {
            for (int c = 0; c < 3; ++c)
                pixels[3 * p + c] = input.Byte();
        }
    }
    std::vector<uint8_t> marks(n, 0);
    for (size_t p = 0; p < n && !input.Empty(); ++p) {
        const uint8_t b = input.Byte();
        marks[p] = (style & 2) ? (b < 16 ? b % 4 : 0) : b % 4;
    }

    const std::vector<uint8_t> original = pixels;
    FUZZ_CHECK(Watershed(pixels.data(), w, h) == 0);
    FUZZ_CHECK(pixels == original);
    const mirrask::EngineState& state = mirrask::GlobalEngineState();
    FUZZ_CHECK(state.width == w && state.height == h);
    CheckRegions(state);

    std::vector<uint8_t> outlined = original;
    ShowLines(marks.data(), outlined.data());
    std::vector<uint8_t> expectedOutlines = original;
    mirrask::DrawMarkOutlines(marks.data(), expectedOutlines.data(), w, h);
    FUZZ_CHECK(outlined == expectedOutlines);

    std::vector<uint8_t> cut = original;
    std::vector<uint8_t> selection(n, 0xEE);
    Lazy(marks.data(), cut.data(), selection.data());
    FUZZ_CHECK(cut == expectedOutlines);  // pixels change only on the marks' outlines
    std::vector<int> regionSide(state.RegionCount, -1);
    for (size_t p = 0; p < n; ++p) {
        FUZZ_CHECK(selection[p] <= 1);
        if (marks[p] == 1) FUZZ_CHECK(selection[p] == 1);
        if (marks[p] == 2) FUZZ_CHECK(selection[p] == 0);
        if (marks[p] == 1 || marks[p] == 2) continue;
        // Unmarked pixels follow their region's side.
        int& side = regionSide[state.RegionMap[p]];
        if (side < 0) side = selection[p];
        FUZZ_CHECK(side == selection[p]);
    }

    // The same marks give the same answer.
    std::vector<uint8_t> again(n, 0xEE);
    std::vector<uint8_t> cutAgain = original;
    Lazy(marks.data(), cutAgain.data(), again.data());
    FUZZ_CHECK(again == selection);
    return 0;
}
