// SPDX-License-Identifier: Apache-2.0
// The benchmark's label content: a 4 x 6 in label at 203 dpi drawn from a
// seeded generator (border, text-like glyph rows, a 1D barcode, a 2D matrix
// code; about 15% black). Shared by the job generator and the
// micro-benchmarks.
#pragma once

#include <cstdint>
#include <vector>

namespace tvl {

namespace bench {

inline constexpr unsigned kLabelWidth = 812;    // 4 in at 203 dpi
inline constexpr unsigned kLabelHeight = 1218;  // 6 in at 203 dpi
inline constexpr unsigned kLabelBytesPerLine = (kLabelWidth + 7) / 8;
inline constexpr uint64_t kDefaultSeed = 20261207ULL;

// Label `number` of the job made from `seed`: kLabelHeight rows of
// kLabelBytesPerLine bytes, most significant bit the leftmost pixel.
std::vector<uint8_t> drawLabel(uint64_t seed, unsigned number);

// Runs of 0x00/0xFF as the compressed band mode codes them (bands of 200
// rows, runs cut at 255).
unsigned countRuns(const std::vector<uint8_t>& bits);

// Set pixels, row padding left out.
unsigned blackPixels(const std::vector<uint8_t>& bits);

}  // namespace bench

}  // namespace tvl
