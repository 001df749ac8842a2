// Files of quillane-cut besides pictures: grey masks, raw region maps, region pictures.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QImage>
#include <QTemporaryDir>
#include <cstdint>
#include <limits>
#include <stdexcept>
#include <vector>

#include "io/image_file.h"
#include "output_files.h"

namespace cut {
namespace {

class CutOutputFiles : public ::testing::Test {
  protected:
    QString Path(const QString& name) const { return directory_.filePath(name); }
    QTemporaryDir directory_;
};

TEST_F(CutOutputFiles, RegionMapIsLittleEndianInt32InPixelOrder) {
    const std::vector<int32_t> map{0, 1, 256, -1, 0x12345678, std::numeric_limits<int32_t>::min()};
    ASSERT_TRUE(SaveRegionMapFile(Path("map.bin"), map).ok);
    QFile file(Path("map.bin"));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    const std::vector<uint8_t> expected{
        0,    0,    0,    0,     //
        1,    0,    0,    0,     //
        0,    1,    0,    0,     //
        0xFF, 0xFF, 0xFF, 0xFF,  //
        0x78, 0x56, 0x34, 0x12,  //
        0,    0,    0,    0x80,  //
    };
    EXPECT_EQ(std::vector<uint8_t>(bytes.begin(), bytes.end()), expected);
}

TEST_F(CutOutputFiles, GreyMaskIsOneChannelWithItsValues) {
    const int width = 7, height = 3;
    std::vector<uint8_t> values(size_t(width) * height);
    for (size_t i = 0; i < values.size(); ++i)
        values[i] = i % 3 == 0 ? 255 : 0;
    for (const QString& name : {QStringLiteral("mask.png"), QStringLiteral("mask.tif"),
                                QStringLiteral("mask.bmp"), QStringLiteral("mask.tga")}) {
        const io::FileResult result = SaveGreyImageFile(Path(name), values, width, height);
        ASSERT_TRUE(result.ok) << result.reason.toStdString();
        const io::LoadedImage loaded = io::LoadImageFile(Path(name));
        ASSERT_TRUE(loaded.result.ok) << name.toStdString();
        ASSERT_EQ(loaded.bitmap.Width(), width);
        ASSERT_EQ(loaded.bitmap.Height(), height);
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x) {
                const uint8_t v = values[size_t(y) * width + size_t(x)];
                EXPECT_EQ(loaded.bitmap.PixelAt(x, y), (imaging::Rgb{v, v, v}))
                    << name.toStdString();
            }
    }
    EXPECT_TRUE(QImage(Path("mask.png")).isGrayscale());
    EXPECT_EQ(QImage(Path("mask.png")).depth(), 8);
}

TEST_F(CutOutputFiles, UnknownFormatsAreRefusedWithTheKnownOnes) {
    std::string error;
    EXPECT_TRUE(CheckImageOutputName("out/a.PNG", error));
    EXPECT_FALSE(CheckImageOutputName("out/a.xyz", error));
    EXPECT_NE(error.find("unknown output format for 'out/a.xyz' (.xyz)"), std::string::npos);
    EXPECT_NE(error.find("png, jpg"), std::string::npos);
    EXPECT_FALSE(CheckImageOutputName("out/noextension", error));
    EXPECT_NE(error.find("(no extension)"), std::string::npos);

    const std::vector<uint8_t> values(4, 255);
    EXPECT_FALSE(SaveGreyImageFile(Path("mask.xyz"), values, 2, 2).ok);
    EXPECT_FALSE(QFile::exists(Path("mask.xyz")));
}

TEST_F(CutOutputFiles, AFailedWriteKeepsTheOldFile) {
    ASSERT_TRUE(SaveRegionMapFile(Path("keep.bin"), std::vector<int32_t>{7}).ok);
    // A directory of that name cannot be replaced by a file.
    ASSERT_TRUE(QDir(directory_.path()).mkdir("taken.bin"));
    EXPECT_FALSE(SaveRegionMapFile(Path("taken.bin"), std::vector<int32_t>{1, 2}).ok);
    EXPECT_FALSE(SaveRegionMapFile(Path("no/such/dir/x.bin"), std::vector<int32_t>{1}).ok);
    QFile kept(Path("keep.bin"));
    ASSERT_TRUE(kept.open(QIODevice::ReadOnly));
    EXPECT_EQ(kept.readAll(), QByteArray("\x07\0\0\0", 4));
}

TEST(CutRegionMeans, PaintsEveryPixelInItsRegionsMeanRoundedHalfUp) {
    imaging::Bitmap image(3, 2);
    const std::vector<uint8_t> bytes{
        1,  100, 0,   2,  101, 0,   50, 0, 0,  // row 0: regions 0, 0, 1
        10, 0,   255, 11, 0,   254, 9,  9, 9,  // row 1: regions 1, 1, 2
    };
    std::copy(bytes.begin(), bytes.end(), image.Data());
    image.AlphaForWriting()[0] = 3;
    const std::vector<int32_t> map{0, 0, 1, 1, 1, 2};
    const imaging::Bitmap painted = PaintRegionMeans(image, map, 3);
    EXPECT_FALSE(painted.HasAlpha());
    // Region 0: blue (1 + 2) / 2 = 1.5 -> 2, green 100.5 -> 101, red 0.
    // Region 1: blue (50 + 10 + 11) / 3 = 23.67 -> 24, green 0, red (0 + 255 + 254) / 3 = 169.67
    // -> 170.
    const std::vector<uint8_t> expected{
        2,  101, 0,   2,  101, 0,   24, 0, 170,  //
        24, 0,   170, 24, 0,   170, 9,  9, 9,    //
    };
    EXPECT_EQ(std::vector<uint8_t>(painted.Data(), painted.Data() + 18), expected);

    EXPECT_THROW(PaintRegionMeans(image, std::vector<int32_t>{0, 0, 0}, 1), std::invalid_argument);
    EXPECT_THROW(PaintRegionMeans(image, std::vector<int32_t>{0, 0, 0, 0, 0, 3}, 3),
                 std::invalid_argument);
}

}  // namespace
}  // namespace cut
