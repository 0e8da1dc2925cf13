// SPDX-License-Identifier: Apache-2.0
#include "bench/PwgJob.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <new>
#include <vector>

#include "bench/GrayLabel.h"
#include "bench/LabelContent.h"
#include "tools/raster/RasterWriter.h"

namespace tvl {

namespace bench {

namespace {

// The page header of every label: libcups's own PWG header for the media,
// type and resolution, checked against the label's pixel size.
bool labelHeader(unsigned labels, cups_page_header2_t* header)
{
    pwg_media_t* media = pwgMediaForPWG(kPwgMedia);
    if (media == nullptr ||
        !cupsRasterInitPWGHeader(header, media, kPwgType, static_cast<int>(kPwgDpi), static_cast<int>(kPwgDpi),
                                 "one-sided", nullptr)) {
        return false;
    }
    header->cupsInteger[CUPS_RASTER_PWG_TotalPageCount] = labels;
    return header->cupsWidth == kLabelWidth && header->cupsHeight == kLabelHeight &&
           header->cupsBytesPerLine == kLabelWidth && header->cupsBitsPerPixel == 8;
}

// Label `number` of the job made from `seed`; false when memory runs out.
bool drawn(uint64_t seed, unsigned number, std::vector<uint8_t>* bits)
{
    try {
        *bits = drawLabel(seed, number);
    } catch (const std::bad_alloc&) {
        return false;
    }
    return true;
}

}  // namespace

PwgJobResult writePwgJob(int fd, unsigned labels, uint64_t seed)
{
    PwgJobResult result;
    cups_page_header2_t header{};
    if (!labelHeader(labels, &header)) {
        result.reason = "libcups gives no 812 x 1218 sgray_8 header for the label";
        return result;
    }
    const RasterStream raster = openRasterStream(fd, CUPS_RASTER_WRITE_PWG);
    if (!raster) {
        result.reason = "cannot open the PWG raster stream";
        return result;
    }
    std::unique_ptr<uint8_t[]> row(new (std::nothrow) uint8_t[kLabelWidth]);
    if (!row) {
        result.reason = "out of memory";
        return result;
    }
    for (unsigned n = 0; n < labels; ++n) {
        std::vector<uint8_t> bits;
        if (!drawn(seed, n, &bits)) {
            result.reason = "out of memory";
            return result;
        }
        if (!writeRasterHeader(raster.get(), header)) {
            result.reason = "cannot write a page header";
            return result;
        }
        const std::span<const uint8_t> all(bits);
        for (size_t y = 0; y < kLabelHeight; ++y) {
            const auto line = all.subspan(y * kLabelBytesPerLine, kLabelBytesPerLine);
            const std::span<uint8_t> gray(row.get(), kLabelWidth);
            if (!bitsToGray(line, kLabelWidth, gray) || !writeRasterPixels(raster.get(), gray)) {
                result.reason = "cannot write a row";
                return result;
            }
        }
        result.labels = n + 1;
    }
    result.ok = true;
    return result;
}

PwgJobResult writeReferenceJob(int fd, unsigned labels, uint64_t seed, unsigned rows)
{
    PwgJobResult result;
    if (rows == 0 || rows > 65536) {
        result.reason = "reference rows must be 1 to 65536";
        return result;
    }
    // The page size rounded up to whole points.
    cups_page_header2_t header = blackDotsHeader(kLabelWidth, rows, kPwgDpi);
    header.PageSize[1] = static_cast<unsigned>((static_cast<uint64_t>(rows) * 72 + kPwgDpi - 1) / kPwgDpi);
    const RasterStream raster = openRasterStream(fd, CUPS_RASTER_WRITE);
    if (!raster) {
        result.reason = "cannot open the CUPS raster stream";
        return result;
    }
    const size_t pageBytes = static_cast<size_t>(rows) * kLabelBytesPerLine;
    std::unique_ptr<uint8_t[]> page(new (std::nothrow) uint8_t[pageBytes]);
    if (!page) {
        result.reason = "out of memory";
        return result;
    }
    for (unsigned n = 0; n < labels; ++n) {
        std::vector<uint8_t> bits;
        if (!drawn(seed, n, &bits)) {
            result.reason = "out of memory";
            return result;
        }
        const size_t kept = std::min(pageBytes, bits.size());
        memcpy(page.get(), bits.data(), kept);
        memset(page.get() + kept, 0, pageBytes - kept);
        if (!writeRasterPage(raster.get(), header, std::span<uint8_t>(page.get(), pageBytes))) {
            result.reason = "cannot write a page";
            return result;
        }
        result.labels = n + 1;
    }
    result.ok = true;
    return result;
}

}  // namespace bench

}  // namespace tvl
