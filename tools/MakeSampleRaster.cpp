// SPDX-License-Identifier: Apache-2.0
// tvl-make-raster OUTPUT [PAGES]: writes a small sample CUPS raster job (4 x 6
// inch labels at 203 dpi, 1 bit per pixel, a border, bars and a box) through
// libcups's raster writer.
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "settings/ParseNumber.h"
#include "tools/raster/RasterWriter.h"

namespace tvl {

namespace {

constexpr unsigned kWidth = 812;   // 4 in at 203 dpi
constexpr unsigned kHeight = 1218; // 6 in at 203 dpi
constexpr unsigned kBytesPerLine = (kWidth + 7) / 8;

void setPixel(std::vector<unsigned char>& page, unsigned x, unsigned y)
{
    page[y * kBytesPerLine + x / 8] |= static_cast<unsigned char>(0x80u >> (x % 8));
}

std::vector<unsigned char> drawLabel(unsigned number)
{
    std::vector<unsigned char> page(static_cast<size_t>(kBytesPerLine) * kHeight, 0);
    for (unsigned y = 0; y < kHeight; ++y) {
        for (unsigned x = 0; x < kWidth; ++x) {
            const bool border = x < 8 || y < 8 || x >= kWidth - 8 || y >= kHeight - 8;
            const bool bars = y >= 700 && y < 1000 && x >= 60 && x < 752 && ((x / (3 + (x * 7 + number) % 5)) % 2);
            const bool box = y >= 100 && y < 400 && x >= 100 && x < 400 && (x < 110 || x >= 390 || y < 110 || y >= 390);
            if (border || bars || box) {
                setPixel(page, x, y);
            }
        }
    }
    return page;
}

}  // namespace

}  // namespace tvl

int main(int argc, char* argv[])
{
    using namespace tvl;
    if (argc < 2) {
        fprintf(stderr, "usage: %s OUTPUT [PAGES]\n", argv[0]);
        return 1;
    }
    int32_t count = 1;
    if (argc > 2 && !parseInt32(argv[2], 1, INT32_MAX, &count)) {
        fprintf(stderr, "%s: PAGES must be a whole number of 1 or more\n", argv[0]);
        return 1;
    }
    const unsigned pages = static_cast<unsigned>(count);
    RasterFile file(argv[1], CUPS_RASTER_WRITE_COMPRESSED);
    if (!openOrSayWhy(file, argv[1])) {
        return 1;
    }
    const cups_page_header2_t header = blackDotsHeader(kWidth, kHeight, 203);
    for (unsigned n = 0; n < pages; ++n) {
        std::vector<unsigned char> page = drawLabel(n);
        if (!writeRasterPage(file.stream(), header, page)) {
            fprintf(stderr, "%s: cannot write page %u\n", argv[0], n + 1);
            return 1;
        }
    }
    return 0;
}
