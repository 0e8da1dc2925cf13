// SPDX-License-Identifier: Apache-2.0
#include "settings/ParseNumber.h"

#include <cerrno>
#include <cstdlib>

namespace tvl {

bool parseInt32(const char* text, int32_t min, int32_t max, int32_t* value)
{
    if (text == nullptr || *text == '\0') {
        return false;
    }
    errno = 0;
    char* end = nullptr;
    const long long parsed = strtoll(text, &end, 10);
    if (errno != 0 || end == text || *end != '\0' || parsed < min || parsed > max) {
        return false;
    }
    *value = static_cast<int32_t>(parsed);
    return true;
}

}  // namespace tvl
