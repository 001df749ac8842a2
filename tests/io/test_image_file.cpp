#include "io/image_file.h"

#include <gtest/gtest.h>

#include <QBuffer>
#include <QDir>
#include <QImage>
#include <QImageReader>
#include <QTemporaryDir>
#include <cstdlib>
#include <string_view>

#include "file_bytes.h"

namespace io {
namespace {

using imaging::Bitmap;
using imaging::Rgb;
using testing::ReadFileBytes;
using testing::WriteFileBytes;

// 7 x 5 pixels (an odd width, so rows of 21 bytes), every pixel a different colour; with alpha
// values from 0 to 255 including 0 under a coloured pixel.
Bitmap Sample(bool withAlpha) {
    Bitmap bitmap(7, 5);
    for (int y = 0; y < 5; ++y)
        for (int x = 0; x < 7; ++x)
            bitmap.SetPixel(
                x, y, Rgb{uint8_t(x * 36 + 3), uint8_t(y * 60 + x), uint8_t(250 - x * y * 7)});
    if (withAlpha) {
        uint8_t* alpha = bitmap.AlphaForWriting();
        for (size_t i = 0; i < bitmap.PixelCount(); ++i)
            alpha[i] = uint8_t(i * 41 % 256);
        alpha[0] = 0;
        alpha[1] = 255;
    }
    return bitmap;
}

class ImageFileTest : public ::testing::Test {
  protected:
    QString PathOf(const QString& name) const { return dir_.filePath(name); }
    QStringList Entries() const {
        return QDir(dir_.path()).entryList(QDir::Files | QDir::Hidden | QDir::System);
    }

    QTemporaryDir dir_;
};

// ---- Round trips -------------------------------------------------------------------------

struct LosslessCase {
    const char* extension;
    bool keepsAlpha;
};

void PrintTo(const LosslessCase& c, std::ostream* os) {
    *os << c.extension;
}

class LosslessRoundTrip : public ImageFileTest,
                          public ::testing::WithParamInterface<LosslessCase> {};

TEST_P(LosslessRoundTrip, KeepsEveryColourByteAndAlphaWhereTheFormatHasIt) {
    const LosslessCase c = GetParam();
    const QString path = PathOf(QStringLiteral("round.") + c.extension);
    const Bitmap original = Sample(true);
    const FileResult saved = SaveImageFile(path, original);
    ASSERT_TRUE(saved.ok) << saved.reason.toStdString();
    EXPECT_EQ(ExtensionKeepsAlpha(c.extension), c.keepsAlpha);

    const LoadedImage loaded = LoadImageFile(path);
    ASSERT_TRUE(loaded.result.ok) << loaded.result.reason.toStdString();
    ASSERT_EQ(loaded.bitmap.Width(), 7);
    ASSERT_EQ(loaded.bitmap.Height(), 5);
    Bitmap colours = loaded.bitmap;
    colours.DropAlpha();
    Bitmap expectedColours = original;
    expectedColours.DropAlpha();
    EXPECT_EQ(colours, expectedColours);
    if (c.keepsAlpha)
        EXPECT_EQ(loaded.bitmap.AlphaChannel(), original.AlphaChannel());
    else
        EXPECT_FALSE(loaded.bitmap.HasAlpha());
}

INSTANTIATE_TEST_SUITE_P(Formats, LosslessRoundTrip,
                         ::testing::Values(LosslessCase{"png", true}, LosslessCase{"tif", true},
                                           LosslessCase{"tiff", true}, LosslessCase{"tga", true},
                                           LosslessCase{"bmp", false}));

TEST_F(ImageFileTest, OpaqueImagesLoadWithoutAlpha) {
    for (const char* extension : {"png", "tif", "tga"}) {
        Bitmap opaque = Sample(true);
        opaque.SetAlphaChannel(std::vector<uint8_t>(opaque.PixelCount(), 255));
        const QString path = PathOf(QStringLiteral("opaque.") + extension);
        ASSERT_TRUE(SaveImageFile(path, opaque).ok);
        const LoadedImage loaded = LoadImageFile(path);
        ASSERT_TRUE(loaded.result.ok) << extension;
        EXPECT_FALSE(loaded.bitmap.HasAlpha()) << extension;
        EXPECT_EQ(loaded.bitmap, Sample(false)) << extension;
    }
}

TEST_F(ImageFileTest, JpegLosesAlphaAndKeepsTheColoursUnderIt) {
    // A flat colour, half transparent: JPEG writes the colours as they are, without alpha.
    Bitmap bitmap(16, 16, Rgb{255, 255, 255});
    uint8_t* alpha = bitmap.AlphaForWriting();
    for (int i = 0; i < 128; ++i)
        alpha[i] = 0;
    for (const char* extension : {"jpg", "jpeg", "JPG"}) {
        const QString path = PathOf(QStringLiteral("photo.") + extension);
        ASSERT_TRUE(SaveImageFile(path, bitmap).ok) << extension;
        const LoadedImage loaded = LoadImageFile(path);
        ASSERT_TRUE(loaded.result.ok) << extension;
        EXPECT_FALSE(loaded.bitmap.HasAlpha());
        EXPECT_EQ(QImageReader(path).format(), QByteArray("jpeg"));
        for (int y = 0; y < 16; ++y)
            for (int x = 0; x < 16; ++x) {
                const Rgb p = loaded.bitmap.PixelAt(x, y);
                EXPECT_GE(std::min({p.red, p.green, p.blue}), 250) << x << "," << y;
            }
    }
}

// The JPEG of a 16 x 8 picture (red left half, blue right half) with an EXIF block saying that it
// is shown turned 90 degrees clockwise (orientation 6), as phones store portrait photos.
QByteArray SidewaysJpeg() {
    QImage picture(16, 8, QImage::Format_RGB32);
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 16; ++x)
            picture.setPixel(x, y, x < 8 ? qRgb(255, 0, 0) : qRgb(0, 0, 255));
    QByteArray jpeg;
    QBuffer buffer(&jpeg);
    buffer.open(QIODevice::WriteOnly);
    EXPECT_TRUE(picture.save(&buffer, "jpg", 100));
    // APP1 "Exif": a little-endian TIFF header and one directory entry, Orientation (0x0112),
    // SHORT, count 1, value 6.
    const char exif[] =
        "\xFF\xE1\x00\x22"
        "Exif\0\0"
        "II\x2A\x00\x08\x00\x00\x00"
        "\x01\x00"
        "\x12\x01\x03\x00\x01\x00\x00\x00\x06\x00\x00\x00"
        "\x00\x00\x00\x00";
    jpeg.insert(2, QByteArray(exif, sizeof exif - 1));  // right after the start-of-image marker
    return jpeg;
}

TEST_F(ImageFileTest, JpegIsTurnedAsItsExifOrientationSays) {
    const QString path = PathOf(QStringLiteral("portrait.jpg"));
    WriteFileBytes(path, SidewaysJpeg());
    const LoadedImage loaded = LoadImageFile(path);
    ASSERT_TRUE(loaded.result.ok) << loaded.result.message.toStdString();
    ASSERT_EQ(loaded.bitmap.Width(), 8);
    ASSERT_EQ(loaded.bitmap.Height(), 16);
    // Turned clockwise, the left half (red) is on top.
    for (const auto& [y, red] : {std::pair{1, true}, std::pair{14, false}}) {
        const Rgb p = loaded.bitmap.PixelAt(4, y);
        EXPECT_EQ(p.red > 200, red) << "row " << y;
        EXPECT_EQ(p.blue > 200, !red) << "row " << y;
    }
}

// Each format's option changes the file it writes, and only that format's; a default left as -1
// writes what the dialog shows as the writer's default.
TEST_F(ImageFileTest, OutputSettingsApplyToTheirFormats) {
    // Flat 16 x 16 blocks with sharp edges: compressible, with detail for the lossy writers.
    Bitmap textured(96, 64);
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 96; ++x)
            textured.SetPixel(x, y,
                              Rgb{uint8_t(x / 16 * 40), uint8_t(y / 16 * 60),
                                  uint8_t((x / 16 + y / 16) % 2 * 200)});
    const auto bytesWith = [&](const char* extension, const OutputSettings& settings) {
        const QString path = PathOf(QStringLiteral("out.") + extension);
        EXPECT_TRUE(SaveImageFile(path, textured, settings).ok) << extension;
        return ReadFileBytes(path);
    };
    const struct {
        const char* extension;
        OutputSettings larger;
        OutputSettings smaller;
        OutputSettings explicitDefault;
        bool lossless;
    } cases[] = {
        {"jpg", {.jpegQuality = 98}, {.jpegQuality = 10}, {.jpegQuality = 75}, false},
        {"webp", {.webpQuality = 98}, {.webpQuality = 10}, {.webpQuality = 75}, false},
        {"png", {.pngCompression = 0}, {.pngCompression = 9}, {.pngCompression = 6}, true},
        {"tif", {.tiffCompressed = false}, {.tiffCompressed = true}, {}, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.extension);
        const QByteArray larger = bytesWith(c.extension, c.larger);
        const QByteArray smaller = bytesWith(c.extension, c.smaller);
        EXPECT_GT(larger.size(), smaller.size());
        EXPECT_EQ(bytesWith(c.extension, {}), bytesWith(c.extension, c.explicitDefault));
        // Another format's option changes nothing here.
        const OutputSettings unrelated{
            .jpegQuality = 3, .webpQuality = 3, .pngCompression = 1, .tiffCompressed = true};
        if (std::string_view(c.extension) == "tif") {
            EXPECT_EQ(bytesWith(c.extension, unrelated), smaller);
        }
        if (c.lossless) {
            for (const OutputSettings& settings : {c.larger, c.smaller}) {
                ASSERT_TRUE(SaveImageFile(PathOf(QStringLiteral("check.") + c.extension), textured,
                                          settings)
                                .ok);
                EXPECT_EQ(LoadImageFile(PathOf(QStringLiteral("check.") + c.extension)).bitmap,
                          textured);
            }
        }
    }
}

TEST_F(ImageFileTest, WebpKeepsAlpha) {
    const QString path = PathOf(QStringLiteral("image.webp"));
    Bitmap bitmap(8, 8, Rgb{30, 160, 90});
    uint8_t* alpha = bitmap.AlphaForWriting();
    for (int i = 0; i < 64; ++i)
        alpha[i] = i < 32 ? 0 : 255;
    ASSERT_TRUE(SaveImageFile(path, bitmap).ok);
    const LoadedImage loaded = LoadImageFile(path);
    ASSERT_TRUE(loaded.result.ok) << loaded.result.reason.toStdString();
    ASSERT_TRUE(loaded.bitmap.HasAlpha());
    EXPECT_EQ(loaded.bitmap.AlphaAt(3, 1), 0);
    EXPECT_EQ(loaded.bitmap.AlphaAt(3, 6), 255);
    const Rgb p = loaded.bitmap.PixelAt(3, 6);
    EXPECT_NEAR(p.red, 30, 8);
    EXPECT_NEAR(p.green, 160, 8);
    EXPECT_NEAR(p.blue, 90, 8);
}

// ---- Pixel layouts other than 24-bit colour ----------------------------------------------

TEST_F(ImageFileTest, GreyPngLoadsAsEqualChannels) {
    QImage grey(3, 1, QImage::Format_Grayscale8);
    grey.scanLine(0)[0] = 0;
    grey.scanLine(0)[1] = 77;
    grey.scanLine(0)[2] = 255;
    const QString path = PathOf(QStringLiteral("grey.png"));
    ASSERT_TRUE(grey.save(path));
    const LoadedImage loaded = LoadImageFile(path);
    ASSERT_TRUE(loaded.result.ok);
    EXPECT_FALSE(loaded.bitmap.HasAlpha());
    EXPECT_EQ(loaded.bitmap.PixelAt(0, 0), (Rgb{0, 0, 0}));
    EXPECT_EQ(loaded.bitmap.PixelAt(1, 0), (Rgb{77, 77, 77}));
    EXPECT_EQ(loaded.bitmap.PixelAt(2, 0), (Rgb{255, 255, 255}));
}

TEST_F(ImageFileTest, PalettePngLoadsItsColoursAndTransparency) {
    QImage palette(3, 1, QImage::Format_Indexed8);
    palette.setColorTable({qRgba(200, 10, 20, 255), qRgba(0, 128, 0, 100), qRgba(5, 6, 250, 255)});
    for (int x = 0; x < 3; ++x)
        palette.scanLine(0)[x] = uchar(2 - x);
    const QString path = PathOf(QStringLiteral("palette.png"));
    ASSERT_TRUE(palette.save(path));
    ASSERT_EQ(QImage(path).format(), QImage::Format_Indexed8);  // really stored as a palette
    const LoadedImage loaded = LoadImageFile(path);
    ASSERT_TRUE(loaded.result.ok);
    EXPECT_EQ(loaded.bitmap.PixelAt(0, 0), (Rgb{5, 6, 250}));
    EXPECT_EQ(loaded.bitmap.PixelAt(1, 0), (Rgb{0, 128, 0}));
    EXPECT_EQ(loaded.bitmap.PixelAt(2, 0), (Rgb{200, 10, 20}));
    EXPECT_EQ(loaded.bitmap.AlphaChannel(), (std::vector<uint8_t>{255, 100, 255}));
}

TEST_F(ImageFileTest, SixteenBitPngLoadsAsEightBits) {
    QImage deep(2, 1, QImage::Format_RGBA64);
    deep.setPixelColor(0, 0, QColor::fromRgba64(10 * 257, 200 * 257, 255 * 257, 65535));
    deep.setPixelColor(1, 0, QColor::fromRgba64(0, 1 * 257, 128 * 257, 64 * 257));
    const QString path = PathOf(QStringLiteral("deep.png"));
    ASSERT_TRUE(deep.save(path));
    ASSERT_EQ(QImage(path).depth(), 64);
    const LoadedImage loaded = LoadImageFile(path);
    ASSERT_TRUE(loaded.result.ok);
    EXPECT_EQ(loaded.bitmap.PixelAt(0, 0), (Rgb{10, 200, 255}));
    EXPECT_EQ(loaded.bitmap.PixelAt(1, 0), (Rgb{0, 1, 128}));
    EXPECT_EQ(loaded.bitmap.AlphaChannel(), (std::vector<uint8_t>{255, 64}));
}

TEST_F(ImageFileTest, AnimatedGifLoadsItsFirstFrame) {
    const QString path = PathOf(QStringLiteral("anim.gif"));
    ASSERT_TRUE(WriteFileBytes(path, testing::TwoFrameGif()));
    ASSERT_EQ(QImageReader(path).imageCount(), 2);
    const LoadedImage loaded = LoadImageFile(path);
    ASSERT_TRUE(loaded.result.ok) << loaded.result.reason.toStdString();
    EXPECT_EQ(loaded.bitmap.PixelAt(0, 0), (Rgb{255, 0, 0}));
}

TEST_F(ImageFileTest, CmykTiffLoadsAsRgb) {
    const QString path = PathOf(QStringLiteral("cmyk.tif"));
    // Cyan; magenta at half black (k = 255 - 128 = 127 scales every channel); white.
    const QByteArray cmyk(
        "\xFF\x00\x00\x00"
        "\x00\xFF\x00\x80"
        "\x00\x00\x00\x00",
        12);
    ASSERT_TRUE(WriteFileBytes(path, testing::CmykTiff(cmyk)));
    const LoadedImage loaded = LoadImageFile(path);
    ASSERT_TRUE(loaded.result.ok) << loaded.result.reason.toStdString();
    ASSERT_EQ(loaded.bitmap.Width(), 3);
    EXPECT_EQ(loaded.bitmap.PixelAt(0, 0), (Rgb{0, 255, 255}));
    EXPECT_EQ(loaded.bitmap.PixelAt(1, 0), (Rgb{127, 0, 127}));
    EXPECT_EQ(loaded.bitmap.PixelAt(2, 0), (Rgb{255, 255, 255}));
    EXPECT_FALSE(loaded.bitmap.HasAlpha());
}

TEST_F(ImageFileTest, ContentsDecideTheFormatOfAMisnamedFile) {
    const QString jpeg = PathOf(QStringLiteral("real.jpg"));
    ASSERT_TRUE(SaveImageFile(jpeg, Bitmap(4, 4, Rgb{0, 0, 255})).ok);
    const QString misnamed = PathOf(QStringLiteral("looks.png"));
    ASSERT_TRUE(QFile::copy(jpeg, misnamed));
    const LoadedImage loaded = LoadImageFile(misnamed);
    ASSERT_TRUE(loaded.result.ok);
    EXPECT_EQ(loaded.bitmap.Width(), 4);
}

// ---- Files that are not good images -------------------------------------------------------

TEST_F(ImageFileTest, BadFilesFailWithAMessage) {
    // A valid PNG to cut short.
    QImage noise(64, 64, QImage::Format_RGB32);
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 64; ++x)
            noise.setPixel(x, y, qRgb(x * 4, y * 4, (x * y) % 256));
    const QString good = PathOf(QStringLiteral("good.png"));
    ASSERT_TRUE(noise.save(good));
    const QByteArray goodBytes = ReadFileBytes(good);

    struct BadFile {
        const char* name;
        QByteArray bytes;
        const char* expectedWords;
    };
    const BadFile cases[] = {
        {"empty.png", QByteArray(), "空"},
        {"text.png", QByteArray("this is not an image\n"), "不是可识别"},
        {"truncated.png", goodBytes.left(goodBytes.size() / 2), "损坏"},
        {"header-only.png", goodBytes.left(40), "损坏"},
        {"huge.png", testing::PngClaimingSize(100000, 100000), "过大"},
        {"wide.png", testing::PngClaimingSize(70000, 10), "过大"},
        // libpng rejects sides beyond a million itself, before any size reaches the check.
        {"overflow.png", testing::PngClaimingSize(0x7FFFFFFF, 0x7FFFFFFF), "无法打开图像"},
    };
    for (const BadFile& bad : cases) {
        SCOPED_TRACE(bad.name);
        const QString path = PathOf(QString::fromLatin1(bad.name));
        ASSERT_TRUE(WriteFileBytes(path, bad.bytes));
        const LoadedImage loaded = LoadImageFile(path);
        EXPECT_FALSE(loaded.result.ok);
        EXPECT_TRUE(loaded.result.message.contains(QString::fromUtf8(bad.expectedWords)))
            << loaded.result.message.toStdString();
        EXPECT_TRUE(loaded.result.reason.contains(path)) << loaded.result.reason.toStdString();
        EXPECT_TRUE(loaded.bitmap.IsEmpty());
    }
}

TEST_F(ImageFileTest, MissingFilesAndFoldersFail) {
    for (const QString& path : {PathOf(QStringLiteral("absent.png")), dir_.path()}) {
        const LoadedImage loaded = LoadImageFile(path);
        EXPECT_FALSE(loaded.result.ok);
        EXPECT_FALSE(loaded.result.message.isEmpty());
    }
}

// ---- Saving --------------------------------------------------------------------------------

TEST_F(ImageFileTest, SaveReplacesAnExistingFile) {
    const QString path = PathOf(QStringLiteral("out.PNG"));
    ASSERT_TRUE(WriteFileBytes(path, "old contents"));
    ASSERT_TRUE(SaveImageFile(path, Sample(true)).ok);
    EXPECT_EQ(QImageReader(path).format(), QByteArray("png"));
    EXPECT_EQ(LoadImageFile(path).bitmap, Sample(true));
    EXPECT_EQ(Entries(), QStringList{QStringLiteral("out.PNG")});  // no temporary left behind
}

TEST_F(ImageFileTest, FailedSavesLeaveTheExistingFileIntact) {
    struct FailedSave {
        const char* name;
        Bitmap bitmap;
        const char* expectedWords;
    };
    const FailedSave cases[] = {
        {"keep.xyz", Sample(false), "不支持"},
        {"keep", Sample(false), "不支持"},
        {"keep.png", Bitmap(), "没有"},
        // TGA sides are 16-bit: the writer fails after the file was opened.
        {"keep.tga", Bitmap(70000, 1), "写入"},
    };
    for (const FailedSave& c : cases) {
        SCOPED_TRACE(c.name);
        const QString path = PathOf(QString::fromLatin1(c.name));
        ASSERT_TRUE(WriteFileBytes(path, "precious"));
        const FileResult result = SaveImageFile(path, c.bitmap);
        EXPECT_FALSE(result.ok);
        EXPECT_TRUE(result.message.contains(QString::fromUtf8(c.expectedWords)))
            << result.message.toStdString();
        EXPECT_FALSE(result.reason.isEmpty());
        EXPECT_EQ(ReadFileBytes(path), QByteArray("precious"));
        QFile::remove(path);
        EXPECT_TRUE(Entries().isEmpty()) << Entries().join(' ').toStdString();
    }
}

TEST_F(ImageFileTest, SavingIntoAMissingFolderOrOntoAFolderFails) {
    for (const QString& path :
         {PathOf(QStringLiteral("no/such/dir/out.png")), PathOf(QStringLiteral("sub.png"))}) {
        QDir(dir_.path()).mkdir(QStringLiteral("sub.png"));
        const FileResult result = SaveImageFile(path, Sample(false));
        EXPECT_FALSE(result.ok) << path.toStdString();
        EXPECT_FALSE(result.message.isEmpty());
    }
    EXPECT_TRUE(QFileInfo(PathOf(QStringLiteral("sub.png"))).isDir());
}

TEST(WritableExtensions, IncludeTheCommonFormats) {
    const QStringList extensions = WritableExtensions();
    for (const char* extension : {"png", "jpg", "jpeg", "bmp", "tif", "tiff", "tga", "webp"})
        EXPECT_TRUE(extensions.contains(QString::fromLatin1(extension))) << extension;
    EXPECT_FALSE(ExtensionKeepsAlpha(QStringLiteral("jpg")));
    EXPECT_FALSE(ExtensionKeepsAlpha(QStringLiteral("bmp")));
    EXPECT_TRUE(ExtensionKeepsAlpha(QStringLiteral("PNG")));
}

}  // namespace
}  // namespace io
