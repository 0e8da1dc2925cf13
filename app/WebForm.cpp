#include "app/WebForm.h"

void showBanner(pappl_client_t* client, const char* text, bool error)
{
    // papplClientHTMLPrintf escapes the text (%s).
    if (error) {
        papplClientHTMLPrintf(client,
                              "<div class=\"banner error\" role=\"alert\" style=\"animation:none;"
                              "background:#f6d3d0;border-left:6px solid #b3261e\">&#9888; %s</div>\n",
                              text);
    } else {
        papplClientHTMLPrintf(client, "<div class=\"banner\" role=\"status\">%s</div>\n", text);
    }
}
