// The engine on real photos with fixed marks must give the same regions, tables and selection on
// every run and machine. The expected values were recorded from the engine and cross-checked with
// the straightforward path of the benchmarks (bench/reference_engine.h).
#include <gtest/gtest.h>

#include <QImage>
#include <QString>
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <ostream>
#include <string>
#include <vector>

#include "engine_state.h"
#include "segmentation.h"

namespace mirrask {
namespace {

// 64-bit FNV-1a over raw bytes.
uint64_t Fingerprint(const void* data, size_t size) {
    const auto* bytes = static_cast<const uint8_t*>(data);
    uint64_t hash = 0xCBF29CE484222325ull;
    for (size_t k = 0; k < size; ++k) {
        hash ^= bytes[k];
        hash *= 0x100000001B3ull;
    }
    return hash;
}

template <typename T, typename Allocator>
uint64_t Fingerprint(const std::vector<T, Allocator>& values) {
    return Fingerprint(values.data(), values.size() * sizeof(T));
}

struct Photo {
    int32_t width = 0;
    int32_t height = 0;
    std::vector<uint8_t> pixels;  // blue, green, red
};

bool LoadPhoto(const std::string& path, Photo& photo) {
    QImage image(QString::fromStdString(path));
    if (image.isNull()) return false;
    image = image.convertToFormat(QImage::Format_BGR888);
    photo.width = image.width();
    photo.height = image.height();
    const size_t rowBytes = size_t(photo.width) * 3;
    photo.pixels.resize(rowBytes * photo.height);
    for (int32_t y = 0; y < photo.height; ++y)
        std::copy_n(image.constScanLine(y), rowBytes, photo.pixels.data() + y * rowBytes);
    return true;
}

// A foreground band across the middle and a background frame near the border, each as thick as
// 1/100 of the shorter side.
std::vector<uint8_t> FixedMarks(int32_t width, int32_t height) {
    std::vector<uint8_t> marks(size_t(width) * height, 0);
    const int32_t thickness = std::max(2, std::min(width, height) / 100);
    const auto fill = [&](int32_t x0, int32_t y0, int32_t x1, int32_t y1, uint8_t mark) {
        for (int32_t y = y0; y < y1; ++y)
            std::fill_n(marks.begin() + size_t(y) * width + x0, x1 - x0, mark);
    };
    const int32_t left = width / 20, right = width - width / 20;
    const int32_t top = height / 20, bottom = height - height / 20;
    fill(left, top, right, top + thickness, 2);
    fill(left, bottom - thickness, right, bottom, 2);
    fill(left, top, left + thickness, bottom, 2);
    fill(right - thickness, top, right, bottom, 2);
    fill(width * 35 / 100, height / 2 - thickness / 2, width * 65 / 100,
         height / 2 - thickness / 2 + thickness, 1);
    return marks;
}

struct Expected {
    const char* file;
    int32_t width, height;
    uint64_t pixels;  // of the decoded file: other decoders may round differently
    int32_t regionCount;
    int64_t pairCount;
    uint64_t regionMap, regionTable, neighbours;
    int64_t selectedCount;
    uint64_t selection, outlinedPixels;
};

// Test listings name the photo rather than dumping the record's bytes.
void PrintTo(const Expected& expected, std::ostream* out) {
    *out << expected.file;
}

class PhotoFingerprints : public ::testing::TestWithParam<Expected> {};

TEST_P(PhotoFingerprints, WatershedAndLazyGiveTheRecordedResults) {
    const Expected& expected = GetParam();
    const std::string path = std::string(QUILLANE_PHOTOS) + "/" + expected.file;
    if (!std::filesystem::exists(path)) GTEST_SKIP() << "no photo at " << path;
    Photo photo;
    ASSERT_TRUE(LoadPhoto(path, photo)) << path;
    ASSERT_EQ(photo.width, expected.width);
    ASSERT_EQ(photo.height, expected.height);
    const uint64_t pixelHash = Fingerprint(photo.pixels);
    if (pixelHash != expected.pixels) {
        GTEST_SKIP() << "this image decoder gives other pixels (fingerprint 0x" << std::hex
                     << pixelHash << "), so the recorded results do not apply";
    }

    const std::vector<uint8_t> original = photo.pixels;
    ASSERT_EQ(Watershed(photo.pixels.data(), photo.width, photo.height), 0);
    EXPECT_EQ(photo.pixels, original);
    const EngineState& state = GlobalEngineState();
    std::vector<int32_t> neighbours;  // region, neighbour, pair count
    for (int32_t r = 0; r < state.RegionCount; ++r) {
        for (const RegionNeighbour& n : state.RegionNeighbours.NeighboursOf(r))
            neighbours.insert(neighbours.end(), {r, n.region, n.pairCount});
    }

    const std::vector<uint8_t> marks = FixedMarks(photo.width, photo.height);
    std::vector<uint8_t> selection(marks.size(), 7);
    Lazy(marks.data(), photo.pixels.data(), selection.data());
    const int64_t selected = std::count(selection.begin(), selection.end(), 1);
    EXPECT_EQ(selected + std::count(selection.begin(), selection.end(), 0),
              int64_t(selection.size()));

    const Expected actual{expected.file,
                          photo.width,
                          photo.height,
                          pixelHash,
                          state.RegionCount,
                          state.RegionNeighbours.PairCount(),
                          Fingerprint(state.RegionMap),
                          Fingerprint(state.RegionTable),
                          Fingerprint(neighbours),
                          selected,
                          Fingerprint(selection),
                          Fingerprint(photo.pixels)};
    // The line to record after an intended change of results.
    std::printf(
        "{\"%s\", %d, %d, 0x%llxull, %d, %lld, 0x%llxull, 0x%llxull, 0x%llxull, %lld, "
        "0x%llxull, 0x%llxull},\n",
        actual.file, actual.width, actual.height, (unsigned long long)actual.pixels,
        actual.regionCount, (long long)actual.pairCount, (unsigned long long)actual.regionMap,
        (unsigned long long)actual.regionTable, (unsigned long long)actual.neighbours,
        (long long)actual.selectedCount, (unsigned long long)actual.selection,
        (unsigned long long)actual.outlinedPixels);
    EXPECT_EQ(actual.regionCount, expected.regionCount);
    EXPECT_EQ(actual.pairCount, expected.pairCount);
    EXPECT_EQ(actual.regionMap, expected.regionMap);
    EXPECT_EQ(actual.regionTable, expected.regionTable);
    EXPECT_EQ(actual.neighbours, expected.neighbours);
    EXPECT_EQ(actual.selectedCount, expected.selectedCount);
    EXPECT_EQ(actual.selection, expected.selection);
    EXPECT_EQ(actual.outlinedPixels, expected.outlinedPixels);
}

const Expected kPhotos[] = {
    {"skimage_astronaut.png", 512, 512, 0x2d1728bd9d41e93bull, 19169, 54248, 0xe47360f8f88e96d7ull,
     0xc825d18797262e71ull, 0x96690f90caf7fceaull, 17804, 0xf58c8520b60b1b7dull,
     0x1d116b87adf79fd0ull},
    {"mate_Garden.jpg", 2560, 1600, 0x75fe3eec3597e92cull, 175896, 496073, 0x188494bed5d0b8dbull,
     0x8e4d3c5f9a6f55a4ull, 0x1045491e6b6c12dcull, 185478, 0x164e28b5232e0ccbull,
     0x4a3d0713082e479aull},
    {"Dragonfly_by_Bolly.jpg", 4224, 3168, 0xe026ba8b6d95be53ull, 778298, 2214976,
     0xa27e69d818cf8bf6ull, 0x3ef63af2ca9acc93ull, 0xef2869fca5a5cf38ull, 664803,
     0xcb55340e2b55efceull, 0xd8134c520f6e1a7eull},
};

INSTANTIATE_TEST_SUITE_P(Photos, PhotoFingerprints, ::testing::ValuesIn(kPhotos),
                         [](const ::testing::TestParamInfo<Expected>& info) {
                             std::string name = info.param.file;
                             name = name.substr(0, name.find('.'));
                             return name;
                         });

}  // namespace
}  // namespace mirrask
