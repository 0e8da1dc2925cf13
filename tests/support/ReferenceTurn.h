// SPDX-License-Identifier: Apache-2.0
// The quarter turn of a 1-bit page done the slow, obvious way, pixel by
// pixel: the reference the filter's block-wise turn is checked against.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace tvl {

// Pixel (x, y) of a page of `bytesPerLine`-byte rows; the top bit of a byte
// is its leftmost pixel.
inline bool pixelAt(std::span<const uint8_t> page, size_t bytesPerLine, size_t x, size_t y)
{
    return (page[y * bytesPerLine + x / 8] >> (7 - x % 8)) & 1;
}

inline void setPixel(std::vector<uint8_t>& page, size_t bytesPerLine, size_t x, size_t y)
{
    page[y * bytesPerLine + x / 8] |= static_cast<uint8_t>(0x80 >> (x % 8));
}

// Bytes per turned row of a page `height` rows tall.
inline size_t turnedRowBytesFor(uint32_t height)
{
    return (static_cast<size_t>(height) + 7) / 8;
}

// The turned page: `width` rows of `height` pixels, pad bits 0.
//   rotation 1 (clockwise):         turned (X, Y) = source (Y, H-1-X)
//   rotation 3 (counter-clockwise): turned (X, Y) = source (W-1-Y, X)
inline std::vector<uint8_t> referenceTurn(std::span<const uint8_t> source, uint32_t width, uint32_t height,
                                          uint32_t bytesPerLine, int rotation)
{
    const size_t rowBytes = turnedRowBytesFor(height);
    std::vector<uint8_t> out(width * rowBytes, 0);
    for (size_t y = 0; y < width; ++y) {
        for (size_t x = 0; x < height; ++x) {
            const bool set = rotation == 1 ? pixelAt(source, bytesPerLine, y, height - 1 - x)
                                           : pixelAt(source, bytesPerLine, width - 1 - y, x);
            if (set) {
                setPixel(out, rowBytes, x, y);
            }
        }
    }
    return out;
}

}  // namespace tvl
