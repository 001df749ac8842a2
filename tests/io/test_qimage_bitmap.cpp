#include "io/qimage_bitmap.h"

#include <gtest/gtest.h>

namespace io {
namespace {

using imaging::Bitmap;
using imaging::Rgb;

TEST(BitmapFromQImage, ConvertsToBlueGreenRedAndKeepsRealAlpha) {
    QImage image(2, 1, QImage::Format_ARGB32);
    image.setPixel(0, 0, qRgba(10, 20, 30, 255));
    image.setPixel(1, 0, qRgba(40, 50, 60, 7));
    const Bitmap bitmap = BitmapFromQImage(image);
    EXPECT_EQ(bitmap.Data()[0], 30);  // blue first
    EXPECT_EQ(bitmap.PixelAt(1, 0), (Rgb{40, 50, 60}));
    EXPECT_EQ(bitmap.AlphaChannel(), (std::vector<uint8_t>{255, 7}));
}

TEST(BitmapFromQImage, DropsOpaqueAlphaAndHandlesNullImages) {
    QImage image(2, 2, QImage::Format_ARGB32);
    image.fill(qRgba(1, 2, 3, 255));
    EXPECT_FALSE(BitmapFromQImage(image).HasAlpha());
    EXPECT_TRUE(BitmapFromQImage(QImage()).IsEmpty());
}

TEST(QImageFromBitmap, RoundTripsWithAndWithoutAlpha) {
    Bitmap bitmap(3, 2);
    bitmap.SetPixel(2, 1, Rgb{9, 8, 7});
    bitmap.SetAlphaChannel({0, 1, 2, 3, 4, 5});
    const QImage withAlpha = QImageFromBitmap(bitmap);
    EXPECT_EQ(withAlpha.format(), QImage::Format_ARGB32);
    EXPECT_EQ(withAlpha.pixel(2, 1), qRgba(9, 8, 7, 5));
    EXPECT_EQ(BitmapFromQImage(withAlpha), bitmap);

    const QImage opaque = QImageFromBitmap(bitmap, false);
    EXPECT_EQ(opaque.format(), QImage::Format_RGB888);
    EXPECT_EQ(opaque.pixel(2, 1), qRgb(9, 8, 7));
    EXPECT_TRUE(QImageFromBitmap(Bitmap()).isNull());
}

}  // namespace
}  // namespace io
