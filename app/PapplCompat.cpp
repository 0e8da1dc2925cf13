// SPDX-License-Identifier: Apache-2.0
#include "app/PapplCompat.h"

#include <csignal>
#include <cstdio>
#include <cstring>

#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include "app/Drivers.h"
#include "output/Fd.h"

namespace tvl {

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

void ignoreBrokenPipes()
{
    signal(SIGPIPE, SIG_IGN);
}

namespace {

// Whether this machine has IPv6 on its loopback interface: a socket bound
// to [::1].
bool hasIpv6Loopback()
{
    const UniqueFd fd(socket(AF_INET6, SOCK_STREAM | SOCK_CLOEXEC, 0));
    if (!fd.valid()) {
        return false;
    }
    sockaddr_in6 address{};
    address.sin6_family = AF_INET6;
    address.sin6_addr = in6addr_loopback;
    return bind(fd.get(), reinterpret_cast<const sockaddr*>(&address), sizeof(address)) == 0;
}

struct PrinterIds {
    int ids[256];
    size_t count = 0;
};

void collectId(pappl_printer_t* printer, void* data)
{
    auto* list = static_cast<PrinterIds*>(data);
    if (list->count < sizeof(list->ids) / sizeof(list->ids[0])) {
        list->ids[list->count++] = papplPrinterGetID(printer);
    }
}

// Jobs without a format out of the state file at `path`.
bool dropJobsWithoutFormat(const std::string& path)
{
    const UniqueFile in(fopen(path.c_str(), "r"));
    if (!in) {
        return false;
    }
    const std::string temporary = path + ".new";
    UniqueFile out(fopen(temporary.c_str(), "w"));
    if (!out) {
        return false;
    }
    char line[4096];
    bool dropped = false;
    while (fgets(line, sizeof(line), in.get()) != nullptr) {
        if (strncmp(line, "Job ", 4) == 0 && strstr(line, " format=\"") == nullptr) {
            dropped = true;
            continue;
        }
        fputs(line, out.get());
    }
    const bool written = closeFile(out) && !ferror(in.get());
    if (!written || !dropped) {
        unlink(temporary.c_str());
        return written;
    }
    return rename(temporary.c_str(), path.c_str()) == 0;
}

void writeSpeed(pappl_printer_t* printer, void* file)
{
    pappl_pr_driver_data_t data;
    if (papplPrinterGetDriverData(printer, &data) != nullptr) {
        fprintf(static_cast<FILE*>(file), "%d %d\n", papplPrinterGetID(printer), data.speed_default);
    }
}

void addJobSignature(pappl_printer_t* printer, void* data)
{
    auto* signature = static_cast<unsigned long*>(data);
    *signature = *signature * 31u + static_cast<unsigned long>(papplPrinterGetNextJobID(printer)) * 7u +
                 static_cast<unsigned long>(papplPrinterGetNumberOfActiveJobs(printer)) * 3u +
                 static_cast<unsigned long>(papplPrinterGetNumberOfCompletedJobs(printer));
}

}  // namespace

bool addListeners(pappl_system_t* system, const char* host)
{
    if (strcmp(host, "localhost") != 0) {
        return papplSystemAddListeners(system, host);
    }
    const bool ipv4 = papplSystemAddListeners(system, "127.0.0.1");
    const bool ipv6 = hasIpv6Loopback() && papplSystemAddListeners(system, "[::1]");
    return ipv4 || ipv6;
}

void forEachPrinter(pappl_system_t* system, void (*action)(pappl_printer_t*, void*), void* data)
{
    PrinterIds list;
    papplSystemIteratePrinters(system, collectId, &list);
    for (size_t i = 0; i < list.count; ++i) {
        if (pappl_printer_t* printer = papplSystemFindPrinter(system, nullptr, list.ids[i], nullptr)) {
            action(printer, data);
        }
    }
}

bool saveStateFile(pappl_system_t* system, const std::string& path)
{
    return papplSystemSaveState(system, path.c_str()) && dropJobsWithoutFormat(path);
}

bool saveSpeedDefaults(pappl_system_t* system, const std::string& path)
{
    const std::string temporary = path + ".new";
    UniqueFile file(fopen(temporary.c_str(), "w"));
    if (!file) {
        return false;
    }
    forEachPrinter(system, writeSpeed, file.get());
    return closeFile(file) && rename(temporary.c_str(), path.c_str()) == 0;
}

void loadSpeedDefaults(pappl_system_t* system, const std::string& path)
{
    const UniqueFile file(fopen(path.c_str(), "r"));
    if (!file) {
        return;
    }
    int id = 0;
    int speed = 0;
    while (fscanf(file.get(), "%d %d", &id, &speed) == 2) {
        if (pappl_printer_t* printer = papplSystemFindPrinter(system, nullptr, id, nullptr)) {
            publishDefaults(printer, speed);
        }
    }
}

unsigned long jobHistorySignature(pappl_system_t* system)
{
    unsigned long signature = 1;
    papplSystemIteratePrinters(system, addJobSignature, &signature);
    return signature;
}

}  // namespace tvl
