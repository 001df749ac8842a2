#include "regions.h"

#include <exception>
#include <utility>

#include "engine_state.h"

namespace cut {

std::optional<RegionPartition> SegmentIntoRegions(const imaging::Bitmap& image) {
    try {
        mirrask::EngineState state;
        if (mirrask::RunWatershed(state, image.Data(), image.Width(), image.Height()) != 0)
            return std::nullopt;
        return RegionPartition{state.RegionCount, std::move(state.RegionMap)};
    } catch (const std::exception&) {
        return std::nullopt;
    }
}

}  // namespace cut
