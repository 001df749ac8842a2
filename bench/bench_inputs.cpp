#include "bench_inputs.h"

#include <algorithm>
#include <cstdlib>

#ifdef QUILLANE_BENCH_WITH_QT
#include <QImage>
#include <QString>
#endif

namespace quillane::bench {

namespace {

uint32_t Hash(uint32_t x, uint32_t y, uint32_t seed) {
    uint32_t h = x * 0x8DA6B343u ^ y * 0xD8163841u ^ seed * 0xCB1AB31Fu;
    h ^= h >> 16;
    h *= 0x7FEB352Du;
    h ^= h >> 15;
    h *= 0x846CA68Bu;
    h ^= h >> 16;
    return h;
}

float Unit(uint32_t h) {
    return float(h >> 8) * (1.0f / 16777216.0f);
}

float Smooth(float t) {
    return t * t * (3.0f - 2.0f * t);
}

// Value noise in [0, 1): hashed values on a lattice of the given cell size, blended smoothly.
float ValueNoise(int32_t x, int32_t y, int32_t cell, uint32_t seed) {
    const int32_t cx = x / cell, cy = y / cell;
    const float fx = Smooth(float(x - cx * cell) / float(cell));
    const float fy = Smooth(float(y - cy * cell) / float(cell));
    const float a = Unit(Hash(cx, cy, seed)), b = Unit(Hash(cx + 1, cy, seed));
    const float c = Unit(Hash(cx, cy + 1, seed)), d = Unit(Hash(cx + 1, cy + 1, seed));
    const float top = a + (b - a) * fx, bottom = c + (d - c) * fx;
    return top + (bottom - top) * fy;
}

// Triangle wave of the given period in [0, 1].
float Triangle(int32_t t, int32_t period) {
    const int32_t m = ((t % period) + period) % period;
    return float(std::abs(2 * m - period)) / float(period);
}

struct Shape {
    bool ellipse;
    float cx, cy, rx, ry;
    float colour[3];
    int32_t stripePeriod;  // 0: speckled texture instead of stripes
    uint32_t seed;

    bool Contains(int32_t x, int32_t y) const {
        const float dx = (float(x) + 0.5f - cx) / rx, dy = (float(y) + 0.5f - cy) / ry;
        return ellipse ? dx * dx + dy * dy <= 1.0f : std::abs(dx) <= 1.0f && std::abs(dy) <= 1.0f;
    }
    // Texture and shading in [-1, 1] at a point inside the shape.
    float Pattern(int32_t x, int32_t y) const {
        const float shade = (float(y) - cy) / ry * 0.5f;
        const float texture = stripePeriod > 0 ? Triangle(x + y / 2, stripePeriod) * 2.0f - 1.0f
                                               : ValueNoise(x, y, 4, seed) * 2.0f - 1.0f;
        return std::clamp(shade + 0.5f * texture, -1.0f, 1.0f);
    }
};

}  // namespace

BenchImage GeneratePhotoLike(std::string name, int32_t width, int32_t height, uint32_t seed) {
    BenchImage image{std::move(name), width, height, {}};
    image.pixels.resize(size_t(image.PixelCount()) * 3);
    const float w = float(width), h = float(height), scale = float(std::min(width, height));

    std::vector<Shape> shapes;
    for (uint32_t k = 0; k < 14; ++k) {
        Shape s{};
        s.ellipse = Hash(k, 1, seed) % 2 == 0;
        s.cx = Unit(Hash(k, 2, seed)) * w;
        s.cy = Unit(Hash(k, 3, seed)) * h;
        s.rx = (0.04f + 0.12f * Unit(Hash(k, 4, seed))) * scale;
        s.ry = (0.04f + 0.12f * Unit(Hash(k, 5, seed))) * scale;
        for (int c = 0; c < 3; ++c)
            s.colour[c] = 30.0f + 200.0f * Unit(Hash(k, 6 + c, seed));
        s.stripePeriod = Hash(k, 9, seed) % 3 == 0 ? 0 : 6 + int32_t(Hash(k, 10, seed) % 20);
        s.seed = Hash(k, 11, seed);
        shapes.push_back(s);
    }
    // The object the stroke marks are painted on, drawn last, in the middle.
    shapes.push_back({true, w / 2, h / 2, 0.22f * w, 0.28f * h, {60, 70, 190}, 0, seed ^ 0x5151u});

    const int32_t coarseCell = std::max(8, int32_t(scale / 6));
    for (int32_t y = 0; y < height; ++y) {
        const float t = float(y) / h;
        for (int32_t x = 0; x < width; ++x) {
            // Sky to ground, with large soft blotches and a grassy texture.
            const float blotch = ValueNoise(x, y, coarseCell, seed) - 0.5f;
            const float grass = ValueNoise(x, y, 8, seed + 1) - 0.5f;
            float colour[3] = {200.0f - 120.0f * t, 170.0f - 60.0f * t, 120.0f - 30.0f * t};
            for (int c = 0; c < 3; ++c)
                colour[c] += 60.0f * blotch + (18.0f + 8.0f * c) * grass * t;
            for (const Shape& s : shapes) {
                if (!s.Contains(x, y)) continue;
                const float pattern = s.Pattern(x, y);
                for (int c = 0; c < 3; ++c)
                    colour[c] = s.colour[c] + 35.0f * pattern;
            }
            uint8_t* out = image.pixels.data() + 3 * (size_t(y) * width + x);
            const uint32_t noise = Hash(x, y, seed + 2);
            for (int c = 0; c < 3; ++c) {
                const int32_t jitter = int32_t((noise >> (8 * c)) % 5) - 2;
                out[c] = uint8_t(std::clamp(int32_t(colour[c]) + jitter, 0, 255));
            }
        }
    }
    return image;
}

std::optional<BenchImage> LoadPhoto(const std::string& name, const std::string& path) {
#ifdef QUILLANE_BENCH_WITH_QT
    QImage image(QString::fromStdString(path));
    if (image.isNull()) return std::nullopt;
    image = image.convertToFormat(QImage::Format_BGR888);
    BenchImage result{name, image.width(), image.height(), {}};
    result.pixels.resize(size_t(result.PixelCount()) * 3);
    const size_t rowBytes = size_t(result.width) * 3;
    for (int32_t y = 0; y < result.height; ++y)
        std::copy_n(image.constScanLine(y), rowBytes, result.pixels.data() + y * rowBytes);
    return result;
#else
    (void)name;
    (void)path;
    return std::nullopt;
#endif
}

namespace {

struct Point {
    float x, y;
};

// A straight segment painted with a square brush centred on every step.
void PaintSegment(std::vector<uint8_t>& marks, int32_t width, int32_t height, Point a, Point b,
                  int32_t brush, uint8_t mark) {
    const float dx = b.x - a.x, dy = b.y - a.y;
    const int32_t steps = std::max(1, int32_t(std::max(std::abs(dx), std::abs(dy))));
    const int32_t half = brush / 2;
    for (int32_t s = 0; s <= steps; ++s) {
        const int32_t x = int32_t(a.x + dx * float(s) / float(steps));
        const int32_t y = int32_t(a.y + dy * float(s) / float(steps));
        for (int32_t yy = std::max(0, y - half); yy < std::min(height, y - half + brush); ++yy) {
            for (int32_t xx = std::max(0, x - half); xx < std::min(width, x - half + brush); ++xx)
                marks[size_t(yy) * width + xx] = mark;
        }
    }
}

void PaintPolyline(std::vector<uint8_t>& marks, int32_t width, int32_t height,
                   const std::vector<Point>& points, int32_t brush, uint8_t mark) {
    for (size_t k = 1; k < points.size(); ++k)
        PaintSegment(marks, width, height, points[k - 1], points[k], brush, mark);
}

}  // namespace

std::vector<uint8_t> GenerateStrokeMarks(int32_t width, int32_t height) {
    std::vector<uint8_t> marks(size_t(width) * height, 0);
    const float w = float(width), h = float(height);
    const float cx = w / 2, cy = h / 2, rx = 0.22f * w, ry = 0.28f * h;
    const int32_t brush = std::max(2, std::min(width, height) / 250);

    // Background first, so that foreground strokes win where they would meet.
    const float left = std::max(0.04f * w, cx - 1.5f * rx),
                right = std::min(0.96f * w, cx + 1.5f * rx);
    const float top = std::max(0.04f * h, cy - 1.35f * ry),
                bottom = std::min(0.96f * h, cy + 1.35f * ry);
    PaintPolyline(marks, width, height,
                  {{left, top},
                   {right, top + 0.02f * h},
                   {right, bottom},
                   {left + 0.03f * w, bottom},
                   {left, top}},
                  brush, 2);
    PaintPolyline(marks, width, height, {{0.02f * w, 0.9f * h}, {0.15f * w, 0.97f * h}}, brush, 2);
    PaintPolyline(marks, width, height, {{0.85f * w, 0.03f * h}, {0.98f * w, 0.12f * h}}, brush, 2);

    for (int k = -1; k <= 1; ++k) {
        const float y = cy + float(k) * 0.35f * ry;
        std::vector<Point> zigzag;
        for (int s = 0; s <= 4; ++s) {
            zigzag.push_back(
                {cx - 0.6f * rx + float(s) * 0.3f * rx, y + (s % 2 == 0 ? -0.08f : 0.08f) * ry});
        }
        PaintPolyline(marks, width, height, zigzag, brush, 1);
    }
    return marks;
}

}  // namespace quillane::bench
