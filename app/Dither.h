// Gray to the printer's one bit per pixel, the same way for every kind of
// document: raster pages, images and PDF.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

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
