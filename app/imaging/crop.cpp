#include "crop.h"

#include <algorithm>

namespace imaging {

Bitmap CropToMask(const Bitmap& source, const SelectionMask& mask, Rgb ground) {
    if (mask.IsEmpty()) return source;
    const BoundingBox& box = mask.Box();
    Bitmap result(box.Width(), box.Height(), ground);
    uint8_t* alpha = result.AlphaForWriting();
    const int groundBgr[3] = {ground.blue, ground.green, ground.red};
    for (int y = 0; y < result.Height(); ++y) {
        const int sy = box.y1 + y;
        uint8_t* out = result.Row(y);
        uint8_t* outAlpha = alpha + size_t(y) * size_t(result.Width());
        for (int x = 0; x < result.Width(); ++x) {
            const int sx = box.x1 + x;
            const bool inside = sx < source.Width() && sy < source.Height();
            const int m = inside ? mask.At(sx, sy) : 0;
            if (m == 0) {
                outAlpha[x] = 0;
                continue;
            }
            const uint8_t* in = source.Row(sy) + size_t(sx) * 3;
            uint8_t* p = out + size_t(x) * 3;
            for (int c = 0; c < 3; ++c)
                p[c] = uint8_t(groundBgr[c] + (((in[c] - groundBgr[c]) * m) >> 8));
            outAlpha[x] = uint8_t(std::min<int>(source.AlphaAt(sx, sy), m));
        }
    }
    result.DropAlphaIfOpaque();
    return result;
}

}  // namespace imaging
