// SPDX-License-Identifier: Apache-2.0
// The setup block: the text commands written once per raster job, before
// the first page, that set the printer up for the job's labels.
#pragma once

#include <cstdint>

#include "output/PageResult.h"
#include "output/Sink.h"
#include "settings/Settings.h"

namespace tvl {

// One operation per command; each writes its command to the printer and
// then its diagnostic line. Millimetres become dots at out.dot.
void setLength(Output& out, int32_t sensorType, int32_t lengthDot, int32_t bmOffset, int32_t modelNumer);
void setWidth(Output& out, int32_t widthDot);
void setMediaType(Output& out, int32_t mediaType);
void setDarkness(Output& out, int32_t darkness);
void setMargin(Output& out, int32_t xMargin, int32_t yMargin);
void setSpeed(Output& out, int32_t printSpeed);
void setToOffset(Output& out, int32_t toOffset);
void setCutter(Output& out, int32_t cutter, int32_t cutPeriod);
void setRewinder(Output& out, int32_t rewinder);

// Writes the whole block and flushes it to the printer: printed() when sent,
// else PrinterWrite with the write's errno (the caller reports it).
PageResult primaryProcess(Output& out, Settings settings);

}  // namespace tvl
