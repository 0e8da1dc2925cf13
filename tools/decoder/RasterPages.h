// SPDX-License-Identifier: Apache-2.0
// The inspector's oracle: the pages of a CUPS raster file, turned the way the
// filter turns them, compared pixel by pixel with the pages of a decoded
// printer stream.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tools/decoder/StreamDecoder.h"

namespace tvl {

namespace inspect {

// One raster page: rows top down, bytesPerLine bytes each; with 1 bit per
// pixel the most significant bit is the leftmost pixel and 1 is black.
struct RasterPage {
    uint32_t width = 0;          // pixels (cupsWidth)
    uint32_t height = 0;         // rows (cupsHeight)
    uint32_t bytesPerLine = 0;   // cupsBytesPerLine
    uint32_t bitsPerPixel = 0;   // cupsBitsPerPixel
    ByteBuffer pixels;

    bool pixel(uint32_t x, uint32_t y) const
    {
        return (pixels[static_cast<size_t>(y) * bytesPerLine + x / 8] >> (7 - x % 8)) & 1;
    }
};

// Reads every page of the raster file at `path` through libcups. False with
// `error` set when it cannot be opened or a page cannot be read.
bool readRasterFile(const std::string& path, std::vector<RasterPage>* pages, std::string* error);

// A page turned a quarter turn clockwise (turn 1) or counter-clockwise
// (turn 3), pixel by pixel; turn 0 copies. Only pages of 1 bit per pixel can
// be turned. False with `error` set otherwise or when memory runs out.
bool turnPage(const RasterPage& page, int turn, RasterPage* turned, std::string* error);

// Whether the stream's printed pages equal `expected`: as many pages, and in
// each the same rows and the same pixels in the raster's columns (the
// stream's row padding is not compared; pages of more than 1 bit per pixel
// are compared byte for byte). False with a message naming the first
// difference.
bool comparePages(const DecodedStream& decoded, const std::vector<RasterPage>& expected, std::string* message);

}  // namespace inspect

}  // namespace tvl
