// SPDX-License-Identifier: Apache-2.0
// Writes CUPS and PWG raster streams through libcups's own writer
// (cupsRasterOpen, cupsRasterWriteHeader2, cupsRasterWritePixels): the test
// rasters, the sample job, the benchmark jobs and the fuzzing seeds. The
// driver only reads raster; nothing in filter/, app/ or the core links this.
#pragma once

#include <cstdint>
#include <span>

#include <cups/raster.h>

#include "output/RasterStream.h"

namespace tvl {

// libcups's writer on `fd`, which stays open and is closed after the stream:
// CUPS_RASTER_WRITE, CUPS_RASTER_WRITE_COMPRESSED, CUPS_RASTER_WRITE_PWG or
// CUPS_RASTER_WRITE_APPLE. Null when libcups refuses.
RasterStream openRasterStream(int fd, cups_mode_t mode);

// A raster file being written: `path` created or emptied (mode 0644) and
// libcups's writer on it. The destructor ends the stream, then the file.
class RasterFile {
public:
    RasterFile(const char* path, cups_mode_t mode);
    ~RasterFile();
    RasterFile(const RasterFile&) = delete;
    RasterFile& operator=(const RasterFile&) = delete;

    // False, with errno, when the file could not be opened.
    bool opened() const { return fd_ >= 0; }
    // Null when the file or the writer could not be opened.
    cups_raster_t* stream() const { return stream_.get(); }
    // Ends the stream and closes the file; false when closing the file failed.
    bool close();

private:
    int fd_ = -1;
    RasterStream stream_;
};

// For the command-line tools: whether `file` is open for writing; if not,
// says why on standard error as perror does, after `path` when the file
// could not be opened, else after "cupsRasterOpen".
bool openOrSayWhy(const RasterFile& file, const char* path);

// The header of a page of 1-bit black dots (CUPS_CSPACE_K, chunked, one
// colour, one copy): `width` x `height` dots at `dpi` in both directions,
// whole bytes per line, the page size in points cut to whole points.
cups_page_header2_t blackDotsHeader(uint32_t width, uint32_t height, uint32_t dpi);

// One page header; false when libcups refuses it.
bool writeRasterHeader(cups_raster_t* raster, const cups_page_header2_t& header);

// Pixels of the current page (libcups may touch them); false unless all were
// written.
bool writeRasterPixels(cups_raster_t* raster, std::span<uint8_t> pixels);

// A page header and all of the page's pixels.
bool writeRasterPage(cups_raster_t* raster, const cups_page_header2_t& header, std::span<uint8_t> pixels);

}  // namespace tvl
