// SPDX-License-Identifier: Apache-2.0
#include "app/AddPrinterPage.h"

#include <cerrno>
#include <cstring>

#include "app/PrinterForm.h"
#include "app/WebAccess.h"
#include "app/WebForm.h"

namespace tvl {

namespace {

struct FormFields {
    const char* name = "";
    const char* driver = "";
    const char* uri = "";
};

// The device ID of a driver in the list, or nullptr for none.
const char* deviceIdOf(const DriverList* list, const char* driver)
{
    for (int i = 0; i < list->count; ++i) {
        if (strcmp(list->drivers[i].name, driver) == 0) {
            return list->drivers[i].device_id ? list->drivers[i].device_id : "";
        }
    }
    return nullptr;
}

// Adds the printer the form describes; nullptr on success, else why not
// (in `message` or a constant). On success `path` holds the new printer's
// web page.
const char* addPrinter(pappl_system_t* system, const DriverList* list, const FormFields& fields, char* path,
                       size_t pathSize, char* message, size_t messageSize)
{
    if (const char* problem = checkPrinterName(fields.name)) {
        return problem;
    }
    const char* deviceId = deviceIdOf(list, fields.driver);
    if (deviceId == nullptr) {
        return "Choose the printer's model from the list.";
    }
    if (const char* problem = checkDeviceUri(fields.uri)) {
        return problem;
    }
    if (const char* problem = checkFileDevice(fields.uri, message, messageSize)) {
        return problem;
    }
    pappl_printer_t* printer = papplPrinterCreate(system, 0, fields.name, fields.driver, deviceId, fields.uri);
    if (printer == nullptr) {
        return errno == EEXIST ? "A printer of that name exists already." : "The printer could not be added.";
    }
    papplPrinterGetPath(printer, "", path, pathSize);  // "/NAME/", its home page
    return nullptr;
}

void showForm(pappl_client_t* client, const DriverList* list, const FormFields& fields, const char* status)
{
    papplClientHTMLHeader(client, "Add Printer", 0);
    papplClientHTMLPuts(client,
                        "<div class=\"content\"><div class=\"row\"><div class=\"col-12\">\n"
                        "<h1 class=\"title\">Add Printer</h1>\n");
    if (status != nullptr) {
        showBanner(client, status, true);
    }
    papplClientHTMLStartForm(client, "/addprinter", false);
    papplClientHTMLPrintf(client,
                          "<table class=\"form\"><tbody>\n"
                          "<tr><th><label for=\"printer_name\">Name:</label></th><td>"
                          "<input type=\"text\" name=\"printer_name\" id=\"printer_name\" required "
                          "placeholder=\"labels\" pattern=\"[A-Za-z0-9_\\-][A-Za-z0-9_.\\-]{0,62}\" value=\"%s\"></td></tr>\n"
                          "<tr><th><label for=\"driver_name\">Model:</label></th><td>"
                          "<select name=\"driver_name\" id=\"driver_name\" required>"
                          "<option value=\"\" disabled%s>Choose the printer's model</option>",
                          fields.name, deviceIdOf(list, fields.driver) == nullptr ? " selected" : "");
    for (int i = 0; i < list->count; ++i) {
        papplClientHTMLPrintf(client, "<option value=\"%s\"%s>%s</option>", list->drivers[i].name,
                              strcmp(list->drivers[i].name, fields.driver) == 0 ? " selected" : "",
                              list->drivers[i].description);
    }
    papplClientHTMLPrintf(client,
                          "</select></td></tr>\n"
                          "<tr><th><label for=\"device_uri\">Device URI:</label></th><td>"
                          "<input type=\"text\" name=\"device_uri\" id=\"device_uri\" required "
                          "placeholder=\"socket://192.168.1.50:9100\" value=\"%s\"><br>"
                          "socket://HOST:9100 for a network printer, usb://... as "
                          "<code>tavelin-printer-app devices</code> lists it, file:///PATH for a "
                          "file per job.</td></tr>\n"
                          "<tr><th></th><td><input type=\"submit\" value=\"Add Printer\"></td></tr>\n"
                          "</tbody></table></form>\n"
                          "</div></div></div>\n",
                          fields.uri);
    papplClientHTMLFooter(client);
}

bool addPrinterPage(pappl_client_t* client, void* data)
{
    const auto* list = static_cast<const DriverList*>(data);
    if (!papplClientHTMLAuthorize(client) || refuseRemoteSettings(client)) {
        return true;
    }
    FormFields fields;
    const char* status = nullptr;
    char message[1200];
    cups_option_t* form = nullptr;
    int numForm = 0;
    if (papplClientGetMethod(client) == HTTP_STATE_POST) {
        numForm = papplClientGetForm(client, &form);
        const char* name = cupsGetOption("printer_name", numForm, form);
        const char* driver = cupsGetOption("driver_name", numForm, form);
        const char* uri = cupsGetOption("device_uri", numForm, form);
        fields = {name ? name : "", driver ? driver : "", uri ? uri : ""};
        char path[256];
        if (!papplClientIsValidForm(client, numForm, form)) {
            status = "Invalid form submission.";
        } else if ((status = addPrinter(papplClientGetSystem(client), list, fields, path, sizeof(path), message,
                                        sizeof(message))) == nullptr) {
            cupsFreeOptions(numForm, form);
            return papplClientRespondRedirect(client, HTTP_STATUS_FOUND, path);
        }
    }
    // The form's values are shown escaped: papplClientHTMLPrintf escapes %s.
    if (!papplClientRespond(client, HTTP_STATUS_OK, nullptr, "text/html", 0, 0)) {
        cupsFreeOptions(numForm, form);
        return false;
    }
    showForm(client, list, fields, status);
    cupsFreeOptions(numForm, form);
    return true;
}

}  // namespace

void addAddPrinterPage(pappl_system_t* system, const DriverList* drivers)
{
    papplSystemAddResourceCallback(system, "/addprinter", "text/html", addPrinterPage, const_cast<DriverList*>(drivers));
}

}  // namespace tvl
