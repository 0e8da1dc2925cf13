// SPDX-License-Identifier: Apache-2.0
// The printer's "Printing Defaults" web page, in place of libpappl's: what a
// job prints with when it does not say, in a label printer's terms (label
// size, darkness level 0..15, speed in inches per second, resolution, gray
// shades). The label settings stay on their own page ("Label Settings"),
// and libpappl's Print Mode, Optimize For, Scaling, Print Quality and
// Orientation, which a label prints without, become one "Gray shades"
// choice or go.
#pragma once

#include <pappl/pappl.h>

namespace tvl {

// Registers the page at <printer path>/printing: call from the printer
// creation callback, before libpappl adds its own page there (the first
// registration of a path wins). Safe to call again for the same printer.
void addDefaultsPage(pappl_printer_t* printer);

}  // namespace tvl
