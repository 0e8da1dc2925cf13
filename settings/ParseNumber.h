// SPDX-License-Identifier: Apache-2.0
// The one integer parser of the driver's own inputs: IPP vendor values, web
// form fields and driver names.
#pragma once

#include <cstdint>

namespace tvl {

// A whole decimal number and nothing after it, as strtol reads one (leading
// blanks and one sign allowed), within [min, max]. Writes *value and returns
// true; false, *value untouched, for nullptr, an empty text, junk, a number
// beyond 64 bits or one outside the range.
bool parseInt32(const char* text, int32_t min, int32_t max, int32_t* value);

}  // namespace tvl
