#include "bench/PwgJob.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <new>
#include <vector>

#include <cups/raster.h>

#include "bench/GrayLabel.h"
#include "bench/LabelContent.h"

namespace bench {

namespace {

struct RasterCloser {
    void operator()(cups_raster_t* raster) const { cupsRasterClose(raster); }
};
using RasterHandle = std::unique_ptr<cups_raster_t, RasterCloser>;

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

}  // namespace

PwgJobResult writePwgJob(int fd, unsigned labels, uint64_t seed)
{
    PwgJobResult result;
    cups_page_header2_t header{};
    if (!labelHeader(labels, &header)) {
        result.reason = "libcups gives no 812 x 1218 sgray_8 header for the label";
        return result;
    }
    RasterHandle raster(cupsRasterOpen(fd, CUPS_RASTER_WRITE_PWG));
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
        try {
            bits = drawLabel(seed, n);
        } catch (const std::bad_alloc&) {
            result.reason = "out of memory";
            return result;
        }
        if (!cupsRasterWriteHeader2(raster.get(), &header)) {
            result.reason = "cannot write a page header";
            return result;
        }
        const std::span<const uint8_t> all(bits);
        for (size_t y = 0; y < kLabelHeight; ++y) {
            const auto line = all.subspan(y * kLabelBytesPerLine, kLabelBytesPerLine);
            if (!bitsToGray(line, kLabelWidth, std::span<uint8_t>(row.get(), kLabelWidth)) ||
                cupsRasterWritePixels(raster.get(), row.get(), kLabelWidth) != kLabelWidth) {
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
    cups_page_header2_t header{};
    header.HWResolution[0] = header.HWResolution[1] = kPwgDpi;
    header.PageSize[0] = 288;
    header.PageSize[1] = static_cast<unsigned>((static_cast<uint64_t>(rows) * 72 + kPwgDpi - 1) / kPwgDpi);
    header.NumCopies = 1;
    header.cupsWidth = kLabelWidth;
    header.cupsHeight = rows;
    header.cupsBitsPerColor = 1;
    header.cupsBitsPerPixel = 1;
    header.cupsBytesPerLine = kLabelBytesPerLine;
    header.cupsColorOrder = CUPS_ORDER_CHUNKED;
    header.cupsColorSpace = CUPS_CSPACE_K;
    header.cupsNumColors = 1;
    RasterHandle raster(cupsRasterOpen(fd, CUPS_RASTER_WRITE));
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
        try {
            bits = drawLabel(seed, n);
        } catch (const std::bad_alloc&) {
            result.reason = "out of memory";
            return result;
        }
        const size_t kept = std::min(pageBytes, bits.size());
        memcpy(page.get(), bits.data(), kept);
        memset(page.get() + kept, 0, pageBytes - kept);
        if (!cupsRasterWriteHeader2(raster.get(), &header) ||
            cupsRasterWritePixels(raster.get(), page.get(), static_cast<unsigned>(pageBytes)) != pageBytes) {
            result.reason = "cannot write a page";
            return result;
        }
        result.labels = n + 1;
    }
    result.ok = true;
    return result;
}

}  // namespace bench
