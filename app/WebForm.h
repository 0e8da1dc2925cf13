// Pieces the application's own web pages share.
#pragma once

#include <pappl/pappl.h>

// The banner above a page's form: what a posted form did. An error stays
// on the page in red; a success is libpappl's usual banner, which fades.
void showBanner(pappl_client_t* client, const char* text, bool error);
