// The command line of quillane-cut: parsing, defaults, placeholders, combining a batch line with
// the command line, and the checks on one job.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "cut_options.h"

namespace cut {
namespace {

using Arguments = std::vector<std::string>;

ParsedArguments Parse(const Arguments& arguments, bool allowRunOptions = true) {
    return ParseArguments(arguments, allowRunOptions);
}

TEST(CutOptions, ParsesEveryOptionInBothSpellings) {
    const ParsedArguments parsed = Parse({"photo.jpg",
                                          "marks.png",
                                          "--mask",
                                          "m.png",
                                          "--cutout=c.png",
                                          "--fill",
                                          "#FF8000",
                                          "f.jpg",
                                          "--blur=2.5",
                                          "b.png",
                                          "--background",
                                          "bg.jpg",
                                          "o.png",
                                          "--outlines",
                                          "l.png",
                                          "--regions",
                                          "r.png",
                                          "--region-map",
                                          "r.bin",
                                          "--opacity",
                                          "128",
                                          "--feather=0",
                                          "--at",
                                          "-5,+7",
                                          "--scale",
                                          "0.25",
                                          "--object-opacity",
                                          "9",
                                          "--quality=40",
                                          "--fg-rect",
                                          "1,2,3,4",
                                          "--bg-rect=-1,0,10,1",
                                          "-j",
                                          "3",
                                          "--no-progress"});
    ASSERT_EQ(parsed.error, "");
    const JobOptions& job = parsed.job;
    EXPECT_EQ(job.inputs, (Arguments{"photo.jpg", "marks.png"}));
    EXPECT_EQ(job.mask, "m.png");
    EXPECT_EQ(job.cutout, "c.png");
    EXPECT_EQ(job.fill, (FillRequest{{255, 128, 0}, "f.jpg"}));
    EXPECT_EQ(job.blur, (BlurRequest{2.5, "b.png"}));
    EXPECT_EQ(job.background, (BackgroundRequest{"bg.jpg", "o.png"}));
    EXPECT_EQ(job.outlines, "l.png");
    EXPECT_EQ(job.regions, "r.png");
    EXPECT_EQ(job.regionMap, "r.bin");
    EXPECT_EQ(job.opacity, 128);
    EXPECT_EQ(job.feather, 0.0);
    EXPECT_EQ(job.at, (Point{-5, 7}));
    EXPECT_EQ(job.scale, 0.25);
    EXPECT_EQ(job.objectOpacity, 9);
    EXPECT_EQ(job.quality, 40);
    EXPECT_EQ(job.rects, (std::vector<MarkRect>{{1, 2, 3, 4, kForegroundMark},
                                                {-1, 0, 10, 1, kBackgroundMark}}));
    EXPECT_EQ(parsed.run.jobs, 3);
    EXPECT_TRUE(parsed.run.noProgress);
    EXPECT_FALSE(parsed.run.help);
}

TEST(CutOptions, ColourAsComponentsAndDoubleDashEndsOptions) {
    const ParsedArguments parsed =
        Parse({"--fill", "0,10,255", "out.png", "--", "--strange.png", "-"});
    ASSERT_EQ(parsed.error, "");
    EXPECT_EQ(parsed.job.fill->colour, (imaging::Rgb{0, 10, 255}));
    EXPECT_EQ(parsed.job.inputs, (Arguments{"--strange.png", "-"}));
}

TEST(CutOptions, RefusesWrongArgumentsWithTheirReason) {
    struct Case {
        Arguments arguments;
        std::string reason;
    };
    const std::vector<Case> cases{
        {{"--bogus"}, "unknown option '--bogus'"},
        {{"--mask"}, "--mask needs a value"},
        {{"--mask", "--cutout", "c.png"}, "--mask needs a value"},
        {{"--mask="}, "--mask has an empty value"},
        {{"--mask", "a.png", "--mask", "b.png"}, "--mask is given twice"},
        {{"--fill", "#ff0000", "--opacity", "3"}, "--fill needs a colour and an output file"},
        {{"--fill", "red", "x.png"}, "--fill: 'red' is not a colour"},
        {{"--fill", "#ff00zz", "x.png"}, "is not a colour"},
        {{"--fill", "256,0,0", "x.png"}, "is not a colour"},
        {{"--fill", "1,2", "x.png"}, "is not a colour"},
        {{"--blur", "0", "x.png"}, "--blur: '0' is not a blur strength above 0"},
        {{"--blur", "nan", "x.png"}, "is not a blur strength"},
        {{"--blur", "101", "x.png"}, "is not a blur strength"},
        {{"--opacity", "256"}, "--opacity: '256' is not a whole number from 0 to 255"},
        {{"--opacity", "1.5"}, "is not a whole number"},
        {{"--object-opacity", "-1"}, "is not a whole number"},
        {{"--quality", "101"}, "--quality: '101' is not a whole number from 0 to 100"},
        {{"--quality", "high"}, "is not a whole number"},
        {{"--feather", "-1"}, "--feather: '-1' is not a feather radius"},
        {{"--feather", "inf"}, "is not a feather radius"},
        {{"--scale", "0"}, "--scale: '0' is not a scale above 0"},
        {{"--at", "1"}, "--at: '1' is not a position"},
        {{"--at", "1,2,3"}, "is not a position"},
        {{"--fg-rect", "1,2,0,4"}, "--fg-rect: '1,2,0,4' is not a rectangle"},
        {{"--bg-rect", "1,2,3"}, "is not a rectangle"},
        {{"--bg-rect", "1,2,3,x"}, "is not a rectangle"},
        {{"--jobs", "0"}, "--jobs: '0' is not a number of jobs"},
        {{"--help=yes"}, "--help takes no value"},
    };
    for (const Case& c : cases) {
        const ParsedArguments parsed = Parse(c.arguments);
        EXPECT_NE(parsed.error.find(c.reason), std::string::npos)
            << c.arguments.front() << ": got \"" << parsed.error << "\"";
    }
}

TEST(CutOptions, RunOptionsOnlyOnTheCommandLine) {
    for (const Arguments& arguments : {Arguments{"--batch", "l.txt"}, Arguments{"-j", "2"},
                                       Arguments{"--no-progress"}, Arguments{"--help"}}) {
        EXPECT_NE(Parse(arguments, false).error.find("belongs on the command line"),
                  std::string::npos)
            << arguments.front();
        EXPECT_EQ(Parse(arguments, true).error, "") << arguments.front();
    }
}

TEST(CutOptions, ToArgumentsParsesBackToTheSameOptions) {
    JobOptions options;
    options.inputs = {"-odd name.jpg", "marks.png"};
    options.rects = {{-3, 4, 5, 6, kBackgroundMark}, {0, 0, 1, 1, kForegroundMark}};
    options.mask = "m a s k.png";
    options.cutout = "c=1.png";
    options.outlines = "l.png";
    options.regions = "r.png";
    options.regionMap = "r.bin";
    options.fill = FillRequest{{1, 2, 3}, "f.png"};
    options.blur = BlurRequest{0.1 + 0.2, "b.png"};  // not exactly 0.3: digits must round-trip
    options.background = BackgroundRequest{"bg.png", "o.png"};
    options.opacity = 0;
    options.feather = 1.0 / 3.0;
    options.at = Point{-7, 8};
    options.scale = 2.0 / 3.0;
    options.objectOpacity = 255;
    options.quality = 0;
    options.jobNumber = 12;
    const ParsedArguments parsed = Parse(ToArguments(options), false);
    ASSERT_EQ(parsed.error, "");
    EXPECT_EQ(parsed.job, options);

    JobOptions marksOption;
    marksOption.inputs = {"a.jpg"};
    marksOption.marks = "{dir}/{name}-marks.png";
    EXPECT_EQ(Parse(ToArguments(marksOption), false).job, marksOption);
}

TEST(CutOptions, LineOptionsReplaceCommonOnesAndRectanglesAddUp) {
    const JobOptions common =
        Parse({"--mask", "{name}-mask.png", "--feather", "3", "--bg-rect", "0,0,5,5"}).job;
    const JobOptions line =
        Parse({"a.jpg", "--feather", "1", "--fg-rect", "9,9,2,2", "--cutout", "c.png"}, false).job;
    const JobOptions combined = CombineOptions(common, line);
    EXPECT_EQ(combined.inputs, Arguments{"a.jpg"});
    EXPECT_EQ(combined.mask, "{name}-mask.png");
    EXPECT_EQ(combined.cutout, "c.png");
    EXPECT_EQ(combined.feather, 1.0);
    EXPECT_EQ(combined.rects, (std::vector<MarkRect>{{0, 0, 5, 5, kBackgroundMark},
                                                     {9, 9, 2, 2, kForegroundMark}}));
}

TEST(CutOptions, SplitInputsIntoPairsOrSingleImages) {
    std::string error;
    JobOptions options;
    options.inputs = {"a.jpg"};
    EXPECT_EQ(SplitInputs(options, error).size(), 1u);
    EXPECT_EQ(error, "");

    options.inputs = {"a.jpg", "am.png", "b.jpg", "bm.png"};
    const std::vector<JobOptions> pairs = SplitInputs(options, error);
    ASSERT_EQ(pairs.size(), 2u);
    EXPECT_EQ(pairs[1].inputs, (Arguments{"b.jpg", "bm.png"}));

    options.marks = "{name}.marks.png";
    options.inputs = {"a.jpg", "b.jpg", "c.jpg"};
    const std::vector<JobOptions> images = SplitInputs(options, error);
    ASSERT_EQ(images.size(), 3u);
    EXPECT_EQ(images[2].inputs, Arguments{"c.jpg"});

    options.marks.reset();
    EXPECT_TRUE(SplitInputs(options, error).empty());
    EXPECT_NE(error.find("come in pairs"), std::string::npos);
    options.inputs.clear();
    EXPECT_TRUE(SplitInputs(options, error).empty());
    EXPECT_NE(error.find("no image"), std::string::npos);
}

TEST(CutOptions, ExpandsPlaceholders) {
    EXPECT_EQ(ExpandPlaceholders("out/{name}-{n}.png", "in/dir/a.b.jpg", 7), "out/a.b-7.png");
    EXPECT_EQ(ExpandPlaceholders("{dir}/{name}.mask.png", "in/dir/a.jpg", 1), "in/dir/a.mask.png");
    EXPECT_EQ(ExpandPlaceholders("{dir}/{name}{name}", "photo", 1), "./photophoto");
    EXPECT_EQ(ExpandPlaceholders("{x}{n}{", "a.jpg", 3), "{x}3{");
}

TEST(CutOptions, ResolveAppliesDefaultsAndPlaceholders) {
    const ResolvedJob resolved =
        ResolveJob(Parse({"dir/a.jpg", "--marks", "{dir}/{name}.m.png", "--cutout",
                          "{name}-{n}.png", "--background", "{dir}/bg.jpg", "{name}-on-bg.png"})
                       .job,
                   4);
    ASSERT_EQ(resolved.error, "");
    const JobSpec& jobSpec = resolved.jobSpec;
    EXPECT_EQ(jobSpec.number, 4);
    EXPECT_EQ(jobSpec.image, "dir/a.jpg");
    EXPECT_EQ(jobSpec.marks, "dir/a.m.png");
    EXPECT_EQ(jobSpec.cutout, "a-4.png");
    EXPECT_EQ(jobSpec.background->picture, "dir/bg.jpg");
    EXPECT_EQ(jobSpec.background->output, "a-on-bg.png");
    EXPECT_EQ(jobSpec.opacity, kDefaultOpacity);
    EXPECT_EQ(jobSpec.feather, kDefaultFeather);
    EXPECT_EQ(jobSpec.at, Point{});
    EXPECT_EQ(jobSpec.scale, 1.0);
    EXPECT_FALSE(jobSpec.objectOpacity);
    EXPECT_TRUE(jobSpec.NeedsSelection());
    EXPECT_FALSE(jobSpec.NeedsRegions());
    EXPECT_EQ(jobSpec.OutputFiles(), (Arguments{"a-4.png", "a-on-bg.png"}));
}

TEST(CutOptions, ResolveRefusesJobsThatCannotBeRight) {
    struct Case {
        Arguments arguments;
        std::string reason;
    };
    const std::vector<Case> cases{
        {{"a.jpg"}, "nothing to do"},
        {{"a.jpg", "--mask", "m.png"}, "no marks"},
        {{"a.jpg", "--outlines", "o.png"}, "no marks"},
        {{"a.jpg", "m.png", "x.png", "--mask", "o.png"}, "one job takes one image"},
        {{"a.jpg", "m.png", "--marks", "n.png", "--mask", "o.png"}, "two marks images"},
        {{"a.jpg", "m.png", "--mask", "./a.jpg"}, "would overwrite the input"},
        {{"a.jpg", "m.png", "--cutout", "sub/../m.png"}, "would overwrite the input"},
        {{"a.jpg", "m.png", "--background", "bg.jpg", "bg.jpg"}, "would overwrite the input"},
        {{"a.jpg", "m.png", "--mask", "o.png", "--outlines", "o.png"}, "same file"},
        {{"a.jpg", "--regions", "r.png", "--region-map", "./r.png"}, "same file"},
    };
    for (const Case& c : cases) {
        const ParsedArguments parsed = Parse(c.arguments);
        ASSERT_EQ(parsed.error, "");
        const ResolvedJob resolved = ResolveJob(parsed.job, 1);
        EXPECT_NE(resolved.error.find(c.reason), std::string::npos)
            << c.arguments.back() << ": got \"" << resolved.error << "\"";
    }
    // Regions need no marks; rectangles alone are marks.
    EXPECT_EQ(ResolveJob(Parse({"a.jpg", "--region-map", "r.bin"}).job, 1).error, "");
    EXPECT_EQ(ResolveJob(Parse({"a.jpg", "--fg-rect", "1,1,2,2", "--mask", "m.png"}).job, 1).error,
              "");
}

}  // namespace
}  // namespace cut
