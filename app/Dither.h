// Gray to the printer's one bit per pixel, the same way for every kind of
// document: raster pages, images and PDF.
#pragma once

#include <cstddef>
#include <cstdint>

// The 16 x 16 threshold matrix libpappl hands the driver
// (pappl_pr_options_t::dither): a gray value at or below its entry is black.
using DitherMatrix = unsigned char[16][16];

// Dithers `width` gray pixels (0 black .. 255 white) of row `y` into packed
// bits, most significant bit leftmost, 1 black. `bits` holds (width + 7) / 8
// bytes; the pad bits of the last byte are 0. With no matrix (bi-level
// color mode) gray 0..127 is black and 128..255 white.
inline void ditherRow(const uint8_t* gray, size_t width, uint32_t y, const DitherMatrix* matrix, uint8_t* bits)
{
    const size_t bytes = (width + 7) / 8;
    for (size_t i = 0; i < bytes; ++i) {
        bits[i] = 0;
    }
    if (matrix == nullptr) {
        for (size_t x = 0; x < width; ++x) {
            if (gray[x] < 128) {
                bits[x >> 3] |= static_cast<uint8_t>(0x80u >> (x & 7));
            }
        }
        return;
    }
    const unsigned char* thresholds = (*matrix)[y & 15];
    for (size_t x = 0; x < width; ++x) {
        if (gray[x] <= thresholds[x & 15]) {
            bits[x >> 3] |= static_cast<uint8_t>(0x80u >> (x & 7));
        }
    }
}
