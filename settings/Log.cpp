// SPDX-License-Identifier: Apache-2.0
#include "settings/Log.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

namespace tvl {

std::string_view formatLine(std::span<char> line, size_t start, const char* format, va_list args)
{
    const size_t room = line.size() - start;
    const int n = vsnprintf(line.data() + start, room, format, args);
    if (n < 0) {
        return {};
    }
    return {line.data(), start + (static_cast<size_t>(n) < room ? static_cast<size_t>(n) : room - 1)};
}

namespace {

void prefixedLine(LogSink& log, std::string_view prefix, const char* format, va_list args)
{
    char line[kLineBytes];
    static_assert(kDriverLogPrefix.size() < sizeof line && kCustomParamLogPrefix.size() < sizeof line);
    std::memcpy(line, prefix.data(), prefix.size());
    const std::string_view text = formatLine(line, prefix.size(), format, args);
    if (!text.empty()) {
        log.write(text);
    }
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
