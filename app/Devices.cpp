// SPDX-License-Identifier: Apache-2.0
#include "app/Devices.h"

#include <cstdio>

#include <pappl/pappl.h>

namespace tvl {

namespace {

bool printDevice(const char* info, const char* uri, const char* deviceId, void* data)
{
    ++*static_cast<int*>(data);
    printf("%s\n", uri);
    if (info != nullptr && *info != '\0') {
        printf("    %s\n", info);
    }
    if (deviceId != nullptr && *deviceId != '\0') {
        printf("    %s\n", deviceId);
    }
    return false;  // keep listing
}

void printError(const char* message, void*)
{
    fprintf(stderr, "tavelin-printer-app: %s\n", message);
}

}  // namespace

int listLocalDevices()
{
    int found = 0;
    papplDeviceList(PAPPL_DEVTYPE_LOCAL, printDevice, &found, printError, nullptr);
    if (found == 0) {
        fprintf(stderr, "No printers found on this machine.\n");
    }
    // The notes go to standard error: standard output lists devices only.
    fprintf(stderr, "Network printers are not looked for: add one by its URI, e.g.\n"
           "  tavelin-printer-app add -d labels -m tavelin_100 -v socket://192.168.1.50:9100\n");
    return 0;
}

}  // namespace tvl
