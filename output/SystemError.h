// SPDX-License-Identifier: Apache-2.0
// The system's text for an errno value, safe in any thread: strerror_r,
// never strerror (the printer application runs jobs on several printers at
// once).
#pragma once

#include <cstddef>
#include <cstdio>
#include <cstring>
#include <string>

namespace tvl {

// GNU strerror_r: the text, in `buffer` or a static string of the library.
inline const char* systemErrorText(int error, char* buffer, size_t size)
{
    return strerror_r(error, buffer, size);
}

// "<what>: <the system's text for error>" into `message`.
inline void describeSystemError(char* message, size_t size, const char* what, int error)
{
    char text[128];
    snprintf(message, size, "%s: %s", what, systemErrorText(error, text, sizeof text));
}

// The same as a string.
inline std::string systemErrorReason(const std::string& what, int error)
{
    char text[128];
    return what + ": " + systemErrorText(error, text, sizeof text);
}

}  // namespace tvl
