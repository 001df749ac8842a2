#include "io/qimage_bitmap.h"

#include <cstring>
#include <new>
#include <stdexcept>

namespace io {

imaging::Bitmap BitmapFromQImage(const QImage& image) {
    if (image.isNull()) return {};
    const bool hasAlpha = image.hasAlphaChannel();
    // Qt converts every pixel layout it reads (grey, palette, 16 bits, ...) to these two.
    const QImage converted =
        image.convertToFormat(hasAlpha ? QImage::Format_RGBA8888 : QImage::Format_RGB888);
    if (converted.isNull()) throw std::bad_alloc();
    imaging::Bitmap bitmap(converted.width(), converted.height());
    const int width = bitmap.Width();
    uint8_t* alpha = hasAlpha ? bitmap.AlphaForWriting() : nullptr;
    const int step = hasAlpha ? 4 : 3;
    for (int y = 0; y < bitmap.Height(); ++y) {
        const uchar* in = converted.constScanLine(y);
        uint8_t* out = bitmap.Row(y);
        for (int x = 0; x < width; ++x) {
            const uchar* p = in + size_t(x) * size_t(step);
            out[size_t(x) * 3] = p[2];
            out[size_t(x) * 3 + 1] = p[1];
            out[size_t(x) * 3 + 2] = p[0];
        }
        if (alpha) {
            uint8_t* rowAlpha = alpha + size_t(y) * size_t(width);
            for (int x = 0; x < width; ++x)
                rowAlpha[x] = in[size_t(x) * 4 + 3];
        }
    }
    bitmap.DropAlphaIfOpaque();
    return bitmap;
}

QImage QImageFromBitmap(const imaging::Bitmap& bitmap, bool withAlpha) {
    if (bitmap.IsEmpty()) return {};
    const bool alpha = withAlpha && bitmap.HasAlpha();
    QImage image(bitmap.Width(), bitmap.Height(),
                 alpha ? QImage::Format_ARGB32 : QImage::Format_RGB888);
    if (image.isNull()) throw std::bad_alloc();
    const int width = bitmap.Width();
    for (int y = 0; y < bitmap.Height(); ++y) {
        const uint8_t* in = bitmap.Row(y);
        uchar* out = image.scanLine(y);
        if (alpha) {
            // ARGB32 holds 0xAARRGGBB words: blue, green, red, alpha in memory order on
            // little-endian machines, so build the words instead of assuming byte order.
            auto* words = reinterpret_cast<QRgb*>(out);
            const uint8_t* rowAlpha = bitmap.AlphaChannel().data() + size_t(y) * size_t(width);
            for (int x = 0; x < width; ++x) {
                const uint8_t* p = in + size_t(x) * 3;
                words[x] = qRgba(p[2], p[1], p[0], rowAlpha[x]);
            }
        } else {
            for (int x = 0; x < width; ++x) {
                out[size_t(x) * 3] = in[size_t(x) * 3 + 2];
                out[size_t(x) * 3 + 1] = in[size_t(x) * 3 + 1];
                out[size_t(x) * 3 + 2] = in[size_t(x) * 3];
            }
        }
    }
    return image;
}

}  // namespace io
