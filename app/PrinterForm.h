// SPDX-License-Identifier: Apache-2.0
// The fields of the application's "Add Printer" page, checked without
// libpappl: a printer name and a device URI the application can open
// without DNS-SD (socket://, usb://, file://).
#pragma once

#include <cstddef>
#include <string_view>

namespace tvl {

// nullptr when `name` is a usable printer name (1 to 63 letters, digits,
// '-', '_' or '.', not starting with '.'), else why not.
const char* checkPrinterName(std::string_view name);

// nullptr when `uri` is socket://HOST[:PORT], usb://... or
// file:///ABSOLUTE/PATH, else why not.
const char* checkDeviceUri(const char* uri);

// For a file:// URI that checkDeviceUri took: nullptr when this process can
// write there (into an existing folder, a file per job; or to an existing
// file or device), else why not, written to `message`. Other URIs pass.
const char* checkFileDevice(const char* uri, char* message, size_t size);

}  // namespace tvl
