// SPDX-License-Identifier: Apache-2.0
// Unit conversions shared by the label size and the setup commands.
#pragma once

#include <cstdint>

namespace tvl {

// Truncates toward zero to a 32-bit signed integer. Values beyond the 32-bit
// range give the nearest limit and NaN gives 0, where a plain conversion
// would be undefined.
int32_t truncateToInt32(double value);

// Dots per millimetre for a resolution in dots per inch: that of its print
// head in kPrintHeads (8.0 for 203, 11.8 for 300), the finest head's (23.6)
// for anything else. Single-precision constants.
float dotsPerMillimetre(int32_t resolution);

// Whole millimetres to printer dots: single-precision product, truncated.
int32_t millimetresToDots(int32_t millimetres, float dotsPerMm);

}  // namespace tvl
