// SPDX-License-Identifier: Apache-2.0
// The "devices" sub-command without DNS-SD: libpappl 1.3.1 looks for network
// printers through avahi, and without a running avahi-daemon it aborts in
// avahi_service_browser_new. Only printers found on this machine are listed
// (USB); network printers are added by their URI. Retire when libpappl's
// sub-command works without avahi-daemon (see also PapplCompat.h).
#pragma once

// Lists the local printers on standard output; the exit status.

namespace tvl {
int listLocalDevices();

}  // namespace tvl
