// SPDX-License-Identifier: Apache-2.0
#include "app/DefaultsPage.h"

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <new>

#include "app/IppSettings.h"
#include "app/Media.h"
#include "app/WebForm.h"
#include "settings/ParseNumber.h"

namespace tvl {

namespace {

constexpr char kTitle[] = "Printing Defaults";
constexpr char kSubpath[] = "printing";
constexpr int kDarknessLevels = kPrintDarknessLevels;

// printer-darkness-configured for a darkness level: the percentage that
// prints at that level (darknessLevel).
constexpr int percentOfLevel(int level)
{
    return (level * 100 + (kDarknessLevels - 1) / 2) / (kDarknessLevels - 1);
}

constexpr bool levelsRoundTrip(int level = 0)
{
    return level == kDarknessLevels || (darknessLevel(0, percentOfLevel(level)) == level && levelsRoundTrip(level + 1));
}
static_assert(levelsRoundTrip() && percentOfLevel(kDarknessLevels - 1) == 100);

// What a field offers: the values posted, the texts shown, and the value
// the printer has now.
struct Choice {
    char value[sizeof(pappl_media_col_t::size_name)];
    char text[96];
};

struct Choices {
    Choice items[kStandardSizeCount + 1];
    size_t count = 0;
    char current[sizeof(pappl_media_col_t::size_name)] = "";

    void add(const char* value, const char* text)
    {
        if (count < sizeof(items) / sizeof(items[0])) {
            snprintf(items[count].value, sizeof(items[count].value), "%s", value);
            snprintf(items[count].text, sizeof(items[count].text), "%s", text);
            ++count;
        }
    }
    void addNumber(int value, const char* text)
    {
        char number[16];
        snprintf(number, sizeof(number), "%d", value);
        add(number, text);
    }
    bool offers(const char* value) const
    {
        for (size_t i = 0; i < count; ++i) {
            if (strcmp(items[i].value, value) == 0) {
                return true;
            }
        }
        return false;
    }
};

int standardSizeNamed(const char* name)
{
    for (size_t i = 0; i < kStandardSizeCount; ++i) {
        if (strcmp(kStandardMediaNames[i].data(), name) == 0) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

// The 55 sizes in inches and millimetres; a custom size the Media page set
// is offered first, as it is.
void listSizes(const pappl_pr_driver_data_t& data, Choices* choices)
{
    char text[96];
    const pappl_media_col_t& media = data.media_default;
    snprintf(choices->current, sizeof(choices->current), "%s", media.size_name);
    if (standardSizeNamed(media.size_name) < 0) {
        snprintf(text, sizeof(text), "Custom, %.1f x %.1f mm (Media page)", media.size_width / 100.0,
                 media.size_length / 100.0);
        choices->add(media.size_name, text);
    }
    const double inch = kHmmPerInch;
    for (size_t i = 0; i < kStandardSizeCount; ++i) {
        const SizeHmm size = standardSizeHmm(i);
        snprintf(text, sizeof(text), "%g x %g in (%.1f x %.1f mm)", size.width / inch, size.length / inch,
                 size.width / 100.0, size.length / 100.0);
        choices->add(kStandardMediaNames[i].data(), text);
    }
}

// The loaded roll and the default together: the printer has one roll.
bool setSize(pappl_pr_driver_data_t* data, const char* value)
{
    const int number = standardSizeNamed(value);
    if (number < 0) {
        return true;  // the custom size shown: left as it is
    }
    const SizeHmm size = standardSizeHmm(static_cast<size_t>(number));
    pappl_media_col_t& ready = data->media_ready[0];
    snprintf(ready.size_name, sizeof(ready.size_name), "%s", value);
    ready.size_width = size.width;
    ready.size_length = size.length;
    data->media_default = ready;
    return true;
}

void listDarkness(const pappl_pr_driver_data_t& data, Choices* choices)
{
    snprintf(choices->current, sizeof(choices->current), "%d", darknessLevel(0, data.darkness_configured));
    char text[32];
    for (int level = 0; level < kDarknessLevels; ++level) {
        snprintf(text, sizeof(text), "%d%s", level,
                 level == 0 ? " (lightest)" : level == kDarknessLevels - 1 ? " (darkest)" : "");
        choices->addNumber(level, text);
    }
}

bool setDarkness(pappl_pr_driver_data_t* data, const char* value)
{
    int32_t level = 0;
    if (!parseInt32(value, 0, kDarknessLevels - 1, &level)) {
        return false;
    }
    data->darkness_configured = percentOfLevel(level);
    return true;
}

// Whole inches per second; 0 (the printer's own) shows as 4.
void listSpeeds(const pappl_pr_driver_data_t& data, Choices* choices)
{
    snprintf(choices->current, sizeof(choices->current), "%d", speedIps(data.speed_default));
    char text[48];
    for (int ips = data.speed_supported[0] / kHmmPerInch; ips <= data.speed_supported[1] / kHmmPerInch; ++ips) {
        snprintf(text, sizeof(text), "%d inch%s/s (%d mm/s)", ips, ips == 1 ? "" : "es",
                 (ips * kHmmPerInch + 50) / 100);
        choices->addNumber(ips, text);
    }
}

bool setSpeed(pappl_pr_driver_data_t* data, const char* value)
{
    int32_t ips = 0;
    if (!parseInt32(value, 0, INT32_MAX / kHmmPerInch, &ips)) {
        return false;
    }
    data->speed_default = ips * kHmmPerInch;
    return true;
}

void listResolutions(const pappl_pr_driver_data_t& data, Choices* choices)
{
    snprintf(choices->current, sizeof(choices->current), "%d", data.x_default);
    char text[48];
    for (int i = 0; i < data.num_resolution; ++i) {
        snprintf(text, sizeof(text), "%d dpi", data.x_resolution[i]);
        choices->addNumber(data.x_resolution[i], text);
    }
}

bool setResolution(pappl_pr_driver_data_t* data, const char* value)
{
    int32_t dpi = 0;
    if (!parseInt32(value, 1, INT32_MAX, &dpi)) {
        return false;
    }
    data->x_default = data->y_default = dpi;
    return true;
}

// print-color-mode and print-content-optimize, as what they do to grays.
struct Grays {
    const char* value;
    const char* text;
    pappl_content_t content;
};
constexpr Grays kGrays[] = {
    {"auto", "Automatic: photos smooth, text and barcodes sharp", PAPPL_CONTENT_AUTO},
    {"photo", "Smooth, for photos (error diffusion)", PAPPL_CONTENT_PHOTO},
    {"sharp", "Sharp, for text, graphics and barcodes (ordered dots)", PAPPL_CONTENT_TEXT_AND_GRAPHIC},
    {"none", "None: black or white (threshold)", PAPPL_CONTENT_AUTO},
};

void listGrays(const pappl_pr_driver_data_t& data, Choices* choices)
{
    const char* current = data.color_default == PAPPL_COLOR_MODE_BI_LEVEL ? "none"
                          : data.content_default == PAPPL_CONTENT_PHOTO  ? "photo"
                          : data.content_default == PAPPL_CONTENT_AUTO || data.content_default == 0 ? "auto"
                                                                                                      : "sharp";
    snprintf(choices->current, sizeof(choices->current), "%s", current);
    for (const Grays& g : kGrays) {
        choices->add(g.value, g.text);
    }
}

bool setGrays(pappl_pr_driver_data_t* data, const char* value)
{
    for (const Grays& g : kGrays) {
        if (strcmp(g.value, value) != 0) {
            continue;
        }
        const bool none = strcmp(value, "none") == 0;
        data->color_default = none ? PAPPL_COLOR_MODE_BI_LEVEL : PAPPL_COLOR_MODE_MONOCHROME;
        if (!none) {
            data->content_default = g.content;
        }
    }
    return true;
}

struct Field {
    const char* name;  // the form's NAME; NAME-shown holds the value shown
    const char* label;
    void (*list)(const pappl_pr_driver_data_t&, Choices*);
    bool (*set)(pappl_pr_driver_data_t*, const char*);  // false for a value it cannot read
};

constexpr Field kFields[] = {
    {"media", "Label size", listSizes, setSize},
    {"darkness", "Darkness", listDarkness, setDarkness},
    {"speed", "Print speed", listSpeeds, setSpeed},
    {"resolution", "Resolution", listResolutions, setResolution},
    {"gray-shades", "Gray shades", listGrays, setGrays},
};

// The value posted for a field the user changed; nullptr for a field left
// at the value the page showed, which is never written back: the page
// shows whole levels and sizes, the printer may hold a value between them.
const char* changedValue(const PostedForm& form, const char* name)
{
    char shownName[64];
    snprintf(shownName, sizeof(shownName), "%s-shown", name);
    const char* value = form.get(name);
    const char* shown = form.get(shownName);
    return value != nullptr && (shown == nullptr || strcmp(shown, value) != 0) ? value : nullptr;
}

// Applies a posted form; false with the reason in `message` when nothing
// was saved.
bool applyForm(pappl_client_t* client, pappl_printer_t* printer, Choices* choices, char* message, size_t size)
{
    const PostedForm form(client);
    pappl_pr_driver_data_t data{};
    if (!form.valid(client)) {
        snprintf(message, size, "Invalid form submission: load the page again.");
        return false;
    }
    if (papplPrinterGetDriverData(printer, &data) == nullptr) {
        snprintf(message, size, "The printer's settings cannot be read.");
        return false;
    }
    char size0[sizeof(data.media_ready[0].size_name)];
    snprintf(size0, sizeof(size0), "%s", data.media_ready[0].size_name);
    for (const Field& field : kFields) {
        const char* value = changedValue(form, field.name);
        if (value == nullptr) {
            continue;
        }
        *choices = Choices{};
        field.list(data, choices);
        if (!choices->offers(value) || !field.set(&data, value)) {
            snprintf(message, size, "%s: choose one of the values listed.", field.label);
            return false;
        }
    }
    if (strcmp(size0, data.media_ready[0].size_name) != 0 &&
        !papplPrinterSetReadyMedia(printer, data.num_source, data.media_ready)) {
        snprintf(message, size, "The printer refused the label size.");
        return false;
    }
    if (!papplPrinterSetDriverDefaults(printer, &data, 0, nullptr)) {
        snprintf(message, size, "The printer refused the defaults.");
        return false;
    }
    return true;
}

void showField(pappl_client_t* client, const Field& field, const Choices& choices)
{
    papplClientHTMLPrintf(client, "<tr><th><label for=\"%s\">%s:</label></th><td><select name=\"%s\" id=\"%s\">",
                          field.name, field.label, field.name, field.name);
    for (size_t i = 0; i < choices.count; ++i) {
        const Choice& c = choices.items[i];
        papplClientHTMLPrintf(client, "<option value=\"%s\"%s>%s</option>", c.value,
                              strcmp(c.value, choices.current) == 0 ? " selected" : "", c.text);
    }
    papplClientHTMLPrintf(client, "</select><input type=\"hidden\" name=\"%s-shown\" value=\"%s\"></td></tr>\n",
                          field.name, choices.current);
}

bool defaultsPage(pappl_client_t* client, void* data)
{
    bool answer = true;
    pappl_printer_t* printer = printerToChange(client, data, &answer);
    if (printer == nullptr) {
        return answer;
    }
    auto* choices = new (std::nothrow) Choices;
    if (choices == nullptr) {
        return papplClientRespond(client, HTTP_STATUS_SERVER_ERROR, nullptr, nullptr, 0, 0);
    }
    char status[160] = "";
    bool failed = false;
    if (papplClientGetMethod(client) == HTTP_STATE_POST) {
        failed = !applyForm(client, printer, choices, status, sizeof(status));
        if (!failed) {
            snprintf(status, sizeof(status), "Changes saved.");
        }
    }
    pappl_pr_driver_data_t driver{};
    papplPrinterGetDriverData(printer, &driver);

    papplClientHTMLPrinterHeader(client, printer, kTitle, 0, nullptr, nullptr);
    if (status[0] != '\0') {
        showBanner(client, status, failed);
    }
    char action[256];
    papplPrinterGetPath(printer, kSubpath, action, sizeof(action));
    papplClientHTMLStartForm(client, action, false);
    papplClientHTMLPuts(client, "<table class=\"form\"><tbody>\n");
    for (const Field& field : kFields) {
        *choices = Choices{};
        field.list(driver, choices);
        showField(client, field, *choices);
    }
    delete choices;
    char media[256], label[256];
    papplPrinterGetPath(printer, "media", media, sizeof(media));
    papplPrinterGetPath(printer, "label-settings", label, sizeof(label));
    papplClientHTMLPrintf(client,
                          "<tr><th></th><td><input type=\"submit\" value=\"Save Changes\"></td></tr>\n"
                          "</tbody></table></form>\n"
                          "<p>The label stock (gaps, black marks or continuous, top offset) is set on the "
                          "<a href=\"%s\">Media</a> page; label mode, cutting, tear-off offset, margins and "
                          "thermal mode on the <a href=\"%s\">Label Settings</a> page.</p>\n",
                          media, label);
    papplClientHTMLPrinterFooter(client);
    return true;
}

}  // namespace

void addDefaultsPage(pappl_printer_t* printer)
{
    addPrinterPage(printer, kSubpath, defaultsPage);
}

}  // namespace tvl
