// One driver per supported model, "tavelin_<model>", and what each printer
// offers: sizes, resolutions, label modes, darkness, speed and the vendor
// attributes of IppSettings.h.
#pragma once

#include <array>
#include <cstdint>

#include <pappl/pappl.h>

#include "settings/Models.h"

inline constexpr char kNativeFormat[] = "application/vnd.tavelin-tvl";

// Names, descriptions and IEEE 1284 device IDs of the 37 drivers.
struct DriverTexts {
    char name[20];
    char description[20];
    char deviceId[48];
};
std::array<DriverTexts, kSupportedModels.size()> makeDriverTexts();

// The model of a driver name ("tavelin_100" is 100); 0 for none.
int32_t modelOfDriver(const char* driverName);

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
