// SelectionOutline: the border of a selection mask as straight segments, for drawing.
#ifndef QUILLANE_VIEW_SELECTION_OUTLINE_H
#define QUILLANE_VIEW_SELECTION_OUTLINE_H

#include <vector>

#include "imaging/selection_mask.h"

namespace view {

// A horizontal or vertical segment on the pixel grid: corner coordinates, so pixel (x, y) is
// the square from (x, y) to (x + 1, y + 1).
struct OutlineSegment {
    int x1 = 0;
    int y1 = 0;
    int x2 = 0;
    int y2 = 0;

    friend bool operator==(const OutlineSegment&, const OutlineSegment&) = default;
};

// Every edge between a selected pixel (mask value non-zero) and an unselected one or the
// outside of the mask, joined into maximal straight runs. Horizontal runs come first, sorted by
// row and then column; vertical runs follow, sorted by column and then row. An all-0 mask gives
// none. One pass over the mask; rows equal to the previous row are skipped quickly.
std::vector<OutlineSegment> TraceSelectionOutline(const imaging::SelectionMask& mask);

}  // namespace view

#endif  // QUILLANE_VIEW_SELECTION_OUTLINE_H
