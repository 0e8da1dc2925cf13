// SPDX-License-Identifier: Apache-2.0
// Documents the application renders itself - PNG, JPEG, PDF and the test
// label - registered as libpappl MIME filters to the driver's native format,
// so that libpappl's own image readers never see them.
#pragma once

#include <cstddef>

#include <pappl/pappl.h>

namespace tvl {

// The MIME type of the test label document: a file that starts with
// kTestLabelMagic. Its content after the magic is ignored.
inline constexpr char kTestLabelFormat[] = "application/vnd.tavelin-testlabel";
inline constexpr char kTestLabelMagic[] = "%TVL-TEST-LABEL";

// Registers the filters and the MIME typing of the test label on `system`.
// Call before any printer is created or loaded: libpappl builds a printer's
// document-format-supported from the filters it knows then.
void addDocumentFilters(pappl_system_t* system);

// The driver's test page callback: writes a test label document into
// libpappl's temporary folder (libpappl removes it after the job) and
// returns its path in `buffer`; nullptr when it cannot be written.
const char* writeTestLabelFile(pappl_printer_t* printer, char* buffer, size_t size);

}  // namespace tvl
