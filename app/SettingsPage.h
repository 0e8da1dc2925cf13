// SPDX-License-Identifier: Apache-2.0
// The printer's "Label Settings" web page: what libpappl's own pages do not
// show (label mode, tear-off offset, cut period, margins, thermal mode, band
// compression, printer timeout).
#pragma once

#include <pappl/pappl.h>

namespace tvl {

// Registers the page at <printer path>/label-settings and links it from
// the printer's pages. Safe to call again for the same printer.
void addSettingsPage(pappl_printer_t* printer);

}  // namespace tvl
