#include "bench/PwgJob.h"

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

}  // namespace bench
