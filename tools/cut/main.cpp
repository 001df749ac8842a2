// quillane-cut: the cut-out of Quillane from the command line, for scripts and batches.
#include <QCoreApplication>
#include <QFile>
#include <QLoggingCategory>
#include <QThread>
#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include <unistd.h>

#include "batch.h"
#include "batch_runner.h"
#include "cut_options.h"
#include "job.h"

namespace {

constexpr const char* kHelp = R"(Usage: quillane-cut IMAGE [MARKS] [OPTIONS]
       quillane-cut IMAGE MARKS IMAGE MARKS ... [OPTIONS]
       quillane-cut --batch LIST [OPTIONS]

Cuts an object out of IMAGE from foreground and background marks, with the segmentation and
the background effects of the Quillane window, and writes any combination of outputs.

Marks:
  MARKS, --marks FILE       a marks image of IMAGE's size: pure red (255,0,0) marks foreground,
                            pure green (0,255,0) background, any other colour nothing; a grey
                            image instead holds the marks as values (1 foreground, 2 background,
                            anything else nothing). Fully transparent pixels mark nothing.
  --fg-rect X,Y,W,H         marks a rectangle as foreground (any number, applied after MARKS,
  --bg-rect X,Y,W,H         in the order given; clipped to the image)

Outputs (the extension picks the format: png, jpg, bmp, tif, tga, webp, ...):
  --mask FILE               the selection as a grey mask, 255 object, 0 background
  --cutout FILE             the object on transparency (remove background, feathered by
                            --feather); formats without alpha show a white background
  --fill COLOUR FILE        the background filled with COLOUR (#rrggbb or R,G,B) at --opacity,
                            its border feathered by --feather
  --blur SIGMA FILE         the background blurred with a Gaussian of strength SIGMA (pixels)
  --background PICTURE FILE the object, cropped to the selection, laid over PICTURE at --at
                            and --scale and merged into one picture
  --outlines FILE           IMAGE with the outlines of the marks drawn in red and green
  --regions FILE            IMAGE with every pre-segmentation region painted in its mean colour
  --region-map FILE         the region index of every pixel, row-major, 32-bit little-endian

Settings:
  --opacity A               alpha of the filled background, 0 to 255 (default 255)
  --feather R               feather radius of --fill and --cutout in pixels (default 2)
  --at X,Y                  top-left corner of the object on the background (default 0,0)
  --scale F                 object size on the background, aspect kept (default 1)
  --object-opacity A        alpha of the object on the background, 0 to 255 (default opaque)
  --quality Q               quality of JPEG and WebP outputs, 0 (smallest file) to 100
                            (default 75)

Output names may hold {name} (IMAGE's file name without extension), {dir} (IMAGE's folder)
and {n} (the job's number), and --marks may hold {name} and {dir}, so that one set of options
serves many images.

Batches:
  --batch LIST              one job per line of LIST ("-" reads standard input): IMAGE [MARKS]
                            and any options above, quoted as in a shell; '#' starts a comment
                            line. Options on the command line apply to every job; a line's own
                            options replace them (rectangles add up).
  -j, --jobs N              jobs running at once, each in its own process (default: the number
                            of processor cores)
  --no-progress             no progress bar (it is shown only when standard error is a terminal)

  Every job runs to its end even when others fail; a summary names each failed job.

Exit status: 0 success; 1 a job or an output failed; 2 a wrong command line or input (missing
or unreadable file, marks image of another size, unknown output format, no marks). A batch
exits with 1 when any of its jobs failed.

Examples:
  quillane-cut photo.jpg marks.png --cutout object.png
  quillane-cut photo.jpg --fg-rect 200,150,300,260 --bg-rect 0,0,40,40 --mask mask.png
  quillane-cut photo.jpg marks.png --fill '#ffffff' white.jpg --feather 3 --blur 6 blurred.jpg
  quillane-cut photo.jpg marks.png --background beach.jpg on-beach.jpg --at 120,80 --scale 0.5
  quillane-cut --batch list.txt --cutout out/{name}.png -j 4
)";

int UsageError(const std::string& message) {
    std::fprintf(stderr, "quillane-cut: error: %s\nTry 'quillane-cut --help'.\n", message.c_str());
    return cut::kExitUsage;
}

bool ReadList(const std::string& name, std::string& text) {
    QFile file;
    bool opened = false;
    if (name == "-") {
        opened = file.open(stdin, QIODevice::ReadOnly);
    } else {
        file.setFileName(QString::fromStdString(name));
        opened = file.open(QIODevice::ReadOnly);
    }
    if (!opened) return false;
    text = file.readAll().toStdString();
    return file.error() == QFileDevice::NoError;
}

int RunPlan(const cut::BatchPlan& plan, const cut::RunOptions& run) {
    if (!plan.error.empty()) return UsageError(plan.error);
    const int cores = std::max(1, QThread::idealThreadCount());
    const int parallel = std::min<int>(run.jobs.value_or(cores), int(plan.jobs.size()));
    const bool progressShown = !run.noProgress && isatty(STDERR_FILENO) == 1;
    cut::ProgressBar progress(stderr, progressShown, int(plan.jobs.size()));
    const std::vector<cut::JobOutcome> outcomes = cut::RunJobs(
        QCoreApplication::applicationFilePath(), plan.jobs, std::max(parallel, 1), progress);
    return cut::ReportSummary(stderr, plan.jobs, outcomes);
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication application(argc, argv);
    // The decoders' own chatter (colour profile notes and the like) is not the user's concern:
    // failures come back as this program's messages. QT_LOGGING_RULES can bring it back.
    QLoggingCategory::setFilterRules(QStringLiteral("qt.gui.imageio=false"));
    const std::vector<std::string> arguments(argv + 1, argv + argc);
    const cut::ParsedArguments parsed = cut::ParseArguments(arguments, true);
    if (!parsed.error.empty()) return UsageError(parsed.error);
    if (parsed.run.help) {
        std::fputs(kHelp, stdout);
        return cut::kExitOk;
    }

    if (parsed.run.batch) {
        if (!parsed.job.inputs.empty())
            return UsageError("images are given either on the command line or in --batch LIST");
        const std::string& listName = *parsed.run.batch;
        std::string text;
        if (!ReadList(listName, text))
            return UsageError("cannot read the batch list '" + listName + "'");
        const std::vector<cut::BatchLine> lines = cut::SplitBatchList(text);
        return RunPlan(cut::PlanBatch(parsed.job, lines, listName == "-" ? "stdin" : listName),
                       parsed.run);
    }

    std::string error;
    const std::vector<cut::JobOptions> jobs = cut::SplitInputs(parsed.job, error);
    if (!error.empty()) return UsageError(error);
    if (jobs.size() > 1) return RunPlan(cut::PlanPairs(jobs), parsed.run);

    const cut::ResolvedJob resolved = cut::ResolveJob(jobs.front(), 1);
    if (!resolved.error.empty()) return UsageError(resolved.error);
    return cut::RunJob(resolved.jobSpec, stderr);
}
