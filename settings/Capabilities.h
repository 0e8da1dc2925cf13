// SPDX-License-Identifier: Apache-2.0
// What the printers offer, in one place: the standard label sizes, the
// custom size range, the print heads' resolutions, the vendor keywords and
// the ranges of the settings. The filter's size table, the printer
// application's media and attributes, its web pages and the PPD source
// (tools/MakeDrv.cpp writes the .drv's sizes from here) all read this table.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace tvl {

// A label size in hundredths of an inch: width across the print head by
// length along the feed.
struct LabelSizeInch {
    int32_t width;
    int32_t length;
};

// The standard sizes carry the filter's size numbers. Sizes 0..53 are a grid
// of six widths by nine lengths, number = 9 * width row + length column; the
// sizes after the grid follow from 54 on.
inline constexpr std::array<int32_t, 6> kGridWidths = {150, 200, 250, 300, 350, 400};
inline constexpr std::array<int32_t, 9> kGridLengths = {100, 150, 200, 300, 400, 500, 600, 700, 800};
inline constexpr std::array<LabelSizeInch, 1> kSizesAfterGrid = {{
    {400, 1200},  // 54
}};

inline constexpr size_t kStandardSizeCount = kGridWidths.size() * kGridLengths.size() + kSizesAfterGrid.size();

// Standard size n is kLabelSizes[n].
inline constexpr std::array<LabelSizeInch, kStandardSizeCount> kLabelSizes = [] {
    std::array<LabelSizeInch, kStandardSizeCount> sizes{};
    size_t n = 0;
    for (int32_t width : kGridWidths) {
        for (int32_t length : kGridLengths) {
            sizes[n++] = {width, length};
        }
    }
    for (const LabelSizeInch& size : kSizesAfterGrid) {
        sizes[n++] = size;
    }
    return sizes;
}();
inline constexpr int32_t kDefaultSizeNumber = 51;  // 4 x 6 in

// The custom sizes: 0.5 x 0.5 in up to 4.5 x 40 in.
inline constexpr LabelSizeInch kCustomMinSize = {50, 50};
inline constexpr LabelSizeInch kCustomMaxSize = {450, 4000};
static_assert([] {
    for (const LabelSizeInch& size : kLabelSizes) {
        if (size.width > kCustomMaxSize.width || size.length > kCustomMaxSize.length) {
            return false;
        }
    }
    return true;
}(), "the largest custom size is the largest label (settings/PageLimit.h)");

// Hundredths of an inch to hundredths of a millimetre (exact for the sizes
// above: all are whole tenths of an inch), to millimetres (the nearest
// double, as the literal 38.1 would be) and to whole points.
constexpr int32_t inchToHmm(int32_t inch) { return inch * 254 / 10; }
constexpr double inchToMm(int32_t inch) { return inchToHmm(inch) / 100.0; }
constexpr int32_t inchToPoints(int32_t inch) { return inch * 72 / 100; }

// The print heads there are: dots per inch, and the dots per millimetre the
// filter counts with. The first is the default, the last the finest.
struct PrintHead {
    int32_t dpi;
    float dotsPerMm;
};
inline constexpr std::array<PrintHead, 3> kPrintHeads = {{{203, 8.0f}, {300, 11.8f}, {600, 23.6f}}};

inline constexpr std::array<int32_t, kPrintHeads.size()> kResolutions = [] {
    std::array<int32_t, kPrintHeads.size()> dpi{};
    for (size_t i = 0; i < kPrintHeads.size(); ++i) {
        dpi[i] = kPrintHeads[i].dpi;
    }
    return dpi;
}();
inline constexpr int32_t kDefaultResolution = kResolutions.front();
static_assert([] {
    for (size_t i = 1; i < kResolutions.size(); ++i) {
        if (kResolutions[i - 1] >= kResolutions[i]) {
            return false;
        }
    }
    return true;
}(), "the print heads from the coarsest to the finest");

// The resolutions as a message lists them: "203, 300 or 600".
inline constexpr std::array<char, 64> kResolutionsText = [] {
    std::array<char, 64> text{};
    size_t n = 0;
    for (size_t i = 0; i < kResolutions.size(); ++i) {
        const char* separator = i == 0 ? "" : i + 1 == kResolutions.size() ? " or " : ", ";
        while (*separator != '\0') {
            text[n++] = *separator++;
        }
        char digits[10];
        size_t count = 0;
        for (int32_t dpi = kResolutions[i]; dpi > 0; dpi /= 10) {
            digits[count++] = static_cast<char>('0' + dpi % 10);
        }
        while (count > 0) {
            text[n++] = digits[--count];
        }
    }
    return text;
}();

constexpr bool isPrintResolution(int64_t dpi)
{
    for (int32_t r : kResolutions) {
        if (r == dpi) {
            return true;
        }
    }
    return false;
}

// A vendor keyword attribute: its keywords (the first is the default), the
// web page's text for each, and the Settings value each stands for.
struct KeywordChoices {
    std::array<const char*, 2> keywords;
    std::array<const char*, 2> texts;
    std::array<int32_t, 2> values;
};

// Settings::mediaType.
inline constexpr KeywordChoices kThermalModes = {
    {"direct-thermal", "thermal-transfer"}, {"Direct thermal", "Thermal transfer"}, {0, 1}};
// Settings::compressed.
inline constexpr KeywordChoices kBandCompressions = {{"run-length", "raw"}, {"Run-length compressed", "Raw"}, {1, 0}};

// The index of `keyword` among the choices, -1 for none.
constexpr int keywordIndex(const KeywordChoices& choices, std::string_view keyword)
{
    for (size_t i = 0; i < choices.keywords.size(); ++i) {
        if (keyword == choices.keywords[i]) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

// The ranges of the settings, in the units of their IPP attributes.
struct IntRange {
    int32_t low;
    int32_t high;
};

constexpr bool inRange(int64_t value, IntRange range)
{
    return value >= range.low && value <= range.high;
}

// A range of hundredths of millimetres in whole millimetres.
constexpr IntRange millimetreRange(IntRange hmm)
{
    return {hmm.low / 100, hmm.high / 100};
}

inline constexpr IntRange kTearOffOffsetRange = {-1000, 1000};  // hundredths of mm
inline constexpr IntRange kCutPeriodRange = {1, 1000};          // labels
inline constexpr IntRange kMarginRange = {0, 1000};             // hundredths of mm
inline constexpr IntRange kTopOffsetRange = {0, 1000};          // hundredths of mm
inline constexpr IntRange kPrintDarknessRange = {-100, 100};
inline constexpr IntRange kDarknessConfiguredRange = {0, 100};
inline constexpr int32_t kDefaultDarknessConfigured = 50;
inline constexpr int32_t kPrintDarknessLevels = 16;             // the printer's 0..15
// The level a label prints at by default: the PPDs' default Darkness, and a
// new printer's printer-darkness-configured of 50 with no print-darkness.
inline constexpr int32_t kDefaultDarknessLevel = 8;
inline constexpr int32_t kHmmPerInch = 2540;
inline constexpr IntRange kSpeedRangeIps = {1, 6};
inline constexpr IntRange kPrintSpeedRange = {kSpeedRangeIps.low * kHmmPerInch,
                                              kSpeedRangeIps.high * kHmmPerInch};  // 0 too: the default
inline constexpr int32_t kDefaultSpeedIps = 4;
inline constexpr IntRange kCopiesRange = {1, 9999};
inline constexpr IntRange kWriteTimeoutRange = {1, 3600};      // seconds
inline constexpr int32_t kDefaultWriteTimeout = 60;

}  // namespace tvl
