#include "gaussian.h"

#include <algorithm>
#include <cmath>

namespace imaging {

namespace {

// Taps beyond this reach add nothing a byte can show once the edge samples repeat; the cap only
// keeps absurd sigmas from allocating absurd kernels.
constexpr int kMaxRadius = 1 << 14;

inline uint8_t RoundToByte(float value) {
    // Non-negative weights of bytes stay within 0 .. 255 up to float rounding.
    const float clamped = std::min(255.0f, std::max(0.0f, value));
    return uint8_t(int(clamped + 0.5f));
}

// Row pass: every row of the rectangle, all channels interleaved. `padded` holds the row with R
// repeated edge pixels on each side, so tap offsets never need clamping in the inner loop.
void SmoothRows(uint8_t* data, size_t rowStride, int channels, const BoundingBox& rect,
                const std::vector<float>& kernel) {
    const int radius = int(kernel.size() / 2);
    const int width = rect.Width();
    const size_t rowLength = size_t(width) * size_t(channels);
    const size_t step = size_t(channels);
    std::vector<float> padded((size_t(width) + 2 * size_t(radius)) * step);
    std::vector<float> sums(rowLength);
    const float centre = kernel[size_t(radius)];

    for (int y = rect.y1; y <= rect.y2; ++y) {
        uint8_t* row = data + size_t(y) * rowStride + size_t(rect.x1) * step;
        for (int i = 0; i < width + 2 * radius; ++i) {
            const int source = std::clamp(i - radius, 0, width - 1);
            for (int c = 0; c < channels; ++c)
                padded[size_t(i) * step + size_t(c)] =
                    float(row[size_t(source) * step + size_t(c)]);
        }
        const float* middle = padded.data() + size_t(radius) * step;
        for (size_t j = 0; j < rowLength; ++j)
            sums[j] = centre * middle[j];
        for (int k = 1; k <= radius; ++k) {
            const float weight = kernel[size_t(radius + k)];
            const float* left = middle - size_t(k) * step;
            const float* right = middle + size_t(k) * step;
            for (size_t j = 0; j < rowLength; ++j)
                sums[j] += weight * (left[j] + right[j]);
        }
        for (size_t j = 0; j < rowLength; ++j)
            row[j] = RoundToByte(sums[j]);
    }
}

// Column pass, in place: a ring of the rectangle's rows (as floats) keeps the rows an output row
// needs after the rows above it have been overwritten. Every step adds whole rows, so the inner
// loops run along memory.
void SmoothColumns(uint8_t* data, size_t rowStride, int channels, const BoundingBox& rect,
                   const std::vector<float>& kernel) {
    const int radius = int(kernel.size() / 2);
    const int height = rect.Height();
    const size_t rowLength = size_t(rect.Width()) * size_t(channels);
    const int ringSize = std::min(2 * radius + 1, height);
    std::vector<float> ring(size_t(ringSize) * rowLength);
    std::vector<float> sums(rowLength);
    const float centre = kernel[size_t(radius)];

    auto rowBytes = [&](int r) {
        return data + size_t(rect.y1 + r) * rowStride + size_t(rect.x1) * size_t(channels);
    };
    auto ringRow = [&](int r) {
        return ring.data() + size_t(std::clamp(r, 0, height - 1) % ringSize) * rowLength;
    };
    int loaded = 0;  // rows 0 .. loaded - 1 have entered the ring
    for (int y = 0; y < height; ++y) {
        for (; loaded <= std::min(height - 1, y + radius); ++loaded) {
            const uint8_t* source = rowBytes(loaded);
            float* target = ring.data() + size_t(loaded % ringSize) * rowLength;
            for (size_t j = 0; j < rowLength; ++j)
                target[j] = float(source[j]);
        }
        const float* middle = ringRow(y);
        for (size_t j = 0; j < rowLength; ++j)
            sums[j] = centre * middle[j];
        for (int k = 1; k <= radius; ++k) {
            const float weight = kernel[size_t(radius + k)];
            const float* above = ringRow(y - k);
            const float* below = ringRow(y + k);
            for (size_t j = 0; j < rowLength; ++j)
                sums[j] += weight * (above[j] + below[j]);
        }
        uint8_t* target = rowBytes(y);
        for (size_t j = 0; j < rowLength; ++j)
            target[j] = RoundToByte(sums[j]);
    }
}

}  // namespace

std::vector<float> GaussianKernel(double sigma) {
    if (!(sigma > 0.0) || !std::isfinite(sigma)) return {};
    const int radius = int(std::min(std::ceil(3.0 * sigma), double(kMaxRadius)));
    std::vector<double> weights(2 * size_t(radius) + 1);
    double sum = 0.0;
    for (int k = -radius; k <= radius; ++k) {
        const double w = std::exp(-double(k) * double(k) / (2.0 * sigma * sigma));
        weights[size_t(k + radius)] = w;
        sum += w;
    }
    std::vector<float> kernel(weights.size());
    for (size_t i = 0; i < weights.size(); ++i)
        kernel[i] = float(weights[i] / sum);
    return kernel;
}

void GaussianSmoothRect(uint8_t* data, size_t rowStride, int channels, const BoundingBox& rect,
                        double sigma) {
    if (rect.IsEmpty() || channels <= 0) return;
    const std::vector<float> kernel = GaussianKernel(sigma);
    if (kernel.empty()) return;
    SmoothRows(data, rowStride, channels, rect, kernel);
    SmoothColumns(data, rowStride, channels, rect, kernel);
}

}  // namespace imaging
