// SPDX-License-Identifier: Apache-2.0
// Printer attributes IPP Everywhere clients expect and libpappl 1.3.1 does
// not return for this driver (ipptool's ipp-everywhere.test checks them).
#pragma once

#include <cups/cups.h>

namespace tvl {

// Adds them to the driver's printer attributes; false when out of memory.
bool addEverywhereAttributes(ipp_t* attrs);

}  // namespace tvl
