// SPDX-License-Identifier: Apache-2.0
// Reading the job settings from the queue's PPD (env PPD) and the job options.
#pragma once

#include <cstdint>

#include <cups/ppd.h>

#include "settings/Log.h"
#include "settings/Settings.h"

namespace tvl {

// Opens the PPD, marks its defaults and then the job's options, fills the
// whole record (lengthDot and widthDot stay 0), sets *dotsPerMm to the dots
// per millimetre of the job's resolution (8.0, 11.8 or 23.6) and logs every
// setting. 0 on success; 1 when the PPD cannot be opened (nothing else done,
// nothing logged).
int initializeSettings(const char* options, LogSink& log, Settings* settings, float* dotsPerMm);

// Value of an option: the number its marked (or default) choice keyword
// begins with; the custom value for a "Custom" choice; -1 when missing.
int getOptionChoiceIndex(const char* keyword, ppd_file_t* ppd, LogSink& log);

// Current value of the first parameter of the option's custom option, read
// as an integer; -1 when missing.
int getCustomOptionChoiceIndex(const char* keyword, ppd_file_t* ppd, LogSink& log);

// Same value as getCustomOptionChoiceIndex, logged differently (cut period).
int getCustomParam(const char* keyword, ppd_file_t* ppd, LogSink& log);

// A named custom parameter's value in points, truncated; -1 when missing.
int getCustomPageParam(const char* keyword, const char* name, ppd_file_t* ppd, LogSink& log);

// A choice keyword read as a number the way atoi reads it: leading blanks,
// one sign, then digits up to the first other character ("203dpi" is 203,
// "Letter" is 0). Out-of-range numbers give the nearest 32-bit limit.
int32_t parseChoiceValue(const char* keyword);

// One line per setting, then the rule line; rewinder only for its models.
void writeSettingsDump(LogSink& log, const Settings& settings);

}  // namespace tvl
