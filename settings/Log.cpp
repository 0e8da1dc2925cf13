// SPDX-License-Identifier: Apache-2.0
#include "settings/Log.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

namespace tvl {

namespace {

void prefixedLine(LogSink& log, std::string_view prefix, const char* format, va_list args)
{
    char line[256];
    static_assert(kDriverLogPrefix.size() < sizeof line && kCustomParamLogPrefix.size() < sizeof line);
    std::memcpy(line, prefix.data(), prefix.size());
    const size_t room = sizeof line - prefix.size();
    const int n = vsnprintf(line + prefix.size(), room, format, args);
    if (n < 0) {
        return;
    }
    const size_t kept = static_cast<size_t>(n) < room ? static_cast<size_t>(n) : room - 1;
    log.write(std::string_view(line, prefix.size() + kept));
}

}  // namespace

void driverLog(LogSink& log, const char* format, ...)
{
    va_list args;
    va_start(args, format);
    prefixedLine(log, kDriverLogPrefix, format, args);
    va_end(args);
}

void customParamLog(LogSink& log, const char* format, ...)
{
    va_list args;
    va_start(args, format);
    prefixedLine(log, kCustomParamLogPrefix, format, args);
    va_end(args);
}

}  // namespace tvl
