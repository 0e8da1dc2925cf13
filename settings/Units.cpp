// SPDX-License-Identifier: Apache-2.0
#include "settings/Units.h"

#include <cmath>
#include <limits>

#include "settings/Capabilities.h"

namespace tvl {

int32_t truncateToInt32(double value)
{
    if (std::isnan(value)) {
        return 0;
    }
    // 2^31 is exact in double; anything at or above it (or below -2^31)
    // does not fit.
    if (value >= 2147483648.0) {
        return std::numeric_limits<int32_t>::max();
    }
    if (value <= -2147483649.0) {
        return std::numeric_limits<int32_t>::min();
    }
    return static_cast<int32_t>(value);
}

float dotsPerMillimetre(int32_t resolution)
{
    for (const PrintHead& head : kPrintHeads) {
        if (head.dpi == resolution) {
            return head.dotsPerMm;
        }
    }
    return kPrintHeads.back().dotsPerMm;
}

int32_t millimetresToDots(int32_t millimetres, float dotsPerMm)
{
    const float dots = static_cast<float>(millimetres) * dotsPerMm;
    return truncateToInt32(dots);
}

}  // namespace tvl
