// SPDX-License-Identifier: Apache-2.0
#include "settings/Models.h"

namespace tvl {

int jobSetup(int32_t modelNumer, LogSink& log)
{
    driverLog(log, "model number = %d\n", modelNumer);
    if (isSupportedModel(modelNumer)) {
        return 0;
    }
    driverLog(log, "This printer is not supported.\n");
    return 1;
}

}  // namespace tvl
