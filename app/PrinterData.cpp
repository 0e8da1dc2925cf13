// SPDX-License-Identifier: Apache-2.0
#include "app/PrinterData.h"

#include <cstdio>
#include <cstring>
#include <limits>

#include "settings/ParseNumber.h"

namespace tvl {

namespace {

constexpr char kDriverPrefix[] = "tavelin_";

}  // namespace

std::array<DriverTexts, kSupportedModels.size()> makeDriverTexts()
{
    std::array<DriverTexts, kSupportedModels.size()> texts{};
    for (size_t i = 0; i < kSupportedModels.size(); ++i) {
        const int model = kSupportedModels[i];
        snprintf(texts[i].name, sizeof(texts[i].name), "%s%d", kDriverPrefix, model);
        snprintf(texts[i].description, sizeof(texts[i].description), "Tavelin %d", model);
        snprintf(texts[i].deviceId, sizeof(texts[i].deviceId), "MFG:Tavelin;MDL:%d;CMD:TVL;", model);
    }
    return texts;
}

int32_t modelOfDriver(const char* driverName)
{
    constexpr size_t prefixLength = sizeof(kDriverPrefix) - 1;
    int32_t model = 0;
    if (driverName == nullptr || strncmp(driverName, kDriverPrefix, prefixLength) != 0 ||
        !parseInt32(driverName + prefixLength, std::numeric_limits<int32_t>::min(),
                    std::numeric_limits<int32_t>::max(), &model) ||
        !isSupportedModel(model)) {
        return 0;
    }
    return model;
}

}  // namespace tvl
