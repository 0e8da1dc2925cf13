// SPDX-License-Identifier: Apache-2.0
// Writes the seed corpus of fuzz_job into the folder given as argument:
// small raster streams through libcups's writer, each behind the option
// byte that fuzz_job reads first (rotation, compression, standard input).
#include <cstdint>
#include <cstdio>
#include <fcntl.h>
#include <string>
#include <unistd.h>
#include <vector>

#include "tools/raster/RasterWriter.h"

namespace tvl {

namespace {

struct Page {
    unsigned width;
    unsigned height;
    unsigned bitsPerPixel;
    unsigned bytesPerLine = 0;  // 0: from the width
    unsigned rowsWritten = ~0u;  // fewer than the height: the stream ends early
};

bool writeSeed(const std::string& path, uint8_t optionByte, const std::vector<Page>& pages, cups_mode_t mode)
{
    const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd < 0 || write(fd, &optionByte, 1) != 1) {
        return false;
    }
    RasterStream raster = openRasterStream(fd, mode);
    bool ok = raster != nullptr;
    uint32_t seed = 1;
    for (const Page& p : pages) {
        // No page size and no copies named.
        cups_page_header2_t h = blackDotsHeader(p.width, p.height, 203);
        h.NumCopies = 0;
        h.PageSize[0] = h.PageSize[1] = 0;
        h.cupsBitsPerPixel = h.cupsBitsPerColor = p.bitsPerPixel;
        h.cupsBytesPerLine = p.bytesPerLine != 0 ? p.bytesPerLine : (p.width * p.bitsPerPixel + 7) / 8;
        h.cupsColorSpace = p.bitsPerPixel == 1 ? CUPS_CSPACE_K : CUPS_CSPACE_W;
        ok = ok && writeRasterHeader(raster.get(), h);
        std::vector<uint8_t> pixels(static_cast<size_t>(h.cupsBytesPerLine) *
                                    (p.rowsWritten < p.height ? p.rowsWritten : p.height));
        for (uint8_t& b : pixels) {
            seed = seed * 1103515245u + 12345u;
            const unsigned r = (seed >> 16) & 0xFF;
            b = r < 100 ? 0x00 : r < 160 ? 0xFF : static_cast<uint8_t>(r);
        }
        ok = ok && writeRasterPixels(raster.get(), pixels);
    }
    raster.reset();
    close(fd);
    return ok;
}

}  // namespace

}  // namespace tvl

int main(int argc, char* argv[])
{
    using namespace tvl;
    if (argc != 2) {
        fprintf(stderr, "usage: %s corpus-folder\n", argv[0]);
        return 1;
    }
    const std::string dir = argv[1];
    // Option byte: rotation index (0, 1, 2, 3, 7) + 5 x compression (0, 1, 2).
    const bool ok =
        writeSeed(dir + "/raw-16x3", 0, {{16, 3, 1}}, CUPS_RASTER_WRITE) &&
        writeSeed(dir + "/compressed-rot90-13x21", 1 + 5, {{13, 21, 1}}, CUPS_RASTER_WRITE) &&
        writeSeed(dir + "/raw-rot180-two-pages", 2, {{24, 4, 1}, {8, 9, 1}}, CUPS_RASTER_WRITE) &&
        writeSeed(dir + "/compressed-rot270-stream", 3 + 5, {{30, 7, 1}}, CUPS_RASTER_WRITE_COMPRESSED) &&
        writeSeed(dir + "/tall-210", 5, {{8, 210, 1}}, CUPS_RASTER_WRITE_COMPRESSED) &&
        writeSeed(dir + "/gray-8bit-rot90", 1, {{5, 3, 8}}, CUPS_RASTER_WRITE) &&
        writeSeed(dir + "/pwg-stream", 4, {{16, 2, 1}}, CUPS_RASTER_WRITE_PWG) &&
        // The largest page at 203 dpi, and a compressed page of 8 pixels in
        // lines of a million bytes, larger than any label (refused unread).
        writeSeed(dir + "/at-the-page-limit", 0, {{1028, 9135, 1, 129, 2}}, CUPS_RASTER_WRITE) &&
        writeSeed(dir + "/past-the-page-limit", 1 + 5, {{8, 571, 1, 1000000, 1}}, CUPS_RASTER_WRITE_COMPRESSED);
    return ok ? 0 : 1;
}
