// SPDX-License-Identifier: Apache-2.0
// The largest raster page a label can need, checked on the page header
// before any memory is taken for the page's pixels.
//
// The largest label is the largest custom size of the PPD, 4.5 x 40 in
// (MaxSize 324 2880). The limit has an eighth more each way, 5.0625 x
// 45 in, for the rasterizers' rounding and a client's bleed. A page may
// take as many bytes as a page of that size, upright or turned, and no side
// of it, nor its line, may be longer than the limit's long side: so a Letter,
// A4 or Legal page that the printer application cuts to the label still
// passes, and so does a landscape label. Pixels are counted at the page's
// own resolution, taken within the printers' 203 to 600 dpi (no printer
// prints a finer dot; a page that claims a coarser one is held to 203 dpi),
// and bytes at its own bits per pixel, 8 at most: no stage before the
// printer makes deeper label pages than 8-bit gray, so a deeper page gets
// the bytes of an 8-bit one. At 600 dpi a page may thus have 27000 pixels a
// side and take 10260000 bytes at 1 bit per pixel, 82026000 at 8.
#pragma once

#include <cstddef>
#include <cstdint>

#include "settings/Capabilities.h"

namespace tvl {

// The sizes of one page as its raster header gives them.
struct RasterPage {
    uint32_t width = 0;         // cupsWidth
    uint32_t height = 0;        // cupsHeight
    uint32_t bytesPerLine = 0;  // cupsBytesPerLine
    uint32_t bitsPerPixel = 0;  // cupsBitsPerPixel
    uint32_t resolutionX = 0;   // HWResolution[0], across the page
    uint32_t resolutionY = 0;   // HWResolution[1], down the page
};

// From a first- or second-version CUPS page header.
template <typename Header>
RasterPage rasterPageOf(const Header& header)
{
    return RasterPage{header.cupsWidth,        header.cupsHeight,       header.cupsBytesPerLine,
                      header.cupsBitsPerPixel, header.HWResolution[0], header.HWResolution[1]};
}

// The largest custom size, larger than every standard one.
inline constexpr uint32_t kLargestLabelWidthPoints = inchToPoints(kCustomMaxSize.width);
inline constexpr uint32_t kLargestLabelLengthPoints = inchToPoints(kCustomMaxSize.length);
inline constexpr uint32_t kLowestResolution = kResolutions.front();
inline constexpr uint32_t kHighestResolution = kResolutions.back();
inline constexpr uint32_t kDeepestBitsPerPixel = 8;

// Whether the page is no larger than the limit: its width, rows, bytes per
// line and bytes.
bool pageFitsLabel(const RasterPage& page);

// Why page `pageNumber` is refused: "Page 1 (8 x 571 pixels, 571000000
// bytes) is larger than any label: at 203 dpi and 1 bit per pixel a page
// has at most 9135 pixels a side, 1142 bytes a line and 1178415 bytes",
// without a line end. Writes at most `size` bytes with the terminating zero.
void describeOversizedPage(const RasterPage& page, unsigned pageNumber, char* text, size_t size);

}  // namespace tvl
