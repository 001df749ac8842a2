#include "gaussian.h"

#include <algorithm>
#include <cmath>

namespace imaging {

namespace {

// Taps beyond this reach add nothing a byte can show once the edge samples repeat; the cap only
// keeps absurd sigmas from allocating absurd kernels.
constexpr int kMaxRadius = 1 << 14;

// Samples are summed in blocks short enough for the block's sums to stay in the first-level
// cache while every tap is added; the order of additions per sample is fixed (centre, then taps
// 1 .. R), so the blocking does not change any result.
constexpr size_t kBlock = 512;

inline uint8_t RoundToByte(float value) {
    // Non-negative weights of bytes stay within 0 .. 255 up to float rounding.
    const float clamped = std::min(255.0f, std::max(0.0f, value));
    return uint8_t(int(clamped + 0.5f));
}

// The two summing loops below carry nearly all the work; they are built twice, for AVX2 and for
// plain x86-64, and the loader picks one. Without contraction into fused multiply-adds both give
// the same floats.
//
// sums[j] = kernel[R] * middle[j] + sum over k = 1 .. R of kernel[R + k] * (middle[j - k step] +
// middle[j + k step]) for j in 0 .. count - 1, then rounded into out.
__attribute__((target_clones("avx2", "default"))) void SmoothLine(const float* middle, size_t step,
                                                                  size_t count,
                                                                  const std::vector<float>& kernel,
                                                                  uint8_t* out) {
    const int radius = int(kernel.size() / 2);
    float sums[kBlock];
    for (size_t start = 0; start < count; start += kBlock) {
        const size_t n = std::min(kBlock, count - start);
        const float* __restrict centre = middle + start;
        const float centreWeight = kernel[size_t(radius)];
        for (size_t j = 0; j < n; ++j)
            sums[j] = centreWeight * centre[j];
        for (int k = 1; k <= radius; ++k) {
            const float weight = kernel[size_t(radius + k)];
            const float* __restrict left = centre - size_t(k) * step;
            const float* __restrict right = centre + size_t(k) * step;
            for (size_t j = 0; j < n; ++j)
                sums[j] += weight * (left[j] + right[j]);
        }
        for (size_t j = 0; j < n; ++j)
            out[start + j] = RoundToByte(sums[j]);
    }
}

// The same sums across rows: rows[i] is the row at offset i - R from the output row.
__attribute__((target_clones("avx2", "default"))) void SmoothAcrossRows(
    const float* const* rows, size_t count, const std::vector<float>& kernel, uint8_t* out) {
    const int radius = int(kernel.size() / 2);
    float sums[kBlock];
    for (size_t start = 0; start < count; start += kBlock) {
        const size_t n = std::min(kBlock, count - start);
        const float* __restrict centre = rows[radius] + start;
        const float centreWeight = kernel[size_t(radius)];
        for (size_t j = 0; j < n; ++j)
            sums[j] = centreWeight * centre[j];
        for (int k = 1; k <= radius; ++k) {
            const float weight = kernel[size_t(radius + k)];
            const float* __restrict above = rows[radius - k] + start;
            const float* __restrict below = rows[radius + k] + start;
            for (size_t j = 0; j < n; ++j)
                sums[j] += weight * (above[j] + below[j]);
        }
        for (size_t j = 0; j < n; ++j)
            out[start + j] = RoundToByte(sums[j]);
    }
}

// Row pass: every row of the rectangle, all channels interleaved. `padded` holds the row with R
// repeated edge pixels on each side, so tap offsets never need clamping in the inner loop.
void SmoothRows(uint8_t* data, size_t rowStride, int channels, const BoundingBox& rect,
                const std::vector<float>& kernel) {
    const int radius = int(kernel.size() / 2);
    const int width = rect.Width();
    const size_t step = size_t(channels);
    std::vector<float> padded((size_t(width) + 2 * size_t(radius)) * step);

    for (int y = rect.y1; y <= rect.y2; ++y) {
        uint8_t* row = data + size_t(y) * rowStride + size_t(rect.x1) * step;
        for (int i = 0; i < width + 2 * radius; ++i) {
            const int source = std::clamp(i - radius, 0, width - 1);
            for (int c = 0; c < channels; ++c)
                padded[size_t(i) * step + size_t(c)] =
                    float(row[size_t(source) * step + size_t(c)]);
        }
        SmoothLine(padded.data() + size_t(radius) * step, step, size_t(width) * step, kernel, row);
    }
}

// Column pass, in place, one strip of kBlock samples at a time: a ring of the strip's rows (as
// floats) keeps the rows an output row needs after the rows above it have been overwritten. The
// ring of one strip, (2R + 1) x kBlock floats, stays in the second-level cache.
void SmoothColumns(uint8_t* data, size_t rowStride, int channels, const BoundingBox& rect,
                   const std::vector<float>& kernel) {
    const int radius = int(kernel.size() / 2);
    const int height = rect.Height();
    const size_t rowLength = size_t(rect.Width()) * size_t(channels);
    const int ringSize = std::min(2 * radius + 1, height);
    std::vector<float> ring(size_t(ringSize) * kBlock);
    std::vector<const float*> taps(kernel.size());

    for (size_t start = 0; start < rowLength; start += kBlock) {
        const size_t n = std::min(kBlock, rowLength - start);
        auto stripBytes = [&](int r) {
            return data + size_t(rect.y1 + r) * rowStride + size_t(rect.x1) * size_t(channels) +
                   start;
        };
        int loaded = 0;  // rows 0 .. loaded - 1 of the strip have entered the ring
        for (int y = 0; y < height; ++y) {
            for (; loaded <= std::min(height - 1, y + radius); ++loaded) {
                const uint8_t* source = stripBytes(loaded);
                float* target = ring.data() + size_t(loaded % ringSize) * kBlock;
                for (size_t j = 0; j < n; ++j)
                    target[j] = float(source[j]);
            }
            for (int k = -radius; k <= radius; ++k) {
                const int r = std::clamp(y + k, 0, height - 1);
                taps[size_t(k + radius)] = ring.data() + size_t(r % ringSize) * kBlock;
            }
            SmoothAcrossRows(taps.data(), n, kernel, stripBytes(y));
        }
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
