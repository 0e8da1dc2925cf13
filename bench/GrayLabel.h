// SPDX-License-Identifier: Apache-2.0
// The benchmark label as 8-bit gray, for the printer application's job: the
// same pixels as the filter benchmark's 1-bit label, 0 black and 255 white,
// the way an IPP client sends a sgray_8 PWG raster page.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace tvl {

namespace bench {

inline constexpr uint8_t kGrayBlack = 0;
inline constexpr uint8_t kGrayWhite = 255;

// Expands the first `width` pixels of a row of packed bits (most significant
// bit leftmost, 1 black) into `width` gray bytes. Pad bits after `width` are
// not read into the row. False, with `gray` untouched, when either span is too
// short for `width` pixels.
inline bool bitsToGray(std::span<const uint8_t> bits, size_t width, std::span<uint8_t> gray)
{
    const size_t bytes = width / 8 + (width % 8 != 0 ? 1 : 0);
    if (bits.size() < bytes || gray.size() < width) {
        return false;
    }
    for (size_t x = 0; x < width; ++x) {
        const bool black = (bits[x >> 3] & (0x80u >> (x & 7))) != 0;
        gray[x] = black ? kGrayBlack : kGrayWhite;
    }
    return true;
}

}  // namespace bench

}  // namespace tvl
