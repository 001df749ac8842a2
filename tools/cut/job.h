// One job of quillane-cut, run in this process: read the image and its marks, let the engine
// compute the selection through its exports, and write every output asked for.
#ifndef QUILLANE_TOOLS_CUT_JOB_H
#define QUILLANE_TOOLS_CUT_JOB_H

#include <cstdio>

#include "cut_options.h"

namespace cut {

// Exit statuses of the program and of each job.
inline constexpr int kExitOk = 0;
inline constexpr int kExitFailure = 1;  // the work failed: the engine, memory, a write
inline constexpr int kExitUsage = 2;    // the command line or an input is wrong

// Runs the job and returns its exit status. Messages go to `messages`, one line each, as
// "quillane-cut: error: ..." or "quillane-cut: warning: ...". Outputs are checked (formats,
// inputs, sizes, marks) before the engine runs, so a wrong input writes nothing; once the
// engine has run, every output is attempted even when one of them fails.
int RunJob(const JobSpec& job, std::FILE* messages);

}  // namespace cut

#endif  // QUILLANE_TOOLS_CUT_JOB_H
