#include "cut_options.h"

#include <array>
#include <charconv>
#include <cmath>
#include <filesystem>
#include <limits>
#include <map>
#include <system_error>

namespace cut {

namespace {

enum class Option {
    Help,
    NoProgress,
    Batch,
    Jobs,
    JobNumber,
    Marks,
    FgRect,
    BgRect,
    Mask,
    Cutout,
    Outlines,
    Regions,
    RegionMap,
    Fill,
    Blur,
    Background,
    Opacity,
    Feather,
    At,
    Scale,
    ObjectOpacity,
    Quality,
};

struct OptionInfo {
    const char* name;
    Option option;
    int values;  // 0, 1 or 2
    bool runOption;
};

constexpr std::array kOptions{
    OptionInfo{"--help", Option::Help, 0, true},
    OptionInfo{"-h", Option::Help, 0, true},
    OptionInfo{"--no-progress", Option::NoProgress, 0, true},
    OptionInfo{"--batch", Option::Batch, 1, true},
    OptionInfo{"--jobs", Option::Jobs, 1, true},
    OptionInfo{"-j", Option::Jobs, 1, true},
    OptionInfo{"--job-number", Option::JobNumber, 1, false},
    OptionInfo{"--marks", Option::Marks, 1, false},
    OptionInfo{"--fg-rect", Option::FgRect, 1, false},
    OptionInfo{"--bg-rect", Option::BgRect, 1, false},
    OptionInfo{"--mask", Option::Mask, 1, false},
    OptionInfo{"--cutout", Option::Cutout, 1, false},
    OptionInfo{"--outlines", Option::Outlines, 1, false},
    OptionInfo{"--regions", Option::Regions, 1, false},
    OptionInfo{"--region-map", Option::RegionMap, 1, false},
    OptionInfo{"--fill", Option::Fill, 2, false},
    OptionInfo{"--blur", Option::Blur, 2, false},
    OptionInfo{"--background", Option::Background, 2, false},
    OptionInfo{"--opacity", Option::Opacity, 1, false},
    OptionInfo{"--feather", Option::Feather, 1, false},
    OptionInfo{"--at", Option::At, 1, false},
    OptionInfo{"--scale", Option::Scale, 1, false},
    OptionInfo{"--object-opacity", Option::ObjectOpacity, 1, false},
    OptionInfo{"--quality", Option::Quality, 1, false},
};

const OptionInfo* FindOption(const std::string& name) {
    for (const OptionInfo& info : kOptions)
        if (name == info.name) return &info;
    return nullptr;
}

std::string Quoted(const std::string& text) {
    return "'" + text + "'";
}

// Whole decimal number, nothing else.
std::optional<long long> ParseWhole(const std::string& text) {
    long long value = 0;
    const char* first = text.data();
    const char* last = first + text.size();
    if (first != last && *first == '+') ++first;
    const auto [end, error] = std::from_chars(first, last, value);
    if (error != std::errc{} || end != last || first == last) return std::nullopt;
    return value;
}

std::optional<int> ParseIntIn(const std::string& text, long long low, long long high) {
    const std::optional<long long> value = ParseWhole(text);
    if (!value || *value < low || *value > high) return std::nullopt;
    return int(*value);
}

// Finite decimal number.
std::optional<double> ParseReal(const std::string& text) {
    double value = 0.0;
    const char* first = text.data();
    const char* last = first + text.size();
    if (first != last && *first == '+') ++first;
    const auto [end, error] = std::from_chars(first, last, value);
    if (error != std::errc{} || end != last || first == last || !std::isfinite(value))
        return std::nullopt;
    return value;
}

std::vector<std::string> SplitCommas(const std::string& text) {
    std::vector<std::string> parts;
    size_t start = 0;
    while (true) {
        const size_t comma = text.find(',', start);
        parts.push_back(text.substr(start, comma - start));
        if (comma == std::string::npos) break;
        start = comma + 1;
    }
    return parts;
}

std::optional<imaging::Rgb> ParseColour(const std::string& text) {
    if (text.size() == 7 && text[0] == '#') {
        std::array<uint8_t, 3> channels{};
        for (size_t i = 0; i < 3; ++i) {
            unsigned value = 0;
            const char* first = text.data() + 1 + 2 * i;
            const auto [end, error] = std::from_chars(first, first + 2, value, 16);
            if (error != std::errc{} || end != first + 2) return std::nullopt;
            channels[i] = uint8_t(value);
        }
        return imaging::Rgb{channels[0], channels[1], channels[2]};
    }
    const std::vector<std::string> parts = SplitCommas(text);
    if (parts.size() != 3) return std::nullopt;
    std::array<uint8_t, 3> channels{};
    for (size_t i = 0; i < 3; ++i) {
        const std::optional<int> value = ParseIntIn(parts[i], 0, 255);
        if (!value) return std::nullopt;
        channels[i] = uint8_t(*value);
    }
    return imaging::Rgb{channels[0], channels[1], channels[2]};
}

constexpr long long kCoordinateLimit = 1'000'000'000;

std::optional<MarkRect> ParseRect(const std::string& text, uint8_t mark) {
    const std::vector<std::string> parts = SplitCommas(text);
    if (parts.size() != 4) return std::nullopt;
    const auto x = ParseIntIn(parts[0], -kCoordinateLimit, kCoordinateLimit);
    const auto y = ParseIntIn(parts[1], -kCoordinateLimit, kCoordinateLimit);
    const auto width = ParseIntIn(parts[2], 1, kCoordinateLimit);
    const auto height = ParseIntIn(parts[3], 1, kCoordinateLimit);
    if (!x || !y || !width || !height) return std::nullopt;
    return MarkRect{*x, *y, *width, *height, mark};
}

std::optional<Point> ParsePoint(const std::string& text) {
    const std::vector<std::string> parts = SplitCommas(text);
    if (parts.size() != 2) return std::nullopt;
    const auto x = ParseIntIn(parts[0], -kCoordinateLimit, kCoordinateLimit);
    const auto y = ParseIntIn(parts[1], -kCoordinateLimit, kCoordinateLimit);
    if (!x || !y) return std::nullopt;
    return Point{*x, *y};
}

std::string RealText(double value) {
    std::array<char, 64> buffer{};
    const auto result = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value);
    return std::string(buffer.data(), result.ptr);
}

std::string ColourText(imaging::Rgb colour) {
    return std::to_string(colour.red) + "," + std::to_string(colour.green) + "," +
           std::to_string(colour.blue);
}

// Stores a value in an option that may be given once.
template <typename T>
bool SetOnce(std::optional<T>& slot, T value, const std::string& name, std::string& error) {
    if (slot) {
        error = name + " is given twice";
        return false;
    }
    slot = std::move(value);
    return true;
}

// Applies one option with its values to the parsed result; false with `error` set on failure.
bool ApplyOption(const OptionInfo& info, const std::vector<std::string>& values,
                 ParsedArguments& parsed, std::string& error) {
    const std::string name = info.name;
    JobOptions& job = parsed.job;
    const std::string& value = values.empty() ? std::string() : values[0];
    auto invalid = [&](const std::string& what) {
        error = name + ": " + Quoted(value) + " is not " + what;
        return false;
    };
    switch (info.option) {
        case Option::Help:
            parsed.run.help = true;
            return true;
        case Option::NoProgress:
            parsed.run.noProgress = true;
            return true;
        case Option::Batch:
            return SetOnce(parsed.run.batch, value, name, error);
        case Option::Jobs: {
            const std::optional<int> jobs = ParseIntIn(value, 1, 4096);
            if (!jobs) return invalid("a number of jobs from 1 to 4096");
            return SetOnce(parsed.run.jobs, *jobs, name, error);
        }
        case Option::JobNumber: {
            const std::optional<int> number = ParseIntIn(value, 1, std::numeric_limits<int>::max());
            if (!number) return invalid("a job number");
            return SetOnce(job.jobNumber, *number, name, error);
        }
        case Option::Marks:
            return SetOnce(job.marks, value, name, error);
        case Option::FgRect:
        case Option::BgRect: {
            const uint8_t mark = info.option == Option::FgRect ? kForegroundMark : kBackgroundMark;
            const std::optional<MarkRect> rect = ParseRect(value, mark);
            if (!rect) return invalid("a rectangle X,Y,W,H (whole numbers, W and H at least 1)");
            job.rects.push_back(*rect);
            return true;
        }
        case Option::Mask:
            return SetOnce(job.mask, value, name, error);
        case Option::Cutout:
            return SetOnce(job.cutout, value, name, error);
        case Option::Outlines:
            return SetOnce(job.outlines, value, name, error);
        case Option::Regions:
            return SetOnce(job.regions, value, name, error);
        case Option::RegionMap:
            return SetOnce(job.regionMap, value, name, error);
        case Option::Fill: {
            const std::optional<imaging::Rgb> colour = ParseColour(value);
            if (!colour) return invalid("a colour (#rrggbb or R,G,B with each 0 to 255)");
            return SetOnce(job.fill, FillRequest{*colour, values[1]}, name, error);
        }
        case Option::Blur: {
            const std::optional<double> sigma = ParseReal(value);
            if (!sigma || *sigma <= 0.0 || *sigma > kMaxBlur)
                return invalid("a blur strength above 0 and at most " + RealText(kMaxBlur));
            return SetOnce(job.blur, BlurRequest{*sigma, values[1]}, name, error);
        }
        case Option::Background:
            return SetOnce(job.background, BackgroundRequest{value, values[1]}, name, error);
        case Option::Opacity:
        case Option::ObjectOpacity: {
            const std::optional<int> opacity = ParseIntIn(value, 0, 255);
            if (!opacity) return invalid("a whole number from 0 to 255");
            return SetOnce(info.option == Option::Opacity ? job.opacity : job.objectOpacity,
                           *opacity, name, error);
        }
        case Option::Quality: {
            const std::optional<int> quality = ParseIntIn(value, 0, 100);
            if (!quality) return invalid("a whole number from 0 to 100");
            return SetOnce(job.quality, *quality, name, error);
        }
        case Option::Feather: {
            const std::optional<double> radius = ParseReal(value);
            if (!radius || *radius < 0.0 || *radius > kMaxFeather)
                return invalid("a feather radius from 0 to " + RealText(kMaxFeather));
            return SetOnce(job.feather, *radius, name, error);
        }
        case Option::At: {
            const std::optional<Point> at = ParsePoint(value);
            if (!at) return invalid("a position X,Y (whole numbers)");
            return SetOnce(job.at, *at, name, error);
        }
        case Option::Scale: {
            const std::optional<double> scale = ParseReal(value);
            if (!scale || *scale <= 0.0 || *scale > kMaxScale)
                return invalid("a scale above 0 and at most " + RealText(kMaxScale));
            return SetOnce(job.scale, *scale, name, error);
        }
    }
    return true;
}

const char* ValueNames(Option option) {
    switch (option) {
        case Option::Fill:
            return "a colour and an output file";
        case Option::Blur:
            return "a strength and an output file";
        case Option::Background:
            return "a background picture and an output file";
        default:
            return "a value";
    }
}

}  // namespace

ParsedArguments ParseArguments(std::span<const std::string> arguments, bool allowRunOptions) {
    ParsedArguments parsed;
    bool optionsEnded = false;
    for (size_t i = 0; i < arguments.size(); ++i) {
        const std::string& argument = arguments[i];
        if (optionsEnded || argument.size() < 2 || argument[0] != '-') {
            parsed.job.inputs.push_back(argument);
            continue;
        }
        if (argument == "--") {
            optionsEnded = true;
            continue;
        }
        const size_t equals = argument.find('=');
        const bool inlineValue = argument.starts_with("--") && equals != std::string::npos;
        const std::string name = inlineValue ? argument.substr(0, equals) : argument;
        const OptionInfo* info = FindOption(name);
        if (info == nullptr) {
            parsed.error = "unknown option " + Quoted(name) + " (see --help)";
            return parsed;
        }
        if (info->runOption && !allowRunOptions) {
            parsed.error = name + " belongs on the command line, not in a batch line";
            return parsed;
        }
        std::vector<std::string> values;
        if (inlineValue) {
            if (info->values == 0) {
                parsed.error = name + " takes no value";
                return parsed;
            }
            values.push_back(argument.substr(equals + 1));
        }
        while (int(values.size()) < info->values) {
            // A following option is never taken as a value: "--fill red --opacity 9" lacks its
            // file. A file whose name starts with "--" can be given as "./--name".
            if (i + 1 >= arguments.size() || arguments[i + 1].starts_with("--")) {
                parsed.error =
                    name + " needs " + (info->values == 2 ? ValueNames(info->option) : "a value");
                return parsed;
            }
            values.push_back(arguments[++i]);
        }
        for (const std::string& value : values) {
            if (value.empty()) {
                parsed.error = name + " has an empty value";
                return parsed;
            }
        }
        if (!ApplyOption(*info, values, parsed, parsed.error)) return parsed;
    }
    return parsed;
}

std::vector<std::string> ToArguments(const JobOptions& options) {
    std::vector<std::string> arguments;
    auto single = [&](const char* name, const std::optional<std::string>& value) {
        if (value) arguments.push_back(std::string(name) + "=" + *value);
    };
    single("--marks", options.marks);
    for (const MarkRect& rect : options.rects) {
        arguments.push_back(std::string(rect.mark == kForegroundMark ? "--fg-rect" : "--bg-rect") +
                            "=" + std::to_string(rect.x) + "," + std::to_string(rect.y) + "," +
                            std::to_string(rect.width) + "," + std::to_string(rect.height));
    }
    single("--mask", options.mask);
    single("--cutout", options.cutout);
    single("--outlines", options.outlines);
    single("--regions", options.regions);
    single("--region-map", options.regionMap);
    if (options.fill) {
        arguments.push_back("--fill=" + ColourText(options.fill->colour));
        arguments.push_back(options.fill->output);
    }
    if (options.blur) {
        arguments.push_back("--blur=" + RealText(options.blur->sigma));
        arguments.push_back(options.blur->output);
    }
    if (options.background) {
        arguments.push_back("--background=" + options.background->picture);
        arguments.push_back(options.background->output);
    }
    if (options.opacity) arguments.push_back("--opacity=" + std::to_string(*options.opacity));
    if (options.feather) arguments.push_back("--feather=" + RealText(*options.feather));
    if (options.at)
        arguments.push_back("--at=" + std::to_string(options.at->x) + "," +
                            std::to_string(options.at->y));
    if (options.scale) arguments.push_back("--scale=" + RealText(*options.scale));
    if (options.objectOpacity)
        arguments.push_back("--object-opacity=" + std::to_string(*options.objectOpacity));
    if (options.quality) arguments.push_back("--quality=" + std::to_string(*options.quality));
    if (options.jobNumber)
        arguments.push_back("--job-number=" + std::to_string(*options.jobNumber));
    if (!options.inputs.empty()) {
        arguments.push_back("--");
        arguments.insert(arguments.end(), options.inputs.begin(), options.inputs.end());
    }
    return arguments;
}

JobOptions CombineOptions(const JobOptions& common, const JobOptions& line) {
    JobOptions combined = common;
    combined.inputs = line.inputs;
    combined.rects.insert(combined.rects.end(), line.rects.begin(), line.rects.end());
    auto over = [](auto& slot, const auto& value) {
        if (value) slot = value;
    };
    over(combined.marks, line.marks);
    over(combined.mask, line.mask);
    over(combined.cutout, line.cutout);
    over(combined.outlines, line.outlines);
    over(combined.regions, line.regions);
    over(combined.regionMap, line.regionMap);
    over(combined.fill, line.fill);
    over(combined.blur, line.blur);
    over(combined.background, line.background);
    over(combined.opacity, line.opacity);
    over(combined.feather, line.feather);
    over(combined.at, line.at);
    over(combined.scale, line.scale);
    over(combined.objectOpacity, line.objectOpacity);
    over(combined.quality, line.quality);
    over(combined.jobNumber, line.jobNumber);
    return combined;
}

std::vector<JobOptions> SplitInputs(const JobOptions& options, std::string& error) {
    const std::vector<std::string>& inputs = options.inputs;
    std::vector<JobOptions> jobs;
    if (inputs.empty()) {
        error = "no image given (see --help)";
        return jobs;
    }
    size_t step = 2;
    if (options.marks || inputs.size() == 1) {
        step = 1;
    } else if (inputs.size() % 2 != 0) {
        error = "images and marks images come in pairs, but " + std::to_string(inputs.size()) +
                " files were given (use --marks FILE or --batch for images without a marks "
                "image each)";
        return jobs;
    }
    for (size_t i = 0; i < inputs.size(); i += step) {
        JobOptions job = options;
        job.inputs.assign(inputs.begin() + std::ptrdiff_t(i),
                          inputs.begin() + std::ptrdiff_t(i + step));
        jobs.push_back(std::move(job));
    }
    return jobs;
}

std::string ExpandPlaceholders(const std::string& pattern, const std::string& image, int number) {
    const std::filesystem::path imagePath(image);
    std::string folder = imagePath.parent_path().string();
    if (folder.empty()) folder = ".";
    const std::map<std::string, std::string> values{
        {"{name}", imagePath.stem().string()},
        {"{dir}", folder},
        {"{n}", std::to_string(number)},
    };
    std::string expanded;
    for (size_t i = 0; i < pattern.size();) {
        bool replaced = false;
        if (pattern[i] == '{') {
            for (const auto& [key, value] : values) {
                if (pattern.compare(i, key.size(), key) == 0) {
                    expanded += value;
                    i += key.size();
                    replaced = true;
                    break;
                }
            }
        }
        if (!replaced) expanded += pattern[i++];
    }
    return expanded;
}

std::string ComparablePath(const std::string& path) {
    std::error_code error;
    std::filesystem::path absolute = std::filesystem::absolute(path, error);
    if (error) absolute = path;
    return absolute.lexically_normal().string();
}

bool JobSpec::NeedsSelection() const {
    return !mask.empty() || !cutout.empty() || fill || blur || background;
}

std::vector<std::string> JobSpec::ImageOutputFiles() const {
    std::vector<std::string> files;
    for (const std::string* file : {&mask, &cutout, &outlines, &regions})
        if (!file->empty()) files.push_back(*file);
    if (fill) files.push_back(fill->output);
    if (blur) files.push_back(blur->output);
    if (background) files.push_back(background->output);
    return files;
}

std::vector<std::string> JobSpec::OutputFiles() const {
    std::vector<std::string> files = ImageOutputFiles();
    if (!regionMap.empty()) files.push_back(regionMap);
    return files;
}

ResolvedJob ResolveJob(const JobOptions& options, int number) {
    ResolvedJob resolved;
    JobSpec& jobSpec = resolved.jobSpec;
    if (options.inputs.empty()) {
        resolved.error = "no image given";
        return resolved;
    }
    if (options.inputs.size() > 2) {
        resolved.error = "one job takes one image and at most one marks image, but " +
                         std::to_string(options.inputs.size()) + " files were given";
        return resolved;
    }
    if (options.inputs.size() == 2 && options.marks) {
        resolved.error = "two marks images given (" + Quoted(options.inputs[1]) + " and --marks " +
                         Quoted(*options.marks) + ")";
        return resolved;
    }
    jobSpec.number = options.jobNumber.value_or(number);
    jobSpec.image = options.inputs[0];
    auto expand = [&](const std::string& pattern) {
        return ExpandPlaceholders(pattern, jobSpec.image, jobSpec.number);
    };
    if (options.inputs.size() == 2) jobSpec.marks = options.inputs[1];
    if (options.marks) jobSpec.marks = expand(*options.marks);
    jobSpec.rects = options.rects;
    jobSpec.mask = expand(options.mask.value_or(""));
    jobSpec.cutout = expand(options.cutout.value_or(""));
    jobSpec.outlines = expand(options.outlines.value_or(""));
    jobSpec.regions = expand(options.regions.value_or(""));
    jobSpec.regionMap = expand(options.regionMap.value_or(""));
    if (options.fill)
        jobSpec.fill = FillRequest{options.fill->colour, expand(options.fill->output)};
    if (options.blur) jobSpec.blur = BlurRequest{options.blur->sigma, expand(options.blur->output)};
    if (options.background) {
        jobSpec.background = BackgroundRequest{expand(options.background->picture),
                                               expand(options.background->output)};
    }
    jobSpec.opacity = options.opacity.value_or(kDefaultOpacity);
    jobSpec.feather = options.feather.value_or(kDefaultFeather);
    jobSpec.at = options.at.value_or(Point{});
    jobSpec.scale = options.scale.value_or(1.0);
    jobSpec.objectOpacity = options.objectOpacity;
    jobSpec.quality = options.quality;

    const std::vector<std::string> outputs = jobSpec.OutputFiles();
    if (outputs.empty()) {
        resolved.error =
            "nothing to do: give at least one output (--mask, --cutout, --fill, --blur, "
            "--background, --outlines, --regions, --region-map)";
        return resolved;
    }
    if (jobSpec.NeedsMarks() && jobSpec.marks.empty() && jobSpec.rects.empty()) {
        resolved.error = "no marks: give a marks image, or --fg-rect and --bg-rect rectangles";
        return resolved;
    }
    std::map<std::string, std::string> inputsByPath{{ComparablePath(jobSpec.image), jobSpec.image}};
    if (!jobSpec.marks.empty()) inputsByPath.emplace(ComparablePath(jobSpec.marks), jobSpec.marks);
    if (jobSpec.background)
        inputsByPath.emplace(ComparablePath(jobSpec.background->picture),
                             jobSpec.background->picture);
    std::map<std::string, std::string> outputsByPath;
    for (const std::string& output : outputs) {
        const std::string key = ComparablePath(output);
        if (const auto input = inputsByPath.find(key); input != inputsByPath.end()) {
            resolved.error =
                "output " + Quoted(output) + " would overwrite the input " + Quoted(input->second);
            return resolved;
        }
        if (!outputsByPath.emplace(key, output).second) {
            resolved.error = "two outputs are written to the same file " + Quoted(output);
            return resolved;
        }
    }
    return resolved;
}

}  // namespace cut
