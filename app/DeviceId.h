// SPDX-License-Identifier: Apache-2.0
// The model in an IEEE 1284 device ID ("MFG:Tavelin;MDL:100;CMD:TVL;"), for
// the autoadd sub-command: the printers this application drives say
// MFG (or MANUFACTURER) Tavelin and MDL (or MODEL) the model number.
#pragma once

#include <cstdint>
#include <string_view>

#include "settings/Models.h"

namespace tvl {

namespace deviceid {

constexpr bool sameKey(std::string_view a, std::string_view b)
{
    if (a.size() != b.size()) {
        return false;
    }
    for (size_t i = 0; i < a.size(); ++i) {
        const char x = (a[i] >= 'a' && a[i] <= 'z') ? static_cast<char>(a[i] - 32) : a[i];
        if (x != b[i]) {
            return false;
        }
    }
    return true;
}

}  // namespace deviceid

// The supported model the ID names, or 0.
constexpr int32_t modelOfDeviceId(std::string_view id)
{
    bool maker = false;
    int32_t model = 0;
    while (!id.empty()) {
        const size_t end = id.find(';');
        const std::string_view pair = id.substr(0, end);
        id = end == std::string_view::npos ? std::string_view() : id.substr(end + 1);
        const size_t colon = pair.find(':');
        if (colon == std::string_view::npos) {
            continue;
        }
        std::string_view key = pair.substr(0, colon);
        while (!key.empty() && key.front() == ' ') {
            key.remove_prefix(1);
        }
        const std::string_view value = pair.substr(colon + 1);
        if (deviceid::sameKey(key, "MFG") || deviceid::sameKey(key, "MANUFACTURER")) {
            maker = deviceid::sameKey(value, "TAVELIN");
        } else if (deviceid::sameKey(key, "MDL") || deviceid::sameKey(key, "MODEL")) {
            model = 0;
            std::string_view digits = value;
            if (digits.size() > 8 || digits.empty()) {
                continue;
            }
            int32_t number = 0;
            bool valid = true;
            for (char c : digits) {
                valid = valid && c >= '0' && c <= '9';
                number = number * 10 + (c - '0');
            }
            model = valid ? number : 0;
        }
    }
    return maker && isSupportedModel(model) ? model : 0;
}

static_assert(modelOfDeviceId("MFG:Tavelin;MDL:100;CMD:TVL;") == 100);

}  // namespace tvl
