#include "io/qimage_bitmap.h"

#include <cstring>
#include <new>
#include <stdexcept>

namespace io {

imaging::Bitmap BitmapFromQImage(const QImage& image) {
    if (image.isNull()) return {};
    const bool hasAlpha = image.hasAlphaChannel();
    // Qt converts every pixel layout it reads (grey, palette, 16 bits, premultiplied, ...) to
    // these two; the JPEG and most other readers already deliver them, so no copy is made then.
    const QImage::Format wordFormat = hasAlpha ? QImage::Format_ARGB32 : QImage::Format_RGB32;
    const QImage words = image.format() == wordFormat ? image : image.convertToFormat(wordFormat);
    if (words.isNull()) throw std::bad_alloc();
    imaging::Bitmap bitmap(words.width(), words.height());
    const int width = bitmap.Width();
    uint8_t* alpha = hasAlpha ? bitmap.AlphaForWriting() : nullptr;
    for (int y = 0; y < bitmap.Height(); ++y) {
        const auto* in = reinterpret_cast<const QRgb*>(words.constScanLine(y));
        uint8_t* out = bitmap.Row(y);
        for (int x = 0; x < width; ++x) {
            out[size_t(x) * 3] = uint8_t(qBlue(in[x]));
            out[size_t(x) * 3 + 1] = uint8_t(qGreen(in[x]));
            out[size_t(x) * 3 + 2] = uint8_t(qRed(in[x]));
        }
        if (alpha) {
            uint8_t* rowAlpha = alpha + size_t(y) * size_t(width);
            for (int x = 0; x < width; ++x)
                rowAlpha[x] = uint8_t(qAlpha(in[x]));
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
