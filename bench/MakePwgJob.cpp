// tvl-bench-pwg OUTPUT LABELS [SEED]
//
// Writes the printer application benchmark's job: LABELS labels of 4 x 6 in
// at 203 dpi as one sgray_8 PWG raster document (media oe_4x6-label_4x6in),
// the filter benchmark's seeded label content in gray, 0 black and 255 white.
// tvl-bench-job with the same seed writes the same labels as 1-bit CUPS
// raster, against which tvl-inspect --expect-raster checks a printed stream.
#include <cinttypes>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "bench/LabelContent.h"
#include "bench/PwgJob.h"

int main(int argc, char* argv[])
{
    if (argc < 3 || argc > 4) {
        fprintf(stderr, "usage: %s OUTPUT LABELS [SEED]\n", argv[0]);
        return 2;
    }
    char* end = nullptr;
    const unsigned long labels = strtoul(argv[2], &end, 10);
    if (*end != '\0' || labels == 0 || labels > 100000) {
        fprintf(stderr, "%s: LABELS must be 1 to 100000\n", argv[0]);
        return 2;
    }
    const uint64_t seed = argc > 3 ? strtoull(argv[3], nullptr, 10) : bench::kDefaultSeed;

    const int fd = open(argv[1], O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd < 0) {
        perror(argv[1]);
        return 1;
    }
    const bench::PwgJobResult result = bench::writePwgJob(fd, static_cast<unsigned>(labels), seed);
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
    printf("%s: %u labels of %u x %u pixels, %s, %s, %u dpi, seed %" PRIu64 ", %lld bytes\n", argv[1],
           result.labels, bench::kLabelWidth, bench::kLabelHeight, bench::kPwgType, bench::kPwgMedia,
           bench::kPwgDpi, seed, static_cast<long long>(st.st_size));
    return 0;
}
