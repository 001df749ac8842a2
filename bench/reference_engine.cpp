#include "reference_engine.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <queue>
#include <set>

#include "reference_flow_graph.h"

namespace quillane::bench {

using mirrask::LuvColour;
using mirrask::RegionInfo;

namespace {

// Colour conversion with the nine channel tables and the lightness table, one colour per pixel.
std::vector<LuvColour> ConvertPixels(const uint8_t* pixels, int32_t pixelCount) {
    const int32_t coefficients[3][3] = {{4125, 3576, 1804}, {2125, 7154, 721}, {193, 1192, 9502}};
    std::array<std::array<std::array<int32_t, 256>, 3>, 3> channel{};  // [row][red, green, blue]
    for (int row = 0; row < 3; ++row) {
        for (int c = 0; c < 3; ++c) {
            for (int i = 1; i < 256; ++i)
                channel[row][c][i] = channel[row][c][i - 1] + coefficients[row][c];
        }
    }
    std::array<float, 256> lightness{};
    for (int i = 0; i < 256; ++i)
        lightness[i] = float(116.0 * std::pow(double(i) / 255.0, 0.3333333) - 16.0);

    std::vector<LuvColour> colours(static_cast<size_t>(pixelCount));
    for (int32_t k = 0; k < pixelCount; ++k) {
        const uint8_t blue = pixels[3 * size_t(k)], green = pixels[3 * size_t(k) + 1],
                      red = pixels[3 * size_t(k) + 2];
        const int32_t X = channel[0][0][red] + channel[0][1][green] + channel[0][2][blue];
        const int32_t Y = channel[1][0][red] + channel[1][1][green] + channel[1][2][blue];
        const int32_t Z = channel[2][0][red] + channel[2][1][green] + channel[2][2][blue];
        const float y = float(double(Y) / 2550000.0);
        float L;
        if (y > 0.008856f) {
            L = lightness[int(double(y) * 255.0 + 0.5)];
        } else {
            L = float(double(y) * 903.3);
        }
        const int32_t d = X + 15 * Y + 3 * Z;
        float uPrime = 4.0f, vPrime = 0.6f;
        if (d != 0) {
            const float df = float(d);
            uPrime = float(4.0 * double(X) / double(df));
            vPrime = float(9.0 * double(Y) / double(df));
        }
        const float L13 = float(13.0 * double(L));
        colours[k] = {L, float((double(uPrime) - double(0.1978f)) * double(L13)),
                      float(double(L13) * (double(vPrime) - double(0.4683f)))};
    }
    return colours;
}

std::vector<uint8_t> Gradient(const uint8_t* pixels, int32_t width, int32_t height) {
    const size_t n = size_t(width) * height;
    std::vector<uint8_t> gradient(n, 0);
    if (width < 3 || height < 3) return gradient;
    std::vector<uint8_t> grey(n);
    std::vector<int32_t> gx(n, 0), gy(n, 0);
    for (size_t i = 0; i < n; ++i)
        grey[i] = uint8_t((pixels[3 * i] + pixels[3 * i + 1] + pixels[3 * i + 2]) / 3);
    const auto g = [&](int32_t x, int32_t y) { return int32_t(grey[size_t(y) * width + x]); };
    for (int32_t y = 1; y <= height - 2; ++y) {
        for (int32_t x = 1; x <= width - 2; ++x) {
            const size_t p = size_t(y) * width + x;
            gx[p] = (g(x + 1, y - 1) + g(x + 1, y) + g(x + 1, y + 1) - g(x - 1, y - 1) -
                     g(x - 1, y) - g(x - 1, y + 1)) /
                    3;
            gy[p] = (g(x - 1, y - 1) + g(x, y - 1) + g(x + 1, y - 1) - g(x - 1, y + 1) -
                     g(x, y + 1) - g(x + 1, y + 1)) /
                    3;
        }
    }
    for (auto* image : {&gx, &gy}) {
        auto& a = *image;
        for (int32_t y = 0; y < height; ++y) {
            a[size_t(y) * width] = a[size_t(y) * width + 1];
            a[size_t(y) * width + width - 1] = a[size_t(y) * width + width - 2];
        }
        for (int32_t x = 0; x < width; ++x) {
            a[x] = a[size_t(width) + x];
            a[size_t(height - 1) * width + x] = a[size_t(height - 2) * width + x];
        }
    }
    for (size_t i = 0; i < n; ++i) {
        const int32_t level =
            gx[i] == 0 ? std::abs(gy[i])
                       : int32_t(std::sqrt(double(gx[i]) * gx[i] + double(gy[i]) * gy[i]));
        gradient[i] = uint8_t(std::min(level, 255));
    }
    return gradient;
}

constexpr int32_t kLabelInit = -2, kLabelMask = -1, kQueueMarker = -99;

int32_t Flood(const std::vector<uint8_t>& gradient, int32_t width, int32_t height,
              std::vector<int32_t>& labels) {
    struct LevelRecord {
        int32_t x, y;
    };
    const size_t n = gradient.size();
    std::array<int32_t, 256> histogram{};
    std::array<int32_t, 257> offsets{};
    for (uint8_t v : gradient)
        ++histogram[v];
    for (int v = 1; v <= 256; ++v)
        offsets[v] = offsets[v - 1] + histogram[v - 1];
    histogram.fill(0);
    std::vector<LevelRecord> sorted(n);
    for (size_t i = 0; i < n; ++i) {
        const uint8_t v = gradient[i];
        sorted[offsets[v] + histogram[v]++] = {int32_t(i % width), int32_t(i / width)};
    }

    labels.assign(n, kLabelInit);
    std::vector<int32_t> distance(n, 0);
    std::queue<int32_t> queue;
    // Left, right, above, below, where inside the image.
    struct Neighbours {
        int32_t items[4];
        int32_t count = 0;
        const int32_t* begin() const { return items; }
        const int32_t* end() const { return items + count; }
    };
    const auto neighboursOf = [&](int32_t p) {
        const int32_t x = p % width, y = p / width;
        Neighbours result;
        if (x > 0) result.items[result.count++] = p - 1;
        if (x < width - 1) result.items[result.count++] = p + 1;
        if (y > 0) result.items[result.count++] = p - width;
        if (y < height - 1) result.items[result.count++] = p + width;
        return result;
    };
    int32_t count = 0;
    for (int v = 0; v < 256; ++v) {
        for (int32_t k = offsets[v]; k < offsets[v + 1]; ++k) {
            const int32_t p = sorted[k].y * width + sorted[k].x;
            labels[p] = kLabelMask;
            for (int32_t q : neighboursOf(p)) {
                if (labels[q] >= 1) {
                    distance[p] = 1;
                    queue.push(p);
                    break;
                }
            }
        }
        int32_t current = 1;
        queue.push(kQueueMarker);
        for (;;) {
            int32_t p = queue.front();
            queue.pop();
            if (p == kQueueMarker) {
                if (queue.empty()) break;
                queue.push(kQueueMarker);
                ++current;
                p = queue.front();
                queue.pop();
            }
            for (int32_t q : neighboursOf(p)) {
                if (distance[q] < current && labels[q] >= 1) {
                    if (labels[p] == kLabelMask) labels[p] = labels[q];
                } else if (labels[q] == kLabelMask && distance[q] == 0) {
                    distance[q] = current + 1;
                    queue.push(q);
                }
            }
        }
        for (int32_t k = offsets[v]; k < offsets[v + 1]; ++k) {
            const int32_t p = sorted[k].y * width + sorted[k].x;
            distance[p] = 0;
            if (labels[p] != kLabelMask) continue;
            labels[p] = ++count;
            queue.push(p);
            while (!queue.empty()) {
                const int32_t r = queue.front();
                queue.pop();
                for (int32_t q : neighboursOf(r)) {
                    if (labels[q] == kLabelMask) {
                        labels[q] = count;
                        queue.push(q);
                    }
                }
            }
        }
    }
    return count;
}

float Distance(const LuvColour& a, const LuvColour& b) {
    const float dL = a.L - b.L, du = a.u - b.u, dv = a.v - b.v;
    const float sL = dL * dL, su = du * du, sv = dv * dv;
    return float(double(sL) + double(su) + double(sv));
}

float Nearest(const LuvColour& colour, const std::set<int32_t>& prototypes,
              const std::vector<RegionInfo>& table) {
    float result = 1000000.0f;
    for (int32_t k : prototypes) {
        const float d = Distance(table[k].mean, colour);
        if (d < result) result = d;
    }
    return result;
}

}  // namespace

ReferenceSegmentation ReferenceWatershed(const uint8_t* pixels, int32_t width, int32_t height) {
    ReferenceSegmentation s;
    s.width = width;
    s.height = height;
    const int32_t pixelCount = width * height;
    const std::vector<LuvColour> colours = ConvertPixels(pixels, pixelCount);
    s.regionCount = Flood(Gradient(pixels, width, height), width, height, s.regionMap);
    for (int32_t& label : s.regionMap)
        label -= 1;

    s.regionTable.assign(size_t(s.regionCount), RegionInfo{});
    for (int32_t i = 0; i < pixelCount; ++i) {
        RegionInfo& entry = s.regionTable[s.regionMap[i]];
        entry.pixelCount += 1;
        entry.mean.L += colours[i].L;
        entry.mean.u += colours[i].u;
        entry.mean.v += colours[i].v;
    }
    for (RegionInfo& entry : s.regionTable) {
        entry.mean.L = float(double(entry.mean.L) / entry.pixelCount);
        entry.mean.u = float(double(entry.mean.u) / entry.pixelCount);
        entry.mean.v = float(double(entry.mean.v) / entry.pixelCount);
    }

    s.neighbours.assign(size_t(s.regionCount), {});
    for (int32_t y = 1; y <= height - 2; ++y) {
        for (int32_t x = 1; x <= width - 2; ++x) {
            const int32_t p = y * width + x, a = s.regionMap[p];
            for (const int32_t b : {s.regionMap[p + 1], s.regionMap[p + width]}) {
                if (b != a) ++s.neighbours[std::min(a, b)][std::max(a, b)];
            }
        }
    }
    return s;
}

void ReferenceLazy(const ReferenceSegmentation& s, const uint8_t* marks, uint8_t* pixels,
                   uint8_t* selection) {
    const int32_t pixelCount = s.width * s.height;
    std::vector<uint8_t> labels(size_t(s.regionCount), 0);
    std::set<int32_t> foreground, background;
    const float threshold = float(pixelCount / 10000);
    for (int32_t p = 0; p < pixelCount; ++p) {
        const int32_t r = s.regionMap[p];
        if (marks[p] == 1) {
            labels[r] = 1;
            if (Nearest(s.regionTable[r].mean, foreground, s.regionTable) > threshold)
                foreground.insert(r);
        } else if (marks[p] == 2) {
            if (labels[r] != 1) labels[r] = 2;
            if (!foreground.contains(r) &&
                Nearest(s.regionTable[r].mean, background, s.regionTable) > threshold)
                background.insert(r);
        }
    }

    reference::FlowGraph graph(s.regionCount);
    for (int32_t i = 0; i < s.regionCount; ++i) {
        float sourceCost = 0.0f, sinkCost = 0.0f;
        if (labels[i] == 1) {
            sinkCost = 1e10f;
        } else if (labels[i] == 2) {
            sourceCost = 1e10f;
        } else {
            const float dF = Nearest(s.regionTable[i].mean, foreground, s.regionTable);
            const float dB = Nearest(s.regionTable[i].mean, background, s.regionTable);
            if (double(dF) + double(dB) >= 1e-30) {
                sourceCost = float(double(dF) / (double(dF) + double(dB)));
                sinkCost = float(1.0 - double(sourceCost));
            }
        }
        graph.AddTerminalWeights(graph.AddNode(), sourceCost, sinkCost);
    }
    for (int32_t i = 0; i < s.regionCount; ++i) {
        for (const auto& [j, count] : s.neighbours[i]) {
            const float D = Distance(s.regionTable[i].mean, s.regionTable[j].mean);
            const float weight = float(double(count * 100) / (double(D) + 1.0));
            graph.AddEdge(i, j, weight, weight);
        }
    }
    graph.MaxFlow();
    std::vector<int32_t> segments(size_t(s.regionCount));
    for (int32_t i = 0; i < s.regionCount; ++i)
        segments[i] = graph.SegmentOf(i) == reference::FlowGraph::Segment::Sink ? 2 : 1;

    for (int32_t y = 0; y < s.height; ++y) {
        for (int32_t x = 0; x < s.width; ++x) {
            const int32_t p = y * s.width + x;
            const uint8_t m = marks[p];
            if (m == 1 || m == 2) {
                if (x == 0 || x == s.width - 1 || y == 0 || y == s.height - 1 ||
                    marks[p + s.width] != m || marks[p - s.width] != m || marks[p + 1] != m ||
                    marks[p - 1] != m) {
                    pixels[3 * size_t(p)] = 0;
                    pixels[3 * size_t(p) + 1] = m == 2 ? 255 : 0;
                    pixels[3 * size_t(p) + 2] = m == 1 ? 255 : 0;
                }
            }
            selection[p] = segments[s.regionMap[p]] == 1 ? 0 : 1;
            if (m == 1) selection[p] = 1;
            if (m == 2) selection[p] = 0;
        }
    }
}

std::string CompareSegmentations(const ReferenceSegmentation& reference,
                                 const mirrask::EngineState& state) {
    if (state.width != reference.width || state.height != reference.height) return "image size";
    if (state.RegionCount != reference.regionCount) {
        return "region count " + std::to_string(state.RegionCount) + " instead of " +
               std::to_string(reference.regionCount);
    }
    if (!std::ranges::equal(state.RegionMap, reference.regionMap)) return "region map";
    if (state.RegionTable.size() != reference.regionTable.size() ||
        std::memcmp(state.RegionTable.data(), reference.regionTable.data(),
                    reference.regionTable.size() * sizeof(RegionInfo)) != 0) {
        return "region table";
    }
    if (state.RegionNeighbours.RegionCount() != reference.regionCount) return "neighbour lists";
    for (int32_t r = 0; r < reference.regionCount; ++r) {
        const auto& expected = reference.neighbours[r];
        const auto actual = state.RegionNeighbours.NeighboursOf(r);
        if (actual.size() != expected.size() ||
            !std::equal(expected.begin(), expected.end(), actual.begin(),
                        [](const auto& e, const mirrask::RegionNeighbour& a) {
                            return e.first == a.region && e.second == a.pairCount;
                        })) {
            return "neighbours of region " + std::to_string(r);
        }
    }
    return {};
}

}  // namespace quillane::bench
