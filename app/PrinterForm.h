// The fields of the application's "Add Printer" page, checked without
// libpappl: a printer name and a device URI the application can open
// without DNS-SD (socket://, usb://, file://).
#pragma once

#include <string_view>

// nullptr when `name` is a usable printer name (1 to 63 letters, digits,
// '-', '_' or '.', not starting with '.'), else why not.
const char* checkPrinterName(std::string_view name);

// nullptr when `uri` is socket://HOST[:PORT], usb://... or
// file:///ABSOLUTE/PATH, else why not.
const char* checkDeviceUri(const char* uri);
