#include "app/PapplCompat.h"

#include <cstring>

#include <sys/stat.h>

int printerSocketOf(pappl_job_t* job, pappl_device_t* device)
{
    // libpappl 1.3.1 writes to a network printer with a blocking write()
    // loop and no timeout (pappl_socket_write, device-network.c): a printer
    // that stops reading holds the job and the printer for ever, and
    // Cancel-Job cannot end it. Whoever watches the writes needs the socket
    // to shut it down. For these three schemes the device's data is
    // libpappl's private _pappl_socket_t, whose first member is the
    // socket's descriptor; it is used only when it is a socket.
    pappl_printer_t* printer = papplJobGetPrinter(job);
    const char* uri = printer != nullptr ? papplPrinterGetDeviceURI(printer) : nullptr;
    if (uri == nullptr || device == nullptr ||
        (strncmp(uri, "socket://", 9) != 0 && strncmp(uri, "snmp://", 7) != 0 && strncmp(uri, "dnssd://", 8) != 0)) {
        return -1;
    }
    const int* data = static_cast<const int*>(papplDeviceGetData(device));
    struct stat about {};
    if (data == nullptr || *data < 0 || fstat(*data, &about) != 0 || !S_ISSOCK(about.st_mode)) {
        return -1;
    }
    return *data;
}
