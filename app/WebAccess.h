// SPDX-License-Identifier: Apache-2.0
// Who may change what through the web pages. libpappl 1.3.1 refuses
// administrative IPP operations (Create-Printer, Set-Printer-Attributes,
// Pause-Printer, ...) from other machines when no authentication service is
// set, but its web pages take any client's forms. The application puts its
// own handler in front of each of those pages: a client on another machine
// may look at the status pages and nothing else; settings change from this
// machine (loopback or the sub-commands' domain socket) only.
#pragma once

#include <pappl/pappl.h>

namespace tvl {

// For a page handler: when the client is not local, reads and drops a posted
// form, answers 403 with a short page and returns true.
bool refuseRemoteSettings(pappl_client_t* client);

// Registers the guarded system pages; call before papplSystemRun (the
// first registration of a path wins). `withLogPages`: libpappl shows the log
// (a log file, not "-" or "syslog").
void guardSystemPages(pappl_system_t* system, bool withLogPages);

// Registers the guarded printer pages; call from the printer creation
// callback, which libpappl runs before it adds its own pages.
void guardPrinterPages(pappl_printer_t* printer);

}  // namespace tvl
