// SPDX-License-Identifier: Apache-2.0
#include "filter/TextPassThrough.h"

#include <cerrno>
#include <memory>
#include <new>
#include <unistd.h>

#include "output/Commands.h"

namespace tvl {

ssize_t readSome(int fd, std::span<uint8_t> buffer)
{
    for (;;) {
        const ssize_t n = read(fd, buffer.data(), buffer.size());
        if (n >= 0 || errno != EINTR) {
            return n;
        }
    }
}

int printText(Output& out, int fd, std::span<const uint8_t> alreadyRead, int readError)
{
    out.printer.write(alreadyRead);

    constexpr size_t kChunk = 64 * 1024;
    std::unique_ptr<uint8_t[]> chunk;
    if (readError == 0) {
        chunk.reset(new (std::nothrow) uint8_t[kChunk]);
        if (!chunk) {
            readError = ENOMEM;
        }
    }
    while (readError == 0) {
        const ssize_t n = readSome(fd, std::span<uint8_t>(chunk.get(), kChunk));
        if (n == 0) {
            break;
        }
        if (n < 0) {
            readError = errno;
            break;
        }
        out.printer.write(std::span<const uint8_t>(chunk.get(), static_cast<size_t>(n)));
    }
    writePrinter(out, command::kLineEnd);

    if (readError != 0) {
        logSystemError(out, driverText("ERROR: Unable to read file - ").data(), readError);
        errno = readError;
        return kTextReadFailed;
    }
    return out.printer.flush() ? kTextSent : kTextWriteFailed;
}

}  // namespace tvl
