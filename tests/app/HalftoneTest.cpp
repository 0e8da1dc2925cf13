// SPDX-License-Identifier: Apache-2.0
// The ordered matrix (ditherRow) and error diffusion (diffuseRow) measured
// side by side, printed for the record: on a ramp of 17 grays, each step's
// share of black dots against its darkness, in percent; on a barcode, the
// most dots of a column off their bar. Rows keep to their bytes.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <vector>

#include "app/Dither.h"
#include "app/DitherMatrix.h"

namespace tvl {

namespace {

constexpr uint32_t kStep = 64, kRows = 128;

uint8_t rampGray(uint32_t x) { return static_cast<uint8_t>(std::min(255u, x / kStep * 16)); }

// Bars 1 to 4 dots wide, black and white in turn, after 8 white dots.
uint8_t barcodeGray(uint32_t x)
{
    uint32_t bar = 0;
    for (uint32_t edge = 8; x >= edge; edge += 1 + bar++ % 4) {}
    return bar % 2 == 1 ? 0 : 255;
}

TEST(Halftone, OrderedAndDiffusionOnARampAndABarcode)
{
    // Columns are measured a ramp step or a bar's column at a time; the worst
    // allowed is in percent of darkness for the ramp, in dots for the bars.
    struct Case {
        const char* name;
        bool diffuse;
        uint8_t (*gray)(uint32_t x);
        uint32_t width, window;
        double worstAllowed;
    } const cases[] = {
        {"ordered ramp", false, rampGray, kStep * 17, kStep, 1.0},
        {"diffusion ramp", true, rampGray, kStep * 17, kStep, 1.0},
        {"ordered barcode", false, barcodeGray, 203, 1, 0},
        {"diffusion barcode", true, barcodeGray, 203, 1, 0},
    };
    DitherMatrix matrix;
    std::copy(&kThresholds[0][0], &kThresholds[0][0] + 256, &matrix[0][0]);
    for (const Case& c : cases) {
        const size_t bytes = (c.width + 7) / 8;
        std::vector<uint8_t> gray(c.width), row(bytes + 1);
        std::vector<int32_t> errors(c.width + 2, 0);
        std::vector<uint32_t> black(c.width, 0);
        std::generate(gray.begin(), gray.end(), [&c, x = 0u]() mutable { return c.gray(x++); });
        for (uint32_t y = 0; y < kRows; ++y) {
            row.back() = 0xA5;  // a guard byte behind the row
            c.diffuse ? diffuseRow(gray.data(), c.width, y, errors.data(), row.data())
                      : ditherRow(gray.data(), c.width, y, &matrix, row.data());
            ASSERT_EQ(row.back(), 0xA5) << c.name << ": wrote past row " << y;
            ASSERT_EQ(row[bytes - 1] & (0xFFu >> (c.width % 8 ? c.width % 8 : 8)), 0u) << c.name << ": pad bits";
            for (uint32_t x = 0; x < c.width; ++x) {
                black[x] += (row[x / 8] >> (7 - x % 8)) & 1u;
            }
        }
        double worst = 0;
        std::printf("%-18s", c.name);
        for (uint32_t x0 = 0; x0 < c.width; x0 += c.window) {
            double wanted = 0, got = 0;  // black dots in the window's columns
            for (uint32_t x = x0; x < std::min(c.width, x0 + c.window); ++x) {
                wanted += (255.0 - gray[x]) / 255.0 * kRows;
                got += black[x];
            }
            const double scale = c.window > 1 ? 100.0 / (c.window * kRows) : 1.0;
            worst = std::fmax(worst, std::fabs(got - wanted) * scale);
            if (c.window > 1) {
                std::printf(" %.1f/%.1f", wanted * scale, got * scale);
            }
        }
        std::printf("  worst %.2f\n", worst);
        EXPECT_LE(worst, c.worstAllowed) << c.name;
    }
}

}  // namespace

}  // namespace tvl
