// SPDX-License-Identifier: Apache-2.0
// Pieces the application's own web pages share.
#pragma once

#include <pappl/pappl.h>

namespace tvl {

// The banner above a page's form: what a posted form did. An error stays
// on the page in red; a success is libpappl's usual banner, which fades.
void showBanner(pappl_client_t* client, const char* text, bool error);

// Serves `page` at the printer's `subpath`, in place of what was there
// (libpappl's own page), and with a `linkLabel` links it from the printer's
// navigation bar and status page. The page's data is the printer's ID: the
// printer may be deleted while its page stays registered.
void addPrinterPage(pappl_printer_t* printer, const char* subpath, pappl_resource_cb_t page,
                    const char* linkLabel = nullptr);

// The printer a page registered with addPrinterPage is for, or null when it
// was deleted.
pappl_printer_t* printerOfPage(pappl_client_t* client, void* data);

}  // namespace tvl
