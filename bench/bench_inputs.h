// Inputs of the engine benchmarks: photo-like pictures generated from a seed, photos read from
// files, and the marks of a deterministic stroke set.
#ifndef QUILLANE_BENCH_BENCH_INPUTS_H
#define QUILLANE_BENCH_BENCH_INPUTS_H

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace quillane::bench {

struct BenchImage {
    std::string name;
    int32_t width = 0;
    int32_t height = 0;
    std::vector<uint8_t> pixels;  // blue, green, red; rows from the top, no padding

    int64_t PixelCount() const { return int64_t{width} * height; }
};

// A picture with what makes photos hard for the pre-segmentation: smooth shading, textured
// surfaces, sharp object edges and sensor-like noise. Identical on every machine for a given size
// and seed (integer hashing and exactly rounded float operations only).
BenchImage GeneratePhotoLike(std::string name, int32_t width, int32_t height, uint32_t seed);

// Reads an image file into blue-green-red bytes; nothing when it cannot be read (or the benchmark
// was built without Qt).
std::optional<BenchImage> LoadPhoto(const std::string& name, const std::string& path);

// Marks as a user would paint them on a picture whose object sits in the middle: three zig-zag
// foreground strokes inside a central ellipse (half-axes 0.22 width, 0.28 height) and a
// background loop around it plus two corner strokes, with a square brush of min(width, height) /
// 250 pixels (at least 2). About 1 % of the pixels get a mark.
std::vector<uint8_t> GenerateStrokeMarks(int32_t width, int32_t height);

}  // namespace quillane::bench

#endif  // QUILLANE_BENCH_BENCH_INPUTS_H
