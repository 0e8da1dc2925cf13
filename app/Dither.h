// SPDX-License-Identifier: Apache-2.0
// Gray to the printer's one bit per pixel, the same way for every kind of
// document: raster pages, images and PDF. Text, graphics and barcodes are
// dithered with the printer's ordered matrix (or a plain threshold), photos
// with error diffusion.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace tvl {

// The 16 x 16 threshold matrix libpappl hands the driver
// (pappl_pr_options_t::dither): a gray value at or below its entry is black.
using DitherMatrix = unsigned char[16][16];

namespace dither_detail {

// The 16 thresholds of row y of the matrix, or 127 everywhere for the
// bi-level color mode (no matrix): gray 0..127 black, 128..255 white.
inline const unsigned char* thresholdsFor(const DitherMatrix* matrix, uint32_t y)
{
    static constexpr std::array<unsigned char, 16> kBiLevel = {127, 127, 127, 127, 127, 127, 127, 127,
                                                               127, 127, 127, 127, 127, 127, 127, 127};
    return matrix == nullptr ? kBiLevel.data() : (*matrix)[y & 15];
}

// Bit i of a byte moved to bit 7 - i: the compare below gives the leftmost
// pixel in the lowest bit, the printer wants it in the highest.
constexpr std::array<uint8_t, 256> makeBitReversal()
{
    std::array<uint8_t, 256> table{};
    for (unsigned v = 0; v < 256; ++v) {
        unsigned r = 0;
        for (unsigned bit = 0; bit < 8; ++bit) {
            r |= ((v >> bit) & 1u) << (7 - bit);
        }
        table[v] = static_cast<uint8_t>(r);
    }
    return table;
}
inline constexpr std::array<uint8_t, 256> kBitReversal = makeBitReversal();

}  // namespace dither_detail

// Dithers `width` gray pixels (0 black .. 255 white) of row `y` into packed
// bits, most significant bit leftmost, 1 black. `bits` holds (width + 7) / 8
// bytes; the pad bits of the last byte are 0. With no matrix (bi-level
// color mode) gray 0..127 is black and 128..255 white.
inline void ditherRow(const uint8_t* gray, size_t width, uint32_t y, const DitherMatrix* matrix, uint8_t* bits)
{
    const unsigned char* thresholds = dither_detail::thresholdsFor(matrix, y);
    size_t x = 0;
#if defined(__SSE2__)
    // Sixteen pixels at a time; they start at a multiple of 16, so they meet
    // the row's thresholds in order. gray <= threshold exactly when
    // min(gray, threshold) == gray.
    const __m128i limits = _mm_loadu_si128(reinterpret_cast<const __m128i*>(thresholds));
    for (; x + 16 <= width; x += 16) {
        const __m128i pixels = _mm_loadu_si128(reinterpret_cast<const __m128i*>(gray + x));
        const __m128i black = _mm_cmpeq_epi8(_mm_min_epu8(pixels, limits), pixels);
        const unsigned mask = static_cast<unsigned>(_mm_movemask_epi8(black));
        bits[x >> 3] = dither_detail::kBitReversal[mask & 0xFF];
        bits[(x >> 3) + 1] = dither_detail::kBitReversal[mask >> 8];
    }
#endif
    // The rest, a pixel at a time.
    const size_t bytes = (width + 7) / 8;
    std::memset(bits + (x >> 3), 0, bytes - (x >> 3));
    for (; x < width; ++x) {
        if (gray[x] <= thresholds[x & 15]) {
            bits[x >> 3] |= static_cast<uint8_t>(0x80u >> (x & 7));
        }
    }
}

// Error diffusion of one row (Floyd-Steinberg: 7/16 of a dot's error to the
// next dot, 3/16, 5/16 and 1/16 to the three below; serpentine, even rows
// left to right and odd rows right to left), into packed bits as ditherRow
// writes them. Gray below 128, with the error carried to it, is black. For
// photos: grey levels hold across the range, where an ordered matrix shows
// its pattern.
//
// `errors` has width + 2 entries, all 0 before a page's first row: the
// error carried to the row below, in sixteenths of a gray step (entries 0
// and width + 1 take what falls off the edges). Rows come in order, each
// once; nothing else is kept between rows.
inline void diffuseRow(const uint8_t* gray, size_t width, uint32_t y, int32_t* errors, uint8_t* bits)
{
    std::memset(bits, 0, (width + 7) / 8);
    if (width == 0) {
        return;
    }
    const bool leftToRight = (y & 1u) == 0;
    const ptrdiff_t step = leftToRight ? 1 : -1;
    size_t x = leftToRight ? 0 : width - 1;
    int32_t carry = 0;          // to the next dot of this row
    int32_t pendingBehind = 0;  // to the entry behind, from the dots before
    int32_t pendingHere = 0;    // to this dot's entry, from the dot before
    for (size_t n = 0; n < width; ++n, x += static_cast<size_t>(step)) {
        int32_t* below = errors + 1 + x;  // this dot's entry
        const int32_t value = 16 * gray[x] + *below + carry;
        const bool black = value < 16 * 128;
        if (black) {
            bits[x >> 3] |= static_cast<uint8_t>(0x80u >> (x & 7));
        }
        // The error splits whole: the last share takes what rounding left.
        const int32_t error = value - (black ? 0 : 16 * 255);
        const int32_t next = error * 7 / 16;
        const int32_t behind = error * 3 / 16;
        const int32_t under = error * 5 / 16;
        // The entry behind was read at the dot before: it is complete now,
        // and this dot's entry, just read, starts over.
        *(below - step) = pendingBehind + behind;
        pendingBehind = pendingHere + under;
        pendingHere = error - next - behind - under;
        carry = next;
    }
    x -= static_cast<size_t>(step);  // the row's last dot
    errors[1 + x] = pendingBehind;
    errors[1 + x + static_cast<size_t>(step)] = pendingHere;
}

// IPP print-content-optimize, as far as the choice of dither goes: photos
// are diffused, text, graphics and barcodes keep the matrix (their edges
// stay where they are); "auto" decides by the document.
enum class ContentOptimize { Auto, Photo, TextAndGraphics };

// Whether a gray image is a photo rather than text or line art: at least 64
// distinct gray levels, and at least a quarter of its pixels in the mid
// tones 32..223 (anti-aliased text has many levels, but on few pixels).
inline bool looksLikePhoto(const uint8_t* pixels, size_t count)
{
    std::array<size_t, 256> histogram{};
    for (size_t i = 0; i < count; ++i) {
        ++histogram[pixels[i]];
    }
    size_t levels = 0;
    size_t midTones = 0;
    for (size_t g = 0; g < histogram.size(); ++g) {
        levels += histogram[g] != 0 ? 1 : 0;
        midTones += g >= 32 && g <= 223 ? histogram[g] : 0;
    }
    return levels >= 64 && midTones * 4 >= count && count > 0;
}

}  // namespace tvl
