// Region statistics and adjacency, the two tables the graph cut works on.
#ifndef MIRRASK_REGION_TABLES_H
#define MIRRASK_REGION_TABLES_H

#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "engine_state.h"
#include "large_buffers.h"

namespace mirrask {

// Turns every entry's colour sums into means: each sum divided by the pixel count in double and
// rounded to float32 once.
void DivideRegionSums(std::span<RegionInfo> table);

// Pixel count and mean colour of every region. The colour of pixel i comes from colourOf(i);
// the sums are float32, rounded after every addition and taken in raster order, then divided by
// the pixel count in double and rounded to float32 once.
template <typename ColourOf>
std::vector<RegionInfo> ComputeRegionStatsWith(std::span<const int32_t> regionMap,
                                               int32_t regionCount, ColourOf&& colourOf) {
    std::vector<RegionInfo> table = MakeLarge<RegionInfo>(static_cast<size_t>(regionCount));
    const size_t count = regionMap.size();
    for (size_t i = 0; i < count; ++i) {
        RegionInfo& entry = table[regionMap[i]];
        const LuvColour c = colourOf(i);
        entry.pixelCount += 1;
        entry.mean.L += c.L;
        entry.mean.u += c.u;
        entry.mean.v += c.v;
    }
    DivideRegionSums(table);
    return table;
}

// Pixel count and mean colour from the pixels' colours listed in raster order.
std::vector<RegionInfo> ComputeRegionStats(std::span<const int32_t> regionMap, int32_t regionCount,
                                           std::span<const LuvColour> pixelColours);

// Pixel count and mean colour with every pixel's colour converted on the fly from the
// blue-green-red pixel buffer (width * height pixels), in raster order: the same float32 sums as
// from a converted copy.
std::vector<RegionInfo> ComputeRegionStatsFromPixels(std::span<const int32_t> regionMap,
                                                     int32_t width, int32_t height,
                                                     int32_t regionCount, const uint8_t* pixels);

// ComputeRegionStatsFromPixels a row at a time: rows are added in order from the top, each as soon
// as its region indices are final, so that they are still in the cache.
class RegionStatsBuilder {
  public:
    RegionStatsBuilder(int32_t regionCount, const uint8_t* pixels, int32_t width);
    ~RegionStatsBuilder();

    // Adds row y, whose region indices are regionRow[0 .. width - 1].
    void AddRow(const int32_t* regionRow, int32_t y);
    std::vector<RegionInfo> Finish();

  private:
    struct Planes;
    std::unique_ptr<Planes> planes_;
    std::vector<RegionInfo> table_;
    const uint8_t* pixels_;
    int32_t width_;
};

// Which regions touch and over how many pixel pairs. Examined are the horizontal pairs
// ((x, y), (x + 1, y)) and the vertical pairs ((x, y), (x, y + 1)) with 1 <= x <= width - 2 and
// 1 <= y <= height - 2; pairs that include row 0 or column 0, horizontal pairs in the last row and
// vertical pairs in the last column are never counted.
RegionGraph BuildRegionGraph(std::span<const int32_t> regionMap, int32_t width, int32_t height,
                             int32_t regionCount);

// BuildRegionGraph a row at a time: the pairs of rows 1 to height - 2 are added in order, each once
// the region indices of its row and of the row below are final.
class RegionGraphBuilder {
  public:
    RegionGraphBuilder(int32_t width, int32_t height, int32_t regionCount);
    ~RegionGraphBuilder();

    // Adds the pairs of row y (1 <= y <= height - 2) from the region indices of rows y and y + 1.
    void AddRow(const int32_t* regionRow, const int32_t* regionRowBelow);
    RegionGraph Finish();

  private:
    struct Crossings;
    std::unique_ptr<Crossings> crossings_;
    int32_t width_;
    int32_t regionCount_;
};

}  // namespace mirrask

#endif  // MIRRASK_REGION_TABLES_H
