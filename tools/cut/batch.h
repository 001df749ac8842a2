// Batches of quillane-cut: the batch list's syntax and the plan of jobs a run carries out.
#ifndef QUILLANE_TOOLS_CUT_BATCH_H
#define QUILLANE_TOOLS_CUT_BATCH_H

#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "cut_options.h"

namespace cut {

// One job line of a batch list, split into words.
struct BatchLine {
    int lineNumber = 0;
    std::vector<std::string> words;
    std::string error;  // a quote left open
};

// Splits a batch list into job lines. Blank lines and lines whose first word starts with '#'
// are skipped. Words are separated by blanks and tabs; '...' quotes literally, "..." quotes
// with \" and \\ as escapes, and a backslash outside quotes takes the next character as it is,
// so a line reads as a shell would read it.
std::vector<BatchLine> SplitBatchList(std::string_view text);

// One job of a run: what the user sees it called, the arguments of the worker process that
// runs it, and the reason when it cannot run at all.
struct PlannedJob {
    std::string label;
    std::vector<std::string> arguments;
    std::string error;
};

struct BatchPlan {
    std::vector<PlannedJob> jobs;
    std::string error;  // set when the run as a whole is wrong (nothing may run)
};

// The jobs of a batch list: each line's options over the command line's (CombineOptions),
// numbered from 1 in list order. A line that is not a valid job becomes a job that fails with
// its reason; the others run. Two jobs writing one file, or one job writing a file another
// reads, make the whole plan wrong. `listName` labels the jobs ("list.txt:12").
BatchPlan PlanBatch(const JobOptions& common, std::span<const BatchLine> lines,
                    const std::string& listName);

// The jobs of several image/marks pairs given on the command line (SplitInputs), numbered from
// 1; any invalid job or clash of files makes the whole plan wrong.
BatchPlan PlanPairs(std::span<const JobOptions> jobs);

}  // namespace cut

#endif  // QUILLANE_TOOLS_CUT_BATCH_H
