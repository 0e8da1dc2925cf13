// SPDX-License-Identifier: Apache-2.0
// Writes the PPD source from ppd/tavelin.drv.in: a line "@LABEL_SIZES@"
// becomes one CustomMedia line per standard size, "@CUSTOM_SIZE_RANGE@" the
// MinSize and MaxSize lines, "@RESOLUTIONS@" one Resolution line per print
// head, a line naming a numeric option's values ("@DARKNESS_LEVELS@", …)
// one Choice line per value, all from settings/Capabilities.h; within a
// line, "@VERSION@" becomes the project's version and "@COPIES_RANGE@" or
// "@CUT_PERIOD_RANGE@" the lowest and highest value of a custom parameter.
// Every other line is copied as it is.
//
//   tvl-make-drv TEMPLATE OUTPUT
#include <array>
#include <cstdio>
#include <memory>
#include <string>
#include <string_view>

#include "output/Fd.h"
#include "settings/Capabilities.h"
#include "settings/Version.h"

namespace tvl {

namespace {

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

// An option whose choices are whole numbers, each choice's keyword the value
// the filter reads: "8/8", "4/4 in/s", "-3/-3 mm".
struct NumberChoices {
    std::string_view marker;
    IntRange values;
    int32_t defaultValue;
    const char* unit;
};

constexpr std::array<NumberChoices, 5> kNumberChoices{{
    {"@BLACK_MARK_OFFSETS@\n", millimetreRange(kTopOffsetRange), 0, " mm"},
    {"@TEAR_OFF_OFFSETS@\n", millimetreRange(kTearOffOffsetRange), 0, " mm"},
    {"@DARKNESS_LEVELS@\n", {0, kPrintDarknessLevels - 1}, kDefaultDarknessLevel, ""},
    {"@PRINT_SPEEDS@\n", kSpeedRangeIps, kDefaultSpeedIps, " in/s"},
    {"@MARGINS@\n", millimetreRange(kMarginRange), 0, " mm"},
}};

void writeChoices(FILE* out, const NumberChoices& choices)
{
    for (int32_t value = choices.values.low; value <= choices.values.high; ++value) {
        fprintf(out, "   %cChoice \"%d/%d%s\" \"\"\n", value == choices.defaultValue ? '*' : ' ', value, value,
                choices.unit);
    }
}

std::string rangeText(IntRange range)
{
    return std::to_string(range.low) + " " + std::to_string(range.high);
}

// A template line with every in-line marker replaced.
void writeLine(FILE* out, std::string_view line)
{
    const std::string copies = rangeText(kCopiesRange);
    const std::string cutPeriod = rangeText(kCutPeriodRange);
    const std::array<std::pair<std::string_view, std::string_view>, 3> markers{{
        {"@VERSION@", TVL_VERSION},
        {"@COPIES_RANGE@", copies},
        {"@CUT_PERIOD_RANGE@", cutPeriod},
    }};
    for (const auto& [marker, text] : markers) {
        for (size_t at = line.find(marker); at != std::string_view::npos; at = line.find(marker)) {
            fwrite(line.data(), 1, at, out);
            fwrite(text.data(), 1, text.size(), out);
            line.remove_prefix(at + marker.size());
        }
    }
    fwrite(line.data(), 1, line.size(), out);
}

// Writes the lines a whole-line marker stands for; false for any other line.
bool writeMarkedLines(FILE* out, std::string_view line)
{
    if (line == "@LABEL_SIZES@\n") {
        writeLabelSizes(out);
    } else if (line == "@CUSTOM_SIZE_RANGE@\n") {
        writeCustomSizeRange(out);
    } else if (line == "@RESOLUTIONS@\n") {
        writeResolutions(out);
    } else {
        for (const NumberChoices& choices : kNumberChoices) {
            if (line == choices.marker) {
                writeChoices(out, choices);
                return true;
            }
        }
        return false;
    }
    return true;
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
    UniqueFile in(fopen(argv[1], "r"));
    if (!in) {
        perror(argv[1]);
        return 1;
    }
    UniqueFile out(fopen(argv[2], "w"));
    if (!out) {
        perror(argv[2]);
        return 1;
    }
    char line[1024];
    while (fgets(line, sizeof(line), in.get()) != nullptr) {
        const std::string_view text(line);
        if (!writeMarkedLines(out.get(), text)) {
            writeLine(out.get(), text);
        }
    }
    if (ferror(in.get()) || fflush(out.get()) != 0 || ferror(out.get())) {
        fprintf(stderr, "tvl-make-drv: cannot write %s\n", argv[2]);
        return 1;
    }
    return 0;
}
