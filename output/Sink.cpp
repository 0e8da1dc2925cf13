// SPDX-License-Identifier: Apache-2.0
#include "output/Sink.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

namespace tvl {

namespace {

// Formats into a line-sized buffer; returns the length kept.
size_t formatInto(char (&buffer)[256], const char* format, va_list args)
{
    const int n = vsnprintf(buffer, sizeof buffer, format, args);
    if (n < 0) {
        return 0;
    }
    return static_cast<size_t>(n) < sizeof buffer ? static_cast<size_t>(n) : sizeof buffer - 1;
}

}  // namespace

void printerf(Output& out, const char* format, ...)
{
    char buffer[256];
    va_list args;
    va_start(args, format);
    const size_t n = formatInto(buffer, format, args);
    va_end(args);
    out.printer.write(std::span<const uint8_t>(reinterpret_cast<const uint8_t*>(buffer), n));
}

void logf(Output& out, const char* format, ...)
{
    char buffer[256];
    va_list args;
    va_start(args, format);
    const size_t n = formatInto(buffer, format, args);
    va_end(args);
    out.log.write(std::string_view(buffer, n));
}

void logSystemError(Output& out, const char* text, int error)
{
    char reason[128];
    // GNU strerror_r: returns the text, which may or may not be in `reason`.
    const char* why = strerror_r(error, reason, sizeof reason);
    out.log.write(text);
    out.log.write(": ");
    out.log.write(why);
    out.log.write("\n");
}

}  // namespace tvl
