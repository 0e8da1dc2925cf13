#include "filter/TextPassThrough.h"

#include <cerrno>
#include <cstdio>
#include <unistd.h>

#include "output/Commands.h"

long readFully(int fd, uint8_t* buffer, unsigned long length)
{
    for (;;) {
        const ssize_t n = read(fd, buffer, length);
        if (n >= 0) {
            return static_cast<long>(n);
        }
        if (errno != EINTR) {
            return -1;
        }
    }
}

int printText(Output& out, int fd, std::span<const uint8_t> alreadyRead, int readError)
{
    out.printer.write(alreadyRead);

    static constexpr size_t kChunk = 64 * 1024;
    static uint8_t chunk[kChunk];
    while (readError == 0) {
        const long n = readFully(fd, chunk, kChunk);
        if (n == 0) {
            break;
        }
        if (n < 0) {
            readError = errno;
            break;
        }
        out.printer.write(std::span<const uint8_t>(chunk, static_cast<size_t>(n)));
    }
    writePrinter(out, command::kLineEnd);

    if (readError != 0) {
        logSystemError(out, "TAVELIN Label Driver DEBUG MSG : ERROR: Unable to read file - ", readError);
        errno = readError;
        return kTextReadFailed;
    }
    return out.printer.flush() ? kTextSent : kTextWriteFailed;
}
