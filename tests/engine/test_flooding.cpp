#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <deque>
#include <map>
#include <queue>
#include <random>
#include <string>
#include <vector>

#include "flooding.h"

namespace mirrask {
namespace {

struct Flooded {
    int32_t regionCount;
    std::vector<int32_t> labels;
};

// Region labels from 1 (index + 1), so that the expected pictures below can use 0 for nothing.
Flooded Flood(const std::vector<uint8_t>& gradient, int w, int h) {
    Flooded result;
    result.labels.assign(gradient.size(), -7);
    result.regionCount = FloodRegions(gradient, w, h, result.labels);
    for (int32_t& label : result.labels)
        label += 1;
    return result;
}

// Levels given as rows of digits, each digit times 10.
std::vector<uint8_t> Levels(const std::vector<std::string>& rows) {
    std::vector<uint8_t> levels;
    for (const auto& row : rows) {
        for (char c : row)
            levels.push_back(static_cast<uint8_t>((c - '0') * 10));
    }
    return levels;
}

std::vector<int32_t> Labels(const std::vector<std::string>& rows) {
    std::vector<int32_t> labels;
    for (const auto& row : rows) {
        for (char c : row)
            labels.push_back(c - '0');
    }
    return labels;
}

struct FloodCase {
    const char* name;
    std::vector<std::string> levels;
    std::vector<std::string> expected;
};

TEST(FloodRegions, LabelsFollowTheImmersionRules) {
    const FloodCase cases[] = {
        {"one level is one region", {"000", "000", "000"}, {"111", "111", "111"}},
        {"a vertical one-pixel ridge joins the left basin",
         {"0005000", "0005000", "0005000"},
         {"1111222", "1111222", "1111222"}},
        {"a horizontal one-pixel ridge joins the upper basin",
         {"000", "000", "555", "000"},
         {"111", "111", "111", "222"}},
        {"a two-pixel ridge is split", {"00550", "00550"}, {"11122", "11122"}},
        {"a plateau is divided by distance, ties to the left", {"055555550"}, {"111112222"}},
        {"the plateau's nearer side wins", {"05555550"}, {"11112222"}},
        {"labels by level, then raster position; an unreached group starts its own region",
         {"0990", "9559", "0990"},
         {"1122", "5555", "3344"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const int w = static_cast<int>(c.levels[0].size());
        const int h = static_cast<int>(c.levels.size());
        const Flooded flooded = Flood(Levels(c.levels), w, h);
        const auto expected = Labels(c.expected);
        EXPECT_EQ(flooded.labels, expected);
        EXPECT_EQ(flooded.regionCount, *std::max_element(expected.begin(), expected.end()));
    }
}

// Number of 4-connected components of each label.
std::map<int32_t, int> ComponentsPerLabel(const std::vector<int32_t>& labels, int w, int h) {
    std::vector<bool> seen(labels.size(), false);
    std::map<int32_t, int> components;
    for (int start = 0; start < w * h; ++start) {
        if (seen[start]) continue;
        ++components[labels[start]];
        std::queue<int> queue;
        queue.push(start);
        seen[start] = true;
        while (!queue.empty()) {
            const int p = queue.front();
            queue.pop();
            const int x = p % w, y = p / w;
            const int neighbours[4][2] = {{x - 1, y}, {x + 1, y}, {x, y - 1}, {x, y + 1}};
            for (auto [nx, ny] : neighbours) {
                if (nx < 0 || ny < 0 || nx >= w || ny >= h) continue;
                const int q = ny * w + nx;
                if (!seen[q] && labels[q] == labels[p]) {
                    seen[q] = true;
                    queue.push(q);
                }
            }
        }
    }
    return components;
}

TEST(FloodRegions, RandomGradientsGiveConnectedRegionsNumberedWithoutGaps) {
    std::mt19937 random(12345);
    for (int trial = 0; trial < 200; ++trial) {
        const int w = 1 + static_cast<int>(random() % 17);
        const int h = 1 + static_cast<int>(random() % 17);
        const int levelsUsed = 1 + static_cast<int>(random() % 6);
        std::vector<uint8_t> gradient(static_cast<size_t>(w) * h);
        for (auto& level : gradient)
            level = static_cast<uint8_t>(random() % levelsUsed * 40);
        const Flooded flooded = Flood(gradient, w, h);

        const auto components = ComponentsPerLabel(flooded.labels, w, h);
        ASSERT_EQ(static_cast<int32_t>(components.size()), flooded.regionCount);
        EXPECT_EQ(components.begin()->first, 1);
        EXPECT_EQ(components.rbegin()->first, flooded.regionCount);
        for (auto [label, count] : components)
            EXPECT_EQ(count, 1) << "label " << label;

        // The raster-first pixel of the lowest level present is in region 1.
        const auto lowest = std::min_element(gradient.begin(), gradient.end()) - gradient.begin();
        EXPECT_EQ(flooded.labels[lowest], 1);
    }
}

// The immersion written the plain way: level by level over the whole image, a first-in first-out
// queue with distance steps, labels from 1.
std::vector<int32_t> PlainImmersion(const std::vector<uint8_t>& gradient, int w, int h) {
    constexpr int32_t kInit = -2, kMask = -1, kMarker = -99;
    const int n = w * h;
    std::vector<int32_t> label(n, kInit), distance(n, 0);
    std::deque<int32_t> queue;
    const auto neighbours = [&](int p) {
        std::vector<int> result;
        const int x = p % w, y = p / w;
        if (x > 0) result.push_back(p - 1);
        if (x < w - 1) result.push_back(p + 1);
        if (y > 0) result.push_back(p - w);
        if (y < h - 1) result.push_back(p + w);
        return result;
    };
    int32_t next = 0;
    for (int level = 0; level < 256; ++level) {
        std::vector<int> pixels;
        for (int p = 0; p < n; ++p) {
            if (gradient[p] == level) pixels.push_back(p);
        }
        for (const int p : pixels) {
            label[p] = kMask;
            for (const int q : neighbours(p)) {
                if (label[q] >= 1) {
                    distance[p] = 1;
                    queue.push_back(p);
                    break;
                }
            }
        }
        int32_t current = 1;
        queue.push_back(kMarker);
        while (true) {
            int32_t p = queue.front();
            queue.pop_front();
            if (p == kMarker) {
                if (queue.empty()) break;
                queue.push_back(kMarker);
                ++current;
                p = queue.front();
                queue.pop_front();
            }
            for (const int q : neighbours(p)) {
                if (distance[q] < current && label[q] >= 1) {
                    if (label[p] == kMask) label[p] = label[q];
                } else if (label[q] == kMask && distance[q] == 0) {
                    distance[q] = current + 1;
                    queue.push_back(q);
                }
            }
        }
        for (const int p : pixels) {
            distance[p] = 0;
            if (label[p] != kMask) continue;
            label[p] = ++next;
            queue.push_back(p);
            while (!queue.empty()) {
                const int32_t r = queue.front();
                queue.pop_front();
                for (const int q : neighbours(r)) {
                    if (label[q] == kMask) {
                        label[q] = next;
                        queue.push_back(q);
                    }
                }
            }
        }
    }
    return label;
}

TEST(FloodRegions, SameLabelsAsThePlainImmersion) {
    std::mt19937 random(777);
    for (int trial = 0; trial < 400; ++trial) {
        const int w = 1 + static_cast<int>(random() % 40);
        const int h = 1 + static_cast<int>(random() % 40);
        std::vector<uint8_t> gradient(static_cast<size_t>(w) * h);
        switch (trial % 4) {
            case 0: {  // few levels: wide plateaus, ties between regions
                const int levelsUsed = 1 + static_cast<int>(random() % 4);
                for (auto& level : gradient)
                    level = static_cast<uint8_t>(random() % levelsUsed * 60);
                break;
            }
            case 1: {  // slopes and ridges: long chains of parents in every direction
                const int cx = static_cast<int>(random() % w), cy = static_cast<int>(random() % h);
                for (int y = 0; y < h; ++y) {
                    for (int x = 0; x < w; ++x) {
                        const int ring = (std::abs(x - cx) + std::abs(y - cy)) / 3;
                        gradient[y * w + x] =
                            static_cast<uint8_t>((ring * 7 + (random() % 3 == 0)) % 256);
                    }
                }
                break;
            }
            case 2:  // wide plateaus with a few dips: long distances, ties far from the regions
                for (auto& level : gradient)
                    level = random() % 40 == 0 ? 10 : 90;
                break;
            default:  // all levels
                for (auto& level : gradient)
                    level = static_cast<uint8_t>(random());
        }
        const Flooded flooded = Flood(gradient, w, h);
        const std::vector<int32_t> expected = PlainImmersion(gradient, w, h);
        ASSERT_EQ(flooded.labels, expected) << "trial " << trial << ", " << w << " x " << h;
        ASSERT_EQ(flooded.regionCount, *std::max_element(expected.begin(), expected.end()));
    }
}

}  // namespace
}  // namespace mirrask
