// Standard output is the printer. Writes are buffered; these helpers flush
// it at the points where the job hands data to the backend and notice when
// the backend has gone away or its device is full.
//
// Standard error carries the diagnostics; in compressed mode that is one line
// per run, thousands per label. It is fully buffered too, and flushed
// wherever standard output is flushed, at the end of every page, before the
// filter waits for its input and when the job ends. Every line, perror's
// included, goes through the one stderr stream, so the lines keep their order.
#pragma once

#include <cstddef>

// Writes bytes to the printer stream (buffered).
void writePrinterBytes(const void* data, size_t length);

// Flushes standard output, then standard error. 0 when everything written so
// far reached the backend; 1 when a write failed, after reporting it through
// perror.
int flushPrinterStream();

// Makes standard error fully buffered. Called once at the start of the job,
// before its first line; calling it again changes nothing.
void bufferDiagnostics();

// Writes diagnostic text as it is (buffered).
void writeDiagnostics(const char* text, size_t length);

// Hands the buffered diagnostic lines to the scheduler's log.
void flushDiagnostics();
