#include "output/PrinterStream.h"

#include <cerrno>
#include <cstdio>

void writePrinterBytes(const void* data, size_t length)
{
    if (length != 0) {
        fwrite(data, 1, length, stdout);
    }
}

int flushPrinterStream()
{
    // A large write can fail before the flush, so the error flag counts too.
    if (fflush(stdout) == EOF || ferror(stdout)) {
        if (errno == 0) {
            errno = EIO;
        }
        perror("TAVELIN Label Driver DEBUG MSG : ERROR: Unable to write to printer - ");
        return 1;
    }
    return 0;
}
