// SPDX-License-Identifier: Apache-2.0
// Label size in printer dots, from a standard size number or a custom size.
#pragma once

#include <cstdint>

#include "settings/Capabilities.h"
#include "settings/Settings.h"

namespace tvl {

// Writes the length in dots of standard size `pageSize` to *first and its
// width to *second, at `dotsPerMm` (8.0, 11.8 or 23.6). A number outside
// the standard sizes (kLabelSizes) writes neither.
void convertPageSize(int32_t pageSize, float dotsPerMm, int32_t* first, int32_t* second);

// The same from settings.customWidth/customHeight (points): width to
// *second, height to *first. Always writes both.
void convertCustomPageSize(const Settings& settings, float dotsPerMm, int32_t* first, int32_t* second);

// The label's lengthDot and widthDot: from the standard size when
// customWidth and customHeight are both 0, else from the custom size;
// length and width trade places for a quarter-turned job (rotation other
// than 0 and 2). A field the conversion does not write keeps its value.
void computeLabelSize(Settings* settings, float dotsPerMm);

}  // namespace tvl
