// SPDX-License-Identifier: Apache-2.0
// The application's own "Add Printer" page at /addprinter: a printer from a
// name, a driver and a device URI, with no DNS-SD lookups. libpappl 1.3.1's
// page browses DNS-SD and, without a running avahi-daemon, kills the server
// with a failed assertion. Retire when libpappl's page works without
// avahi-daemon (see also PapplCompat.h).
#pragma once

#include <pappl/pappl.h>

namespace tvl {

struct DriverList {
    const pappl_pr_driver_t* drivers = nullptr;
    int count = 0;
};

// Registers the page; call before papplSystemRun (the first registration of
// a path wins). `drivers` lives as long as the system.
void addAddPrinterPage(pappl_system_t* system, const DriverList* drivers);

}  // namespace tvl
