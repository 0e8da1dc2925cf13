// SPDX-License-Identifier: Apache-2.0
#include "output/Sink.h"

#include <cstdarg>

#include "output/SystemError.h"

namespace tvl {

void printerf(Output& out, const char* format, ...)
{
    char line[kLineBytes];
    va_list args;
    va_start(args, format);
    writePrinter(out, formatLine(line, 0, format, args));
    va_end(args);
}

void logf(Output& out, const char* format, ...)
{
    char line[kLineBytes];
    va_list args;
    va_start(args, format);
    out.log.write(formatLine(line, 0, format, args));
    va_end(args);
}

void logSystemError(Output& out, const char* text, int error)
{
    char reason[128];
    out.log.write(text);
    out.log.write(": ");
    out.log.write(systemErrorText(error, reason, sizeof reason));
    out.log.write("\n");
}

}  // namespace tvl
