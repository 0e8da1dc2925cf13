// SPDX-License-Identifier: Apache-2.0
#include "app/WebAccess.h"

#include <cstdio>

#include <sys/socket.h>
#include <unistd.h>

#include "app/PapplCompat.h"

namespace tvl {

namespace {

// What a client on another machine may do with a page.
enum class Remote { refused, viewOnly };

// libpappl's system configuration page sets the host name, and as root that
// rewrites /etc/hostname: outside the application's folders.
enum class AsRoot { allowed, refused };

using SystemPage = void (*)(pappl_client_t*, pappl_system_t*);
using PrinterPage = void (*)(pappl_client_t*, pappl_printer_t*);

// true for the domain socket and loopback addresses (127.0.0.0/8, ::1).
bool isLocalClient(pappl_client_t* client)
{
    http_t* http = papplClientGetHTTP(client);
    http_addr_t* address = http ? httpGetAddress(http) : nullptr;
    if (address == nullptr) {
        return false;
    }
    return httpAddrFamily(address) == AF_LOCAL || httpAddrLocalhost(address);
}

bool allowed(pappl_client_t* client, Remote remote)
{
    if (isLocalClient(client)) {
        return true;
    }
    return remote == Remote::viewOnly && papplClientGetMethod(client) == HTTP_STATE_GET;
}

void refuse(pappl_client_t* client, const char* why)
{
    if (papplClientGetMethod(client) == HTTP_STATE_POST) {
        cups_option_t* form = nullptr;
        const int numForm = papplClientGetForm(client, &form);
        cupsFreeOptions(numForm, form);
    }
    papplLogClient(client, PAPPL_LOGLEVEL_WARN, "Refused %s: %s", papplClientGetURI(client), why);
    if (!papplClientRespond(client, HTTP_STATUS_FORBIDDEN, nullptr, "text/html", 0, 0)) {
        return;
    }
    papplClientHTMLHeader(client, "Forbidden", 0);
    papplClientHTMLPrintf(client,
                          "<div class=\"content\"><div class=\"row\"><div class=\"col-12\">\n"
                          "<h1 class=\"title\">Forbidden</h1>\n<p>%s</p>\n</div></div></div>\n",
                          why);
    papplClientHTMLFooter(client);
}

constexpr char kLocalOnly[] =
    "Printers and their settings change only on the machine that runs the printer application: from its own "
    "web browser (localhost) or with the tavelin-printer-app command.";
constexpr char kNotAsRoot[] =
    "This page sets the host name, which as root rewrites /etc/hostname. Run the printer application as its "
    "own user (the service does) to use it.";

template <SystemPage page, Remote remote, AsRoot asRoot = AsRoot::allowed>
bool guardedSystemPage(pappl_client_t* client, void* system)
{
    if (!allowed(client, remote)) {
        refuse(client, kLocalOnly);
        return true;
    }
    if (asRoot == AsRoot::refused && geteuid() == 0) {
        refuse(client, kNotAsRoot);
        return true;
    }
    page(client, static_cast<pappl_system_t*>(system));
    return true;
}

template <PrinterPage page, Remote remote>
bool guardedPrinterPage(pappl_client_t* client, void* printer)
{
    if (!allowed(client, remote)) {
        refuse(client, kLocalOnly);
        return true;
    }
    page(client, static_cast<pappl_printer_t*>(printer));
    return true;
}

struct GuardedPage {
    const char* path;  // the system's path, or what follows the printer's
    const char* format;
    pappl_resource_cb_t callback;
};

constexpr GuardedPage kSystemPages[] = {
    {"/", "text/html", guardedSystemPage<_papplSystemWebHome, Remote::viewOnly>},
    {"/config", "text/html", guardedSystemPage<_papplSystemWebConfig, Remote::refused, AsRoot::refused>},
    {"/security", "text/html", guardedSystemPage<_papplSystemWebSecurity, Remote::refused>},
};

constexpr GuardedPage kLogPages[] = {
    {"/logs", "text/html", guardedSystemPage<_papplSystemWebLogs, Remote::refused>},
    {"/logfile.txt", "text/plain", guardedSystemPage<_papplSystemWebLogFile, Remote::refused>},
};

constexpr GuardedPage kPrinterPages[] = {
    {"/", "text/html", guardedPrinterPage<_papplPrinterWebHome, Remote::viewOnly>},
    {"/jobs", "text/html", guardedPrinterPage<_papplPrinterWebJobs, Remote::viewOnly>},
    {"/cancelall", "text/html", guardedPrinterPage<_papplPrinterWebCancelAllJobs, Remote::refused>},
    {"/delete", "text/html", guardedPrinterPage<_papplPrinterWebDelete, Remote::refused>},
    {"/config", "text/html", guardedPrinterPage<_papplPrinterWebConfig, Remote::refused>},
    {"/media", "text/html", guardedPrinterPage<_papplPrinterWebMedia, Remote::refused>},
};

}  // namespace

bool refuseRemoteSettings(pappl_client_t* client)
{
    if (isLocalClient(client)) {
        return false;
    }
    refuse(client, kLocalOnly);
    return true;
}

void guardSystemPages(pappl_system_t* system, bool withLogPages)
{
    for (const GuardedPage& page : kSystemPages) {
        papplSystemAddResourceCallback(system, page.path, page.format, page.callback, system);
    }
    for (const GuardedPage& page : kLogPages) {
        if (withLogPages) {
            papplSystemAddResourceCallback(system, page.path, page.format, page.callback, system);
        }
    }
}

void guardPrinterPages(pappl_printer_t* printer)
{
    pappl_system_t* system = papplPrinterGetSystem(printer);
    char base[256];
    char path[300];
    papplPrinterGetPath(printer, nullptr, base, sizeof(base));  // "/NAME"
    for (const GuardedPage& page : kPrinterPages) {
        snprintf(path, sizeof(path), "%s%s", base, page.path);
        papplSystemAddResourceCallback(system, path, page.format, page.callback, printer);
    }
}

}  // namespace tvl
