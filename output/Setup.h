// The setup block: the text commands written once per raster job, before
// the first page, that set the printer up for the job's labels.
#pragma once

#include <cstdint>

#include "settings/Settings.h"

// One operation per command; each writes its command to the printer and
// then its diagnostic line.
void setLength(int32_t sensorType, int32_t lengthDot, int32_t bmOffset, int32_t modelNumer);
void setWidth(int32_t widthDot);
void setMediaType(int32_t mediaType);
void setDarkness(int32_t darkness);
void setMargin(int32_t xMargin, int32_t yMargin);
void setSpeed(int32_t printSpeed);
void setToOffset(int32_t toOffset);
void setCutter(int32_t cutter, int32_t cutPeriod);
void setRewinder(int32_t rewinder);

// Writes the whole block and flushes it to the printer. 0 when sent; 1 when
// the write to the printer failed (already reported).
int primaryProcess(Settings settings);
