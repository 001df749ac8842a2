// mirrask: the segmentation engine of Quillane.
//
// Three C functions, exported under these plain names from libmirrask.so:
//
//   Watershed(pixels, width, height)  pre-segments an image into small regions and keeps them
//   Lazy(marks, pixels, selection)    turns the user's marks into a selection by a graph cut
//   ShowLines(marks, pixels)          draws only the outlines of the marks
//
// Buffers (all owned by the caller; none carries its size):
//
//   PixelBuffer   width * height * 3 bytes: blue, green, red per pixel, rows from the top,
//                 no padding. Pixel (x, y) occupies bytes 3 * (y * width + x) .. + 2.
//   MarkMap       width * height bytes, row-major: 0 no mark, 1 foreground, 2 background;
//                 any other value counts as no mark.
//   SelectionMap  width * height bytes, row-major, written by Lazy: 1 selected, 0 not.
//
// Lazy and ShowLines use the width and height of the last successful Watershed; the buffers
// passed to them must describe an image of exactly that size. The engine keeps one process-wide
// state and is not reentrant: call the three functions from one thread, one at a time.
//
// Failures never cross this boundary as exceptions:
//   - Watershed returns -1 for a null pixel pointer, width < 1 or height < 1, leaving the previous
//     image usable. If memory runs out while it works it also returns -1, and the state is then
//     reset to an empty image (width, height and region count 0), so that Lazy and ShowLines
//     write nothing until the next successful Watershed.
//   - Lazy and ShowLines before any successful Watershed (or after a failed one that reset the
//     state) write nothing at all.
//   - Lazy never ends the process: if memory runs out while it works, the selection is left all
//     0 and the pixels unchanged.
#ifndef MIRRASK_SEGMENTATION_H
#define MIRRASK_SEGMENTATION_H

#include <stdint.h>

#if defined(_WIN32)
#define MIRRASK_API __declspec(dllexport)
#else
#define MIRRASK_API __attribute__((visibility("default")))
#endif

#ifdef __cplusplus
extern "C" {
#endif

// Pre-segments the image and keeps its regions until the next successful call.
// Returns 0 on success; -1 for bad arguments (state untouched) or exhausted memory (state reset).
// The pixel buffer is only read.
MIRRASK_API int32_t Watershed(const uint8_t* pixels, int32_t width, int32_t height);

// Computes the selection of the marks: writes every byte of selection (1 foreground, 0 background;
// a pixel marked 1 is always 1, one marked 2 always 0) and draws the outline of the marks into
// pixels (foreground red 0,0,255, background green 0,255,0; every other byte is left alone).
MIRRASK_API void Lazy(const uint8_t* marks, uint8_t* pixels, uint8_t* selection);

// Draws only the outline of the marks into pixels, exactly as Lazy does.
MIRRASK_API void ShowLines(const uint8_t* marks, uint8_t* pixels);

#ifdef __cplusplus
}
#endif

#endif  // MIRRASK_SEGMENTATION_H
