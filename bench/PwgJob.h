// SPDX-License-Identifier: Apache-2.0
// The printer application benchmark's job: labels of 4 x 6 in at 203 dpi
// (812 x 1218 pixels) from the filter benchmark's seeded label content, as one
// sgray_8 PWG raster document written through libcups.
#pragma once

#include <cstdint>

namespace tvl {

namespace bench {

// The PWG media name and raster type the job's page headers carry.
inline constexpr const char* kPwgMedia = "oe_4x6-label_4x6in";
inline constexpr const char* kPwgType = "sgray_8";
inline constexpr unsigned kPwgDpi = 203;

struct PwgJobResult {
    bool ok = false;
    const char* reason = "";  // why not, when !ok: a fixed text
    unsigned labels = 0;      // pages written
};

// Writes `labels` pages, label n drawn by drawLabel(seed, n), to `fd` (left
// open). Every failure (libcups header, a write, memory) ends the job early
// with its reason.
PwgJobResult writePwgJob(int fd, unsigned labels, uint64_t seed);

// The same labels as uncompressed 1-bit CUPS raster (1 black), what
// tvl-inspect --expect-raster compares a printed stream with: each page
// `rows` rows long, the label cut below `rows` or padded with white rows at
// the bottom, as a driver fits the page to a label of that many dots.
PwgJobResult writeReferenceJob(int fd, unsigned labels, uint64_t seed, unsigned rows);

}  // namespace bench

}  // namespace tvl
