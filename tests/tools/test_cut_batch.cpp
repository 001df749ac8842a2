// Batches of quillane-cut: the list's syntax and the plan of jobs built from it.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "batch.h"
#include "cut_options.h"

namespace cut {
namespace {

using Words = std::vector<std::string>;

TEST(CutBatchList, SplitsLinesIntoWordsAsAShellWould) {
    const std::vector<BatchLine> lines = SplitBatchList(
        "# comment line\n"
        "\n"
        "   \t  \n"
        "a.jpg  m.png\t--mask out/a.png\r\n"
        "'b c.jpg' \"d \\\"e\\\" \\\\f.png\" g\\ h.png x#y\n"
        "  # indented comment\n"
        "last.jpg --cutout=''\"\"x");
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0].lineNumber, 4);
    EXPECT_EQ(lines[0].words, (Words{"a.jpg", "m.png", "--mask", "out/a.png"}));
    EXPECT_EQ(lines[1].lineNumber, 5);
    EXPECT_EQ(lines[1].words, (Words{"b c.jpg", "d \"e\" \\f.png", "g h.png", "x#y"}));
    EXPECT_EQ(lines[2].lineNumber, 7);
    EXPECT_EQ(lines[2].words, (Words{"last.jpg", "--cutout=x"}));
    for (const BatchLine& line : lines)
        EXPECT_EQ(line.error, "");
}

TEST(CutBatchList, UnclosedQuotesAreErrorsOfTheirLine) {
    const std::vector<BatchLine> lines =
        SplitBatchList("ok.jpg\n'open.jpg --mask m.png\n\"open too\nfine.jpg\n");
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[1].lineNumber, 2);
    EXPECT_NE(lines[1].error.find("single quote"), std::string::npos);
    EXPECT_NE(lines[2].error.find("double quote"), std::string::npos);
    EXPECT_EQ(lines[3].error, "");
    EXPECT_EQ(lines[3].words, Words{"fine.jpg"});
}

JobOptions CommonOptions(const Words& arguments) {
    const ParsedArguments parsed = ParseArguments(arguments, true);
    EXPECT_EQ(parsed.error, "");
    return parsed.job;
}

TEST(CutBatchPlan, BadLinesFailAloneAndGoodLinesGetTheirWorkerArguments) {
    const JobOptions common = CommonOptions({"--cutout", "out/{name}.png", "--feather", "4"});
    const std::vector<BatchLine> lines = SplitBatchList(
        "a.jpg a-marks.png\n"
        "b.jpg --opacity 300\n"
        "c.jpg c-marks.png --feather 1 --mask out/{n}.png\n"
        "d.jpg\n"
        "'e.jpg\n"
        "f.jpg --batch x\n");
    const BatchPlan plan = PlanBatch(common, lines, "list.txt");
    ASSERT_EQ(plan.error, "");
    ASSERT_EQ(plan.jobs.size(), 6u);

    EXPECT_EQ(plan.jobs[0].label, "list.txt:1 (a.jpg)");
    EXPECT_EQ(plan.jobs[0].error, "");
    const ParsedArguments first = ParseArguments(plan.jobs[0].arguments, false);
    ASSERT_EQ(first.error, "");
    EXPECT_EQ(first.job.inputs, (Words{"a.jpg", "a-marks.png"}));
    EXPECT_EQ(first.job.cutout, "out/{name}.png");
    EXPECT_EQ(first.job.feather, 4.0);
    EXPECT_EQ(first.job.jobNumber, 1);

    EXPECT_EQ(plan.jobs[1].label, "list.txt:2 (b.jpg)");
    EXPECT_NE(plan.jobs[1].error.find("--opacity"), std::string::npos);
    EXPECT_TRUE(plan.jobs[1].arguments.empty());

    const ResolvedJob third = ResolveJob(ParseArguments(plan.jobs[2].arguments, false).job, 0);
    ASSERT_EQ(third.error, "");
    EXPECT_EQ(third.jobSpec.number, 3);
    EXPECT_EQ(third.jobSpec.mask, "out/3.png");
    EXPECT_EQ(third.jobSpec.cutout, "out/c.png");
    EXPECT_EQ(third.jobSpec.feather, 1.0);

    EXPECT_NE(plan.jobs[3].error.find("no marks"), std::string::npos);
    EXPECT_NE(plan.jobs[4].error.find("single quote"), std::string::npos);
    EXPECT_NE(plan.jobs[5].error.find("belongs on the command line"), std::string::npos);
}

TEST(CutBatchPlan, RefusesRunsWhoseJobsShareFiles) {
    const JobOptions common = CommonOptions({"--mask", "out/mask.png"});
    const std::vector<BatchLine> twice = SplitBatchList("a.jpg am.png\nb.jpg bm.png\n");
    const BatchPlan clash = PlanBatch(common, twice, "l");
    EXPECT_NE(clash.error.find("both write 'out/mask.png'"), std::string::npos) << clash.error;

    const std::vector<BatchLine> chained =
        SplitBatchList("a.jpg am.png --mask b.jpg\nb.jpg bm.png --mask b-mask.png\n");
    const BatchPlan reads = PlanBatch({}, chained, "l");
    EXPECT_NE(reads.error.find("writes 'b.jpg', which job l:2 (b.jpg) reads"), std::string::npos)
        << reads.error;

    EXPECT_NE(PlanBatch(common, {}, "empty.txt").error.find("holds no job"), std::string::npos);
}

TEST(CutBatchPlan, PairsFromTheCommandLine) {
    std::string error;
    const std::vector<JobOptions> jobs = SplitInputs(
        CommonOptions({"a.jpg", "am.png", "b.jpg", "bm.png", "--cutout", "{name}-cut.png"}), error);
    const BatchPlan plan = PlanPairs(jobs);
    ASSERT_EQ(plan.error, "");
    ASSERT_EQ(plan.jobs.size(), 2u);
    EXPECT_EQ(plan.jobs[1].label, "2 (b.jpg)");
    EXPECT_EQ(ParseArguments(plan.jobs[1].arguments, false).job.jobNumber, 2);

    const std::vector<JobOptions> same = SplitInputs(
        CommonOptions({"a.jpg", "am.png", "b.jpg", "bm.png", "--cutout", "cut.png"}), error);
    EXPECT_NE(PlanPairs(same).error.find("both write 'cut.png'"), std::string::npos);
}

}  // namespace
}  // namespace cut
