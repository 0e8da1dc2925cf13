// SPDX-License-Identifier: Apache-2.0
#include "app/SettingsPage.h"

#include <cstdint>
#include <cstdio>
#include <cstring>

#include "app/IppSettings.h"
#include "app/WebForm.h"
#include "settings/ParseNumber.h"

namespace tvl {

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

// The printer's vendor values as a posted form sets them.
struct FormValues {
    int32_t tearOff = 0;  // hundredths of mm
    int32_t period = 0;
    int32_t xMargin = 0;  // hundredths of mm
    int32_t yMargin = 0;  // hundredths of mm
    bool hasTimeout = false;  // optional: a form without it leaves the timeout as it is
    int32_t timeout = 0;
    const char* thermal = nullptr;
    const char* compression = nullptr;
};

// A whole number field within `range`.
bool formNumber(const PostedForm& form, const char* name, IntRange range, int32_t* value)
{
    return parseInt32(form.get(name), range.low, range.high, value);
}

// A field in whole millimetres, within the vendor range `hmm`, as hundredths
// of mm.
bool formMillimetres(const PostedForm& form, const char* name, IntRange hmm, int32_t* value)
{
    const IntRange range = millimetreRange(hmm);
    int32_t mm = 0;
    if (!formNumber(form, name, range, &mm)) {
        return false;
    }
    *value = mm * 100;
    return true;
}

bool readNumbers(const PostedForm& form, FormValues* v)
{
    v->hasTimeout = form.get(vendor::kWriteTimeout) != nullptr;
    return formMillimetres(form, vendor::kTearOffOffset, kTearOffOffsetRange, &v->tearOff) &&
           formNumber(form, vendor::kCutPeriod, kCutPeriodRange, &v->period) &&
           formMillimetres(form, vendor::kHorizontalMargin, kMarginRange, &v->xMargin) &&
           formMillimetres(form, vendor::kVerticalMargin, kMarginRange, &v->yMargin) &&
           (!v->hasTimeout || formNumber(form, vendor::kWriteTimeout, kWriteTimeoutRange, &v->timeout));
}

bool readKeywords(const PostedForm& form, FormValues* v)
{
    v->thermal = form.get(vendor::kThermalMode);
    v->compression = form.get(vendor::kBandCompression);
    return v->thermal != nullptr && keywordIndex(kThermalModes, v->thermal) >= 0 && v->compression != nullptr &&
           keywordIndex(kBandCompressions, v->compression) >= 0;
}

// The posted label mode, when the printer has it.
bool readLabelMode(const PostedForm& form, pappl_pr_driver_data_t* data)
{
    const char* mode = form.get("label-mode");
    for (const ModeName& m : kModes) {
        if (mode != nullptr && strcmp(mode, m.keyword) == 0 && (data->mode_supported & m.mode) != 0) {
            data->mode_configured = m.mode;
            return true;
        }
    }
    return false;
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
void keepUnchanged(ipp_t* attrs, const char* name, int32_t* value)
{
    const int current = currentInteger(attrs, name, 0);
    if (*value == roundToMillimetres(current) * 100) {
        *value = current;
    }
}

// Hands the printer its label mode and vendor values. false when it refuses.
bool saveSettings(pappl_printer_t* printer, pappl_pr_driver_data_t* data, FormValues v)
{
    ipp_t* current = papplPrinterGetDriverAttributes(printer);
    keepUnchanged(current, vendor::kTearOffOffset, &v.tearOff);
    keepUnchanged(current, vendor::kHorizontalMargin, &v.xMargin);
    keepUnchanged(current, vendor::kVerticalMargin, &v.yMargin);
    ippDelete(current);
    cups_option_t* options = nullptr;
    int count = 0;
    auto addNumber = [&options, &count](const char* name, int32_t value) {
        char text[16];
        snprintf(text, sizeof(text), "%d", value);
        count = cupsAddOption(name, text, count, &options);
    };
    addNumber(vendor::kTearOffOffset, v.tearOff);
    addNumber(vendor::kCutPeriod, v.period);
    addNumber(vendor::kHorizontalMargin, v.xMargin);
    addNumber(vendor::kVerticalMargin, v.yMargin);
    count = cupsAddOption(vendor::kThermalMode, v.thermal, count, &options);
    count = cupsAddOption(vendor::kBandCompression, v.compression, count, &options);
    if (v.hasTimeout) {
        addNumber(vendor::kWriteTimeout, v.timeout);
    }
    const bool saved = papplPrinterSetDriverDefaults(printer, data, count, options);
    cupsFreeOptions(count, options);
    return saved;
}

// What the numbers of the form may be.
void describeRanges(char* text, size_t size)
{
    const IntRange offset = millimetreRange(kTearOffOffsetRange);
    const IntRange margin = millimetreRange(kMarginRange);
    snprintf(text, size,
             "Offsets are %d..%d mm, margins %d..%d mm, the cut period %d..%d labels and the printer timeout %d..%d "
             "seconds.",
             offset.low, offset.high, margin.low, margin.high, kCutPeriodRange.low, kCutPeriodRange.high,
             kWriteTimeoutRange.low, kWriteTimeoutRange.high);
}

// Applies a posted form. false with `error` saying what was wrong.
bool applyForm(pappl_client_t* client, pappl_printer_t* printer, char* error, size_t size)
{
    const PostedForm form(client);
    pappl_pr_driver_data_t data;
    FormValues values;
    const char* problem = nullptr;
    if (!form.valid(client)) {
        problem = "Invalid form data.";
    } else if (papplPrinterGetDriverData(printer, &data) == nullptr) {
        problem = "The printer's settings cannot be read.";
    } else if (!readNumbers(form, &values)) {
        describeRanges(error, size);
        return false;
    } else if (!readKeywords(form, &values)) {
        problem = "Unknown thermal mode or band compression.";
    } else if (!readLabelMode(form, &data)) {
        problem = "This printer does not have that label mode.";
    } else if (!saveSettings(printer, &data, values)) {
        problem = "The printer refused the settings.";
    }
    if (problem != nullptr) {
        snprintf(error, size, "%s", problem);
        return false;
    }
    return true;
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

// A vendor keyword's field, at the printer's value, else the first keyword.
void selectField(pappl_client_t* client, const char* label, const char* name, ipp_t* attrs,
                 const KeywordChoices& choices)
{
    selectField(client, label, name, currentKeyword(attrs, name, choices.keywords[0]), choices.keywords.data(),
                choices.texts.data(), choices.keywords.size());
}

bool settingsPage(pappl_client_t* client, void* data)
{
    bool answer = true;
    pappl_printer_t* printer = printerToChange(client, data, &answer);
    if (printer == nullptr) {
        return answer;
    }
    const char* status = nullptr;
    bool failed = false;
    char error[256];
    if (papplClientGetMethod(client) == HTTP_STATE_POST) {
        failed = !applyForm(client, printer, error, sizeof(error));
        status = failed ? error : "Changes saved.";
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
    const char* currentMode = kModes[0].keyword;
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
                roundToMillimetres(currentInteger(attrs, vendor::kTearOffOffset, 0)), millimetreRange(kTearOffOffsetRange), "mm");
    numberField(client, "Labels per cut", vendor::kCutPeriod,
                currentInteger(attrs, vendor::kCutPeriod, kCutPeriodRange.low),
                kCutPeriodRange, "");
    numberField(client, "Horizontal margin", vendor::kHorizontalMargin,
                roundToMillimetres(currentInteger(attrs, vendor::kHorizontalMargin, 0)), millimetreRange(kMarginRange),
                "mm");
    numberField(client, "Vertical margin", vendor::kVerticalMargin,
                roundToMillimetres(currentInteger(attrs, vendor::kVerticalMargin, 0)), millimetreRange(kMarginRange),
                "mm");
    selectField(client, "Thermal mode", vendor::kThermalMode, attrs, kThermalModes);
    selectField(client, "Band compression", vendor::kBandCompression, attrs, kBandCompressions);
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

}  // namespace tvl
