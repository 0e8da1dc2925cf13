// SPDX-License-Identifier: Apache-2.0
// IPP job attributes to the driver's Settings record: a pure mapping over a
// plain record, so that every rule is tested without a server.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "settings/Capabilities.h"
#include "settings/Settings.h"

namespace tvl {

enum class Tracking { Gap, Continuous, Mark };
enum class LabelMode { TearOff, Cutter, CutterDelayed, Rewind, Other };

// The vendor attributes every printer has (job attribute NAME, printer
// attributes NAME-default and NAME-supported); their ranges and keywords are
// in settings/Capabilities.h.
namespace vendor {
inline constexpr char kTearOffOffset[] = "tear-off-offset";     // hundredths of mm
inline constexpr char kCutPeriod[] = "cut-period";              // labels
inline constexpr char kHorizontalMargin[] = "horizontal-margin"; // hundredths of mm
inline constexpr char kVerticalMargin[] = "vertical-margin";     // hundredths of mm
inline constexpr char kThermalMode[] = "thermal-mode";          // kThermalModes
inline constexpr char kBandCompression[] = "band-compression";  // kBandCompressions
inline constexpr char kWriteTimeout[] = "write-timeout";        // seconds
inline constexpr size_t kCount = 7;
}  // namespace vendor

// One job's attributes, each the job's own value or else the printer's
// default. Vendor values are the texts IPP carried (nullptr when neither
// the job nor the printer has one: the built-in default applies).
struct IppJob {
    int32_t model = 0;
    std::string_view mediaName;   // PWG name; may be empty
    int32_t mediaWidth = 0;       // hundredths of mm
    int32_t mediaLength = 0;      // hundredths of mm
    int32_t resolution = 0;       // dots per inch
    Tracking tracking = Tracking::Gap;
    int32_t printDarkness = 0;        // kPrintDarknessRange
    int32_t darknessConfigured = kDefaultDarknessConfigured;
    int32_t printSpeed = 0;           // hundredths of mm/s; 0: the printer's default
    LabelMode labelMode = LabelMode::TearOff;
    int32_t topOffset = 0;            // hundredths of mm
    int32_t copies = 1;
    const char* tearOffOffset = nullptr;
    const char* cutPeriod = nullptr;
    const char* horizontalMargin = nullptr;
    const char* verticalMargin = nullptr;
    const char* thermalMode = nullptr;
    const char* bandCompression = nullptr;
};

// Fills *settings (lengthDot and widthDot from computeLabelSize's rules are
// left to the caller, rotation 0) and returns true; or returns false with a
// one-line message naming the attribute and value that cannot print.
bool settingsFromIpp(const IppJob& job, Settings* settings, char* message, size_t size);

// write-timeout: the seconds a network printer may take no data before its
// job is aborted with "printer not responding". `text` is the job's or the
// printer's value, nullptr for neither (kDefaultWriteTimeout). false with a
// message naming the value when it is not a whole number in
// kWriteTimeoutRange.
bool writeTimeoutFromIpp(const char* text, int32_t* seconds, char* message, size_t size);

// Standard size number of a PWG name, or else of a size within 0.1 mm of
// one; -1 for none.
int32_t standardSizeFor(std::string_view name, int32_t widthHmm, int32_t lengthHmm);

// Hundredths of millimetres to whole millimetres, rounded half away from 0.
constexpr int32_t roundToMillimetres(int32_t hmm)
{
    return hmm >= 0 ? (hmm + 50) / 100 : -((-hmm + 50) / 100);
}

// print-darkness over printer-darkness-configured to the printer's levels
// (0..kPrintDarknessLevels - 1).
constexpr int32_t darknessLevel(int32_t printDarkness, int32_t configured)
{
    constexpr int32_t top = kDarknessConfiguredRange.high;
    int32_t sum = printDarkness + configured;
    sum = sum < 0 ? 0 : sum > top ? top : sum;
    return (sum * (kPrintDarknessLevels - 1) + top / 2) / top;
}

static_assert(darknessLevel(0, kDefaultDarknessConfigured) == kDefaultDarknessLevel);

// print-speed (hundredths of mm/s) to whole inches per second.
constexpr int32_t speedIps(int32_t printSpeed)
{
    return printSpeed == 0 ? kDefaultSpeedIps : (printSpeed + kHmmPerInch / 2) / kHmmPerInch;
}

}  // namespace tvl
