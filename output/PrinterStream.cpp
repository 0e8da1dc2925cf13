#include "output/PrinterStream.h"

#include <cerrno>
#include <cstdio>
#include <unistd.h>

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
        flushDiagnostics();
        return 1;
    }
    flushDiagnostics();
    return 0;
}

namespace {

char diagnosticsBuffer[16 * 1024];
bool diagnosticsBuffered = false;

}  // namespace

void writeDiagnostics(const char* text, size_t length)
{
    if (length < sizeof diagnosticsBuffer || !diagnosticsBuffered || fileno(stderr) < 0) {
        if (length != 0) {
            fwrite(text, 1, length, stderr);
        }
        return;
    }
    // A large piece (the run lines of a band) goes to the descriptor as it
    // is, right after what the stream holds, instead of through the buffer.
    fflush(stderr);
    const int fd = fileno(stderr);
    while (length != 0) {
        const ssize_t n = write(fd, text, length);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return;  // the log is gone; the job goes on without it
        }
        text += n;
        length -= static_cast<size_t>(n);
    }
}

void bufferDiagnostics()
{
    if (!diagnosticsBuffered) {
        fflush(stderr);
        setvbuf(stderr, diagnosticsBuffer, _IOFBF, sizeof diagnosticsBuffer);
        diagnosticsBuffered = true;
    }
}

void flushDiagnostics()
{
    fflush(stderr);
}
