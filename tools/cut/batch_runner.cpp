#include "batch_runner.h"

#include <QEventLoop>
#include <QProcess>
#include <QStringList>
#include <algorithm>
#include <functional>
#include <memory>
#include <sstream>

namespace cut {

namespace {

constexpr int kBarWidth = 30;
const std::string kProgramPrefix = "quillane-cut: ";

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream stream(text);
    for (std::string line; std::getline(stream, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.starts_with(kProgramPrefix)) line.erase(0, kProgramPrefix.size());
        if (!line.empty()) lines.push_back(line);
    }
    return lines;
}

}  // namespace

ProgressBar::ProgressBar(std::FILE* stream, bool enabled, int total)
    : stream_(stream), enabled_(enabled), total_(total) {}

void ProgressBar::Print(const std::string& line) {
    const bool redraw = drawn_;
    Clear();
    std::fprintf(stream_, "%s\n", line.c_str());
    if (redraw) Draw();
    std::fflush(stream_);
}

void ProgressBar::Update(int finished, int failed, int running) {
    finished_ = finished;
    failed_ = failed;
    running_ = running;
    Draw();
}

void ProgressBar::Clear() {
    if (!enabled_ || !drawn_) return;
    std::fputs("\r\x1b[K", stream_);
    std::fflush(stream_);
    drawn_ = false;
}

void ProgressBar::Draw() {
    if (!enabled_) return;
    const int filled = total_ > 0 ? finished_ * kBarWidth / total_ : kBarWidth;
    std::string bar(size_t(filled), '#');
    bar.append(size_t(kBarWidth - filled), '.');
    std::fprintf(stream_, "\r\x1b[K[%s] %d/%d finished", bar.c_str(), finished_, total_);
    if (failed_ > 0) std::fprintf(stream_, ", %d failed", failed_);
    if (running_ > 0) std::fprintf(stream_, ", %d running", running_);
    std::fflush(stream_);
    drawn_ = true;
}

std::vector<JobOutcome> RunJobs(const QString& program, std::span<const PlannedJob> jobs,
                                int parallel, ProgressBar& progress) {
    std::vector<JobOutcome> outcomes(jobs.size());
    std::vector<std::unique_ptr<QProcess>> processes(jobs.size());
    // Finished workers wait here until no signal of theirs can still be on the stack.
    std::vector<std::unique_ptr<QProcess>> retired;
    std::vector<bool> completed(jobs.size(), false);
    int finished = 0, failed = 0, running = 0;
    size_t next = 0;
    bool allDone = false;
    QEventLoop loop;

    auto complete = [&](size_t index, JobOutcome outcome, const std::string& output) {
        completed[index] = true;
        const std::vector<std::string> lines = Lines(output);
        for (const std::string& line : lines)
            progress.Print(kProgramPrefix + jobs[index].label + ": " + line);
        if (!outcome.ok) {
            ++failed;
            // A worker's own error line already says why; otherwise say how it ended.
            if (lines.empty())
                progress.Print(kProgramPrefix + jobs[index].label + ": " + outcome.reason);
        }
        outcomes[index] = std::move(outcome);
        ++finished;
    };

    std::function<void()> startMore;
    // Called from a worker's signals, possibly inside QProcess::start: starting the next worker
    // and deleting this one wait for the event loop.
    auto finish = [&](size_t index, JobOutcome outcome) {
        if (completed[index]) return;
        QProcess& process = *processes[index];
        const std::string output = process.readAll().toStdString();
        if (!outcome.ok) {
            for (const std::string& line : Lines(output)) {
                if (line.starts_with("error: ")) {
                    outcome.reason = line + " (" + outcome.reason + ")";
                    break;
                }
            }
        }
        complete(index, std::move(outcome), output);
        --running;
        retired.push_back(std::move(processes[index]));
        QMetaObject::invokeMethod(
            &loop, [&] { startMore(); }, Qt::QueuedConnection);
    };

    startMore = [&] {
        retired.clear();
        while (running < parallel && next < jobs.size()) {
            const size_t index = next++;
            if (!jobs[index].error.empty()) {
                complete(index, {false, "error: " + jobs[index].error}, {});
                continue;
            }
            QStringList arguments;
            for (const std::string& argument : jobs[index].arguments)
                arguments.append(QString::fromStdString(argument));
            processes[index] = std::make_unique<QProcess>();
            QProcess& process = *processes[index];
            process.setProgram(program);
            process.setArguments(arguments);
            process.setProcessChannelMode(QProcess::MergedChannels);
            process.setStandardInputFile(QProcess::nullDevice());
            QObject::connect(
                &process, &QProcess::finished,
                [&finish, index](int exitCode, QProcess::ExitStatus status) {
                    if (status == QProcess::CrashExit)
                        finish(index, {false, "the worker crashed"});
                    else if (exitCode != 0)
                        finish(index, {false, "exit status " + std::to_string(exitCode)});
                    else
                        finish(index, {true, {}});
                });
            QObject::connect(&process, &QProcess::errorOccurred,
                             [&finish, index](QProcess::ProcessError error) {
                                 if (error == QProcess::FailedToStart)
                                     finish(index, {false, "the worker did not start"});
                             });
            ++running;
            process.start();
        }
        progress.Update(finished, failed, running);
        if (running == 0 && next >= jobs.size() && !allDone) {
            allDone = true;
            loop.quit();
        }
    };

    startMore();
    if (!allDone) loop.exec();
    progress.Clear();
    return outcomes;
}

int ReportSummary(std::FILE* stream, std::span<const PlannedJob> jobs,
                  std::span<const JobOutcome> outcomes) {
    const auto failed = size_t(std::count_if(
        outcomes.begin(), outcomes.end(), [](const JobOutcome& outcome) { return !outcome.ok; }));
    std::fprintf(stream, "quillane-cut: %zu job%s: %zu done, %zu failed\n", jobs.size(),
                 jobs.size() == 1 ? "" : "s", jobs.size() - failed, failed);
    for (size_t i = 0; i < jobs.size(); ++i) {
        if (outcomes[i].ok) continue;
        std::fprintf(stream, "quillane-cut: failed: %s: %s\n", jobs[i].label.c_str(),
                     outcomes[i].reason.c_str());
    }
    std::fflush(stream);
    return failed == 0 ? 0 : 1;
}

}  // namespace cut
