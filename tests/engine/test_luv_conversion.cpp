#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <vector>

#include "luv_conversion.h"

namespace mirrask {
namespace {

struct ApproximateColour {
    const char* name;
    uint8_t blue, green, red;
    float L, u, v;
    float tolerance;
};

TEST(LuvConversion, KnownColoursMatchTheirReferenceValues) {
    const ApproximateColour cases[] = {
        {"black", 0, 0, 0, 0.0f, 0.0f, 0.0f, 0.0f},
        {"white", 255, 255, 255, 100.0f, 0.0647f, 0.0586f, 0.0005f},
        {"pure red", 0, 0, 255, 53.14f, 174.98f, 37.68f, 0.01f},
        {"pure blue", 255, 0, 0, 31.94f, -9.27f, -128.93f, 0.01f},
    };
    const LuvConverter converter;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const LuvColour luv = converter.Convert(c.blue, c.green, c.red);
        EXPECT_NEAR(luv.L, c.L, c.tolerance);
        EXPECT_NEAR(luv.u, c.u, c.tolerance);
        EXPECT_NEAR(luv.v, c.v, c.tolerance);
    }
    EXPECT_EQ(converter.Convert(255, 255, 255).L, 100.0f) << "white is exactly 100";
}

TEST(LuvConversion, GreysAreNotGammaExpandedAndSwitchBranchAtThree) {
    const LuvConverter converter;
    EXPECT_NEAR(converter.Convert(128, 128, 128).L, 76.19f, 0.01f);
    // Greys 1 and 2 take the linear branch y * 903.3.
    const float y1 = float(10000.0 / 2550000.0);
    EXPECT_EQ(converter.Convert(1, 1, 1).L, float(double(y1) * 903.3));
    EXPECT_NEAR(converter.Convert(1, 1, 1).L, 3.54f, 0.01f);
    EXPECT_NEAR(converter.Convert(2, 2, 2).L, 7.08f, 0.01f);
    // Grey 3 is the darkest grey on the table branch: index 3.
    EXPECT_EQ(converter.Convert(3, 3, 3).L, converter.LightnessEntry(3));
    EXPECT_NEAR(converter.Convert(3, 3, 3).L, 10.38f, 0.01f);
}

TEST(LuvConversion, LightnessTableEndsAtMinus16And100) {
    const LuvConverter converter;
    EXPECT_EQ(converter.LightnessEntry(0), -16.0f);
    EXPECT_EQ(converter.LightnessEntry(255), 100.0f);
    EXPECT_NEAR(converter.LightnessEntry(2), 7.05f, 0.01f);
}

uint64_t Fnv1a(uint64_t hash, const void* data, size_t size) {
    const auto* bytes = static_cast<const uint8_t*>(data);
    for (size_t i = 0; i < size; ++i)
        hash = (hash ^ bytes[i]) * 1099511628211ull;
    return hash;
}

// Guards every rounding step: computing 9 * Y / d or (u' - 0.1978) * 13L in float instead of
// double, or fusing a multiply-add, changes the last bits of v for a few percent of colours.
TEST(LuvConversion, BitExactOverASpreadOfColours) {
    const LuvConverter converter;
    uint64_t hash = 1469598103934665603ull;
    for (int b = 0; b < 256; b += 5) {
        for (int g = 0; g < 256; g += 3) {
            for (int r = 0; r < 256; r += 7) {
                const LuvColour c = converter.Convert(uint8_t(b), uint8_t(g), uint8_t(r));
                hash = Fnv1a(hash, &c, sizeof c);
            }
        }
    }
    // Computed independently with double arithmetic and explicit float32 rounding.
    EXPECT_EQ(hash, 8885937149049303929ull);
}

TEST(LuvConversion, BufferConversionMatchesPerPixel) {
    const uint8_t pixels[] = {0, 0, 0, 255, 255, 255, 0, 0, 255, 17, 99, 201};
    LuvColour colours[4];
    ConvertToLuv(pixels, 4, colours);
    const LuvConverter converter;
    for (int k = 0; k < 4; ++k) {
        const LuvColour expected =
            converter.Convert(pixels[3 * k], pixels[3 * k + 1], pixels[3 * k + 2]);
        EXPECT_EQ(colours[k], expected) << k;
    }
}

// The row conversion is vectorised where the processor allows: every one of the 2^24 colours must
// come out to the bit as from Convert, through the vector lanes and the tail after them.
TEST(LuvConversion, RowConversionMatchesPerPixelForEveryColour) {
    const LuvConverter converter;
    constexpr int32_t kRow = 256 * 256 + 5;  // not a multiple of eight: a tail every row
    std::vector<uint8_t> pixels(3 * kRow);
    std::vector<float> L(kRow), u(kRow), v(kRow);
    int32_t mismatches = 0;
    for (int red = 0; red < 256; ++red) {
        for (int32_t k = 0; k < kRow; ++k) {
            const int32_t colour = k % (256 * 256);
            pixels[3 * k] = static_cast<uint8_t>(colour & 0xFF);
            pixels[3 * k + 1] = static_cast<uint8_t>(colour >> 8);
            pixels[3 * k + 2] = static_cast<uint8_t>(red);
        }
        converter.ConvertRow(pixels.data(), kRow, L.data(), u.data(), v.data());
        for (int32_t k = 0; k < kRow; ++k) {
            const LuvColour expected =
                converter.Convert(pixels[3 * k], pixels[3 * k + 1], pixels[3 * k + 2]);
            const LuvColour got{L[k], u[k], v[k]};
            if (std::memcmp(&got, &expected, sizeof got) != 0 && ++mismatches <= 5) {
                ADD_FAILURE() << "blue " << int(pixels[3 * k]) << " green "
                              << int(pixels[3 * k + 1]) << " red " << red;
            }
        }
    }
    EXPECT_EQ(mismatches, 0);
}

// Exactly sized buffers: the vector loads must not reach past the last pixel (the address
// sanitizer watches), and short rows go through the tail alone.
TEST(LuvConversion, RowConversionOfShortAndOddRows) {
    const LuvConverter converter;
    for (const int32_t count : {0, 1, 7, 8, 9, 16, 23}) {
        SCOPED_TRACE(count);
        std::vector<uint8_t> pixels(3 * static_cast<size_t>(count));
        for (size_t i = 0; i < pixels.size(); ++i)
            pixels[i] = static_cast<uint8_t>(37 * i + 11);
        std::vector<float> L(count), u(count), v(count);
        converter.ConvertRow(pixels.data(), count, L.data(), u.data(), v.data());
        for (int32_t k = 0; k < count; ++k) {
            const LuvColour expected =
                converter.Convert(pixels[3 * k], pixels[3 * k + 1], pixels[3 * k + 2]);
            EXPECT_EQ((LuvColour{L[k], u[k], v[k]}), expected) << k;
        }
    }
}

}  // namespace
}  // namespace mirrask
