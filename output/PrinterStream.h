// Standard output is the printer. Writes are buffered; these helpers flush
// it at the points where the job hands data to the backend and notice when
// the backend has gone away or its device is full.
#pragma once

#include <cstddef>

// Writes bytes to the printer stream (buffered).
void writePrinterBytes(const void* data, size_t length);

// Flushes standard output. 0 when everything written so far reached the
// backend; 1 when a write failed, after reporting it through perror.
int flushPrinterStream();
