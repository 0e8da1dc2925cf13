#include "app/IppSettings.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "app/Media.h"
#include "settings/Models.h"

namespace {

// A whole decimal number and nothing else, within `range`.
bool parseInteger(const char* text, IntRange range, int32_t* value)
{
    if (text == nullptr || *text == '\0') {
        return false;
    }
    errno = 0;
    char* end = nullptr;
    const long parsed = strtol(text, &end, 10);
    if (errno != 0 || end == text || *end != '\0' || parsed < range.low || parsed > range.high) {
        return false;
    }
    *value = static_cast<int32_t>(parsed);
    return true;
}

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
    if (parseInteger(text, range, value)) {
        return true;
    }
    char expected[48];
    snprintf(expected, sizeof(expected), "a whole number in %d..%d", range.low, range.high);
    return vendorError(message, size, name, text, expected);
}

bool inRange(int32_t value, IntRange range)
{
    return value >= range.low && value <= range.high;
}

int32_t roundToPoints(int32_t hmm)
{
    return static_cast<int32_t>((static_cast<int64_t>(hmm) * 72 + 1270) / 2540);
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
            snprintf(message, size, "media '%.*s' (%.2f x %.2f mm) is outside 12.7 x 12.7 to 114.3 x 1016 mm",
                     static_cast<int>(job.mediaName.size()), job.mediaName.data(), job.mediaWidth / 100.0,
                     job.mediaLength / 100.0);
            return false;
        }
        s.customWidth = static_cast<float>(width);
        s.customHeight = static_cast<float>(length);
    }

    if (job.resolution != 203 && job.resolution != 300 && job.resolution != 600) {
        snprintf(message, size, "printer-resolution %ddpi is not 203, 300 or 600 dpi", job.resolution);
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

    if (job.copies < 1 || job.copies > 9999) {
        return rangeError(message, size, "copies", job.copies, IntRange{1, 9999});
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

    if (job.thermalMode == nullptr || strcmp(job.thermalMode, "direct-thermal") == 0) {
        s.mediaType = 0;
    } else if (strcmp(job.thermalMode, "thermal-transfer") == 0) {
        s.mediaType = 1;
    } else {
        return vendorError(message, size, vendor::kThermalMode, job.thermalMode,
                           "direct-thermal or thermal-transfer");
    }

    if (job.bandCompression == nullptr || strcmp(job.bandCompression, "run-length") == 0) {
        s.compressed = 1;
    } else if (strcmp(job.bandCompression, "raw") == 0) {
        s.compressed = 0;
    } else {
        return vendorError(message, size, vendor::kBandCompression, job.bandCompression, "run-length or raw");
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
