#include "filter/Job.h"

#include <array>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <unistd.h>

#include <cups/raster.h>

#include "filter/TextPassThrough.h"
#include "output/Band.h"
#include "output/PrinterStream.h"
#include "output/Setup.h"
#include "settings/LabelSize.h"
#include "settings/Models.h"
#include "settings/PpdSettings.h"

volatile sig_atomic_t Canceled = 0;

void CancelJob(int /*signalNumber*/)
{
    Canceled = 1;
}

void resetJobState()
{
    Canceled = 0;
    Dot = 0.0f;
}

namespace {

constexpr int kStdinFd = 0;

// The job's input: standard input, or the file named by the last argument,
// which is closed once when the job ends.
struct InputFile {
    int fd = kStdinFd;
    InputFile() = default;
    InputFile(const InputFile&) = delete;
    InputFile& operator=(const InputFile&) = delete;
    ~InputFile()
    {
        if (fd != kStdinFd) {
            close(fd);
        }
    }
};

struct RasterCloser {
    void operator()(cups_raster_t* raster) const { cupsRasterClose(raster); }
};
using RasterHandle = std::unique_ptr<cups_raster_t, RasterCloser>;

void installSignalHandlers()
{
    // A backend that went away must show up as a failed write, not kill us.
    signal(SIGPIPE, SIG_IGN);
    struct sigaction action {};
    action.sa_handler = CancelJob;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;  // an interrupted read goes on
    sigaction(SIGTERM, &action, nullptr);
}

// Raster streams begin with one of these synchronisation words.
constexpr std::array<const char*, 8> kRasterSyncWords = {"RaSt", "tSaR", "RaS2", "2SaR",
                                                          "RaS3", "3SaR", "UNIR", "RINU"};

bool isRasterSyncWord(const uint8_t* bytes, size_t length)
{
    if (length < 4) {
        return false;
    }
    for (const char* word : kRasterSyncWords) {
        if (std::memcmp(bytes, word, 4) == 0) {
            return true;
        }
    }
    return false;
}

// A file whose first bytes were taken to look at it, and which cannot be
// rewound (a pipe): the raster reader gets those bytes back first.
struct ReplayReader {
    int fd;
    std::array<uint8_t, 4> prefix;
    size_t prefixLength;
    size_t prefixPosition;
};

ssize_t replayRead(void* context, unsigned char* buffer, size_t length)
{
    auto* reader = static_cast<ReplayReader*>(context);
    if (reader->prefixPosition < reader->prefixLength) {
        size_t n = reader->prefixLength - reader->prefixPosition;
        if (n > length) {
            n = length;
        }
        std::memcpy(buffer, reader->prefix.data() + reader->prefixPosition, n);
        reader->prefixPosition += n;
        return static_cast<ssize_t>(n);
    }
    return readFully(reader->fd, buffer, length);
}

enum class FileKind { Raster, Text };

// Label size in dots into the settings, swapped for a quarter-turned job.
void computeLabelSize(Settings* settings)
{
    int32_t* first = &settings->lengthDot;
    int32_t* second = &settings->widthDot;
    if (settings->rotation != 0 && settings->rotation != 2) {
        first = &settings->widthDot;
        second = &settings->lengthDot;
    }
    if (settings->customWidth == 0.0f && settings->customHeight == 0.0f) {
        convertPageSize(settings->pageSize, first, second);
    } else {
        convertCustomPageSize(*settings, first, second);
    }
    fprintf(stderr, "TAVELIN Label Driver DEBUG MSG : lengthDot = %d, widthDot = %d\n", settings->lengthDot,
            settings->widthDot);
}

// Label size, setup block and the pages of the raster stream that
// `openRaster` opens. The stream is opened only once the setup block has
// gone out: opening it reads the stream's first bytes, which the scheduler
// may not have sent yet.
template <typename OpenRaster>
int printRasterJob(Settings* settings, OpenRaster openRaster)
{
    computeLabelSize(settings);
    if (primaryProcess(*settings) != 0) {
        return 1;
    }
    const int32_t copies = settings->numOfCopies;
    fprintf(stderr, "TAVELIN Label Driver DEBUG MSG : Not Tavelin Msq API Mode!!!\n");
    flushDiagnostics();  // the stream may keep us waiting for its first page
    RasterHandle raster(openRaster());

    cups_page_header_t header{};
    int pages = 0;
    int result = kPagePrinted;
    while (cupsRasterReadHeader(raster.get(), &header) != 0) {
        if (Canceled) {
            break;
        }
        ++pages;
        result = printPage(raster.get(), &header, *settings, copies);
        if (result != kPagePrinted || Canceled) {
            break;
        }
    }
    raster.reset();

    if (result == kPrinterWriteFailed || flushPrinterStream() != 0) {
        return 1;
    }
    if (result == kPageFailed) {
        fprintf(stderr, "TAVELIN Label Driver DEBUG MSG : ERROR: Unable to print page %d\n", pages);
        return 1;
    }
    if (pages == 0) {
        fprintf(stderr, "TAVELIN Label Driver DEBUG MSG : ERROR: No pages found!\n");
        return 1;
    }
    fprintf(stderr, "TAVELIN Label Driver DEBUG MSG : INFO: Ready to print.\n");
    return 0;
}

// A file named on the command line: a CUPS raster file printed directly is
// printed as raster; anything else goes to the printer as it is.
int printNamedFile(int fd, Settings* settings)
{
    std::array<uint8_t, 4> head{};
    size_t got = 0;
    int readError = 0;
    while (got < head.size()) {
        const long n = readFully(fd, head.data() + got, head.size() - got);
        if (n < 0) {
            readError = errno;
            break;
        }
        if (n == 0) {
            break;
        }
        got += static_cast<size_t>(n);
    }
    if (readError != 0 || !isRasterSyncWord(head.data(), got)) {
        return printText(fd, std::span<const uint8_t>(head.data(), got), readError);
    }

    if (lseek(fd, 0, SEEK_SET) == 0) {
        return printRasterJob(settings, [fd] { return cupsRasterOpen(fd, CUPS_RASTER_READ); });
    }
    ReplayReader reader{fd, head, got, 0};
    return printRasterJob(settings,
                          [&reader] { return cupsRasterOpenIO(replayRead, &reader, CUPS_RASTER_READ); });
}

}  // namespace

namespace {

// Standard error is fully buffered once the cancel signal is ours (see
// output/PrinterStream.h): until then a termination signal ends the process
// at once, and the lines written so far must already be out. Whatever way
// the job ends, its last lines go out before it returns.
struct DiagnosticsForJob {
    DiagnosticsForJob() = default;
    ~DiagnosticsForJob() { flushDiagnostics(); }
    DiagnosticsForJob(const DiagnosticsForJob&) = delete;
    DiagnosticsForJob& operator=(const DiagnosticsForJob&) = delete;
};

}  // namespace

int runJob(int argc, char* argv[])
{
    const DiagnosticsForJob diagnostics;
    fprintf(stderr, "#### TAVELIN_CUPS_DRIVER_V1.0.1\n");
    if (argc != 6 && argc != 7) {
        perror("TAVELIN Label Driver DEBUG MSG : rastertoTvlLabel_v1.0.1job-id user title copies options [file]\n");
        return 1;
    }

    InputFile input;
    if (argc == 7) {
        input.fd = open(argv[6], O_RDONLY);
        if (input.fd == -1) {
            perror("TAVELIN Label Driver DEBUG MSG : Unable to open raster file - ");
            input.fd = kStdinFd;
            sleep(1);
            return 1;
        }
    }

    installSignalHandlers();
    bufferDiagnostics();

    Settings settings{};
    if (initializeSettings(argv[5], &settings) != 0) {
        fprintf(stderr, "TAVELIN Label Driver DEBUG MSG : This printer is not supported.\n");
        fprintf(stderr, "TAVELIN Label Driver DEBUG MSG : ERROR: No pages found!\n");
        return 1;
    }
    Canceled = 0;

    if (jobSetup(settings.modelNumer) != 0) {
        fprintf(stderr, "TAVELIN Label Driver DEBUG MSG : jobSetup() fail.\n");
        return 1;
    }

    // The settings' lines go out before the first read of the job's input,
    // which may keep us waiting.
    flushDiagnostics();
    if (argc == 7) {
        return printNamedFile(input.fd, &settings);
    }
    return printRasterJob(&settings, [] { return cupsRasterOpen(kStdinFd, CUPS_RASTER_READ); });
}
