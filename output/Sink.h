// SPDX-License-Identifier: Apache-2.0
// Where the printer command stream and the driver's diagnostics go.
//
// The code in output/ never names standard output or standard error: it
// writes to the two sinks it is handed (LogSink is in settings/Log.h, so
// that the settings code can log too). The CUPS filter hands it sinks on
// stdout (the backend) and stderr (the scheduler's log); the printer
// application hands it the printer's device and the job's log.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

#include "settings/Log.h"

namespace tvl {

// The printer's byte stream. Writes may be buffered; flush() hands them to
// the printer. A sink remembers a failed write and reports it at the next
// flush.
class PrinterSink {
public:
    virtual ~PrinterSink() = default;
    virtual void write(std::span<const uint8_t> bytes) = 0;
    // true when everything written so far reached the printer; false (with
    // errno set) when the printer connection failed.
    virtual bool flush() = 0;
};

// What one job writes through: the two sinks and the job's dots per
// millimetre (8.0, 11.8 or 23.6, from its resolution). A job's Output is its
// own: nothing in output/ keeps state between calls, so several jobs may
// print at once, each with its own Output.
struct Output {
    PrinterSink& printer;
    LogSink& log;
    float dot;
};

// Formatted writes, printf-style. A command or line longer than 255 bytes
// is cut there; none of the driver's is.
void printerf(Output& out, const char* format, ...) __attribute__((format(printf, 2, 3)));
void logf(Output& out, const char* format, ...) __attribute__((format(printf, 2, 3)));

inline void writePrinter(Output& out, std::string_view text)
{
    out.printer.write(std::span<const uint8_t>(reinterpret_cast<const uint8_t*>(text.data()), text.size()));
}

// Writes `text`, ": ", the system's text for `error` and "\n" to the log:
// the line perror(text) writes.
void logSystemError(Output& out, const char* text, int error);

}  // namespace tvl
