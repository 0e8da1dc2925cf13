// SPDX-License-Identifier: Apache-2.0
#include "app/WebForm.h"

#include <cstdint>

#include "app/WebAccess.h"

namespace tvl {

namespace {

// The printer a page registered with addPrinterPage is for, or null when it
// was deleted.
pappl_printer_t* printerOfPage(pappl_client_t* client, void* data)
{
    const int id = static_cast<int>(reinterpret_cast<intptr_t>(data));
    return papplSystemFindPrinter(papplClientGetSystem(client), nullptr, id, nullptr);
}

}  // namespace

void showBanner(pappl_client_t* client, const char* text, bool error)
{
    // papplClientHTMLPrintf escapes the text (%s).
    if (error) {
        papplClientHTMLPrintf(client,
                              "<div class=\"banner error\" role=\"alert\" style=\"animation:none;"
                              "background:#f6d3d0;border-left:6px solid #b3261e\">&#9888; %s</div>\n",
                              text);
    } else {
        papplClientHTMLPrintf(client, "<div class=\"banner\" role=\"status\">%s</div>\n", text);
    }
}

void addPrinterPage(pappl_printer_t* printer, const char* subpath, pappl_resource_cb_t page, const char* linkLabel)
{
    char path[256];
    papplPrinterGetPath(printer, subpath, path, sizeof(path));
    pappl_system_t* system = papplPrinterGetSystem(printer);
    papplSystemRemoveResource(system, path);
    void* id = reinterpret_cast<void*>(static_cast<intptr_t>(papplPrinterGetID(printer)));
    papplSystemAddResourceCallback(system, path, "text/html", page, id);
    if (linkLabel != nullptr) {
        papplPrinterRemoveLink(printer, linkLabel);
        papplPrinterAddLink(printer, linkLabel, path,
                            static_cast<pappl_loptions_t>(PAPPL_LOPTIONS_NAVIGATION | PAPPL_LOPTIONS_STATUS));
    }
}

pappl_printer_t* printerToChange(pappl_client_t* client, void* data, bool* result)
{
    pappl_printer_t* printer = printerOfPage(client, data);
    if (printer == nullptr) {
        *result = papplClientRespond(client, HTTP_STATUS_NOT_FOUND, nullptr, nullptr, 0, 0);
        return nullptr;
    }
    *result = true;
    if (!papplClientHTMLAuthorize(client) || refuseRemoteSettings(client)) {
        return nullptr;
    }
    return printer;
}

}  // namespace tvl
