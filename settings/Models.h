// SPDX-License-Identifier: Apache-2.0
// The printer models this filter drives.
#pragma once

#include <array>
#include <cstdint>

#include "settings/Log.h"

namespace tvl {

inline constexpr std::array<int32_t, 37> kSupportedModels = {
    5,   8,   9,   23,  27,  28,  34,  38,  39,  44,  45,  47,  55,
    56,  78,  79,  100, 101, 103, 104, 142, 143, 144, 150, 157, 158,
    159, 256, 260, 261, 262, 263, 264, 265, 266, 267, 4880,
};

// Models with a rewinder: only these read the "Rewinder" option and may get
// the rewinder command instead of the cutter command.
inline constexpr std::array<int32_t, 3> kRewinderModels = {142, 143, 150};

constexpr bool isSupportedModel(int32_t model)
{
    for (int32_t m : kSupportedModels) {
        if (m == model) {
            return true;
        }
    }
    return false;
}

constexpr bool isRewinderModel(int32_t model)
{
    for (int32_t m : kRewinderModels) {
        if (m == model) {
            return true;
        }
    }
    return false;
}

// Logs the model number and whether it is supported. 0: supported, 1: not.
int jobSetup(int32_t modelNumer, LogSink& log);

}  // namespace tvl
