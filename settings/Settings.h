// SPDX-License-Identifier: Apache-2.0
// The job settings record: everything the filter needs to know about one job,
// read once from the queue's PPD and the job's options.
#pragma once

#include <cstdint>

namespace tvl {

// 21 fields of 32 bits in a fixed order. A plain value: no pointers, copied
// freely. Missing options are stored as -1 (see PpdSettings.h).
struct Settings {
    int32_t modelNumer;   // printer model number (*cupsModelNumber)
    int32_t pageSize;     // standard label size number, 0..54
    float customWidth;    // custom label width in points, whole numbers
    float customHeight;   // custom label height in points, whole numbers
    int32_t resolution;   // dots per inch; decides the dots per millimetre
    int32_t mediaType;    // 0 direct thermal, 1 thermal transfer
    int32_t sensorType;   // 0 gap, 1 continuous, anything else black mark
    int32_t rotation;     // quarter turns, 0..3
    int32_t numOfCopies;  // copies sent with every page's print command
    int32_t darkness;
    int32_t xMargin;      // millimetres
    int32_t yMargin;      // millimetres
    int32_t printSpeed;
    int32_t bmOffset;     // millimetres, sent with the label length
    int32_t toOffset;     // millimetres, sent with "TA"
    int32_t cutter;       // 0: no cut; anything else: cut every cutPeriod labels
    int32_t rewinder;     // read only for the rewinder models
    int32_t cutPeriod;
    int32_t lengthDot;    // label length in dots, filled by the job flow
    int32_t widthDot;     // label width in dots, filled by the job flow
    int32_t compressed;   // 1: run-length compressed bands
};

static_assert(sizeof(Settings) == 21 * 4, "Settings is 21 fields of 32 bits");

}  // namespace tvl
