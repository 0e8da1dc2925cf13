#include "app/SettingsPage.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "app/Drivers.h"
#include "app/IppSettings.h"
#include "app/WebAccess.h"
#include "app/WebForm.h"

namespace {

constexpr char kLabel[] = "Label Settings";
constexpr char kSubpath[] = "label-settings";

// The number of labels per cut is asked for only in the label mode that
// uses it.
constexpr char kCutPeriodScript[] =
    "<script>(function () {\n"
    "  const mode = document.getElementById('label-mode');\n"
    "  const row = document.getElementById('cut-period').closest('tr');\n"
    "  const show = () => { row.hidden = mode.value !== 'cutter-delayed'; };\n"
    "  mode.addEventListener('change', show);\n"
    "  show();\n"
    "})();</script>\n";

struct ModeName {
    pappl_label_mode_t mode;
    const char* keyword;
    const char* text;
};
constexpr ModeName kModes[] = {
    {PAPPL_LABEL_MODE_TEAR_OFF, "tear-off", "Tear-off"},
    {PAPPL_LABEL_MODE_CUTTER, "cutter", "Cut after each label"},
    {PAPPL_LABEL_MODE_CUTTER_DELAYED, "cutter-delayed", "Cut after a number of labels"},
    {PAPPL_LABEL_MODE_REWIND, "rewind", "Rewind"},
};

// A millimetre field of the form (whole mm), as the vendor value in
// hundredths of mm; or a plain number field. false when not a whole number
// in range.
bool formNumber(int numForm, cups_option_t* form, const char* name, IntRange range, int scale, char* value,
                size_t size)
{
    const char* text = cupsGetOption(name, numForm, form);
    if (text == nullptr || *text == '\0') {
        return false;
    }
    char* end = nullptr;
    const long number = strtol(text, &end, 10);
    if (*end != '\0' || number * scale < range.low || number * scale > range.high) {
        return false;
    }
    snprintf(value, size, "%ld", number * scale);
    return true;
}

int currentInteger(ipp_t* attrs, const char* name, int fallback)
{
    char full[64];
    snprintf(full, sizeof(full), "%s-default", name);
    ipp_attribute_t* attr = attrs ? ippFindAttribute(attrs, full, IPP_TAG_INTEGER) : nullptr;
    return attr ? ippGetInteger(attr, 0) : fallback;
}

const char* currentKeyword(ipp_t* attrs, const char* name, const char* fallback)
{
    char full[64];
    snprintf(full, sizeof(full), "%s-default", name);
    ipp_attribute_t* attr = attrs ? ippFindAttribute(attrs, full, IPP_TAG_KEYWORD) : nullptr;
    const char* value = attr ? ippGetString(attr, 0, nullptr) : nullptr;
    return value ? value : fallback;
}

// A millimetre field left at the whole millimetres the page showed keeps
// the printer's own value, which may lie between them: a page never changes
// what its user did not touch.
void keepUnchanged(ipp_t* attrs, const char* name, char* value, size_t size)
{
    const int current = currentInteger(attrs, name, 0);
    if (atoi(value) == roundToMillimetres(current) * 100) {
        snprintf(value, size, "%d", current);
    }
}

// Applies a posted form; nullptr on success, else what was wrong.
const char* applyForm(pappl_client_t* client, pappl_printer_t* printer)
{
    cups_option_t* form = nullptr;
    const int numForm = papplClientGetForm(client, &form);
    const char* error = nullptr;
    pappl_pr_driver_data_t data;
    char tearOff[16], period[16], xMargin[16], yMargin[16], timeout[16];
    // Optional in a posted form: a form without it leaves the timeout as it is.
    const char* timeoutText = cupsGetOption(vendor::kWriteTimeout, numForm, form);
    const char* mode = cupsGetOption("label-mode", numForm, form);
    const char* thermal = cupsGetOption(vendor::kThermalMode, numForm, form);
    const char* compression = cupsGetOption(vendor::kBandCompression, numForm, form);
    bool modeFound = false;

    if (!papplClientIsValidForm(client, numForm, form)) {
        error = "Invalid form data.";
    } else if (papplPrinterGetDriverData(printer, &data) == nullptr) {
        error = "The printer's settings cannot be read.";
    } else if (!formNumber(numForm, form, vendor::kTearOffOffset, kTearOffOffsetRange, 100, tearOff, sizeof(tearOff)) ||
               !formNumber(numForm, form, vendor::kCutPeriod, kCutPeriodRange, 1, period, sizeof(period)) ||
               !formNumber(numForm, form, vendor::kHorizontalMargin, kMarginRange, 100, xMargin, sizeof(xMargin)) ||
               !formNumber(numForm, form, vendor::kVerticalMargin, kMarginRange, 100, yMargin, sizeof(yMargin)) ||
               (timeoutText != nullptr &&
                !formNumber(numForm, form, vendor::kWriteTimeout, kWriteTimeoutRange, 1, timeout, sizeof(timeout)))) {
        error = "Offsets are -10..10 mm, margins 0..10 mm, the cut period 1..1000 labels and the printer timeout "
                "1..3600 seconds.";
    } else if (thermal == nullptr ||
               (strcmp(thermal, "direct-thermal") != 0 && strcmp(thermal, "thermal-transfer") != 0) ||
               compression == nullptr || (strcmp(compression, "run-length") != 0 && strcmp(compression, "raw") != 0)) {
        error = "Unknown thermal mode or band compression.";
    } else {
        for (const ModeName& m : kModes) {
            if (mode != nullptr && strcmp(mode, m.keyword) == 0 && (data.mode_supported & m.mode) != 0) {
                data.mode_configured = m.mode;
                modeFound = true;
            }
        }
        if (!modeFound) {
            error = "This printer does not have that label mode.";
        }
    }
    if (error == nullptr) {
        ipp_t* current = papplPrinterGetDriverAttributes(printer);
        keepUnchanged(current, vendor::kTearOffOffset, tearOff, sizeof(tearOff));
        keepUnchanged(current, vendor::kHorizontalMargin, xMargin, sizeof(xMargin));
        keepUnchanged(current, vendor::kVerticalMargin, yMargin, sizeof(yMargin));
        ippDelete(current);
        cups_option_t* vendorOptions = nullptr;
        int numVendor = 0;
        numVendor = cupsAddOption(vendor::kTearOffOffset, tearOff, numVendor, &vendorOptions);
        numVendor = cupsAddOption(vendor::kCutPeriod, period, numVendor, &vendorOptions);
        numVendor = cupsAddOption(vendor::kHorizontalMargin, xMargin, numVendor, &vendorOptions);
        numVendor = cupsAddOption(vendor::kVerticalMargin, yMargin, numVendor, &vendorOptions);
        numVendor = cupsAddOption(vendor::kThermalMode, thermal, numVendor, &vendorOptions);
        numVendor = cupsAddOption(vendor::kBandCompression, compression, numVendor, &vendorOptions);
        if (timeoutText != nullptr) {
            numVendor = cupsAddOption(vendor::kWriteTimeout, timeout, numVendor, &vendorOptions);
        }
        if (!papplPrinterSetDriverDefaults(printer, &data, numVendor, vendorOptions)) {
            error = "The printer refused the settings.";
        }
        cupsFreeOptions(numVendor, vendorOptions);
    }
    cupsFreeOptions(numForm, form);
    return error;
}

void numberField(pappl_client_t* client, const char* label, const char* name, int value, IntRange range,
                 const char* unit)
{
    papplClientHTMLPrintf(client,
                          "<tr><th><label for=\"%s\">%s:</label></th><td><input type=\"number\" name=\"%s\" "
                          "id=\"%s\" min=\"%d\" max=\"%d\" value=\"%d\"> %s</td></tr>\n",
                          name, label, name, name, range.low, range.high, value, unit);
}

void selectField(pappl_client_t* client, const char* label, const char* name, const char* current,
                 const char* const* keywords, const char* const* texts, size_t count)
{
    papplClientHTMLPrintf(client, "<tr><th><label for=\"%s\">%s:</label></th><td><select name=\"%s\" id=\"%s\">",
                          name, label, name, name);
    for (size_t i = 0; i < count; ++i) {
        papplClientHTMLPrintf(client, "<option value=\"%s\"%s>%s</option>", keywords[i],
                              strcmp(keywords[i], current) == 0 ? " selected" : "", texts[i]);
    }
    papplClientHTMLPuts(client, "</select></td></tr>\n");
}

bool settingsPage(pappl_client_t* client, void* data)
{
    pappl_printer_t* printer = printerOfPage(client, data);
    if (printer == nullptr) {
        return papplClientRespond(client, HTTP_STATUS_NOT_FOUND, nullptr, nullptr, 0, 0);
    }
    if (!papplClientHTMLAuthorize(client) || refuseRemoteSettings(client)) {
        return true;
    }
    const char* status = nullptr;
    bool failed = false;
    if (papplClientGetMethod(client) == HTTP_STATE_POST) {
        const char* error = applyForm(client, printer);
        status = error ? error : "Changes saved.";
        failed = error != nullptr;
    }

    pappl_pr_driver_data_t driver;
    papplPrinterGetDriverData(printer, &driver);
    ipp_t* attrs = papplPrinterGetDriverAttributes(printer);

    papplClientHTMLPrinterHeader(client, printer, kLabel, 0, nullptr, nullptr);
    if (status != nullptr) {
        showBanner(client, status, failed);
    }
    char action[256];
    papplPrinterGetPath(printer, kSubpath, action, sizeof(action));
    papplClientHTMLStartForm(client, action, false);
    papplClientHTMLPuts(client, "<table class=\"form\"><tbody>\n");

    const char* modeKeywords[4];
    const char* modeTexts[4];
    size_t modes = 0;
    const char* currentMode = "tear-off";
    for (const ModeName& m : kModes) {
        if ((driver.mode_supported & m.mode) != 0) {
            modeKeywords[modes] = m.keyword;
            modeTexts[modes] = m.text;
            ++modes;
        }
        if (driver.mode_configured == m.mode) {
            currentMode = m.keyword;
        }
    }
    selectField(client, "Label mode", "label-mode", currentMode, modeKeywords, modeTexts, modes);
    numberField(client, "Tear-off offset", vendor::kTearOffOffset,
                roundToMillimetres(currentInteger(attrs, vendor::kTearOffOffset, 0)), IntRange{-10, 10}, "mm");
    numberField(client, "Labels per cut", vendor::kCutPeriod, currentInteger(attrs, vendor::kCutPeriod, 1),
                kCutPeriodRange, "");
    numberField(client, "Horizontal margin", vendor::kHorizontalMargin,
                roundToMillimetres(currentInteger(attrs, vendor::kHorizontalMargin, 0)), IntRange{0, 10}, "mm");
    numberField(client, "Vertical margin", vendor::kVerticalMargin,
                roundToMillimetres(currentInteger(attrs, vendor::kVerticalMargin, 0)), IntRange{0, 10}, "mm");
    const char* const thermalKeywords[] = {"direct-thermal", "thermal-transfer"};
    const char* const thermalTexts[] = {"Direct thermal", "Thermal transfer"};
    selectField(client, "Thermal mode", vendor::kThermalMode,
                currentKeyword(attrs, vendor::kThermalMode, "direct-thermal"), thermalKeywords, thermalTexts, 2);
    const char* const bandKeywords[] = {"run-length", "raw"};
    const char* const bandTexts[] = {"Run-length compressed", "Raw"};
    selectField(client, "Band compression", vendor::kBandCompression,
                currentKeyword(attrs, vendor::kBandCompression, "run-length"), bandKeywords, bandTexts, 2);
    numberField(client, "Printer timeout", vendor::kWriteTimeout,
                currentInteger(attrs, vendor::kWriteTimeout, kDefaultWriteTimeout), kWriteTimeoutRange,
                "seconds: a network printer that takes no data this long aborts its job");
    papplClientHTMLPuts(client,
                        "<tr><th></th><td><input type=\"submit\" value=\"Save Changes\"></td></tr>\n"
                        "</tbody></table></form>\n");
    papplClientHTMLPuts(client, kCutPeriodScript);
    papplClientHTMLPrinterFooter(client);
    ippDelete(attrs);
    return true;
}

}  // namespace

void addSettingsPage(pappl_printer_t* printer)
{
    addPrinterPage(printer, kSubpath, settingsPage, kLabel);
}
