// The printer's two ways from gray to dots, measured side by side: the
// ordered matrix (ditherRow) and error diffusion (diffuseRow), on a gray
// ramp (each step's share of black dots against its darkness) and on a
// barcode (every bar edge where it was). Each row also keeps to its bytes:
// nothing past them, pad bits 0. And the photo test of "auto".
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <vector>

#include "app/Dither.h"
#include "app/DitherMatrix.h"

namespace {

enum class Method { Ordered, Diffusion };
enum class Pattern { Ramp, Barcode };

constexpr uint32_t kRampStep = 64;   // dots across each step of the ramp
constexpr uint32_t kRampLevels = 17; // gray 0, 16, ..., 240, 255
constexpr uint32_t kRows = 128;

uint8_t rampLevel(uint32_t step)
{
    return static_cast<uint8_t>(step * 16 > 255 ? 255 : step * 16);
}

// Bars 1 to 4 dots wide, black and white in turn, from a white quiet zone.
bool barcodeBlack(uint32_t x)
{
    uint32_t edge = 8;
    for (uint32_t bar = 0; x >= edge; ++bar) {
        const uint32_t width = 1 + bar % 4;
        if (x < edge + width) {
            return bar % 2 == 0;
        }
        edge += width;
    }
    return false;
}

uint8_t grayAt(Pattern pattern, uint32_t x)
{
    return pattern == Pattern::Ramp ? rampLevel(x / kRampStep) : (barcodeBlack(x) ? 0 : 255);
}

bool isBlack(const std::vector<uint8_t>& bits, size_t bytesPerRow, uint32_t y, uint32_t x)
{
    return (bits[y * bytesPerRow + x / 8] >> (7 - x % 8)) & 1u;
}

struct Case {
    const char* name;
    Method method;
    Pattern pattern;
    uint32_t width;
    double rampTolerance;  // largest step error allowed, in percent of darkness
};

TEST(Halftone, OrderedAndDiffusionOnARampAndABarcode)
{
    const Case cases[] = {
        {"ordered ramp", Method::Ordered, Pattern::Ramp, kRampStep * kRampLevels, 1.0},
        {"diffusion ramp", Method::Diffusion, Pattern::Ramp, kRampStep * kRampLevels, 1.0},
        {"ordered barcode", Method::Ordered, Pattern::Barcode, 203, 0.0},
        {"diffusion barcode", Method::Diffusion, Pattern::Barcode, 203, 0.0},
    };
    DitherMatrix matrix;
    for (unsigned y = 0; y < 16; ++y) {
        for (unsigned x = 0; x < 16; ++x) {
            matrix[y][x] = kThresholds[y][x];
        }
    }
    for (const Case& c : cases) {
        const size_t bytesPerRow = (c.width + 7) / 8;
        std::vector<uint8_t> gray(c.width);
        for (uint32_t x = 0; x < c.width; ++x) {
            gray[x] = grayAt(c.pattern, x);
        }
        std::vector<int32_t> errors(c.width + 2, 0);
        std::vector<uint8_t> bits(bytesPerRow * kRows);
        for (uint32_t y = 0; y < kRows; ++y) {
            std::vector<uint8_t> row(bytesPerRow + 1, 0xA5);  // one guard byte behind
            if (c.method == Method::Ordered) {
                ditherRow(gray.data(), c.width, y, &matrix, row.data());
            } else {
                diffuseRow(gray.data(), c.width, y, errors.data(), row.data());
            }
            ASSERT_EQ(row.back(), 0xA5) << c.name << ": wrote past row " << y;
            ASSERT_EQ(row[bytesPerRow - 1] & (0xFFu >> (c.width % 8 == 0 ? 8 : c.width % 8)), 0u)
                << c.name << ": pad bits set in row " << y;
            std::copy(row.begin(), row.end() - 1, bits.begin() + static_cast<ptrdiff_t>(y * bytesPerRow));
        }

        if (c.pattern == Pattern::Barcode) {
            uint32_t misplaced = 0;
            for (uint32_t y = 0; y < kRows; ++y) {
                for (uint32_t x = 0; x < c.width; ++x) {
                    misplaced += isBlack(bits, bytesPerRow, y, x) != barcodeBlack(x) ? 1 : 0;
                }
            }
            std::printf("%-18s dots off their bar: %u of %u\n", c.name, misplaced, c.width * kRows);
            EXPECT_EQ(misplaced, 0u) << c.name;
            continue;
        }
        // Each step's share of black dots against its darkness (255 - gray) /
        // 255, in percent.
        std::printf("%-18s step darkness, in percent, wanted/got:", c.name);
        double worst = 0.0;
        for (uint32_t step = 0; step < kRampLevels; ++step) {
            uint32_t black = 0;
            for (uint32_t y = 0; y < kRows; ++y) {
                for (uint32_t x = step * kRampStep; x < (step + 1) * kRampStep; ++x) {
                    black += isBlack(bits, bytesPerRow, y, x) ? 1 : 0;
                }
            }
            const double wanted = 100.0 * (255 - rampLevel(step)) / 255.0;
            const double got = 100.0 * black / (kRampStep * kRows);
            std::printf(" %.1f/%.1f", wanted, got);
            worst = std::fmax(worst, std::fabs(got - wanted));
        }
        std::printf("; worst %.2f\n", worst);
        EXPECT_LE(worst, c.rampTolerance) << c.name;
    }
}

// "auto" diffuses an image that looks like a photo: many gray levels on
// many pixels, not text's few mid tones on its edges.
TEST(Halftone, PhotoTestOfAuto)
{
    struct Image {
        const char* name;
        uint8_t (*gray)(uint32_t i);  // pixel i of 4096
        bool photo;
    };
    const Image images[] = {
        {"barcode", [](uint32_t i) -> uint8_t { return barcodeBlack(i % 64) ? 0 : 255; }, false},
        {"flat gray", [](uint32_t) -> uint8_t { return 128; }, false},
        {"anti-aliased text: 256 levels on 1 pixel in 16",
         [](uint32_t i) -> uint8_t { return i % 16 == 0 ? static_cast<uint8_t>(i / 16) : (i % 32 < 8 ? 0 : 255); },
         false},
        {"ramp", [](uint32_t i) -> uint8_t { return static_cast<uint8_t>(i % 256); }, true},
        {"sky: 80 levels around 150", [](uint32_t i) -> uint8_t { return static_cast<uint8_t>(110 + i % 80); }, true},
    };
    for (const Image& image : images) {
        std::vector<uint8_t> pixels(4096);
        for (uint32_t i = 0; i < pixels.size(); ++i) {
            pixels[i] = image.gray(i);
        }
        EXPECT_EQ(looksLikePhoto(pixels.data(), pixels.size()), image.photo) << image.name;
    }
    EXPECT_FALSE(looksLikePhoto(nullptr, 0));
}

}  // namespace
