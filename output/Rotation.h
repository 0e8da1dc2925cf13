// SPDX-License-Identifier: Apache-2.0
// Page orientation: the orientation commands, and quarter turns of 1-bit
// page bitmaps done in memory (the printer turns half-turned pages itself).
//
// Bitmap: rows top down, bytesPerLine bytes each, most significant bit the
// leftmost pixel.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include <cups/raster.h>

#include "output/Buffer.h"
#include "output/PageResult.h"
#include "output/Sink.h"

namespace tvl {

// Bytes per turned row for a page of `height` rows: height / 8 rounded up.
constexpr size_t turnedRowBytes(uint32_t height)
{
    return (static_cast<size_t>(height) + 7) / 8;
}

// Whether a page can be quarter-turned: 1 bit per pixel, and rows that hold
// all of its columns.
bool canTurnPage(const cups_page_header_t& header);

// Writes the orientation commands: "SOT", and "SOB" for rotation 2.
void writeOrientation(Output& out, int32_t rotation);

// Turns the page in `page` a quarter, rotation 1 clockwise or 3
// counter-clockwise, into `scratch` (grown as needed) and rewrites the
// header's cupsWidth, cupsHeight and cupsBytesPerLine for the turned page,
// whose first row goes to *turned. CannotTurn when the page cannot be
// turned (canTurnPage), NoMemory with the scratch's bytes when the scratch
// cannot be had, each with the log line that says so, and the header
// untouched.
PageResult turnPageInto(Output& out, int32_t rotation, const uint8_t* page, cups_page_header_t* header,
                        ReusedBuffer* scratch, const uint8_t** turned);

// Writes "SOT" (and "SOB" for rotation 2); for rotation 1 (clockwise) or 3
// (counter-clockwise) turns the page in `page` and rewrites the header's
// cupsWidth, cupsHeight and cupsBytesPerLine. `page` must hold both the page
// and the turned page. Fails as turnPageInto does, NoMemory also when
// `page` is too small for the turned page.
PageResult convertRotation(Output& out, int32_t rotation, std::span<uint8_t> page, cups_page_header_t* header);

// Quarter turns of a page of `height` rows of `bytesPerLine` bytes into
// `turned`: 8 * bytesPerLine rows (one per source bit column, padding columns
// included) of turnedRowBytes(height) bytes, pad bits 0.
//   rotate90Degree:  turned row r = source column r, read bottom up.
//   rotate270Degree: turned row r = source column 8*bytesPerLine-1-r, top down.
void rotate90Degree(const uint8_t* source, uint8_t* turned, uint32_t height, uint32_t bytesPerLine);
void rotate270Degree(const uint8_t* source, uint8_t* turned, uint32_t height, uint32_t bytesPerLine);

// The code that turns: the portable one (SSE2 where the processor has it,
// else plain 64-bit words), or AVX2 where the processor has it, which turns
// twice as many rows per step. The processor's best is in use unless
// useTurnKernel asked for another; both give the same bytes.
enum class TurnKernel { Portable, Avx2 };
TurnKernel turnKernel();
// false, and no change, when the processor cannot run `kernel`. For tests
// and benchmarks: it changes the kernel of the whole process.
bool useTurnKernel(TurnKernel kernel);

// Writes the half-turn command "SOB".
void rotate180Degree(Output& out);

}  // namespace tvl
