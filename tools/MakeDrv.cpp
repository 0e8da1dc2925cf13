// SPDX-License-Identifier: Apache-2.0
// Writes the PPD source from ppd/tavelin.drv.in: a line "@LABEL_SIZES@"
// becomes one CustomMedia line per standard size, "@CUSTOM_SIZE_RANGE@" the
// MinSize and MaxSize lines, "@RESOLUTIONS@" one Resolution line per print
// head, all from settings/Capabilities.h; "@VERSION@" anywhere becomes the
// project's version. Every other line is copied as it is.
//
//   tvl-make-drv TEMPLATE OUTPUT
#include <cstdio>
#include <memory>
#include <string_view>

#include "settings/Capabilities.h"
#include "settings/Version.h"

namespace tvl {

namespace {

struct FileClose {
    void operator()(FILE* file) const { fclose(file); }
};
using File = std::unique_ptr<FILE, FileClose>;

void writeLabelSizes(FILE* out)
{
    for (size_t n = 0; n < kStandardSizeCount; ++n) {
        const LabelSizeInch size = kLabelSizes[n];
        const int32_t width = inchToPoints(size.width);
        const int32_t length = inchToPoints(size.length);
        const char mark = static_cast<int32_t>(n) == kDefaultSizeNumber ? '*' : ' ';
        // The same PostScript for the page and for the region.
        fprintf(out,
                "%cCustomMedia \"%zu/%d.%02d x %d.%02d in\" %d %d 0 0 0 0 "
                "\"<</PageSize[%d %d]/ImagingBBox null>>setpagedevice\" "
                "\"<</PageSize[%d %d]/ImagingBBox null>>setpagedevice\"\n",
                mark, n, size.width / 100, size.width % 100, size.length / 100, size.length % 100, width, length,
                width, length, width, length);
    }
}

void writeCustomSizeRange(FILE* out)
{
    fprintf(out, "MinSize %d %d\nMaxSize %d %d\n", inchToPoints(kCustomMinSize.width),
            inchToPoints(kCustomMinSize.length), inchToPoints(kCustomMaxSize.width),
            inchToPoints(kCustomMaxSize.length));
}

void writeResolutions(FILE* out)
{
    for (int32_t dpi : kResolutions) {
        fprintf(out, "%cResolution k 1 0 0 0 \"%ddpi/%d dpi\"\n", dpi == kDefaultResolution ? '*' : ' ', dpi, dpi);
    }
}

// A template line with every "@VERSION@" replaced.
void writeLine(FILE* out, std::string_view line)
{
    constexpr std::string_view marker = "@VERSION@";
    for (size_t at = line.find(marker); at != std::string_view::npos; at = line.find(marker)) {
        fwrite(line.data(), 1, at, out);
        fputs(TVL_VERSION, out);
        line.remove_prefix(at + marker.size());
    }
    fwrite(line.data(), 1, line.size(), out);
}

}  // namespace

}  // namespace tvl

int main(int argc, char* argv[])
{
    using namespace tvl;
    if (argc != 3) {
        fprintf(stderr, "Usage: tvl-make-drv TEMPLATE OUTPUT\n");
        return 2;
    }
    File in(fopen(argv[1], "r"));
    if (!in) {
        perror(argv[1]);
        return 1;
    }
    File out(fopen(argv[2], "w"));
    if (!out) {
        perror(argv[2]);
        return 1;
    }
    char line[1024];
    while (fgets(line, sizeof(line), in.get()) != nullptr) {
        const std::string_view text(line);
        if (text == "@LABEL_SIZES@\n") {
            writeLabelSizes(out.get());
        } else if (text == "@CUSTOM_SIZE_RANGE@\n") {
            writeCustomSizeRange(out.get());
        } else if (text == "@RESOLUTIONS@\n") {
            writeResolutions(out.get());
        } else {
            writeLine(out.get(), text);
        }
    }
    if (ferror(in.get()) || fflush(out.get()) != 0 || ferror(out.get())) {
        fprintf(stderr, "tvl-make-drv: cannot write %s\n", argv[2]);
        return 1;
    }
    return 0;
}
