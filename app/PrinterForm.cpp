// SPDX-License-Identifier: Apache-2.0
#include "app/PrinterForm.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include <sys/stat.h>
#include <unistd.h>

#include <cups/cups.h>

namespace tvl {

namespace {

constexpr size_t kMaxNameLength = 63;

constexpr bool isNameCharacter(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' || c == '_' ||
           c == '.';
}

}  // namespace

const char* checkPrinterName(std::string_view name)
{
    if (name.empty() || name.size() > kMaxNameLength) {
        return "The name is 1 to 63 characters long.";
    }
    if (name.front() == '.') {
        return "The name does not start with a dot.";
    }
    for (char c : name) {
        if (!isNameCharacter(c)) {
            return "The name holds only letters, digits, '-', '_' and '.'.";
        }
    }
    return nullptr;
}

const char* checkDeviceUri(const char* uri)
{
    constexpr const char* kUsage = "Give a device URI: socket://HOST:9100, usb://... or file:///PATH.";
    if (uri == nullptr || *uri == '\0') {
        return kUsage;
    }
    char scheme[32], user[256], host[256], resource[1024];
    int port = 0;
    if (httpSeparateURI(HTTP_URI_CODING_ALL, uri, scheme, sizeof(scheme), user, sizeof(user), host, sizeof(host),
                        &port, resource, sizeof(resource)) < HTTP_URI_STATUS_OK) {
        return kUsage;
    }
    if (strcmp(scheme, "socket") == 0) {
        if (host[0] == '\0' || port <= 0 || port > 65535) {
            return "A socket URI names a host and a port: socket://HOST:9100.";
        }
        return nullptr;
    }
    if (strcmp(scheme, "usb") == 0) {
        return host[0] != '\0' ? nullptr : "A USB URI names the printer: usb://MAKER/MODEL?serial=...";
    }
    if (strcmp(scheme, "file") == 0) {
        return resource[0] == '/' && host[0] == '\0' ? nullptr : "A file URI names an absolute path: file:///PATH.";
    }
    return "Only socket://, usb:// and file:// devices can be added here (no network discovery).";
}

const char* checkFileDevice(const char* uri, char* message, size_t size)
{
    char scheme[32], user[256], host[256], path[1024];
    int port = 0;
    if (httpSeparateURI(HTTP_URI_CODING_ALL, uri, scheme, sizeof(scheme), user, sizeof(user), host, sizeof(host),
                        &port, path, sizeof(path)) < HTTP_URI_STATUS_OK ||
        strcmp(scheme, "file") != 0) {
        return nullptr;
    }
    if (char* options = strchr(path, '?')) {
        *options = '\0';  // libpappl's ?ext=...
    }
    char reason[128];
    struct stat info {};
    if (stat(path, &info) != 0) {
        if (errno == ENOENT) {
            snprintf(message, size, "There is no folder %s: create it first, or name one that exists.", path);
        } else {
            snprintf(message, size, "%s cannot be reached: %s.", path, strerror_r(errno, reason, sizeof(reason)));
        }
        return message;
    }
    const bool folder = S_ISDIR(info.st_mode);
    if (access(path, folder ? W_OK | X_OK : W_OK) != 0) {
        snprintf(message, size, "The printer application cannot write %s %s: %s.", folder ? "into" : "to", path,
                 strerror_r(errno, reason, sizeof(reason)));
        return message;
    }
    return nullptr;
}

}  // namespace tvl
