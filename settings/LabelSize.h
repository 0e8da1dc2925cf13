// Label size in printer dots, from a standard size number or a custom size.
#pragma once

#include <array>
#include <cstdint>

#include "settings/Settings.h"

// Standard label sizes 0..53 form a grid: number = 9 * widthRow + lengthColumn.
// Millimetres, whole and half inches.
inline constexpr std::array<double, 6> kStandardWidthsMm = {38.1, 50.8, 63.5, 76.2, 88.9, 101.6};
inline constexpr std::array<double, 9> kStandardLengthsMm = {25.4,  38.1,  50.8,  76.2, 101.6,
                                                             127.0, 152.4, 177.8, 203.2};
// Size 54 stands outside the grid: 4 x 12 inches.
inline constexpr double kSize54WidthMm = 101.6;
inline constexpr double kSize54LengthMm = 304.8;
inline constexpr uint32_t kLastStandardSize = 54;

// Writes the length in dots of standard size `pageSize` to *first and its
// width to *second, at `dotsPerMm` (8.0, 11.8 or 23.6). A number outside
// 0..54 writes neither.
void convertPageSize(int32_t pageSize, float dotsPerMm, int32_t* first, int32_t* second);

// The same from settings.customWidth/customHeight (points): width to
// *second, height to *first. Always writes both.
void convertCustomPageSize(const Settings& settings, float dotsPerMm, int32_t* first, int32_t* second);

// The label's lengthDot and widthDot: from the standard size when
// customWidth and customHeight are both 0, else from the custom size;
// length and width trade places for a quarter-turned job (rotation other
// than 0 and 2). A field the conversion does not write keeps its value.
void computeLabelSize(Settings* settings, float dotsPerMm);
