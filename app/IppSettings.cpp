// SPDX-License-Identifier: Apache-2.0
#include "app/IppSettings.h"

#include <cstdio>
#include <cstdlib>

#include "app/Media.h"
#include "settings/Models.h"
#include "settings/ParseNumber.h"

namespace tvl {

namespace {

bool rangeError(char* message, size_t size, const char* name, long long value, IntRange range)
{
    snprintf(message, size, "%s %lld is outside %d..%d", name, value, range.low, range.high);
    return false;
}

bool vendorError(char* message, size_t size, const char* name, const char* value, const char* expected)
{
    snprintf(message, size, "%s '%s' is not %s", name, value, expected);
    return false;
}

// A vendor number: the built-in value when absent, else checked.
bool vendorInteger(const char* text, const char* name, IntRange range, int32_t builtIn, int32_t* value,
                   char* message, size_t size)
{
    if (text == nullptr) {
        *value = builtIn;
        return true;
    }
    if (parseInt32(text, range.low, range.high, value)) {
        return true;
    }
    char expected[48];
    snprintf(expected, sizeof(expected), "a whole number in %d..%d", range.low, range.high);
    return vendorError(message, size, name, text, expected);
}

int32_t roundToPoints(int32_t hmm)
{
    return static_cast<int32_t>((static_cast<int64_t>(hmm) * 72 + kHmmPerInch / 2) / kHmmPerInch);
}

// A keyword of `choices`, the first when absent: its Settings value.
bool vendorKeyword(const char* text, const char* name, const KeywordChoices& choices, int32_t* value, char* message,
                   size_t size)
{
    const int index = text == nullptr ? 0 : keywordIndex(choices, text);
    if (index < 0) {
        char expected[48];
        snprintf(expected, sizeof(expected), "%s or %s", choices.keywords[0], choices.keywords[1]);
        return vendorError(message, size, name, text, expected);
    }
    *value = choices.values[static_cast<size_t>(index)];
    return true;
}

// The custom range as the refusal says it: "12.7 x 12.7 to 114.3 x 1016 mm".
void describeCustomRange(char* text, size_t size)
{
    snprintf(text, size, "%g x %g to %g x %g mm", inchToMm(kCustomMinSize.width), inchToMm(kCustomMinSize.length),
             inchToMm(kCustomMaxSize.width), inchToMm(kCustomMaxSize.length));
}

}  // namespace

bool writeTimeoutFromIpp(const char* text, int32_t* seconds, char* message, size_t size)
{
    return vendorInteger(text, vendor::kWriteTimeout, kWriteTimeoutRange, kDefaultWriteTimeout, seconds, message,
                         size);
}

int32_t standardSizeFor(std::string_view name, int32_t widthHmm, int32_t lengthHmm)
{
    for (size_t i = 0; i < kStandardMediaNames.size(); ++i) {
        if (!name.empty() && name == std::string_view(kStandardMediaNames[i].data())) {
            return static_cast<int32_t>(i);
        }
    }
    for (size_t i = 0; i < kStandardSizeCount; ++i) {
        const SizeHmm size = standardSizeHmm(i);
        if (std::abs(size.width - widthHmm) <= 10 && std::abs(size.length - lengthHmm) <= 10) {
            return static_cast<int32_t>(i);
        }
    }
    return -1;
}

bool settingsFromIpp(const IppJob& job, Settings* settings, char* message, size_t size)
{
    Settings s{};
    s.modelNumer = job.model;
    s.rotation = 0;
    s.rewinder = 0;
    s.lengthDot = 0;
    s.widthDot = 0;

    if (!isSupportedModel(job.model)) {
        snprintf(message, size, "model %d is not supported", job.model);
        return false;
    }

    // media / media-col: one of the 55 sizes, or a custom size in whole points.
    s.pageSize = standardSizeFor(job.mediaName, job.mediaWidth, job.mediaLength);
    if (s.pageSize >= 0) {
        s.customWidth = 0.0f;
        s.customHeight = 0.0f;
    } else {
        const int32_t width = roundToPoints(job.mediaWidth);
        const int32_t length = roundToPoints(job.mediaLength);
        if (width < kCustomMinPoints || width > kCustomMaxWidthPoints || length < kCustomMinPoints ||
            length > kCustomMaxLengthPoints) {
            char range[64];
            describeCustomRange(range, sizeof(range));
            snprintf(message, size, "media '%.*s' (%.2f x %.2f mm) is outside %s",
                     static_cast<int>(job.mediaName.size()), job.mediaName.data(), job.mediaWidth / 100.0,
                     job.mediaLength / 100.0, range);
            return false;
        }
        s.customWidth = static_cast<float>(width);
        s.customHeight = static_cast<float>(length);
    }

    if (!isPrintResolution(job.resolution)) {
        snprintf(message, size, "printer-resolution %ddpi is not %d, %d or %d dpi", job.resolution, kResolutions[0],
                 kResolutions[1], kResolutions[2]);
        return false;
    }
    s.resolution = job.resolution;

    s.sensorType = job.tracking == Tracking::Gap ? 0 : job.tracking == Tracking::Continuous ? 1 : 2;

    if (!inRange(job.printDarkness, kPrintDarknessRange)) {
        return rangeError(message, size, "print-darkness", job.printDarkness, kPrintDarknessRange);
    }
    if (!inRange(job.darknessConfigured, kDarknessConfiguredRange)) {
        return rangeError(message, size, "printer-darkness-configured", job.darknessConfigured,
                          kDarknessConfiguredRange);
    }
    s.darkness = darknessLevel(job.printDarkness, job.darknessConfigured);

    if (job.printSpeed != 0 && !inRange(job.printSpeed, kPrintSpeedRange)) {
        return rangeError(message, size, "print-speed", job.printSpeed, kPrintSpeedRange);
    }
    s.printSpeed = speedIps(job.printSpeed);

    if (!inRange(job.topOffset, kTopOffsetRange)) {
        return rangeError(message, size, "media-top-offset", job.topOffset, kTopOffsetRange);
    }
    s.bmOffset = roundToMillimetres(job.topOffset);

    if (!inRange(job.copies, kCopiesRange)) {
        return rangeError(message, size, "copies", job.copies, kCopiesRange);
    }
    s.numOfCopies = job.copies;

    int32_t value = 0;
    if (!vendorInteger(job.tearOffOffset, vendor::kTearOffOffset, kTearOffOffsetRange, 0, &value, message, size)) {
        return false;
    }
    s.toOffset = roundToMillimetres(value);
    if (!vendorInteger(job.horizontalMargin, vendor::kHorizontalMargin, kMarginRange, 0, &value, message, size)) {
        return false;
    }
    s.xMargin = roundToMillimetres(value);
    if (!vendorInteger(job.verticalMargin, vendor::kVerticalMargin, kMarginRange, 0, &value, message, size)) {
        return false;
    }
    s.yMargin = roundToMillimetres(value);
    int32_t period = 1;
    if (!vendorInteger(job.cutPeriod, vendor::kCutPeriod, kCutPeriodRange, 1, &period, message, size)) {
        return false;
    }

    if (!vendorKeyword(job.thermalMode, vendor::kThermalMode, kThermalModes, &s.mediaType, message, size) ||
        !vendorKeyword(job.bandCompression, vendor::kBandCompression, kBandCompressions, &s.compressed, message,
                       size)) {
        return false;
    }

    switch (job.labelMode) {
    case LabelMode::TearOff:
        s.cutter = 0;
        s.cutPeriod = period;
        break;
    case LabelMode::Cutter:
        s.cutter = 1;
        s.cutPeriod = 1;
        break;
    case LabelMode::CutterDelayed:
        s.cutter = 1;
        s.cutPeriod = period;
        break;
    case LabelMode::Rewind:
        if (!isRewinderModel(job.model)) {
            snprintf(message, size, "label-mode-configured 'rewind' is not available on model %d", job.model);
            return false;
        }
        s.cutter = 0;
        s.cutPeriod = period;
        s.rewinder = 1;
        break;
    case LabelMode::Other:
        snprintf(message, size, "label-mode-configured is not tear-off, cutter, cutter-delayed or rewind");
        return false;
    }

    *settings = s;
    return true;
}

}  // namespace tvl
