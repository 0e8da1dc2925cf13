// SPDX-License-Identifier: Apache-2.0
#include "settings/PageLimit.h"

#include <cinttypes>
#include <cstdio>

namespace tvl {

namespace {

// The margin over the largest label: an eighth more each way.
constexpr uint64_t kMarginNumerator = 9;
constexpr uint64_t kMarginDenominator = 8;
constexpr uint64_t kPointsPerInch = 72;

uint32_t clampResolution(uint32_t dpi)
{
    return dpi < kLowestResolution ? kLowestResolution : dpi > kHighestResolution ? kHighestResolution : dpi;
}

uint32_t countedBits(uint32_t bitsPerPixel)
{
    return bitsPerPixel == 0 ? 1 : bitsPerPixel > kDeepestBitsPerPixel ? kDeepestBitsPerPixel : bitsPerPixel;
}

// Pixels of `points` with the margin at `dpi`, rounded up. At most
// 2880 x 600 x 9 / 8 / 72: no overflow.
uint32_t pixelsOf(uint32_t points, uint32_t dpi)
{
    const uint64_t scaled = uint64_t{points} * dpi * kMarginNumerator;
    const uint64_t per = kPointsPerInch * kMarginDenominator;
    return static_cast<uint32_t>((scaled + per - 1) / per);
}

uint32_t lineBytes(uint32_t pixels, uint32_t bits)
{
    return static_cast<uint32_t>((uint64_t{pixels} * bits + 7) / 8);
}

// The largest page at a page's resolution and bits per pixel, margin
// included.
struct PageLimit {
    uint32_t resolutionX;   // the resolutions the limit is counted at
    uint32_t resolutionY;
    uint32_t bitsPerPixel;  // the bits per pixel its bytes are counted at
    uint32_t side;          // pixels of the long side, across the page
    uint32_t rows;          // ... and down it
    uint32_t bytesPerLine;  // of a line of `side` pixels
    uint64_t bytes;         // of the largest label, upright or turned, whichever is more
};
PageLimit pageLimitFor(const RasterPage& page)
{
    PageLimit limit{};
    limit.resolutionX = clampResolution(page.resolutionX);
    limit.resolutionY = clampResolution(page.resolutionY);
    limit.bitsPerPixel = countedBits(page.bitsPerPixel);
    limit.side = pixelsOf(kLargestLabelLengthPoints, limit.resolutionX);
    limit.rows = pixelsOf(kLargestLabelLengthPoints, limit.resolutionY);
    limit.bytesPerLine = lineBytes(limit.side, limit.bitsPerPixel);
    const uint32_t across = pixelsOf(kLargestLabelWidthPoints, limit.resolutionX);
    const uint64_t upright = uint64_t{lineBytes(across, limit.bitsPerPixel)} * limit.rows;
    const uint64_t turned =
        uint64_t{limit.bytesPerLine} * pixelsOf(kLargestLabelWidthPoints, limit.resolutionY);
    limit.bytes = upright > turned ? upright : turned;
    return limit;
}

// The page's bytes, height x bytesPerLine, which never wraps in 64 bits.
uint64_t pageBytes(const RasterPage& page)
{
    return uint64_t{page.height} * page.bytesPerLine;
}

}  // namespace

bool pageFitsLabel(const RasterPage& page)
{
    const PageLimit limit = pageLimitFor(page);
    return page.width <= limit.side && page.height <= limit.rows && page.bytesPerLine <= limit.bytesPerLine &&
           pageBytes(page) <= limit.bytes;
}

void describeOversizedPage(const RasterPage& page, unsigned pageNumber, char* text, size_t size)
{
    if (size == 0) {
        return;
    }
    const PageLimit limit = pageLimitFor(page);
    char resolution[32];
    if (limit.resolutionX == limit.resolutionY) {
        snprintf(resolution, sizeof resolution, "%u dpi", limit.resolutionX);
    } else {
        snprintf(resolution, sizeof resolution, "%ux%u dpi", limit.resolutionX, limit.resolutionY);
    }
    snprintf(text, size,
             "Page %u (%u x %u pixels, %" PRIu64 " bytes) is larger than any label: at %s and %u bit%s per pixel "
             "a page has at most %u pixels a side, %u bytes a line and %" PRIu64 " bytes",
             pageNumber, page.width, page.height, pageBytes(page), resolution, limit.bitsPerPixel,
             limit.bitsPerPixel == 1 ? "" : "s", limit.side, limit.bytesPerLine, limit.bytes);
}

}  // namespace tvl
