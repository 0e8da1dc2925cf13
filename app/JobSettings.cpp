// SPDX-License-Identifier: Apache-2.0
#include "app/JobSettings.h"

#include <cstdio>
#include <memory>

#include "app/IppSettings.h"
#include "app/PrinterData.h"
#include "settings/LabelSize.h"
#include "settings/Units.h"

namespace tvl {

namespace {

struct IppDelete {
    void operator()(ipp_t* ipp) const { ippDelete(ipp); }
};
using IppPtr = std::unique_ptr<ipp_t, IppDelete>;

// The printer's driver attributes, copied from it only when a vendor value
// is not among the job's options (the copy holds the whole media database).
struct DriverAttributes {
    pappl_printer_t* printer;
    IppPtr attrs;
    ipp_t* get()
    {
        if (!attrs) {
            attrs.reset(papplPrinterGetDriverAttributes(printer));
        }
        return attrs.get();
    }
};

// The text of one vendor value: the job's own, else the printer's
// NAME-default, else nullptr. Integers are written into `buffer`.
const char* vendorValue(const pappl_pr_options_t* options, DriverAttributes* driverAttrs, const char* name,
                        char* buffer, size_t size)
{
    const char* value = cupsGetOption(name, options->num_vendor, options->vendor);
    if (value != nullptr) {
        return value;
    }
    char defaultName[64];
    snprintf(defaultName, sizeof(defaultName), "%s-default", name);
    ipp_t* attrs = driverAttrs->get();
    ipp_attribute_t* attr = attrs ? ippFindAttribute(attrs, defaultName, IPP_TAG_ZERO) : nullptr;
    if (attr == nullptr) {
        return nullptr;
    }
    switch (ippGetValueTag(attr)) {
    case IPP_TAG_INTEGER:
    case IPP_TAG_ENUM:
        snprintf(buffer, size, "%d", ippGetInteger(attr, 0));
        return buffer;
    case IPP_TAG_KEYWORD:
    case IPP_TAG_NAME:
    case IPP_TAG_TEXT: {
        const char* text = ippGetString(attr, 0, nullptr);
        snprintf(buffer, size, "%s", text ? text : "");
        return buffer;
    }
    default:
        snprintf(buffer, size, "(%s)", ippTagString(ippGetValueTag(attr)));
        return buffer;
    }
}

Tracking trackingOf(pappl_media_tracking_t tracking)
{
    switch (tracking) {
    case PAPPL_MEDIA_TRACKING_CONTINUOUS:
        return Tracking::Continuous;
    case PAPPL_MEDIA_TRACKING_MARK:
        return Tracking::Mark;
    default:
        return Tracking::Gap;  // gap and web
    }
}

LabelMode labelModeOf(pappl_label_mode_t mode)
{
    switch (mode) {
    case PAPPL_LABEL_MODE_TEAR_OFF:
        return LabelMode::TearOff;
    case PAPPL_LABEL_MODE_CUTTER:
        return LabelMode::Cutter;
    case PAPPL_LABEL_MODE_CUTTER_DELAYED:
        return LabelMode::CutterDelayed;
    case PAPPL_LABEL_MODE_REWIND:
        return LabelMode::Rewind;
    default:
        return LabelMode::Other;
    }
}

}  // namespace

bool jobWriteTimeout(pappl_job_t* job, const pappl_pr_options_t* options, int32_t* seconds, char* message,
                     size_t size)
{
    DriverAttributes driverAttrs{papplJobGetPrinter(job), nullptr};
    char text[32];
    return writeTimeoutFromIpp(vendorValue(options, &driverAttrs, vendor::kWriteTimeout, text, sizeof(text)),
                               seconds, message, size);
}

bool jobSettings(pappl_job_t* job, const pappl_pr_options_t* options, int32_t resolution, Settings* settings,
                 int32_t* writeTimeout, char* message, size_t size)
{
    pappl_printer_t* printer = papplJobGetPrinter(job);
    pappl_pr_driver_data_t data;
    if (papplPrinterGetDriverData(printer, &data) == nullptr) {
        snprintf(message, size, "the printer's driver data cannot be read");
        return false;
    }
    DriverAttributes driverAttrs{printer, nullptr};

    IppJob in;
    in.model = modelOfDriver(papplPrinterGetDriverName(printer));
    in.mediaName = options->media.size_name;
    in.mediaWidth = options->media.size_width;
    in.mediaLength = options->media.size_length;
    in.resolution = resolution;
    in.tracking = trackingOf(options->media.tracking);
    in.printDarkness = options->print_darkness;
    in.darknessConfigured = options->darkness_configured;
    in.printSpeed = options->print_speed;
    in.labelMode = labelModeOf(data.mode_configured);
    in.topOffset = options->media.top_offset;
    in.copies = options->copies;

    char tearOff[32], cutPeriod[32], xMargin[32], yMargin[32], thermal[64], compression[64];
    in.tearOffOffset = vendorValue(options, &driverAttrs, vendor::kTearOffOffset, tearOff, sizeof(tearOff));
    in.cutPeriod = vendorValue(options, &driverAttrs, vendor::kCutPeriod, cutPeriod, sizeof(cutPeriod));
    in.horizontalMargin = vendorValue(options, &driverAttrs, vendor::kHorizontalMargin, xMargin, sizeof(xMargin));
    in.verticalMargin = vendorValue(options, &driverAttrs, vendor::kVerticalMargin, yMargin, sizeof(yMargin));
    in.thermalMode = vendorValue(options, &driverAttrs, vendor::kThermalMode, thermal, sizeof(thermal));
    in.bandCompression =
        vendorValue(options, &driverAttrs, vendor::kBandCompression, compression, sizeof(compression));

    char timeout[32];
    Settings s{};
    if (!settingsFromIpp(in, &s, message, size) ||
        !writeTimeoutFromIpp(vendorValue(options, &driverAttrs, vendor::kWriteTimeout, timeout, sizeof(timeout)),
                             writeTimeout, message, size)) {
        return false;
    }
    computeLabelSize(&s, dotsPerMillimetre(s.resolution));
    *settings = s;
    return true;
}

ContentOptimize contentOptimizeOf(pappl_content_t content)
{
    // No value at all is "auto", as libpappl reports it.
    if (content == PAPPL_CONTENT_AUTO || static_cast<int>(content) == 0) {
        return ContentOptimize::Auto;
    }
    return content == PAPPL_CONTENT_PHOTO ? ContentOptimize::Photo : ContentOptimize::TextAndGraphics;
}

}  // namespace tvl
