// Speed and memory of the engine on photo-sized images: Watershed and each of its steps, Lazy and
// each of its stages, and the max-flow solver alone on the region graphs.
//
// Before an input is timed, the engine's results on it are compared with the straightforward
// reference path (reference_engine.h): region map, region table, neighbour lists, selection and
// outline pixels must be identical, and the solver must leave the same residuals as the
// first-written one (reference_flow_graph.h), or the program stops with exit status 2.
// --skip_reference_check leaves the comparison out.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "allocation_counter.h"
#include "bench_inputs.h"
#include "engine_state.h"
#include "flooding.h"
#include "gradient.h"
#include "graph_cut.h"
#include "prototypes.h"
#include "reference_engine.h"
#include "reference_flow_graph.h"
#include "region_tables.h"

namespace quillane::bench {
namespace {

// The thread's CPU time: the machines these run on are shared, and time spent waiting for a core
// says nothing about the engine.
struct ThreadCpuClock {
    using duration = std::chrono::nanoseconds;
    using rep = duration::rep;
    using period = duration::period;
    using time_point = std::chrono::time_point<ThreadCpuClock>;
    static constexpr bool is_steady = true;
    static time_point now() {
        timespec t{};
        clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
        return time_point(duration(int64_t{t.tv_sec} * 1000000000 + t.tv_nsec));
    }
};
using Clock = ThreadCpuClock;

struct InputSpec {
    std::string name;
    std::string photoFile;  // empty: generated
    int32_t width = 0;
    int32_t height = 0;
    uint32_t seed = 0;
};

const std::vector<InputSpec>& Inputs() {
    static const std::vector<InputSpec> inputs = {
        {"gen_1MP", "", 1152, 864, 1},    {"mate_Garden_4MP", "mate_Garden.jpg", 0, 0, 0},
        {"gen_12MP", "", 4000, 3000, 12}, {"Dragonfly_13MP", "Dragonfly_by_Bolly.jpg", 0, 0, 0},
        {"gen_24MP", "", 6000, 4000, 24},
    };
    return inputs;
}

bool checkAgainstReference = true;

// The one input in use: its pixels, marks and pre-segmentation. Inputs are prepared on first use
// and replaced by the next, so that only one image's data is held at a time.
struct Workspace {
    BenchImage image;
    std::vector<uint8_t> marks;
    std::vector<uint8_t> pixelCopy;
    std::vector<uint8_t> selection;
    mirrask::EngineState state;
    double markedShare = 0.0;
};

std::unique_ptr<Workspace> workspace;
std::string workspaceName;

void Fail(const std::string& inputName, const std::string& what) {
    std::fprintf(stderr, "%s: the engine differs from the reference path: %s\n", inputName.c_str(),
                 what.c_str());
    std::exit(2);
}

uint32_t BitsOf(float value) {
    uint32_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    return bits;
}

// The solver alone: the engine's FlowGraph and the first-written one must end with the same flow
// and the same residual, to the bit, on every arc and node of the input's cut graph.
void CheckSolverAgainstReference(const Workspace& w) {
    const auto regionTerms =
        mirrask::ComputeRegionTerms(w.state, mirrask::ScanMarks(w.state, w.marks.data()));
    const auto neighbourTerms = mirrask::ComputeNeighbourTerms(w.state);
    const std::unique_ptr<mirrask::FlowGraph> graph =
        mirrask::BuildCutGraph(regionTerms, neighbourTerms);
    reference::FlowGraph expected(static_cast<int32_t>(regionTerms.size()));
    for (const mirrask::RegionTerm& term : regionTerms)
        expected.AddTerminalWeights(expected.AddNode(), term.foregroundCost, term.backgroundCost);
    for (const mirrask::NeighbourTerm& term : neighbourTerms)
        expected.AddEdge(term.lower, term.higher, term.weight, term.weight);
    if (BitsOf(graph->MaxFlow()) != BitsOf(expected.MaxFlow())) Fail(w.image.name, "flow");
    for (int32_t node = 0; node < expected.NodeCount(); ++node) {
        if (BitsOf(graph->TerminalResidual(node)) != BitsOf(expected.TerminalResidual(node)) ||
            (graph->SegmentOf(node) == mirrask::FlowGraph::Segment::Sink) !=
                (expected.SegmentOf(node) == reference::FlowGraph::Segment::Sink)) {
            Fail(w.image.name, "solver node " + std::to_string(node));
        }
    }
    for (int32_t arc = 0; arc < expected.ArcCount(); ++arc) {
        if (BitsOf(graph->ArcResidual(arc)) != BitsOf(expected.ArcResidual(arc)))
            Fail(w.image.name, "solver arc " + std::to_string(arc));
    }
}

void CheckAgainstReference(Workspace& w) {
    const auto started = Clock::now();
    const ReferenceSegmentation reference =
        ReferenceWatershed(w.image.pixels.data(), w.image.width, w.image.height);
    if (const std::string difference = CompareSegmentations(reference, w.state);
        !difference.empty()) {
        Fail(w.image.name, difference);
    }
    std::vector<uint8_t> referencePixels = w.image.pixels;
    std::vector<uint8_t> referenceSelection(w.selection.size(), 7);
    ReferenceLazy(reference, w.marks.data(), referencePixels.data(), referenceSelection.data());

    std::vector<uint8_t> enginePixels = w.image.pixels;
    std::vector<uint8_t> engineSelection(w.selection.size(), 7);
    mirrask::RunLazy(w.state, w.marks.data(), enginePixels.data(), engineSelection.data());
    if (engineSelection != referenceSelection) Fail(w.image.name, "selection");
    if (enginePixels != referencePixels) Fail(w.image.name, "outline pixels");
    CheckSolverAgainstReference(w);
    const int64_t selected = std::count(engineSelection.begin(), engineSelection.end(), 1);
    std::fprintf(stderr,
                 "%s: %dx%d, %d regions, %lld pairs, %.2f %% marked, %lld pixels selected: "
                 "identical to the reference path (checked in %.1f s of CPU)\n",
                 w.image.name.c_str(), w.image.width, w.image.height, w.state.RegionCount,
                 static_cast<long long>(w.state.RegionNeighbours.PairCount()),
                 100.0 * w.markedShare, static_cast<long long>(selected),
                 std::chrono::duration<double>(Clock::now() - started).count());
}

// nullptr when the input cannot be had (a photo without its file or without Qt).
Workspace* Prepare(const InputSpec& inputSpec) {
    if (workspaceName == inputSpec.name) return workspace.get();
    workspace.reset();
    workspaceName = inputSpec.name;
    std::optional<BenchImage> image;
    if (inputSpec.photoFile.empty()) {
        image =
            GeneratePhotoLike(inputSpec.name, inputSpec.width, inputSpec.height, inputSpec.seed);
    } else {
        image = LoadPhoto(inputSpec.name, std::string(QUILLANE_PHOTOS) + "/" + inputSpec.photoFile);
    }
    if (!image) return nullptr;

    workspace = std::make_unique<Workspace>();
    Workspace& w = *workspace;
    w.image = std::move(*image);
    w.marks = GenerateStrokeMarks(w.image.width, w.image.height);
    w.pixelCopy = w.image.pixels;
    w.selection.assign(w.marks.size(), 0);
    w.markedShare =
        double(std::count_if(w.marks.begin(), w.marks.end(), [](uint8_t m) { return m != 0; })) /
        double(w.marks.size());
    if (mirrask::RunWatershed(w.state, w.image.pixels.data(), w.image.width, w.image.height) != 0) {
        Fail(w.image.name, "Watershed refused the image");
    }
    if (checkAgainstReference) CheckAgainstReference(w);
    return workspace.get();
}

// Few iterations on big images: a 24 MP Watershed takes seconds on these machines.
int64_t IterationsFor(int64_t pixelCount, double pixelsPerRun) {
    return std::max<int64_t>(1, int64_t(pixelsPerRun / double(pixelCount) + 0.5));
}

int64_t PixelCountOf(const InputSpec& inputSpec) {
    if (inputSpec.photoFile.empty()) return int64_t{inputSpec.width} * inputSpec.height;
    if (inputSpec.photoFile.starts_with("mate_Garden")) return 2560 * 1600;
    return 4224 * 3168;
}

void AddSizeCounters(benchmark::State& state, const Workspace& w) {
    state.counters["regions"] = w.state.RegionCount;
    state.counters["pairs"] = double(w.state.RegionNeighbours.PairCount());
    state.counters["MP"] = double(w.image.PixelCount()) / 1e6;
}

// Runs body once per iteration, timing it by hand as well, and reports ns per pixel.
template <typename Body>
void TimePerPixel(benchmark::State& state, int64_t pixelCount, Body&& body) {
    double seconds = 0.0;
    for (auto _ : state) {
        const auto started = Clock::now();
        body();
        seconds += std::chrono::duration<double>(Clock::now() - started).count();
    }
    state.counters["ns_per_px"] = seconds * 1e9 / (double(state.iterations()) * double(pixelCount));
}

// ---- Watershed and its steps ----

void BM_Watershed(benchmark::State& state, const InputSpec& inputSpec) {
    Workspace* w = Prepare(inputSpec);
    if (w == nullptr) return state.SkipWithError("input not available");
    mirrask::EngineState scratch;
    TimePerPixel(state, w->image.PixelCount(), [&] {
        mirrask::RunWatershed(scratch, w->image.pixels.data(), w->image.width, w->image.height);
        benchmark::DoNotOptimize(scratch.RegionCount);
    });
    AddSizeCounters(state, *w);
}

void BM_WatershedGradient(benchmark::State& state, const InputSpec& inputSpec) {
    Workspace* w = Prepare(inputSpec);
    if (w == nullptr) return state.SkipWithError("input not available");
    std::vector<uint8_t> gradient(size_t(w->image.PixelCount()));
    TimePerPixel(state, w->image.PixelCount(), [&] {
        mirrask::ComputeGradient(w->image.pixels.data(), w->image.width, w->image.height,
                                 gradient.data());
        benchmark::ClobberMemory();
    });
}

std::vector<uint8_t> GradientOf(const Workspace& w) {
    std::vector<uint8_t> gradient(size_t(w.image.PixelCount()));
    mirrask::ComputeGradient(w.image.pixels.data(), w.image.width, w.image.height, gradient.data());
    return gradient;
}

void BM_WatershedFlood(benchmark::State& state, const InputSpec& inputSpec) {
    Workspace* w = Prepare(inputSpec);
    if (w == nullptr) return state.SkipWithError("input not available");
    const std::vector<uint8_t> gradient = GradientOf(*w);
    std::vector<int32_t> regionMap(size_t(w->image.PixelCount()));
    TimePerPixel(state, w->image.PixelCount(), [&] {
        benchmark::DoNotOptimize(
            mirrask::FloodRegions(gradient, w->image.width, w->image.height, regionMap));
    });
}

void BM_WatershedRegionStats(benchmark::State& state, const InputSpec& inputSpec) {
    Workspace* w = Prepare(inputSpec);
    if (w == nullptr) return state.SkipWithError("input not available");
    TimePerPixel(state, w->image.PixelCount(), [&] {
        const auto table = mirrask::ComputeRegionStatsFromPixels(
            w->state.RegionMap, w->image.width, w->image.height, w->state.RegionCount,
            w->image.pixels.data());
        benchmark::DoNotOptimize(table.data());
    });
}

void BM_WatershedRegionGraph(benchmark::State& state, const InputSpec& inputSpec) {
    Workspace* w = Prepare(inputSpec);
    if (w == nullptr) return state.SkipWithError("input not available");
    TimePerPixel(state, w->image.PixelCount(), [&] {
        const mirrask::RegionGraph graph = mirrask::BuildRegionGraph(
            w->state.RegionMap, w->image.width, w->image.height, w->state.RegionCount);
        benchmark::DoNotOptimize(graph.PairCount());
    });
}

// Peak heap the call adds beyond what was held before it (the caller's buffers included there),
// and what the state keeps afterwards.
void BM_WatershedMemory(benchmark::State& state, const InputSpec& inputSpec) {
    Workspace* w = Prepare(inputSpec);
    if (w == nullptr) return state.SkipWithError("input not available");
    if (!AllocationCounterActive()) return state.SkipWithError("no allocation counter");
    const double pixels = double(w->image.PixelCount());
    double peak = 0.0, kept = 0.0;
    for (auto _ : state) {
        auto scratch = std::make_unique<mirrask::EngineState>();
        const int64_t before = LiveHeapBytes();
        ResetPeakHeapBytes();
        mirrask::RunWatershed(*scratch, w->image.pixels.data(), w->image.width, w->image.height);
        peak = double(PeakHeapBytes() - before);
        kept = double(LiveHeapBytes() - before);
        state.PauseTiming();
        scratch.reset();
        state.ResumeTiming();
    }
    const double regionBytes =
        double(w->state.RegionCount) * sizeof(mirrask::RegionInfo) +
        double(w->state.RegionNeighbours.PairCount()) * sizeof(mirrask::RegionNeighbour) +
        double(w->state.RegionCount + 1) * sizeof(int32_t);
    state.counters["peak_B_per_px"] = peak / pixels;
    state.counters["kept_B_per_px"] = kept / pixels;
    // What the state keeps per pixel once the per-region tables are taken out.
    state.counters["kept_px_part_B_per_px"] = (kept - regionBytes) / pixels;
    state.counters["region_tables_MB"] = regionBytes / 1e6;
}

// ---- Lazy and its stages ----

void BM_Lazy(benchmark::State& state, const InputSpec& inputSpec) {
    Workspace* w = Prepare(inputSpec);
    if (w == nullptr) return state.SkipWithError("input not available");
    for (auto _ : state) {
        mirrask::RunLazy(w->state, w->marks.data(), w->pixelCopy.data(), w->selection.data());
        benchmark::ClobberMemory();
    }
    AddSizeCounters(state, *w);
    state.counters["marked_pct"] = 100.0 * w->markedShare;
}

void BM_LazyScanMarks(benchmark::State& state, const InputSpec& inputSpec) {
    Workspace* w = Prepare(inputSpec);
    if (w == nullptr) return state.SkipWithError("input not available");
    size_t prototypes = 0;
    for (auto _ : state) {
        const mirrask::MarkedRegions marked = mirrask::ScanMarks(w->state, w->marks.data());
        prototypes = marked.foreground.size() + marked.background.size();
    }
    state.counters["prototypes"] = double(prototypes);
}

void BM_LazyRegionTerms(benchmark::State& state, const InputSpec& inputSpec) {
    Workspace* w = Prepare(inputSpec);
    if (w == nullptr) return state.SkipWithError("input not available");
    const mirrask::MarkedRegions marked = mirrask::ScanMarks(w->state, w->marks.data());
    for (auto _ : state) {
        const auto terms = mirrask::ComputeRegionTerms(w->state, marked);
        benchmark::DoNotOptimize(terms.data());
    }
}

void BM_LazyNeighbourTerms(benchmark::State& state, const InputSpec& inputSpec) {
    Workspace* w = Prepare(inputSpec);
    if (w == nullptr) return state.SkipWithError("input not available");
    for (auto _ : state) {
        const auto terms = mirrask::ComputeNeighbourTerms(w->state);
        benchmark::DoNotOptimize(terms.data());
    }
}

struct CutTerms {
    std::vector<mirrask::RegionTerm> regions;
    std::vector<mirrask::NeighbourTerm> neighbours;
};

CutTerms TermsOf(const Workspace& w) {
    return {mirrask::ComputeRegionTerms(w.state, mirrask::ScanMarks(w.state, w.marks.data())),
            mirrask::ComputeNeighbourTerms(w.state)};
}

void BM_LazyGraphBuild(benchmark::State& state, const InputSpec& inputSpec) {
    Workspace* w = Prepare(inputSpec);
    if (w == nullptr) return state.SkipWithError("input not available");
    const CutTerms terms = TermsOf(*w);
    for (auto _ : state) {
        std::unique_ptr<mirrask::FlowGraph> graph =
            mirrask::BuildCutGraph(terms.regions, terms.neighbours);
        state.PauseTiming();
        graph.reset();
        state.ResumeTiming();
    }
}

// The solver alone on the region graph of the input.
void BM_LazySolve(benchmark::State& state, const InputSpec& inputSpec) {
    Workspace* w = Prepare(inputSpec);
    if (w == nullptr) return state.SkipWithError("input not available");
    const CutTerms terms = TermsOf(*w);
    float flow = 0.0f;
    for (auto _ : state) {
        state.PauseTiming();
        std::unique_ptr<mirrask::FlowGraph> graph =
            mirrask::BuildCutGraph(terms.regions, terms.neighbours);
        state.ResumeTiming();
        flow = graph->MaxFlow();
        state.PauseTiming();
        graph.reset();
        state.ResumeTiming();
    }
    state.counters["nodes"] = double(terms.regions.size());
    state.counters["edges"] = double(terms.neighbours.size());
    state.counters["flow"] = flow;
}

// The steps of the solve, counted by the first-written solver, which takes exactly the engine's
// steps (the reference check compares every residual). Path and origin steps each wait for the
// node loaded by the step before; chain_floor_ms is what those waits alone would cost if every one
// hit the first-level cache (4 cycles on these cores) at this machine's clock.
void BM_LazySolveSteps(benchmark::State& state, const InputSpec& inputSpec) {
    Workspace* w = Prepare(inputSpec);
    if (w == nullptr) return state.SkipWithError("input not available");
    const CutTerms terms = TermsOf(*w);
    reference::FlowGraph::Steps steps;
    for (auto _ : state) {
        reference::FlowGraph graph(static_cast<int32_t>(terms.regions.size()));
        for (const mirrask::RegionTerm& term : terms.regions)
            graph.AddTerminalWeights(graph.AddNode(), term.foregroundCost, term.backgroundCost);
        for (const mirrask::NeighbourTerm& term : terms.neighbours)
            graph.AddEdge(term.lower, term.higher, term.weight, term.weight);
        graph.MaxFlow();
        steps = graph.StepsTaken();
    }
    state.counters["growths"] = double(steps.growths);
    state.counters["augmentations"] = double(steps.augmentations);
    state.counters["path_steps"] = double(steps.pathSteps);
    state.counters["orphans"] = double(steps.orphans);
    state.counters["origin_steps"] = double(steps.originSteps);
    state.counters["confirmation_steps"] = double(steps.confirmationSteps);
    state.counters["growth_arc_scans"] = double(steps.growthArcScans);
    state.counters["orphan_arc_scans"] = double(steps.orphanArcScans);
    constexpr double kFirstLevelLatencyCycles = 4.0;
    state.counters["chain_floor_ms"] = double(steps.pathSteps + steps.originSteps) *
                                       kFirstLevelLatencyCycles /
                                       benchmark::CPUInfo::Get().cycles_per_second * 1e3;
}

void BM_LazyReadBack(benchmark::State& state, const InputSpec& inputSpec) {
    Workspace* w = Prepare(inputSpec);
    if (w == nullptr) return state.SkipWithError("input not available");
    const CutTerms terms = TermsOf(*w);
    const std::unique_ptr<mirrask::FlowGraph> graph =
        mirrask::BuildCutGraph(terms.regions, terms.neighbours);
    graph->MaxFlow();
    for (auto _ : state) {
        const std::vector<uint8_t> sides = mirrask::ReadRegionSides(*graph);
        benchmark::DoNotOptimize(sides.data());
    }
}

void BM_LazyWriteSelection(benchmark::State& state, const InputSpec& inputSpec) {
    Workspace* w = Prepare(inputSpec);
    if (w == nullptr) return state.SkipWithError("input not available");
    const CutTerms terms = TermsOf(*w);
    const std::vector<uint8_t> sides = mirrask::SolveRegionCut(terms.regions, terms.neighbours);
    for (auto _ : state) {
        mirrask::WriteSelection(w->state, sides, w->marks.data(), w->pixelCopy.data(),
                                w->selection.data());
        benchmark::ClobberMemory();
    }
}

// All stages of one Lazy call timed one after the other in the same iteration, with the share of
// everything but the solve.
void BM_LazyBreakdown(benchmark::State& state, const InputSpec& inputSpec) {
    Workspace* w = Prepare(inputSpec);
    if (w == nullptr) return state.SkipWithError("input not available");
    const char* const names[] = {"scan_ms",  "region_terms_ms", "neighbour_terms_ms", "build_ms",
                                 "solve_ms", "read_back_ms",    "free_graph_ms",      "write_ms"};
    double seconds[8] = {};
    for (auto _ : state) {
        auto t = Clock::now();
        int stage = 0;
        const auto lap = [&] {
            const auto now = Clock::now();
            seconds[stage++] += std::chrono::duration<double>(now - t).count();
            t = now;
        };
        const mirrask::MarkedRegions marked = mirrask::ScanMarks(w->state, w->marks.data());
        lap();
        const auto regionTerms = mirrask::ComputeRegionTerms(w->state, marked);
        lap();
        const auto neighbourTerms = mirrask::ComputeNeighbourTerms(w->state);
        lap();
        std::unique_ptr<mirrask::FlowGraph> graph =
            mirrask::BuildCutGraph(regionTerms, neighbourTerms);
        lap();
        graph->MaxFlow();
        lap();
        const std::vector<uint8_t> sides = mirrask::ReadRegionSides(*graph);
        lap();
        graph.reset();
        lap();
        mirrask::WriteSelection(w->state, sides, w->marks.data(), w->pixelCopy.data(),
                                w->selection.data());
        lap();
    }
    double total = 0.0;
    for (int k = 0; k < 8; ++k) {
        state.counters[names[k]] = seconds[k] * 1e3 / double(state.iterations());
        total += seconds[k];
    }
    state.counters["non_solve_pct"] = 100.0 * (total - seconds[4]) / total;
}

void BM_LazyMemory(benchmark::State& state, const InputSpec& inputSpec) {
    Workspace* w = Prepare(inputSpec);
    if (w == nullptr) return state.SkipWithError("input not available");
    if (!AllocationCounterActive()) return state.SkipWithError("no allocation counter");
    double peak = 0.0;
    for (auto _ : state) {
        const int64_t before = LiveHeapBytes();
        ResetPeakHeapBytes();
        mirrask::RunLazy(w->state, w->marks.data(), w->pixelCopy.data(), w->selection.data());
        peak = double(PeakHeapBytes() - before);
    }
    state.counters["peak_B_per_px"] = peak / double(w->image.PixelCount());
    state.counters["peak_B_per_region"] = peak / double(w->state.RegionCount);
}

double MinOf(const std::vector<double>& values) {
    return values.empty() ? 0.0 : *std::min_element(values.begin(), values.end());
}

void RegisterAll() {
    struct Family {
        const char* name;
        void (*function)(benchmark::State&, const InputSpec&);
        double pixelsPerRun;  // iterations = pixelsPerRun / pixel count, at least 1
        benchmark::TimeUnit unit;
    };
    const Family families[] = {
        {"Watershed", BM_Watershed, 8e6, benchmark::kMillisecond},
        {"Watershed.Gradient", BM_WatershedGradient, 30e6, benchmark::kMillisecond},
        {"Watershed.Flood", BM_WatershedFlood, 8e6, benchmark::kMillisecond},
        {"Watershed.RegionStats", BM_WatershedRegionStats, 20e6, benchmark::kMillisecond},
        {"Watershed.RegionGraph", BM_WatershedRegionGraph, 20e6, benchmark::kMillisecond},
        {"Watershed.Memory", BM_WatershedMemory, 1, benchmark::kMillisecond},
        {"Lazy", BM_Lazy, 40e6, benchmark::kMillisecond},
        {"Lazy.Breakdown", BM_LazyBreakdown, 40e6, benchmark::kMillisecond},
        {"Lazy.ScanMarks", BM_LazyScanMarks, 80e6, benchmark::kMillisecond},
        {"Lazy.RegionTerms", BM_LazyRegionTerms, 80e6, benchmark::kMillisecond},
        {"Lazy.NeighbourTerms", BM_LazyNeighbourTerms, 80e6, benchmark::kMillisecond},
        {"Lazy.GraphBuild", BM_LazyGraphBuild, 40e6, benchmark::kMillisecond},
        {"Lazy.Solve", BM_LazySolve, 40e6, benchmark::kMillisecond},
        {"Lazy.SolveSteps", BM_LazySolveSteps, 1, benchmark::kMillisecond},
        {"Lazy.ReadBack", BM_LazyReadBack, 80e6, benchmark::kMillisecond},
        {"Lazy.WriteSelection", BM_LazyWriteSelection, 80e6, benchmark::kMillisecond},
        {"Lazy.Memory", BM_LazyMemory, 1, benchmark::kMillisecond},
    };
    // Grouped by input, so that each image is prepared and checked once.
    for (const InputSpec& inputSpec : Inputs()) {
        for (const Family& family : families) {
            benchmark::RegisterBenchmark((std::string(family.name) + "/" + inputSpec.name).c_str(),
                                         family.function, inputSpec)
                ->Iterations(IterationsFor(PixelCountOf(inputSpec), family.pixelsPerRun))
                ->Unit(family.unit)
                ->ComputeStatistics("min", MinOf);
        }
    }
}

}  // namespace
}  // namespace quillane::bench

int main(int argc, char** argv) {
    std::vector<char*> arguments;
    for (int k = 0; k < argc; ++k) {
        if (std::strcmp(argv[k], "--skip_reference_check") == 0) {
            quillane::bench::checkAgainstReference = false;
        } else {
            arguments.push_back(argv[k]);
        }
    }
    int count = static_cast<int>(arguments.size());
    benchmark::Initialize(&count, arguments.data());
    if (benchmark::ReportUnrecognizedArguments(count, arguments.data())) return 1;
    quillane::bench::RegisterAll();
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
