#include "settings/Models.h"

#include <cstdio>

int jobSetup(int32_t modelNumer)
{
    fprintf(stderr, "TAVELIN Label Driver DEBUG MSG : model number = %d\n", modelNumer);
    if (isSupportedModel(modelNumer)) {
        return 0;
    }
    fprintf(stderr, "TAVELIN Label Driver DEBUG MSG : This printer is not supported.\n");
    return 1;
}
