// SPDX-License-Identifier: Apache-2.0
// tvl-bench-pwg [--reference ROWS] OUTPUT LABELS [SEED]
//
// Writes the printer application benchmark's job: LABELS labels of 4 x 6 in
// at 203 dpi as one sgray_8 PWG raster document (media oe_4x6-label_4x6in),
// the filter benchmark's seeded label content in gray, 0 black and 255 white.
//
// With --reference ROWS, writes instead the same labels as 1-bit CUPS raster,
// each page cut or padded with white to ROWS rows (the label length in dots
// that the printed stream's setup block names), against which
// tvl-inspect --expect-raster checks what a driver printed from the job.
#include <cinttypes>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "bench/LabelContent.h"
#include "bench/PwgJob.h"
#include "settings/ParseNumber.h"

namespace tvl {

}  // namespace tvl

int main(int argc, char* argv[])
{
    using namespace tvl;
    int32_t rows = 0;
    if (argc > 2 && strcmp(argv[1], "--reference") == 0) {
        if (!parseInt32(argv[2], 1, 65536, &rows)) {
            fprintf(stderr, "%s: ROWS must be 1 to 65536\n", argv[0]);
            return 2;
        }
        argv += 2;
        argc -= 2;
    }
    if (argc < 3 || argc > 4) {
        fprintf(stderr, "usage: %s [--reference ROWS] OUTPUT LABELS [SEED]\n", argv[0]);
        return 2;
    }
    int32_t labels = 0;
    if (!parseInt32(argv[2], 1, 100000, &labels)) {
        fprintf(stderr, "%s: LABELS must be 1 to 100000\n", argv[0]);
        return 2;
    }
    // A seed takes all 64 bits, beyond the 32-bit parser.
    const uint64_t seed = argc > 3 ? strtoull(argv[3], nullptr, 10) : bench::kDefaultSeed;

    const int fd = open(argv[1], O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd < 0) {
        perror(argv[1]);
        return 1;
    }
    const bench::PwgJobResult result =
        rows != 0 ? bench::writeReferenceJob(fd, static_cast<unsigned>(labels), seed, static_cast<unsigned>(rows))
                  : bench::writePwgJob(fd, static_cast<unsigned>(labels), seed);
    if (close(fd) != 0 && result.ok) {
        perror(argv[1]);
        return 1;
    }
    if (!result.ok) {
        fprintf(stderr, "%s: %s (after %u labels)\n", argv[1], result.reason, result.labels);
        return 1;
    }
    struct stat st {};
    if (stat(argv[1], &st) != 0) {
        perror(argv[1]);
        return 1;
    }
    if (rows != 0) {
        printf("%s: %u reference labels of %u x %d pixels, 1-bit CUPS raster, seed %" PRIu64 ", %lld bytes\n",
               argv[1], result.labels, bench::kLabelWidth, rows, seed, static_cast<long long>(st.st_size));
        return 0;
    }
    printf("%s: %u labels of %u x %u pixels, %s, %s, %u dpi, seed %" PRIu64 ", %lld bytes\n", argv[1],
           result.labels, bench::kLabelWidth, bench::kLabelHeight, bench::kPwgType, bench::kPwgMedia,
           bench::kPwgDpi, seed, static_cast<long long>(st.st_size));
    return 0;
}
