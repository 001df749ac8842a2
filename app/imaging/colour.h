// Colours of the image-view model.
#ifndef QUILLANE_IMAGING_COLOUR_H
#define QUILLANE_IMAGING_COLOUR_H

#include <cstdint>

namespace imaging {

// A colour by its red, green and blue components. Bitmaps store the same three bytes in the
// order blue, green, red.
struct Rgb {
    uint8_t red = 0;
    uint8_t green = 0;
    uint8_t blue = 0;

    friend bool operator==(const Rgb&, const Rgb&) = default;
};

// The view's background colour (the button-face colour of the window system): shown through
// pixels with alpha below 255, given to uncovered pixels of a merge and used as the ground of a
// crop. Qt's default window colour on Linux, 240, 240, 240.
inline constexpr Rgb kViewBackground{240, 240, 240};

}  // namespace imaging

#endif  // QUILLANE_IMAGING_COLOUR_H
