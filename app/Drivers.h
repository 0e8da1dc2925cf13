// SPDX-License-Identifier: Apache-2.0
// libpappl's driver callbacks: one driver per supported model,
// "tavelin_<model>" (PrinterData.h), and what each printer offers: sizes,
// resolutions, label modes, darkness, speed and the vendor attributes of
// IppSettings.h, from settings/Capabilities.h.
#pragma once

#include <pappl/pappl.h>

#include "app/PrinterData.h"

namespace tvl {

// libpappl's autoadd callback: the driver of a device whose ID names a
// supported model. `drivers` is the 37 drivers' table.
const char* autoAddDriver(const char* deviceInfo, const char* deviceUri, const char* deviceId, void* drivers);

// libpappl's driver callback.
bool driverCallback(pappl_system_t* system, const char* driverName, const char* deviceUri, const char* deviceId,
                    pappl_pr_driver_data_t* data, ipp_t** attrs, void* context);

// Brings the printer's print-darkness-default and print-speed-default
// attributes up to its driver defaults (libpappl stores the defaults but
// does not return them), and its advertised resolution up to its
// printer-resolution-default (libpappl loads that from its state file
// without advertising it). A `speedDefault` of 0 or more replaces the
// printer's print-speed-default first (libpappl does not save it in its
// state file). true when they changed.
bool publishDefaults(pappl_printer_t* printer, int speedDefault = -1);

}  // namespace tvl
