// SPDX-License-Identifier: Apache-2.0
#include "app/EverywhereAttributes.h"

#include <cstring>

namespace tvl {

namespace {

// The label roll: the printer does not report how much is left, so the
// level and the capacity are "unknown" (-2).
constexpr char kLabelSupply[] =
    "index=1;class=supplyThatIsConsumed;type=other;unit=other;maxcapacity=-2;level=-2;";

}  // namespace

bool addEverywhereAttributes(ipp_t* attrs)
{
    // No preferred-attributes answers; one rendering, its own dither; one
    // side, so the back of a sheet is never turned.
    return ippAddBoolean(attrs, IPP_TAG_PRINTER, "preferred-attributes-supported", 0) != nullptr &&
           ippAddString(attrs, IPP_TAG_PRINTER, IPP_TAG_KEYWORD, "print-rendering-intent-default", nullptr, "auto") !=
               nullptr &&
           ippAddString(attrs, IPP_TAG_PRINTER, IPP_TAG_KEYWORD, "print-rendering-intent-supported", nullptr,
                        "auto") != nullptr &&
           ippAddString(attrs, IPP_TAG_PRINTER, IPP_TAG_KEYWORD, "pwg-raster-document-sheet-back", nullptr,
                        "normal") != nullptr &&
           ippAddOctetString(attrs, IPP_TAG_PRINTER, "printer-supply", kLabelSupply,
                             static_cast<int>(strlen(kLabelSupply))) != nullptr &&
           ippAddString(attrs, IPP_TAG_PRINTER, IPP_TAG_TEXT, "printer-supply-description", nullptr, "Labels") !=
               nullptr;
}

}  // namespace tvl
