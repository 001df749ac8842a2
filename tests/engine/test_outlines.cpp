#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "outlines.h"

namespace mirrask {
namespace {

// Draws the outlines of marks given as rows of digits into a buffer of grey 100 and returns, per
// pixel, 'R' (red), 'G' (green) or '.' (unchanged).
std::vector<std::string> Outline(const std::vector<std::string>& rows) {
    const int h = static_cast<int>(rows.size());
    const int w = static_cast<int>(rows[0].size());
    std::vector<uint8_t> marks;
    for (const auto& row : rows) {
        for (char c : row)
            marks.push_back(static_cast<uint8_t>(c - '0'));
    }
    std::vector<uint8_t> pixels(marks.size() * 3, 100);
    DrawMarkOutlines(marks.data(), pixels.data(), w, h);
    std::vector<std::string> result(h, std::string(w, '?'));
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            const uint8_t* p = &pixels[3 * (y * w + x)];
            if (p[0] == 100 && p[1] == 100 && p[2] == 100) {
                result[y][x] = '.';
            } else if (p[0] == 0 && p[1] == 0 && p[2] == 255) {
                result[y][x] = 'R';
            } else if (p[0] == 0 && p[1] == 255 && p[2] == 0) {
                result[y][x] = 'G';
            }
        }
    }
    return result;
}

struct OutlineCase {
    const char* name;
    std::vector<std::string> marks;
    std::vector<std::string> expected;
};

TEST(Outlines, OnlyBoundaryPixelsOfMarksAreDrawn) {
    const OutlineCase cases[] = {
        {"no marks", {"000", "000", "000"}, {"...", "...", "..."}},
        {"a single interior pixel", {"000", "010", "000"}, {"...", ".R.", "..."}},
        {"a 3x3 block keeps its centre",
         {"00000", "01110", "01110", "01110", "00000"},
         {".....", ".RRR.", ".R.R.", ".RRR.", "....."}},
        {"marks on the image border are always outlines",
         {"1111", "1111", "1111"},
         {"RRRR", "R..R", "RRRR"}},
        {"one row high", {"1122"}, {"RRGG"}},
        {"one column wide", {"1", "1", "2"}, {"R", "R", "G"}},
        {"foreground meets background: both sides drawn",
         {"111222", "111222", "111222", "111222"},
         {"RRRGGG", "R.RG.G", "R.RG.G", "RRRGGG"}},
        {"a value that is no mark is never drawn and differs from both",
         {"11111", "11311", "11111", "11111"},
         {"RRRRR", "RR.RR", "R.R.R", "RRRRR"}},
        {"diagonal neighbours do not count",
         {"00000", "00111", "01111", "01111", "01111"},
         {".....", "..RRR", ".R..R", ".R..R", ".RRRR"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(Outline(c.marks), c.expected);
    }
}

}  // namespace
}  // namespace mirrask
