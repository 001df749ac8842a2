// quillane-cut end to end: the built program on generated pictures, checked against the engine
// called directly (the static build of the same sources).
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QProcess>
#include <QTemporaryDir>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "cut_test_images.h"
#include "effects.h"
#include "engine_state.h"
#include "io/image_file.h"
#include "output_files.h"
#include "segmentation.h"

namespace cut {
namespace {

using imaging::Bitmap;
using testing::MakeScene;
using testing::Scene;

struct ProgramRun {
    int exitCode = -1;
    bool normalExit = false;
    std::string out;
    std::string err;
};

ProgramRun RunCut(const QStringList& arguments, const QString& directory) {
    QProcess process;
    process.setWorkingDirectory(directory);
    process.start(QStringLiteral(QUILLANE_CUT_PROGRAM), arguments);
    process.closeWriteChannel();
    ProgramRun run;
    if (!process.waitForFinished(-1)) return run;
    run.normalExit = process.exitStatus() == QProcess::NormalExit;
    run.exitCode = process.exitCode();
    run.out = process.readAllStandardOutput().toStdString();
    run.err = process.readAllStandardError().toStdString();
    return run;
}

bool Contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

// The marks painted for a scene: a red disk in the object's middle and a green frame along the
// picture's edges; `Marks` is the same as a MarkMap.
constexpr double kForegroundRadius = 0.3;
constexpr int kFrame = 2;

std::vector<uint8_t> Marks(const Scene& scene) {
    std::vector<uint8_t> marks(size_t(scene.width) * size_t(scene.height), 0);
    for (int y = 0; y < scene.height; ++y) {
        for (int x = 0; x < scene.width; ++x) {
            uint8_t& mark = marks[size_t(y) * size_t(scene.width) + size_t(x)];
            if (scene.Radius(x, y) < kForegroundRadius) mark = 1;
            if (x < kFrame || y < kFrame || x >= scene.width - kFrame || y >= scene.height - kFrame)
                mark = 2;
        }
    }
    return marks;
}

Bitmap PaintedMarks(const std::vector<uint8_t>& marks, int width, int height) {
    Bitmap painting(width, height);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const uint8_t mark = marks[size_t(y) * size_t(width) + size_t(x)];
            if (mark == 1) painting.SetPixel(x, y, {255, 0, 0});
            if (mark == 2) painting.SetPixel(x, y, {0, 255, 0});
        }
    return painting;
}

struct EngineCut {
    std::vector<uint8_t> selection;
    std::vector<uint8_t> outlined;
};

EngineCut CutWithEngine(const Bitmap& image, const std::vector<uint8_t>& marks) {
    std::vector<uint8_t> pixels(image.Data(), image.Data() + 3 * image.PixelCount());
    EXPECT_EQ(Watershed(pixels.data(), image.Width(), image.Height()), 0);
    EngineCut cut{std::vector<uint8_t>(image.PixelCount(), 0), pixels};
    Lazy(marks.data(), cut.outlined.data(), cut.selection.data());
    return cut;
}

Bitmap Load(const QString& path) {
    io::LoadedImage loaded = io::LoadImageFile(path);
    EXPECT_TRUE(loaded.result.ok) << loaded.result.reason.toStdString();
    return std::move(loaded.bitmap);
}

// A written file holds the bitmap exactly (an alpha of 255 everywhere is not kept).
void ExpectFileHolds(const QString& path, Bitmap expected) {
    expected.DropAlphaIfOpaque();
    const Bitmap written = Load(path);
    EXPECT_TRUE(written == expected) << path.toStdString() << " differs";
}

// The values of a grey mask file.
std::vector<uint8_t> LoadMask(const QString& path) {
    const QImage image(path);
    EXPECT_EQ(image.format(), QImage::Format_Grayscale8) << path.toStdString();
    std::vector<uint8_t> values;
    for (int y = 0; y < image.height(); ++y)
        values.insert(values.end(), image.constScanLine(y), image.constScanLine(y) + image.width());
    return values;
}

class QuillaneCut : public ::testing::Test {
  protected:
    static constexpr int kWidth = 96;
    static constexpr int kHeight = 72;

    void SetUp() override {
        ASSERT_TRUE(directory_.isValid());
        ASSERT_TRUE(io::SaveImageFile(Path("image.png"), scene_.image).ok);
        ASSERT_TRUE(io::SaveImageFile(Path("marks.png"), PaintedMarks(marks_, kWidth, kHeight)).ok);
    }

    QString Path(const QString& name) const { return directory_.filePath(name); }
    ProgramRun Run(const QStringList& arguments) const {
        return RunCut(arguments, directory_.path());
    }

    QTemporaryDir directory_;
    const Scene scene_ = MakeScene(kWidth, kHeight);
    const std::vector<uint8_t> marks_ = Marks(scene_);
};

TEST_F(QuillaneCut, MaskAndOutlinesAreTheEnginesSelectionAndOutlines) {
    const ProgramRun run =
        Run({"image.png", "marks.png", "--mask", "mask.png", "--outlines", "lines.png"});
    ASSERT_TRUE(run.normalExit);
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.err, "");

    const EngineCut engine = CutWithEngine(scene_.image, marks_);
    EXPECT_EQ(LoadMask(Path("mask.png")), SelectionMaskValues(engine.selection));
    Bitmap outlined = scene_.image;
    std::memcpy(outlined.Data(), engine.outlined.data(), engine.outlined.size());
    ExpectFileHolds(Path("lines.png"), outlined);

    // The selection is the object: a check of the scene, so that the tests below mean something.
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x) {
            const double radius = scene_.Radius(x, y);
            const uint8_t selected = engine.selection[size_t(y) * kWidth + size_t(x)];
            if (radius < 0.7) {
                EXPECT_EQ(selected, 1) << x << "," << y;
            }
            if (radius > 1.4) {
                EXPECT_EQ(selected, 0) << x << "," << y;
            }
        }
}

TEST_F(QuillaneCut, GreyMarkValuesAndRectanglesAreMarksToo) {
    QImage grey(kWidth, kHeight, QImage::Format_Grayscale8);
    for (int y = 0; y < kHeight; ++y)
        std::memcpy(grey.scanLine(y), marks_.data() + size_t(y) * kWidth, kWidth);
    ASSERT_TRUE(grey.save(Path("marks-grey.png")));
    ASSERT_EQ(Run({"image.png", "marks-grey.png", "--mask", "grey.png"}).exitCode, 0);
    EXPECT_EQ(LoadMask(Path("grey.png")),
              SelectionMaskValues(CutWithEngine(scene_.image, marks_).selection));

    // A foreground rectangle in the object, background rectangles along two edges.
    const ProgramRun run = Run({"image.png", "--fg-rect", "40,30,16,12", "--bg-rect", "0,0,96,3",
                                "--bg-rect=-5,60,200,50", "--mask", "rects.png"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    std::vector<uint8_t> rectMarks(size_t(kWidth) * kHeight, 0);
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x) {
            uint8_t& mark = rectMarks[size_t(y) * kWidth + size_t(x)];
            if (x >= 40 && x < 56 && y >= 30 && y < 42) mark = 1;
            if (y < 3 || y >= 60) mark = 2;
        }
    EXPECT_EQ(LoadMask(Path("rects.png")),
              SelectionMaskValues(CutWithEngine(scene_.image, rectMarks).selection));
}

TEST_F(QuillaneCut, CutoutIsTransparentOnTheBackgroundAndOpaqueOnTheObject) {
    const ProgramRun run = Run({"image.png", "marks.png", "--cutout", "cut.png"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    const std::vector<uint8_t> selection = CutWithEngine(scene_.image, marks_).selection;
    const Bitmap cut = Load(Path("cut.png"));
    ASSERT_TRUE(cut.HasAlpha());
    for (int y = 0; y < kHeight; ++y) {
        for (int x = 0; x < kWidth; ++x) {
            const bool selected = selection[size_t(y) * kWidth + size_t(x)] == 1;
            EXPECT_EQ(cut.AlphaAt(x, y), selected ? 255 : 0) << x << "," << y;
            const double radius = scene_.Radius(x, y);
            if (radius < 0.5) {
                // The object's interior: opaque and untouched.
                EXPECT_EQ(cut.AlphaAt(x, y), 255);
                EXPECT_EQ(cut.PixelAt(x, y), scene_.image.PixelAt(x, y)) << x << "," << y;
            }
            if (radius > 2.0) {
                // Far background: transparent white (254 or 255 through the mask).
                EXPECT_EQ(cut.AlphaAt(x, y), 0);
                EXPECT_GE(cut.PixelAt(x, y).green, 254);
            }
        }
    }
}

TEST_F(QuillaneCut, EffectOutputsAreTheEffectsOnTheEnginesSelection) {
    const Bitmap background = testing::NoiseImage(70, 50, 21);
    ASSERT_TRUE(io::SaveImageFile(Path("bg.png"), background).ok);
    const ProgramRun run =
        Run({"image.png",    "marks.png",        "--fill",   "20,200,90", "fill.png", "--opacity",
             "100",          "--feather",        "3",        "--blur",    "2.5",      "blur.png",
             "--background", "bg.png",           "comp.png", "--at",      "-5,7",     "--scale",
             "0.5",          "--object-opacity", "200",      "--cutout",  "cut.tif"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    const std::vector<uint8_t> selection = CutWithEngine(scene_.image, marks_).selection;
    ExpectFileHolds(Path("fill.png"),
                    FillBackground(scene_.image, selection, {20, 200, 90}, 100, 3.0));
    ExpectFileHolds(Path("blur.png"), BlurBackground(scene_.image, selection, 2.5));
    ExpectFileHolds(Path("comp.png"),
                    ReplaceBackground(scene_.image, selection, background, {{-5, 7}, 0.5, 200}));
    ExpectFileHolds(Path("cut.tif"), RemoveBackground(scene_.image, selection, 3.0));
}

TEST_F(QuillaneCut, QualitySetsTheJpegOutputsQuality) {
    const auto sizesAt = [this](const char* quality) {
        const ProgramRun run = Run({"image.png", "marks.png", "--fill", "255,255,255", "fill.jpg",
                                    "--mask", "mask.jpg", "--quality", quality});
        EXPECT_EQ(run.exitCode, 0) << run.err;
        return std::pair{QFileInfo(Path("fill.jpg")).size(), QFileInfo(Path("mask.jpg")).size()};
    };
    const auto [fineFill, fineMask] = sizesAt("98");
    const auto [coarseFill, coarseMask] = sizesAt("5");
    EXPECT_GT(fineFill, coarseFill);
    EXPECT_GT(fineMask, coarseMask);
}

TEST_F(QuillaneCut, WrongInputsAreRefusedWithAMessageAndStatus2) {
    ASSERT_TRUE(
        io::SaveImageFile(Path("wide-marks.png"),
                          PaintedMarks(std::vector<uint8_t>(100 * kHeight, 1), 100, kHeight))
            .ok);
    ASSERT_TRUE(io::SaveImageFile(Path("blank-marks.png"), Bitmap(kWidth, kHeight)).ok);
    QFile text(Path("text.png"));
    ASSERT_TRUE(text.open(QIODevice::WriteOnly));
    text.write("not a picture at all");
    text.close();

    struct Case {
        QStringList arguments;
        std::string message;
    };
    const std::vector<Case> cases{
        {{"image.png", "wide-marks.png", "--mask", "out.png"},
         "the marks image 'wide-marks.png' is 100 x 72 pixels, but the image 'image.png' is "
         "96 x 72"},
        {{"absent.png", "marks.png", "--mask", "out.png"},
         "cannot read the image: absent.png: no such file"},
        {{"image.png", "absent.png", "--mask", "out.png"},
         "cannot read the marks image: absent.png: no such file"},
        {{"image.png", "marks.png", "--background", "absent.png", "out.png"},
         "cannot read the background picture: absent.png: no such file"},
        {{"text.png", "marks.png", "--mask", "out.png"}, "cannot read the image: text.png"},
        {{"image.png", "marks.png", "--mask", "out.xyz"}, "unknown output format for 'out.xyz'"},
        {{"image.png", "marks.png", "--cutout", "out"}, "(no extension)"},
        {{"image.png", "blank-marks.png", "--mask", "out.png"}, "no marks: the marks image"},
        {{"image.png", "--fg-rect", "96,0,5,5", "--mask", "out.png"}, "lies outside the image"},
        {{"image.png", "--mask", "out.png"}, "no marks"},
        {{"image.png", "marks.png", "--mask", "out.png", "--opacity", "x"}, "--opacity"},
        {{"image.png", "marks.png", "--mask", "image.png"}, "would overwrite the input"},
        {{"image.png", "marks.png"}, "nothing to do"},
        {{}, "no image given"},
    };
    for (const Case& c : cases) {
        const ProgramRun run = Run(c.arguments);
        const std::string label = c.arguments.join(' ').toStdString();
        EXPECT_TRUE(run.normalExit) << label;
        EXPECT_EQ(run.exitCode, 2) << label;
        EXPECT_TRUE(Contains(run.err, "quillane-cut: error: ") && Contains(run.err, c.message))
            << label << ": " << run.err;
        for (const char* output : {"out.png", "out.xyz", "out"})
            EXPECT_FALSE(QFile::exists(Path(output))) << label;
    }
}

TEST_F(QuillaneCut, AFailedOutputDoesNotStopTheOthers) {
    const ProgramRun run =
        Run({"image.png", "marks.png", "--mask", "no-such-folder/mask.png", "--cutout", "cut.png"});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_TRUE(Contains(run.err, "quillane-cut: error: cannot write no-such-folder/mask.png"))
        << run.err;
    EXPECT_TRUE(QFile::exists(Path("cut.png")));
}

// Foreground marks alone select every pixel: there is no background, and the effects keep the
// object instead of filling, blurring or removing it.
TEST_F(QuillaneCut, WithoutBackgroundMarksTheEffectsKeepThePicture) {
    const ProgramRun run = Run({"image.png", "--fg-rect", "40,30,10,10", "--cutout", "cut.png",
                                "--blur", "3", "blur.png", "--mask", "mask.png"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_TRUE(Contains(run.err, "warning: only foreground marks")) << run.err;
    EXPECT_TRUE(Contains(run.err, "warning: the selection holds every pixel")) << run.err;
    EXPECT_EQ(LoadMask(Path("mask.png")), std::vector<uint8_t>(size_t(kWidth) * kHeight, 255));
    ExpectFileHolds(Path("cut.png"), scene_.image);
    ExpectFileHolds(Path("blur.png"), scene_.image);
}

TEST_F(QuillaneCut, ABatchFinishesItsGoodJobsAndNamesTheBrokenOne) {
    const Scene second = MakeScene(kWidth, kHeight, 99);
    ASSERT_TRUE(io::SaveImageFile(Path("second.png"), second.image).ok);
    ASSERT_TRUE(QDir(directory_.path()).mkdir("out"));
    QFile list(Path("list.txt"));
    ASSERT_TRUE(list.open(QIODevice::WriteOnly));
    list.write(
        "# product photos\n"
        "image.png marks.png\n"
        "missing.png marks.png\n"
        "\n"
        "second.png marks.png --mask out/second-{n}.png\n");
    list.close();
    const ProgramRun run =
        Run({"--batch", "list.txt", "--mask", "out/{name}.png", "--jobs", "2", "--no-progress"});
    ASSERT_TRUE(run.normalExit);
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_TRUE(Contains(run.err, "quillane-cut: 3 jobs: 2 done, 1 failed")) << run.err;
    EXPECT_TRUE(Contains(run.err,
                         "quillane-cut: failed: list.txt:3 (missing.png): error: cannot "
                         "read the image: missing.png: no such file"))
        << run.err;
    EXPECT_FALSE(Contains(run.err, "failed: list.txt:2")) << run.err;
    EXPECT_FALSE(Contains(run.err, "failed: list.txt:5")) << run.err;

    EXPECT_EQ(LoadMask(Path("out/image.png")),
              SelectionMaskValues(CutWithEngine(scene_.image, marks_).selection));
    EXPECT_EQ(LoadMask(Path("out/second-3.png")),
              SelectionMaskValues(CutWithEngine(second.image, marks_).selection));
    EXPECT_FALSE(QFile::exists(Path("out/missing.png")));
}

TEST_F(QuillaneCut, SeveralPairsRunAsJobsOfOneBatch) {
    const Scene second = MakeScene(kWidth, kHeight, 5);
    ASSERT_TRUE(io::SaveImageFile(Path("second.png"), second.image).ok);
    const ProgramRun run = Run({"image.png", "marks.png", "second.png", "marks.png", "--mask",
                                "{name}-mask.png", "-j", "1"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_TRUE(Contains(run.err, "2 jobs: 2 done, 0 failed")) << run.err;
    EXPECT_EQ(LoadMask(Path("second-mask.png")),
              SelectionMaskValues(CutWithEngine(second.image, marks_).selection));
    EXPECT_EQ(LoadMask(Path("image-mask.png")),
              SelectionMaskValues(CutWithEngine(scene_.image, marks_).selection));
}

TEST_F(QuillaneCut, RegionMapIsTheEnginesInternalRegionMap) {
    const Scene small = MakeScene(40, 30, 3);
    ASSERT_TRUE(io::SaveImageFile(Path("small.png"), small.image).ok);
    const ProgramRun run =
        Run({"small.png", "--region-map", "small.bin", "--regions", "means.png"});
    ASSERT_EQ(run.exitCode, 0) << run.err;

    mirrask::EngineState state;
    ASSERT_EQ(mirrask::RunWatershed(state, small.image.Data(), 40, 30), 0);
    ASSERT_GT(state.RegionCount, 1);
    QFile file(Path("small.bin"));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    ASSERT_EQ(bytes.size(), 40 * 30 * 4);
    mirrask::RegionIndexMap written(40 * 30);
    for (size_t i = 0; i < written.size(); ++i) {
        const auto* b = reinterpret_cast<const uint8_t*>(bytes.constData()) + 4 * i;
        written[i] = int32_t(uint32_t(b[0]) | uint32_t(b[1]) << 8 | uint32_t(b[2]) << 16 |
                             uint32_t(b[3]) << 24);
    }
    EXPECT_EQ(written, state.RegionMap);
    ExpectFileHolds(Path("means.png"),
                    PaintRegionMeans(small.image, state.RegionMap, state.RegionCount));
}

TEST_F(QuillaneCut, HelpDescribesTheCommandLine) {
    const ProgramRun run = Run({"--help"});
    EXPECT_EQ(run.exitCode, 0);
    for (const char* part : {"Usage: quillane-cut IMAGE [MARKS]", "--batch LIST", "--jobs N",
                             "--region-map FILE", "Exit status"})
        EXPECT_TRUE(Contains(run.out, part)) << part;
}

}  // namespace
}  // namespace cut
