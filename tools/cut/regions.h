// The engine's pre-segmentation of an image, as the region outputs of quillane-cut need it.
//
// The three exports of libmirrask.so keep their regions inside the library, where nothing can
// read them. This one step therefore runs the engine's internal pre-segmentation (linked from
// the static build of the same engine sources) on a private state: the regions are exactly
// those the exported Watershed leaves behind for the same pixels. Everything else the tool does
// goes through the exports, as the window's does.
#ifndef QUILLANE_TOOLS_CUT_REGIONS_H
#define QUILLANE_TOOLS_CUT_REGIONS_H

#include <cstdint>
#include <optional>
#include <vector>

#include "engine_state.h"
#include "imaging/bitmap.h"

namespace cut {

struct RegionPartition {
    int32_t regionCount = 0;
    mirrask::RegionIndexMap regionMap;  // region index of every pixel, row-major
};

// The watershed regions of the image; nullopt when the engine refuses the image or memory runs
// out.
std::optional<RegionPartition> SegmentIntoRegions(const imaging::Bitmap& image);

}  // namespace cut

#endif  // QUILLANE_TOOLS_CUT_REGIONS_H
