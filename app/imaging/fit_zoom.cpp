#include "fit_zoom.h"

#include <algorithm>

namespace imaging {

double FitZoom(int imageWidth, int imageHeight, int viewWidth, int viewHeight) {
    if (imageWidth <= 0 || imageHeight <= 0 || viewWidth <= 0 || viewHeight <= 0) return 100.0;
    return 100.0 * std::min(double(viewWidth) / imageWidth, double(viewHeight) / imageHeight);
}

}  // namespace imaging
