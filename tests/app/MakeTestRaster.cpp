// SPDX-License-Identifier: Apache-2.0
// Writes an 8-bit gray PWG or Apple raster job for the printer application's
// tests, and the 1-bit CUPS raster the printer must receive for it: each page
// cropped or padded to the label and dithered as the drivers dither.
//
//   tvl-app-test-raster --out JOB --expect EXPECTED [--format pwg|urf]
//       [--page WxH] [--dpi N] [--label-mm WxL] [--pattern NAME] [--pages N]
//       [--bilevel] [--diffuse] [--bpl N] [--header-only] [--later-dpi N]
// (--diffuse: expected labels error-diffused, as for print-content-optimize photo)
//
// Patterns: white, black, checker (8-pixel squares of 0 and 255), ramp
// (gray across the page), frame (a 2-pixel black border and a diagonal).
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "app/Dither.h"
#include "app/DitherMatrix.h"
#include "settings/Units.h"
#include "tools/raster/RasterWriter.h"

namespace tvl {

namespace {

struct Options {
    std::string out;
    std::string expect;
    std::string format = "pwg";
    unsigned width = 812;
    unsigned height = 1218;
    unsigned dpi = 203;
    double labelWidthMm = 101.6;
    double labelLengthMm = 152.4;
    std::string pattern = "checker";
    unsigned pages = 1;
    bool bilevel = false;
    bool diffuse = false;
    unsigned bpl = 0;        // bytes per line written in the header; 0: the width
    bool headerOnly = false; // the header and one line: a page that ends early
    unsigned laterDpi = 0;   // resolution of the pages after the first; 0: --dpi
};

unsigned char gray(const Options& o, unsigned x, unsigned y, unsigned page)
{
    if (o.pattern == "white") {
        return 255;
    }
    if (o.pattern == "black") {
        return 0;
    }
    if (o.pattern == "ramp") {
        return static_cast<unsigned char>((x * 255u / (o.width > 1 ? o.width - 1 : 1) + page * 37u) & 0xff);
    }
    if (o.pattern == "frame") {
        const bool border = x < 2 || y < 2 || x + 2 >= o.width || y + 2 >= o.height;
        return (border || x == y + page) ? 0 : 255;
    }
    return (((x / 8) + (y / 8) + page) & 1) ? 0 : 255;  // checker
}

bool parse(int argc, char** argv, Options* o)
{
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        const char* v = i + 1 < argc ? argv[i + 1] : nullptr;
        if (a == "--bilevel" || a == "--diffuse") {
            (a == "--bilevel" ? o->bilevel : o->diffuse) = true;
            continue;
        }
        if (a == "--header-only") {
            o->headerOnly = true;
            continue;
        }
        if (v == nullptr) {
            return false;
        }
        ++i;
        if (a == "--out") {
            o->out = v;
        } else if (a == "--expect") {
            o->expect = v;
        } else if (a == "--format") {
            o->format = v;
        } else if (a == "--page") {
            if (sscanf(v, "%ux%u", &o->width, &o->height) != 2) {
                return false;
            }
        } else if (a == "--dpi") {
            o->dpi = static_cast<unsigned>(atoi(v));
        } else if (a == "--label-mm") {
            if (sscanf(v, "%lfx%lf", &o->labelWidthMm, &o->labelLengthMm) != 2) {
                return false;
            }
        } else if (a == "--pattern") {
            o->pattern = v;
        } else if (a == "--pages") {
            o->pages = static_cast<unsigned>(atoi(v));
        } else if (a == "--later-dpi") {
            o->laterDpi = static_cast<unsigned>(atoi(v));
        } else if (a == "--bpl") {
            o->bpl = static_cast<unsigned>(atoi(v));
        } else {
            return false;
        }
    }
    return !o->out.empty() && (o->format == "pwg" || o->format == "urf");
}

bool writeJob(const Options& o)
{
    RasterFile file(o.out.c_str(), o.format == "pwg" ? CUPS_RASTER_WRITE_PWG : CUPS_RASTER_WRITE_APPLE);
    if (file.stream() == nullptr) {
        return false;
    }
    std::vector<unsigned char> line(o.width);
    for (unsigned p = 0; p < o.pages; ++p) {
        cups_page_header2_t h;
        memset(&h, 0, sizeof(h));
        strcpy(h.MediaType, "labels");
        h.HWResolution[0] = h.HWResolution[1] = (p > 0 && o.laterDpi != 0) ? o.laterDpi : o.dpi;
        h.PageSize[0] = static_cast<unsigned>(o.width * 72.0 / o.dpi + 0.5);
        h.PageSize[1] = static_cast<unsigned>(o.height * 72.0 / o.dpi + 0.5);
        h.cupsWidth = o.width;
        h.cupsHeight = o.height;
        h.cupsBitsPerColor = 8;
        h.cupsBitsPerPixel = 8;
        h.cupsBytesPerLine = o.bpl ? o.bpl : o.width;
        h.cupsColorOrder = CUPS_ORDER_CHUNKED;
        h.cupsColorSpace = CUPS_CSPACE_SW;
        h.cupsNumColors = 1;
        h.NumCopies = 1;
        h.cupsInteger[0] = o.pages;  // total page count (PWG)
        if (!writeRasterHeader(file.stream(), h)) {
            return false;
        }
        const unsigned rows = o.headerOnly ? 1 : o.height;
        for (unsigned y = 0; y < rows; ++y) {
            for (unsigned x = 0; x < o.width; ++x) {
                line[x] = gray(o, x, y, p);
            }
            writeRasterPixels(file.stream(), line);
        }
    }
    return file.close();
}

bool writeExpected(const Options& o)
{
    const float dot = dotsPerMillimetre(static_cast<int32_t>(o.dpi));
    const unsigned lw = static_cast<unsigned>(truncateToInt32(o.labelWidthMm * static_cast<double>(dot)));
    const unsigned ll = static_cast<unsigned>(truncateToInt32(o.labelLengthMm * static_cast<double>(dot)));
    RasterFile file(o.expect.c_str(), CUPS_RASTER_WRITE);
    if (!file.opened()) {
        return false;
    }
    // The expected pages name no page size and no copies.
    cups_page_header2_t h = blackDotsHeader(lw, ll, o.dpi);
    h.NumCopies = 0;
    h.PageSize[0] = h.PageSize[1] = 0;
    std::vector<unsigned char> bits(h.cupsBytesPerLine);
    for (unsigned p = 0; p < o.pages; ++p) {
        writeRasterHeader(file.stream(), h);
        std::vector<int32_t> errors(lw + 2, 0);
        std::vector<uint8_t> row(std::min(lw, o.width));
        for (unsigned y = 0; y < ll; ++y) {
            std::fill(bits.begin(), bits.end(), 0);
            for (unsigned x = 0; o.diffuse && y < o.height && x < row.size(); ++x) {
                row[x] = gray(o, x, y, p);
            }
            if (o.diffuse && y < o.height) {
                diffuseRow(row.data(), row.size(), y, errors.data(), bits.data());
            }
            for (unsigned x = 0; !o.diffuse && y < o.height && x < lw && x < o.width; ++x) {
                const unsigned char g = gray(o, x, y, p);
                const bool black = o.bilevel ? g < 128 : g <= kThresholds[y & 15][x & 15];
                if (black) {
                    bits[x / 8] |= static_cast<unsigned char>(0x80u >> (x % 8));
                }
            }
            writeRasterPixels(file.stream(), bits);
        }
    }
    return true;
}

}  // namespace

}  // namespace tvl

int main(int argc, char** argv)
{
    using namespace tvl;
    Options o;
    if (!parse(argc, argv, &o)) {
        fprintf(stderr, "usage: see the head of MakeTestRaster.cpp\n");
        return 2;
    }
    if (!writeJob(o) || (!o.expect.empty() && !writeExpected(o))) {
        perror("tvl-app-test-raster");
        return 1;
    }
    return 0;
}
