#include "batch.h"

#include <map>
#include <optional>
#include <utility>

namespace cut {

namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r';
}

BatchLine SplitLine(std::string_view line, int lineNumber) {
    BatchLine result;
    result.lineNumber = lineNumber;
    std::optional<std::string> word;
    for (size_t i = 0; i < line.size(); ++i) {
        const char c = line[i];
        if (IsBlank(c)) {
            if (word) result.words.push_back(std::move(*word));
            word.reset();
            continue;
        }
        if (!word && c == '#' && result.words.empty()) return result;  // a comment line
        if (!word) word.emplace();
        if (c == '\'') {
            const size_t close = line.find('\'', i + 1);
            if (close == std::string_view::npos) {
                result.error = "a single quote is not closed";
                return result;
            }
            word->append(line.substr(i + 1, close - i - 1));
            i = close;
        } else if (c == '"') {
            size_t j = i + 1;
            for (; j < line.size() && line[j] != '"'; ++j) {
                if (line[j] == '\\' && j + 1 < line.size() &&
                    (line[j + 1] == '"' || line[j + 1] == '\\'))
                    ++j;
                word->push_back(line[j]);
            }
            if (j >= line.size()) {
                result.error = "a double quote is not closed";
                return result;
            }
            i = j;
        } else if (c == '\\' && i + 1 < line.size()) {
            word->push_back(line[++i]);
        } else {
            word->push_back(c);
        }
    }
    if (word) result.words.push_back(std::move(*word));
    return result;
}

struct Resolved {
    size_t job;
    JobSpec jobSpec;
};

// Refuses plans in which one file is written twice, or written by one job and read by another.
std::string FindClash(const std::vector<PlannedJob>& jobs, const std::vector<Resolved>& specs) {
    std::map<std::string, size_t> writers;
    for (const Resolved& resolved : specs) {
        for (const std::string& output : resolved.jobSpec.OutputFiles()) {
            const auto [place, added] = writers.emplace(ComparablePath(output), resolved.job);
            if (!added) {
                return "jobs " + jobs[place->second].label + " and " + jobs[resolved.job].label +
                       " both write '" + output + "' (use {name}, {dir} or {n} in output names)";
            }
        }
    }
    for (const Resolved& resolved : specs) {
        std::vector<std::string> inputs{resolved.jobSpec.image};
        if (!resolved.jobSpec.marks.empty()) inputs.push_back(resolved.jobSpec.marks);
        if (resolved.jobSpec.background) inputs.push_back(resolved.jobSpec.background->picture);
        for (const std::string& input : inputs) {
            const auto writer = writers.find(ComparablePath(input));
            if (writer != writers.end() && writer->second != resolved.job) {
                return "job " + jobs[writer->second].label + " writes '" + input + "', which job " +
                       jobs[resolved.job].label + " reads";
            }
        }
    }
    return {};
}

}  // namespace

std::vector<BatchLine> SplitBatchList(std::string_view text) {
    std::vector<BatchLine> lines;
    int lineNumber = 0;
    size_t start = 0;
    while (start <= text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string_view::npos) end = text.size();
        ++lineNumber;
        BatchLine line = SplitLine(text.substr(start, end - start), lineNumber);
        if (!line.words.empty() || !line.error.empty()) lines.push_back(std::move(line));
        start = end + 1;
    }
    return lines;
}

BatchPlan PlanBatch(const JobOptions& common, std::span<const BatchLine> lines,
                    const std::string& listName) {
    BatchPlan plan;
    std::vector<Resolved> specs;
    for (const BatchLine& line : lines) {
        const int number = int(plan.jobs.size()) + 1;
        PlannedJob job;
        job.label = listName + ":" + std::to_string(line.lineNumber);
        // The line's first word, usually the image, until the line is understood.
        if (!line.words.empty() && !line.words.front().starts_with("-"))
            job.label += " (" + line.words.front() + ")";
        if (!line.error.empty()) {
            job.error = line.error;
            plan.jobs.push_back(std::move(job));
            continue;
        }
        const ParsedArguments parsed = ParseArguments(line.words, false);
        if (!parsed.error.empty()) {
            job.error = parsed.error;
            plan.jobs.push_back(std::move(job));
            continue;
        }
        JobOptions options = CombineOptions(common, parsed.job);
        options.jobNumber = number;
        const ResolvedJob resolved = ResolveJob(options, number);
        if (!resolved.error.empty()) {
            job.error = resolved.error;
        } else {
            job.arguments = ToArguments(options);
            specs.push_back({plan.jobs.size(), resolved.jobSpec});
        }
        plan.jobs.push_back(std::move(job));
    }
    if (plan.jobs.empty()) plan.error = "the batch list " + listName + " holds no job";
    if (plan.error.empty()) plan.error = FindClash(plan.jobs, specs);
    return plan;
}

BatchPlan PlanPairs(std::span<const JobOptions> jobs) {
    BatchPlan plan;
    std::vector<Resolved> specs;
    for (const JobOptions& given : jobs) {
        const int number = int(plan.jobs.size()) + 1;
        JobOptions options = given;
        options.jobNumber = number;
        PlannedJob job;
        job.label = std::to_string(number) + " (" + options.inputs.front() + ")";
        const ResolvedJob resolved = ResolveJob(options, number);
        if (!resolved.error.empty()) {
            plan.error = "job " + job.label + ": " + resolved.error;
            return plan;
        }
        job.arguments = ToArguments(options);
        specs.push_back({plan.jobs.size(), resolved.jobSpec});
        plan.jobs.push_back(std::move(job));
    }
    plan.error = FindClash(plan.jobs, specs);
    return plan;
}

}  // namespace cut
