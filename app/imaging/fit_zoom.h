// FitZoom: the zoom at which a whole image fits a view.
#ifndef QUILLANE_IMAGING_FIT_ZOOM_H
#define QUILLANE_IMAGING_FIT_ZOOM_H

namespace imaging {

// 100 * min(viewWidth / imageWidth, viewHeight / imageHeight), in percent: small images are
// enlarged, large ones reduced. Returns 100 when the image or the view has no pixels.
double FitZoom(int imageWidth, int imageHeight, int viewWidth, int viewHeight);

}  // namespace imaging

#endif  // QUILLANE_IMAGING_FIT_ZOOM_H
