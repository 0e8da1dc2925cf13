// SPDX-License-Identifier: Apache-2.0
#include "filter/StdioSinks.h"

#include <cerrno>
#include <cstdio>
#include <ctime>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tvl {

StderrLog::~StderrLog()
{
    fflush(stderr);
    if (buffered_) {
        setvbuf(stderr, nullptr, _IONBF, 0);
    }
}

void StderrLog::write(std::string_view text)
{
    if (text.size() < sizeof buffer_ || !buffered_ || fileno(stderr) < 0) {
        if (!text.empty()) {
            fwrite(text.data(), 1, text.size(), stderr);
        }
        return;
    }
    // A large piece (the run lines of a band) goes to the descriptor as it
    // is, right after what the stream holds, instead of through the buffer.
    fflush(stderr);
    const int fd = fileno(stderr);
    const char* p = text.data();
    size_t left = text.size();
    while (left != 0) {
        const ssize_t n = ::write(fd, p, left);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return;  // the log is gone; the job goes on without it
        }
        p += n;
        left -= static_cast<size_t>(n);
    }
}

void StderrLog::flush()
{
    fflush(stderr);
}

void StderrLog::buffer()
{
    if (!buffered_) {
        fflush(stderr);
        setvbuf(stderr, buffer_, _IOFBF, sizeof buffer_);
        buffered_ = true;
    }
}

bool StderrLog::waitUntilTaken(int limitMs)
{
    fflush(stderr);
    const int fd = fileno(stderr);
    struct stat status {};
    if (fd < 0 || fstat(fd, &status) != 0 || !S_ISFIFO(status.st_mode)) {
        return true;  // a file or a terminal holds nothing back
    }
    const timespec step{0, 1000 * 1000};
    for (int waited = 0;; ++waited) {
        int unread = 0;
        if (ioctl(fd, FIONREAD, &unread) != 0 || unread == 0) {
            return true;
        }
        pollfd reader{fd, POLLOUT, 0};
        if (poll(&reader, 1, 0) == 1 && (reader.revents & POLLERR) != 0) {
            return true;  // no reader any more: nobody will take the rest
        }
        if (waited >= limitMs) {
            return false;
        }
        nanosleep(&step, nullptr);
    }
}

void StdoutPrinter::write(std::span<const uint8_t> bytes)
{
    if (!bytes.empty()) {
        fwrite(bytes.data(), 1, bytes.size(), stdout);
    }
}

bool StdoutPrinter::flush()
{
    // A large write can fail before the flush, so the error flag counts too.
    if (fflush(stdout) == EOF || ferror(stdout)) {
        const int error = errno != 0 ? errno : EIO;
        Output out{*this, log_, 0.0f};
        logSystemError(out, driverText("ERROR: Unable to write to printer - ").data(), error);
        log_.flush();
        errno = error;
        return false;
    }
    log_.flush();
    return true;
}

}  // namespace tvl
