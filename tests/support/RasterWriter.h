// SPDX-License-Identifier: Apache-2.0
// Test pages, written as CUPS raster streams through the shared raster
// writer, and streams put together by hand for headers the reader refuses.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tools/raster/RasterWriter.h"

namespace tvl {

struct TestPage {
    uint32_t width = 0;          // cupsWidth
    uint32_t height = 0;         // cupsHeight
    uint32_t bytesPerLine = 0;   // cupsBytesPerLine; 0: computed from width and bits
    uint32_t bitsPerPixel = 1;   // 1 (K) or 8 (W)
    std::vector<uint8_t> pixels; // height x bytesPerLine bytes, written as given
};

// A page of `width` x `height` 1-bit pixels, rows given as bytes.
TestPage bitmapPage(uint32_t width, uint32_t height, std::vector<uint8_t> pixels);

// A 1-bit page filled with a repeatable pattern that mixes runs and other
// bytes.
TestPage patternPage(uint32_t width, uint32_t height, uint32_t seed);

// Writes the pages to `path` (compressed: CUPS_RASTER_WRITE_COMPRESSED,
// else CUPS_RASTER_WRITE). Fails the current test on error.
void writeRasterFile(const std::string& path, const std::vector<TestPage>& pages, bool compressed = false);

// The pages written to the file `name` in the test's temporary folder
// (writeRasterFile); its path.
std::string rasterFile(const std::string& name, const std::vector<TestPage>& pages, bool compressed = false);

// The bytes that libcups's writer (CUPS_RASTER_WRITE) produces for one page
// header, put together here so that headers the reader must refuse can be
// made: the sync word, then the whole page header as the host stores it,
// then `pixels` as they are.
struct RawHeader {
    uint32_t width;
    uint32_t height;
    uint32_t bytesPerLine;  // as given, 0 included
    uint32_t bitsPerPixel = 1;
    uint32_t dpi = 203;     // both resolutions
};
std::string rawRasterStream(const RawHeader& header, const std::string& pixels, bool compressedSync = false);

// A file name in the test's own temporary folder.
std::string tempPath(const std::string& name);

// `bytes` written to the file `name` in that folder; its path.
std::string writeTempFile(const std::string& name, const std::string& bytes);

}  // namespace tvl
