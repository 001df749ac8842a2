// The command line of quillane-cut: the options of one job, the options of a whole run, how a
// batch line's options combine with the command line's, and the finished description of a job.
//
// Syntax (one job):  IMAGE [MARKS] [options]
//   marks      MARKS or --marks FILE, --fg-rect X,Y,W,H, --bg-rect X,Y,W,H (any number)
//   outputs    --mask FILE, --cutout FILE, --fill COLOUR FILE, --blur SIGMA FILE,
//              --background PICTURE FILE, --outlines FILE, --regions FILE, --region-map FILE
//   settings   --opacity A, --feather R, --at X,Y, --scale F, --object-opacity A, --quality Q
// A single-value option may also be written --name=value. "--" ends the options.
#ifndef QUILLANE_TOOLS_CUT_OPTIONS_H
#define QUILLANE_TOOLS_CUT_OPTIONS_H

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "imaging/colour.h"

namespace cut {

inline constexpr uint8_t kForegroundMark = 1;
inline constexpr uint8_t kBackgroundMark = 2;

// Defaults of the effect settings: those the window starts with.
inline constexpr int kDefaultOpacity = 255;
inline constexpr double kDefaultFeather = 2.0;
// Upper limits of the Gaussian settings: far beyond any useful value, low enough that the
// Gaussian's taps stay few.
inline constexpr double kMaxFeather = 100.0;
inline constexpr double kMaxBlur = 100.0;
inline constexpr double kMaxScale = 100.0;

// A rectangle of marks, x, y the top-left pixel, clipped to the image when applied.
struct MarkRect {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
    uint8_t mark = kForegroundMark;
    friend bool operator==(const MarkRect&, const MarkRect&) = default;
};

struct Point {
    int x = 0;
    int y = 0;
    friend bool operator==(const Point&, const Point&) = default;
};

struct FillRequest {
    imaging::Rgb colour;
    std::string output;
    friend bool operator==(const FillRequest&, const FillRequest&) = default;
};

struct BlurRequest {
    double sigma = 1.0;
    std::string output;
    friend bool operator==(const BlurRequest&, const BlurRequest&) = default;
};

struct BackgroundRequest {
    std::string picture;
    std::string output;
    friend bool operator==(const BackgroundRequest&, const BackgroundRequest&) = default;
};

// What one job's arguments say, as written: unset options take their defaults in ResolveJob.
struct JobOptions {
    std::vector<std::string> inputs;  // positional arguments: IMAGE [MARKS], or pairs of them
    std::optional<std::string> marks;
    std::vector<MarkRect> rects;
    std::optional<std::string> mask;
    std::optional<std::string> cutout;
    std::optional<std::string> outlines;
    std::optional<std::string> regions;
    std::optional<std::string> regionMap;
    std::optional<FillRequest> fill;
    std::optional<BlurRequest> blur;
    std::optional<BackgroundRequest> background;
    std::optional<int> opacity;
    std::optional<double> feather;
    std::optional<Point> at;
    std::optional<double> scale;
    std::optional<int> objectOpacity;
    std::optional<int> quality;  // of JPEG and WebP outputs, 0 to 100
    // The job's number in its run, for the {n} placeholder (given to each worker of a batch).
    std::optional<int> jobNumber;

    friend bool operator==(const JobOptions&, const JobOptions&) = default;
};

// Options of the run as a whole; only on the command line, never in a batch line.
struct RunOptions {
    bool help = false;
    bool noProgress = false;
    std::optional<std::string> batch;  // list file, "-" for standard input
    std::optional<int> jobs;
};

struct ParsedArguments {
    JobOptions job;
    RunOptions run;
    std::string error;  // empty when the arguments are valid
};

// Parses arguments (without the program name). Run options are refused unless allowed.
ParsedArguments ParseArguments(std::span<const std::string> arguments, bool allowRunOptions);

// The arguments that ParseArguments turns back into `options` (numbers written exactly).
std::vector<std::string> ToArguments(const JobOptions& options);

// A batch line's options over the command line's: the line's inputs, rectangles added after the
// common ones, every other option the line sets replacing the common value.
JobOptions CombineOptions(const JobOptions& common, const JobOptions& line);

// Splits the command line's positional inputs into one job each: every input is an image when
// --marks is given, otherwise one input is an image and more come in IMAGE MARKS pairs. Returns
// an empty list and sets `error` for an odd count of paired inputs or no input at all.
std::vector<JobOptions> SplitInputs(const JobOptions& options, std::string& error);

// {name} becomes the image's file name without its last extension, {dir} its folder ("." when
// it has none), {n} the job number; any other text stays as it is.
std::string ExpandPlaceholders(const std::string& pattern, const std::string& image, int number);

// One job with every default applied and every placeholder expanded. Outputs not wanted are
// empty strings.
struct JobSpec {
    int number = 1;
    std::string image;
    std::string marks;
    std::vector<MarkRect> rects;
    std::string mask;
    std::string cutout;
    std::string outlines;
    std::string regions;
    std::string regionMap;
    std::optional<FillRequest> fill;
    std::optional<BlurRequest> blur;
    std::optional<BackgroundRequest> background;
    int opacity = kDefaultOpacity;
    double feather = kDefaultFeather;
    Point at;
    double scale = 1.0;
    std::optional<int> objectOpacity;
    std::optional<int> quality;  // unset: the writers' default

    // Outputs that need the engine's selection.
    bool NeedsSelection() const;
    // Outputs that need marks (the selection and the outlines).
    bool NeedsMarks() const { return NeedsSelection() || !outlines.empty(); }
    // Outputs of the pre-segmentation alone.
    bool NeedsRegions() const { return !regions.empty() || !regionMap.empty(); }
    // Every output file, image outputs first, the raw region map last.
    std::vector<std::string> OutputFiles() const;
    // The image output files (those whose format follows from the extension).
    std::vector<std::string> ImageOutputFiles() const;
};

struct ResolvedJob {
    JobSpec jobSpec;
    std::string error;  // empty when the job is valid
};

// Checks one job's options (exactly one image, at least one output, no output written twice
// or over an input) and applies defaults and placeholders.
ResolvedJob ResolveJob(const JobOptions& options, int number);

// The same path for files that are the same by name: absolute and lexically normal.
std::string ComparablePath(const std::string& path);

}  // namespace cut

#endif  // QUILLANE_TOOLS_CUT_OPTIONS_H
