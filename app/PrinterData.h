// SPDX-License-Identifier: Apache-2.0
// What a printer of a supported model is to the printer application: its
// driver's name, description and IEEE 1284 device ID, and the format its
// jobs are written in. Read by the driver callbacks (Drivers.h) and by the
// jobs (DocumentJob, JobSettings), below both.
#pragma once

#include <array>
#include <cstdint>

#include "settings/Models.h"

namespace tvl {

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

}  // namespace tvl
