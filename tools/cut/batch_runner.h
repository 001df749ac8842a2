// Runs the jobs of a batch in parallel worker processes and reports on them.
//
// Each job runs in its own process (this program again, with the job's arguments): the engine
// keeps one state per process, and a job that fails or crashes cannot disturb the others.
#ifndef QUILLANE_TOOLS_CUT_BATCH_RUNNER_H
#define QUILLANE_TOOLS_CUT_BATCH_RUNNER_H

#include <QString>
#include <cstdio>
#include <span>
#include <string>
#include <vector>

#include "batch.h"

namespace cut {

// A one-line progress bar on a terminal, redrawn in place; silent when disabled.
class ProgressBar {
  public:
    ProgressBar(std::FILE* stream, bool enabled, int total);
    // Prints a line of text above the bar.
    void Print(const std::string& line);
    void Update(int finished, int failed, int running);
    // Removes the bar.
    void Clear();

  private:
    void Draw();

    std::FILE* stream_;
    bool enabled_;
    int total_;
    int finished_ = 0;
    int failed_ = 0;
    int running_ = 0;
    bool drawn_ = false;
};

struct JobOutcome {
    bool ok = false;
    std::string reason;  // why a failed job failed, one line
};

// Runs every job that can run in a worker process (`program` with the job's arguments), at
// most `parallel` at a time, in list order. Jobs that cannot run fail at once with their reason.
// Each worker's messages are printed as they come, after the job's label; the progress bar
// counts finished jobs. Returns one outcome per job.
std::vector<JobOutcome> RunJobs(const QString& program, std::span<const PlannedJob> jobs,
                                int parallel, ProgressBar& progress);

// Prints the summary (how many jobs ran, which failed and why) and returns the exit status of
// the run: 0 when every job succeeded, 1 otherwise.
int ReportSummary(std::FILE* stream, std::span<const PlannedJob> jobs,
                  std::span<const JobOutcome> outcomes);

}  // namespace cut

#endif  // QUILLANE_TOOLS_CUT_BATCH_RUNNER_H
