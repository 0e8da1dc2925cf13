// SPDX-License-Identifier: Apache-2.0
// The 16 x 16 threshold matrix the drivers hand libpappl (gdither and
// pdither), so that a job's dither is known to the tests: an ordered
// (Bayer) matrix with thresholds 0..254. Gray 0 is always black and gray
// 255 always white.
#pragma once

#include <array>
#include <cstdint>

namespace tvl {

using ThresholdMatrix = std::array<std::array<uint8_t, 16>, 16>;

constexpr ThresholdMatrix makeBayerMatrix()
{
    ThresholdMatrix m{};
    for (unsigned y = 0; y < 16; ++y) {
        for (unsigned x = 0; x < 16; ++x) {
            unsigned v = 0;
            unsigned xr = x;
            unsigned yr = y ^ x;
            for (unsigned bit = 0; bit < 4; ++bit) {
                v = (v << 2) | (((yr >> bit) & 1u) << 1) | ((xr >> bit) & 1u);
            }
            // 0..255 ranks spread over 0..254
            m[y][x] = static_cast<uint8_t>(v * 254 / 255);
        }
    }
    return m;
}

inline constexpr ThresholdMatrix kThresholds = makeBayerMatrix();
static_assert(kThresholds[0][0] == 0);

}  // namespace tvl
