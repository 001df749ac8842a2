#include "job.h"

#include <algorithm>
#include <exception>
#include <new>
#include <stdexcept>
#include <string>
#include <vector>

#include "effects.h"
#include "imaging/bitmap.h"
#include "io/image_file.h"
#include "marks.h"
#include "output_files.h"
#include "regions.h"
#include "segmentation.h"

namespace cut {

namespace {

class Reporter {
  public:
    explicit Reporter(std::FILE* stream) : stream_(stream) {}

    int Error(const std::string& text, int status) {
        std::fprintf(stream_, "quillane-cut: error: %s\n", text.c_str());
        status_ = std::max(status_, status);
        return status_;
    }
    void Warning(const std::string& text) {
        std::fprintf(stream_, "quillane-cut: warning: %s\n", text.c_str());
    }
    // Keeps the worse of two statuses (usage over failure over success).
    int Status() const { return status_; }

  private:
    std::FILE* stream_;
    int status_ = kExitOk;
};

std::string SizeText(const imaging::Bitmap& bitmap) {
    return std::to_string(bitmap.Width()) + " x " + std::to_string(bitmap.Height());
}

QString Q(const std::string& text) {
    return QString::fromStdString(text);
}

// Reads an input picture; on failure reports why and returns false.
bool ReadInput(const std::string& role, const std::string& path, imaging::Bitmap& bitmap,
               Reporter& report) {
    io::LoadedImage loaded = io::LoadImageFile(Q(path));
    if (!loaded.result.ok || loaded.bitmap.IsEmpty()) {
        const std::string reason = loaded.result.ok ? path + ": the image has no pixels"
                                                    : loaded.result.reason.toStdString();
        report.Error("cannot read the " + role + ": " + reason, kExitUsage);
        return false;
    }
    bitmap = std::move(loaded.bitmap);
    return true;
}

void Save(const io::FileResult& result, Reporter& report) {
    if (!result.ok) report.Error("cannot write " + result.reason.toStdString(), kExitFailure);
}

void SaveImage(const JobSpec& job, const std::string& path, const imaging::Bitmap& bitmap,
               Reporter& report) {
    io::OutputSettings settings;
    if (job.quality) settings.jpegQuality = settings.webpQuality = *job.quality;
    Save(io::SaveImageFile(Q(path), bitmap, settings), report);
}

// The region outputs, from the engine's pre-segmentation on a private state.
void WriteRegionOutputs(const JobSpec& job, const imaging::Bitmap& image, Reporter& report) {
    std::optional<RegionPartition> regions = SegmentIntoRegions(image);
    if (!regions) {
        report.Error("the engine could not pre-segment the image (out of memory)", kExitFailure);
        return;
    }
    if (!job.regionMap.empty())
        Save(SaveRegionMapFile(Q(job.regionMap), regions->regionMap), report);
    if (!job.regions.empty()) {
        SaveImage(job, job.regions,
                  PaintRegionMeans(image, regions->regionMap, regions->regionCount), report);
    }
}

int Run(const JobSpec& job, Reporter& report) {
    // Everything that can be wrong with the command line or the inputs is found before any
    // work, so that a wrong job writes nothing.
    for (const std::string& output : job.ImageOutputFiles()) {
        std::string error;
        if (!CheckImageOutputName(output, error)) return report.Error(error, kExitUsage);
    }
    imaging::Bitmap image;
    if (!ReadInput("image", job.image, image, report)) return report.Status();
    const int width = image.Width();
    const int height = image.Height();

    std::vector<uint8_t> marks(image.PixelCount(), 0);
    if (!job.marks.empty()) {
        imaging::Bitmap marksImage;
        if (!ReadInput("marks image", job.marks, marksImage, report)) return report.Status();
        if (marksImage.Width() != width || marksImage.Height() != height) {
            return report.Error("the marks image '" + job.marks + "' is " + SizeText(marksImage) +
                                    " pixels, but the image '" + job.image + "' is " +
                                    SizeText(image) + "; marks must have the image's size",
                                kExitUsage);
        }
        marks = MarkMapFromImage(marksImage);
    }
    if (const std::string error = ApplyMarkRects(marks, width, height, job.rects); !error.empty())
        return report.Error(error, kExitUsage);
    const MarkCounts counts = CountMarks(marks);
    if (job.NeedsMarks()) {
        if (counts.foreground == 0 && counts.background == 0) {
            std::string where = job.marks.empty() ? std::string("the rectangles mark nothing")
                                                  : "the marks image '" + job.marks +
                                                        "' holds no pure red (255,0,0) or pure "
                                                        "green (0,255,0) pixel, nor grey values "
                                                        "1 or 2";
            return report.Error("no marks: " + where, kExitUsage);
        }
        if (counts.background == 0)
            report.Warning("only foreground marks: the engine selects every pixel");
        else if (counts.foreground == 0)
            report.Warning("only background marks: the engine selects no pixel");
    }
    imaging::Bitmap background;
    if (job.background &&
        !ReadInput("background picture", job.background->picture, background, report))
        return report.Status();

    if (job.NeedsRegions()) WriteRegionOutputs(job, image, report);
    if (!job.NeedsMarks()) return report.Status();

    // The engine, through its exports, exactly as the window calls it.
    std::vector<uint8_t> pixels(image.Data(), image.Data() + 3 * image.PixelCount());
    if (Watershed(pixels.data(), width, height) != 0)
        return report.Error("the engine could not pre-segment the image (out of memory)",
                            kExitFailure);
    std::vector<uint8_t> drawn = pixels;
    std::vector<uint8_t> selection(image.PixelCount(), 0);
    if (job.NeedsSelection())
        Lazy(marks.data(), drawn.data(), selection.data());
    else
        ShowLines(marks.data(), drawn.data());

    if (!job.outlines.empty()) {
        imaging::Bitmap outlined = image;
        std::copy(drawn.begin(), drawn.end(), outlined.Data());
        SaveImage(job, job.outlines, outlined, report);
    }
    if (!job.NeedsSelection()) return report.Status();

    const Coverage coverage = SelectionCoverage(selection);
    if (coverage == Coverage::All && (!job.cutout.empty() || job.fill || job.blur))
        report.Warning("the selection holds every pixel: there is no background to change");
    if (coverage == Coverage::None && job.background)
        report.Warning("nothing is selected: the composite is the background alone");

    if (!job.mask.empty())
        Save(SaveGreyImageFile(Q(job.mask), SelectionMaskValues(selection), width, height,
                               job.quality),
             report);
    if (!job.cutout.empty())
        SaveImage(job, job.cutout, RemoveBackground(image, selection, job.feather), report);
    if (job.fill) {
        SaveImage(
            job, job.fill->output,
            FillBackground(image, selection, job.fill->colour, uint8_t(job.opacity), job.feather),
            report);
    }
    if (job.blur)
        SaveImage(job, job.blur->output, BlurBackground(image, selection, job.blur->sigma), report);
    if (job.background) {
        ObjectPlacement placement{job.at, job.scale, std::nullopt};
        if (job.objectOpacity) placement.opacity = uint8_t(*job.objectOpacity);
        try {
            SaveImage(job, job.background->output,
                      ReplaceBackground(image, selection, std::move(background), placement),
                      report);
        } catch (const std::length_error&) {
            report.Error("the composite would be larger than " +
                             std::to_string(imaging::Bitmap::kMaxPixelCount) +
                             " pixels; check --at and --scale",
                         kExitUsage);
        }
    }
    return report.Status();
}

}  // namespace

int RunJob(const JobSpec& job, std::FILE* messages) {
    Reporter report(messages);
    try {
        return Run(job, report);
    } catch (const std::bad_alloc&) {
        return report.Error("out of memory", kExitFailure);
    } catch (const std::exception& error) {
        return report.Error(error.what(), kExitFailure);
    }
}

}  // namespace cut
