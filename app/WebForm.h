// SPDX-License-Identifier: Apache-2.0
// Pieces the application's own web pages share.
#pragma once

#include <pappl/pappl.h>

namespace tvl {

// The fields of the form a client posted, read once and freed when it goes.
struct PostedForm {
    explicit PostedForm(pappl_client_t* client) : count(papplClientGetForm(client, &options)) {}
    PostedForm(const PostedForm&) = delete;
    PostedForm& operator=(const PostedForm&) = delete;
    ~PostedForm() { cupsFreeOptions(count, options); }

    // The field's value; nullptr when the form has none.
    const char* get(const char* name) const { return cupsGetOption(name, count, options); }
    // The form carries this session's token: not forged by another site.
    bool valid(pappl_client_t* client) const { return papplClientIsValidForm(client, count, options) != 0; }

    cups_option_t* options = nullptr;
    int count = 0;
};

// The banner above a page's form: what a posted form did. An error stays
// on the page in red; a success is libpappl's usual banner, which fades.
void showBanner(pappl_client_t* client, const char* text, bool error);

// Serves `page` at the printer's `subpath`, in place of what was there
// (libpappl's own page), and with a `linkLabel` links it from the printer's
// navigation bar and status page. The page's data is the printer's ID: the
// printer may be deleted while its page stays registered.
void addPrinterPage(pappl_printer_t* printer, const char* subpath, pappl_resource_cb_t page,
                    const char* linkLabel = nullptr);

// The printer a settings page registered with addPrinterPage is for, when
// this client may change its settings. Null when the page has been answered
// already, with *result what the resource callback returns: not found for
// a deleted printer, the login page or the refusal of remote settings.
pappl_printer_t* printerToChange(pappl_client_t* client, void* data, bool* result);

}  // namespace tvl
