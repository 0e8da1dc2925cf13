// SPDX-License-Identifier: Apache-2.0
// tvl-bench-job OUTPUT LABELS [compressed|uncompressed] [SEED]
//
// Writes the benchmark's raster job through libcups: LABELS labels of 4 x 6 in
// at 203 dpi (812 x 1218 pixels, 1 bit per pixel, 102 bytes per line), in the
// compressed stream format of CUPS's rasterizers (default) or uncompressed.
// The content is drawn from a seeded generator, so a seed always gives the
// same bytes: a border, rows of text-like glyphs in three sizes, a 1D barcode
// with its human-readable line and a 2D matrix code, about 15% black.
//
// Prints to standard output what the job holds: labels, bytes, black share,
// and the number of 0x00/0xFF runs per label as the compressed band mode
// codes them (bands of 200 rows, runs cut at 255), since that mode writes one
// diagnostic line per run.
#include <cinttypes>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sys/stat.h>
#include <vector>

#include "bench/LabelContent.h"
#include "settings/ParseNumber.h"
#include "tools/raster/RasterWriter.h"

namespace tvl {

}  // namespace tvl

int main(int argc, char* argv[])
{
    using namespace tvl;
    if (argc < 3) {
        fprintf(stderr, "usage: %s OUTPUT LABELS [compressed|uncompressed] [SEED]\n", argv[0]);
        return 2;
    }
    int32_t count = 0;
    if (!parseInt32(argv[2], 1, INT32_MAX, &count)) {
        fprintf(stderr, "%s: LABELS must be a whole number of 1 or more\n", argv[0]);
        return 2;
    }
    const unsigned labels = static_cast<unsigned>(count);
    const bool compressed = argc < 4 || strcmp(argv[3], "uncompressed") != 0;
    // A seed takes all 64 bits, beyond the 32-bit parser.
    const uint64_t seed = argc > 4 ? strtoull(argv[4], nullptr, 10) : bench::kDefaultSeed;

    RasterFile file(argv[1], compressed ? CUPS_RASTER_WRITE_COMPRESSED : CUPS_RASTER_WRITE);
    if (!openOrSayWhy(file, argv[1])) {
        return 1;
    }
    cups_page_header2_t h = blackDotsHeader(bench::kLabelWidth, bench::kLabelHeight, 203);
    strcpy(h.MediaClass, "PC");
    // The whole page imageable, its size in floats too, as CUPS's rasterizers
    // write it.
    h.ImagingBoundingBox[2] = h.PageSize[0];
    h.ImagingBoundingBox[3] = h.PageSize[1];
    h.cupsPageSize[0] = static_cast<float>(h.PageSize[0]);
    h.cupsPageSize[1] = static_cast<float>(h.PageSize[1]);

    uint64_t runsTotal = 0;
    unsigned runsMin = ~0u;
    unsigned runsMax = 0;
    uint64_t black = 0;
    int status = 0;
    for (unsigned n = 0; n < labels && status == 0; ++n) {
        std::vector<uint8_t> bits = bench::drawLabel(seed, n);
        const unsigned runs = bench::countRuns(bits);
        runsTotal += runs;
        runsMin = runs < runsMin ? runs : runsMin;
        runsMax = runs > runsMax ? runs : runsMax;
        black += bench::blackPixels(bits);
        if (!writeRasterPage(file.stream(), h, bits)) {
            fprintf(stderr, "%s: cannot write label %u\n", argv[0], n + 1);
            status = 1;
        }
    }
    if (!file.close()) {
        perror(argv[1]);
        status = 1;
    }
    if (status != 0 || labels == 0) {
        return status;
    }

    struct stat st {};
    stat(argv[1], &st);
    printf("%s: %u labels of %u x %u pixels, %s, seed %" PRIu64 ", %lld bytes (%.0f per label)\n", argv[1],
           labels, bench::kLabelWidth, bench::kLabelHeight, compressed ? "compressed" : "uncompressed", seed,
           static_cast<long long>(st.st_size), static_cast<double>(st.st_size) / labels);
    printf("%s: black %.1f%%; 0x00/0xFF runs per label: mean %.0f, min %u, max %u\n", argv[1],
           100.0 * static_cast<double>(black) / (static_cast<double>(bench::kLabelWidth) * bench::kLabelHeight * labels),
           static_cast<double>(runsTotal) / labels, runsMin, runsMax);
    return 0;
}
