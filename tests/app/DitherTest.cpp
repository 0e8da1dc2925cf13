// SPDX-License-Identifier: Apache-2.0
// The dither of gray rows to the printer's bits against a pixel-by-pixel
// reading of its rule: black where gray <= the matrix entry of (x, y), or
// gray < 128 with no matrix; pad bits 0; nothing written past the row.
#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "app/Dither.h"
#include "app/DitherMatrix.h"

namespace tvl {

namespace {

std::vector<uint8_t> referenceRow(const std::vector<uint8_t>& gray, uint32_t y, const DitherMatrix* matrix)
{
    std::vector<uint8_t> bits((gray.size() + 7) / 8, 0);
    for (size_t x = 0; x < gray.size(); ++x) {
        const bool black = matrix != nullptr ? gray[x] <= (*matrix)[y & 15][x & 15] : gray[x] < 128;
        if (black) {
            bits[x / 8] |= static_cast<uint8_t>(0x80 >> (x % 8));
        }
    }
    return bits;
}

TEST(Dither, RowsOfEveryWidthMatchThePerPixelRule)
{
    DitherMatrix matrix;
    for (unsigned y = 0; y < 16; ++y) {
        for (unsigned x = 0; x < 16; ++x) {
            matrix[y][x] = kThresholds[y][x];
        }
    }
    std::mt19937 random(1612);
    for (const DitherMatrix* m : {static_cast<const DitherMatrix*>(&matrix), static_cast<const DitherMatrix*>(nullptr)}) {
        for (size_t width : {1u, 7u, 8u, 15u, 16u, 17u, 31u, 33u, 812u, 813u}) {
            for (uint32_t y : {0u, 5u, 15u, 16u, 1217u}) {
                std::vector<uint8_t> gray(width);
                for (uint8_t& g : gray) {
                    // Extremes and the thresholds' own values are the edges of the rule.
                    const unsigned r = random() % 4;
                    g = r == 0 ? 0 : r == 1 ? 255 : r == 2 ? 127 + random() % 2 : static_cast<uint8_t>(random());
                }
                std::vector<uint8_t> bits((width + 7) / 8 + 1, 0xA5);  // one guard byte behind
                ditherRow(gray.data(), width, y, m, bits.data());
                EXPECT_EQ(bits.back(), 0xA5) << "wrote past the row, width " << width;
                bits.pop_back();
                EXPECT_EQ(bits, referenceRow(gray, y, m)) << "width " << width << " row " << y << (m ? "" : " bi-level");
            }
        }
    }
}

}  // namespace

}  // namespace tvl
