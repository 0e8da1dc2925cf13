// SPDX-License-Identifier: Apache-2.0
// Raster pages: the page bitmap sent in bands of at most 200 rows, raw or
// run-length compressed, then the print command with the copy count.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

#include <cups/raster.h>

#include "output/Buffer.h"
#include "output/Commands.h"
#include "output/PageResult.h"
#include "output/Sink.h"
#include "settings/PageLimit.h"
#include "settings/Settings.h"

namespace tvl {

// Band block heads; 16-bit fields low byte first, values taken mod 65536.
std::array<uint8_t, command::kRawBandHeadSize> rawBandHead(uint32_t startRow, uint32_t bytesPerLine,
                                                           uint32_t rows);
std::array<uint8_t, command::kCompressedBandHeadSize> compressedBandHead(uint32_t startRow,
                                                                         uint32_t bytesPerLine, uint32_t rows);

// The header of a 1-bit page of `width` x `height` dots at `dpi`, its rows
// whole bytes: the label as the printer gets it (cups_page_header_t), or,
// with the fields a raster file adds, the 1-bit CUPS raster the tests,
// tools and benchmarks write (cups_page_header2_t, tools/raster).
template <typename Header = cups_page_header_t>
Header labelPageHeader(uint32_t width, uint32_t height, unsigned dpi)
{
    Header header{};
    header.cupsWidth = width;
    header.cupsHeight = height;
    header.cupsBitsPerPixel = 1;
    header.cupsBitsPerColor = 1;
    header.cupsBytesPerLine = (width + 7) / 8;
    header.HWResolution[0] = header.HWResolution[1] = dpi;
    return header;
}

// Memory a page needs, computed without wrapping around.
struct PageMemory {
    size_t pixelBytes;   // bytes of the page as read: height x bytesPerLine
    size_t pageBuffer;   // holds the page, and the turned page for a quarter turn
};

// false when the page's sizes do not fit (it cannot be read in one call or
// its buffer cannot be sized).
bool pageMemoryFor(const cups_page_header_t& header, int32_t rotation, PageMemory* memory);

// Sends one page whose bitmap is in `page` (pageMemoryFor's pageBuffer
// bytes, the page at its start; cupsWidth, cupsHeight, cupsBitsPerPixel
// and cupsBytesPerLine of `header` describe it): the orientation commands,
// the quarter turn the settings' rotation asks for (which rewrites `page`
// and the header), the bands, the print command with `copies`, and a flush.
PageResult sendPage(Output& out, std::span<uint8_t> page, cups_page_header_t* header, const Settings& settings,
                    int32_t copies);

// A page sent band by band as its rows come in, for a page that needs no
// quarter turn: beginBandedPage writes the orientation commands, each
// sendBand one band of up to 200 rows (in order, every band but the last
// one 200 rows), endBandedPage the print command. A BandedPage may serve
// one page after another: beginBandedPage starts it afresh and keeps its
// coding buffer.
struct BandedPage {
    int64_t rows = 0;           // the page's rows, cupsHeight read as signed
    uint32_t bytesPerLine = 0;
    bool compressed = false;    // settings.compressed == 1
    uint32_t nextRow = 0;       // start row of the next band
    size_t packedLength = 0;    // coded length of the page's previous band
    ByteBuffer packed;          // the run-length coder's output
    size_t packedSize = 0;
};

PageResult beginBandedPage(Output& out, BandedPage* page, uint32_t height, uint32_t bytesPerLine,
                           const Settings& settings);
PageResult sendBand(Output& out, BandedPage* page, const uint8_t* band, uint32_t rows);
PageResult endBandedPage(Output& out, int32_t copies);

// The rest of a banded page: bands of up to 200 rows from page->nextRow to
// the page's end, the bytes of each from bandAt(startRow), then the print
// command with `copies` (endBandedPage).
template <typename BandAt>
PageResult sendRemainingBands(Output& out, BandedPage* page, BandAt bandAt, int32_t copies)
{
    while (page->rows - page->nextRow > 0) {
        const int64_t left = page->rows - page->nextRow;
        const uint32_t count = left > command::kMaxBandRows ? command::kMaxBandRows : static_cast<uint32_t>(left);
        const PageResult sent = sendBand(out, page, bandAt(page->nextRow), count);
        if (!sent.printed()) {
            return sent;
        }
    }
    return endBandedPage(out, copies);
}

// The memory of a job's pages: the pixels as read, and the quarter-turned
// page. Kept from one page to the next; freed with the record.
struct PageBuffers {
    ReusedBuffer pixels;
    ReusedBuffer turned;
};

// Reads one page's pixels from the raster stream into `buffers`, then sends
// it as sendPage does, a quarter-turned page from the turn's own buffer; a
// page larger than any label is refused before any memory is taken for it.
// The raster stream stays open.
PageResult printPage(Output& out, cups_raster_t* raster, cups_page_header_t* header, const Settings& settings,
                     int32_t copies, PageBuffers* buffers);

}  // namespace tvl
