// SPDX-License-Identifier: Apache-2.0
#include "app/Drivers.h"

#include <cstdio>
#include <cstring>
#include <iterator>

#include "app/DeviceId.h"
#include "app/DocumentJob.h"
#include "app/DitherMatrix.h"
#include "app/EverywhereAttributes.h"
#include "app/IppSettings.h"
#include "app/Media.h"
#include "app/RasterJob.h"

namespace tvl {

namespace {

constexpr char kSource[] = "main-roll";
constexpr const char* kMediaTypes[] = {"labels", "labels-continuous"};
constexpr int kMarginHmm = 1;  // non-zero: see the README on margins
constexpr int kDefaultSpeed = kDefaultSpeedIps * kHmmPerInch;
constexpr int kPagesPerMinute = 30;

void setReadyMedia(pappl_media_col_t* media, const char* name, int width, int length)
{
    memset(media, 0, sizeof(*media));
    media->bottom_margin = media->top_margin = kMarginHmm;
    media->left_margin = media->right_margin = kMarginHmm;
    media->size_width = width;
    media->size_length = length;
    snprintf(media->size_name, sizeof(media->size_name), "%s", name);
    snprintf(media->source, sizeof(media->source), "%s", kSource);
    snprintf(media->type, sizeof(media->type), "%s", kMediaTypes[0]);
    media->tracking = PAPPL_MEDIA_TRACKING_GAP;
}

void identify(pappl_printer_t* printer, pappl_identify_actions_t, const char*)
{
    papplLogPrinter(printer, PAPPL_LOGLEVEL_INFO, "Identify-Printer: nothing to show on this printer");
}

// The driver's own printer attributes: the vendor attributes and the two
// defaults libpappl does not return.
ipp_t* driverAttributes(int darknessDefault, int speedDefault, ipp_t* current)
{
    ipp_t* attrs = ippNew();
    if (attrs == nullptr) {
        return nullptr;
    }
    auto currentInteger = [current](const char* name, int fallback) {
        ipp_attribute_t* attr = current ? ippFindAttribute(current, name, IPP_TAG_INTEGER) : nullptr;
        return attr ? ippGetInteger(attr, 0) : fallback;
    };
    auto currentKeyword = [current](const char* name, const char* fallback) {
        ipp_attribute_t* attr = current ? ippFindAttribute(current, name, IPP_TAG_KEYWORD) : nullptr;
        const char* value = attr ? ippGetString(attr, 0, nullptr) : nullptr;
        return value ? value : fallback;
    };
    struct IntegerVendor {
        const char* name;
        IntRange range;
        int builtIn;
    };
    const IntegerVendor integers[] = {
        {vendor::kTearOffOffset, kTearOffOffsetRange, 0},
        {vendor::kCutPeriod, kCutPeriodRange, kCutPeriodRange.low},
        {vendor::kHorizontalMargin, kMarginRange, 0},
        {vendor::kVerticalMargin, kMarginRange, 0},
        {vendor::kWriteTimeout, kWriteTimeoutRange, kDefaultWriteTimeout},
    };
    char name[64];
    for (const IntegerVendor& v : integers) {
        snprintf(name, sizeof(name), "%s-supported", v.name);
        ippAddRange(attrs, IPP_TAG_PRINTER, name, v.range.low, v.range.high);
        snprintf(name, sizeof(name), "%s-default", v.name);
        const int value = currentInteger(name, v.builtIn);
        ippAddInteger(attrs, IPP_TAG_PRINTER, IPP_TAG_INTEGER, name, value);
    }
    struct KeywordVendor {
        const char* name;
        const KeywordChoices& choices;
    };
    const KeywordVendor keywords[] = {
        {vendor::kThermalMode, kThermalModes},
        {vendor::kBandCompression, kBandCompressions},
    };
    for (const KeywordVendor& v : keywords) {
        snprintf(name, sizeof(name), "%s-supported", v.name);
        ippAddStrings(attrs, IPP_TAG_PRINTER, IPP_TAG_KEYWORD, name, static_cast<int>(v.choices.keywords.size()),
                      nullptr, v.choices.keywords.data());
        snprintf(name, sizeof(name), "%s-default", v.name);
        ippAddString(attrs, IPP_TAG_PRINTER, IPP_TAG_KEYWORD, name, nullptr,
                     currentKeyword(name, v.choices.keywords[0]));
    }

    ippAddInteger(attrs, IPP_TAG_PRINTER, IPP_TAG_INTEGER, "print-darkness-default", darknessDefault);
    ippAddInteger(attrs, IPP_TAG_PRINTER, IPP_TAG_INTEGER, "print-speed-default", speedDefault);
    if (!addEverywhereAttributes(attrs)) {
        ippDelete(attrs);
        return nullptr;
    }
    return attrs;
}

// Whether the attributes advertise x by y dpi as the one resolution
// (libpappl loads a saved printer-resolution-default without doing so).
bool advertisesResolution(ipp_t* attrs, int x, int y)
{
    ipp_attribute_t* attr = attrs ? ippFindAttribute(attrs, "printer-resolution-supported", IPP_TAG_RESOLUTION) : nullptr;
    int advertisedY = 0;
    ipp_res_t units = IPP_RES_PER_INCH;
    return attr != nullptr && ippGetCount(attr) == 1 && ippGetResolution(attr, 0, &advertisedY, &units) == x &&
           advertisedY == y;
}

void setCallbacks(pappl_pr_driver_data_t* data)
{
    data->printfile_cb = printNativeFile;
    data->rstartjob_cb = rasterStartJob;
    data->rstartpage_cb = rasterStartPage;
    data->rwriteline_cb = rasterWriteLine;
    data->rendpage_cb = rasterEndPage;
    data->rendjob_cb = rasterEndJob;
    data->identify_cb = identify;
    data->testpage_cb = writeTestLabelFile;
    data->identify_supported = PAPPL_IDENTIFY_ACTIONS_DISPLAY;
    data->identify_default = PAPPL_IDENTIFY_ACTIONS_DISPLAY;
}

void setPrinter(pappl_pr_driver_data_t* data, int32_t model)
{
    data->format = kNativeFormat;
    snprintf(data->make_and_model, sizeof(data->make_and_model), "Tavelin %d", model);
    data->ppm = kPagesPerMinute;
    data->kind = static_cast<pappl_kind_t>(PAPPL_KIND_LABEL | PAPPL_KIND_ROLL);
    data->has_supplies = false;
}

// 8-bit gray only, never a forced 1-bit type: the driver dithers itself,
// with the same matrix for graphics and photos.
void setRaster(pappl_pr_driver_data_t* data)
{
    static_assert(sizeof(data->gdither) == sizeof(kThresholds) && sizeof(data->pdither) == sizeof(kThresholds));
    memcpy(data->gdither, kThresholds.data(), sizeof(data->gdither));
    memcpy(data->pdither, kThresholds.data(), sizeof(data->pdither));
    data->raster_types = PAPPL_PWG_RASTER_TYPE_SGRAY_8;
    data->force_raster_type = PAPPL_PWG_RASTER_TYPE_NONE;
    data->color_supported = static_cast<pappl_color_mode_t>(PAPPL_COLOR_MODE_MONOCHROME | PAPPL_COLOR_MODE_BI_LEVEL);
    data->color_default = PAPPL_COLOR_MODE_MONOCHROME;
    data->orient_default = IPP_ORIENT_PORTRAIT;
    data->quality_default = IPP_QUALITY_NORMAL;
    data->content_default = PAPPL_CONTENT_AUTO;  // photos diffused, text and barcodes sharp
    data->sides_supported = PAPPL_SIDES_ONE_SIDED;
    data->sides_default = PAPPL_SIDES_ONE_SIDED;
}

// The print heads there are: printer-resolution-default may be set to any of
// them, and the printer advertises and prints at that one alone
// (app/libpappl, patch 0007), whatever a job's print-quality.
void setResolutions(pappl_pr_driver_data_t* data)
{
    data->num_resolution = static_cast<int>(kResolutions.size());
    for (size_t i = 0; i < kResolutions.size(); ++i) {
        data->x_resolution[i] = data->y_resolution[i] = kResolutions[i];
    }
    data->x_default = data->y_default = kDefaultResolution;
}

// The standard sizes, the custom range, and the default size loaded.
void setMedia(pappl_pr_driver_data_t* data)
{
    data->borderless = false;
    data->left_right = kMarginHmm;
    data->bottom_top = kMarginHmm;
    data->num_media = 0;
    for (const MediaName& name : kStandardMediaNames) {
        data->media[data->num_media++] = name.data();
    }
    data->media[data->num_media++] = kCustomMinName.data();
    data->media[data->num_media++] = kCustomMaxName.data();
    const SizeHmm size = standardSizeHmm(kDefaultSizeNumber);
    setReadyMedia(&data->media_ready[0], kStandardMediaNames[kDefaultSizeNumber].data(), size.width, size.length);
    data->media_default = data->media_ready[0];
    data->num_source = 1;
    data->source[0] = kSource;
    data->num_type = static_cast<int>(std::size(kMediaTypes));
    for (size_t i = 0; i < std::size(kMediaTypes); ++i) {
        data->type[i] = kMediaTypes[i];
    }
    data->tracking_supported = static_cast<pappl_media_tracking_t>(
        PAPPL_MEDIA_TRACKING_GAP | PAPPL_MEDIA_TRACKING_WEB | PAPPL_MEDIA_TRACKING_CONTINUOUS |
        PAPPL_MEDIA_TRACKING_MARK);
    data->top_offset_supported[0] = kTopOffsetRange.low;
    data->top_offset_supported[1] = kTopOffsetRange.high;
}

// Tear-off and the cutter on every model, the rewinder on its models.
void setLabelModes(pappl_pr_driver_data_t* data, int32_t model)
{
    int modes = PAPPL_LABEL_MODE_TEAR_OFF | PAPPL_LABEL_MODE_CUTTER | PAPPL_LABEL_MODE_CUTTER_DELAYED;
    if (isRewinderModel(model)) {
        modes |= PAPPL_LABEL_MODE_REWIND;
    }
    data->mode_supported = static_cast<pappl_label_mode_t>(modes);
    data->mode_configured = PAPPL_LABEL_MODE_TEAR_OFF;
}

void setDarknessAndSpeed(pappl_pr_driver_data_t* data)
{
    data->speed_supported[0] = kPrintSpeedRange.low;
    data->speed_supported[1] = kPrintSpeedRange.high;
    data->speed_default = kDefaultSpeed;
    data->darkness_supported = kPrintDarknessLevels;
    data->darkness_configured = kDefaultDarknessConfigured;
    data->darkness_default = 0;
}

void setVendorAttributes(pappl_pr_driver_data_t* data)
{
    constexpr const char* names[] = {
        vendor::kTearOffOffset, vendor::kCutPeriod,       vendor::kHorizontalMargin, vendor::kVerticalMargin,
        vendor::kThermalMode,   vendor::kBandCompression, vendor::kWriteTimeout,
    };
    static_assert(std::size(names) == vendor::kCount);
    data->num_vendor = 0;
    for (const char* name : names) {
        data->vendor[data->num_vendor++] = name;
    }
}

}  // namespace

const char* autoAddDriver(const char*, const char*, const char* deviceId, void* drivers)
{
    const int32_t model = deviceId ? modelOfDeviceId(deviceId) : 0;
    const auto* table = static_cast<const pappl_pr_driver_t*>(drivers);
    for (size_t i = 0; table != nullptr && model != 0 && i < kSupportedModels.size(); ++i) {
        if (kSupportedModels[i] == model) {
            return table[i].name;
        }
    }
    return nullptr;
}

bool driverCallback(pappl_system_t*, const char* driverName, const char*, const char*,
                    pappl_pr_driver_data_t* data, ipp_t** attrs, void*)
{
    const int32_t model = modelOfDriver(driverName);
    if (model == 0) {
        return false;
    }
    setCallbacks(data);
    setPrinter(data, model);
    setRaster(data);
    setResolutions(data);
    setMedia(data);
    setLabelModes(data, model);
    setDarknessAndSpeed(data);
    setVendorAttributes(data);
    *attrs = driverAttributes(data->darkness_default, data->speed_default, nullptr);
    return *attrs != nullptr;
}

bool publishDefaults(pappl_printer_t* printer, int speedDefault)
{
    pappl_pr_driver_data_t data;
    if (papplPrinterGetDriverData(printer, &data) == nullptr) {
        return false;
    }
    if (speedDefault >= 0) {
        data.speed_default = speedDefault;
    }
    ipp_t* current = papplPrinterGetDriverAttributes(printer);
    ipp_attribute_t* darkness = current ? ippFindAttribute(current, "print-darkness-default", IPP_TAG_INTEGER) : nullptr;
    ipp_attribute_t* speed = current ? ippFindAttribute(current, "print-speed-default", IPP_TAG_INTEGER) : nullptr;
    if (speedDefault < 0 && darkness && speed && ippGetInteger(darkness, 0) == data.darkness_default &&
        ippGetInteger(speed, 0) == data.speed_default && advertisesResolution(current, data.x_default, data.y_default)) {
        ippDelete(current);
        return false;
    }
    ipp_t* attrs = driverAttributes(data.darkness_default, data.speed_default, current);
    ippDelete(current);
    if (attrs == nullptr) {
        return false;
    }
    const bool set = papplPrinterSetDriverData(printer, &data, attrs);
    ippDelete(attrs);
    return set;
}

}  // namespace tvl
