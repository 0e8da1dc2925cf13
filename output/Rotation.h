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

#include "output/Sink.h"

// Bytes per turned row for a page of `height` rows: height / 8 rounded up.
constexpr size_t turnedRowBytes(uint32_t height)
{
    return (static_cast<size_t>(height) + 7) / 8;
}

// Whether a page can be quarter-turned: 1 bit per pixel, and rows that hold
// all of its columns.
bool canTurnPage(const cups_page_header_t& header);

// Writes "SOT" (and "SOB" for rotation 2); for rotation 1 (clockwise) or 3
// (counter-clockwise) turns the page in `page` and rewrites the header's
// cupsWidth, cupsHeight and cupsBytesPerLine. `page` must hold both the page
// and the turned page. 0 when done, 1 on failure (already reported).
int convertRotation(Output& out, int32_t rotation, std::span<uint8_t> page, cups_page_header_t* header);

// Quarter turns of a page of `height` rows of `bytesPerLine` bytes into
// `turned`: 8 * bytesPerLine rows (one per source bit column, padding columns
// included) of turnedRowBytes(height) bytes, pad bits 0.
//   rotate90Degree:  turned row r = source column r, read bottom up.
//   rotate270Degree: turned row r = source column 8*bytesPerLine-1-r, top down.
int rotate90Degree(const uint8_t* source, uint8_t* turned, uint32_t height, uint32_t bytesPerLine);
int rotate270Degree(const uint8_t* source, uint8_t* turned, uint32_t height, uint32_t bytesPerLine);

// Writes the half-turn command "SOB".
void rotate180Degree(Output& out);
