// SPDX-License-Identifier: Apache-2.0
#include "filter/Job.h"

#include <array>
#include <cerrno>
#include <csignal>
#include <cstdarg>
#include <cstdlib>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

#include <cups/raster.h>

#include <cups/ppd.h>

#include "filter/StdioSinks.h"
#include "filter/TextPassThrough.h"
#include "output/Band.h"
#include "output/Fd.h"
#include "output/RasterStream.h"
#include "output/Setup.h"
#include "output/SystemError.h"
#include "settings/LabelSize.h"
#include "settings/Models.h"
#include "settings/PpdSettings.h"
#include "settings/Version.h"

namespace tvl {

namespace {

// Set when the scheduler cancels the job (SIGTERM); cleared by runJob once
// the job's settings are read. The one piece of process state the filter
// keeps: a signal handler can reach nothing else.
volatile sig_atomic_t Canceled = 0;

// SIGTERM handler: only records the request; the page in hand is finished.
void CancelJob(int /*signalNumber*/)
{
    Canceled = 1;
}

constexpr int kStdinFd = 0;

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
    return readSome(reader->fd, std::span<uint8_t>(buffer, length));
}

enum class FileKind { Raster, Text };

// Writes a line in the scheduler's own grammar ("ERROR: ...", "INFO: ...",
// "PAGE: ..."; see filter(7)). cupsd shows a job's first ERROR: line as its
// reason and the INFO: lines as the printer's state, and counts PAGE: lines.
void schedulerLine(Output& out, const char* format, ...) __attribute__((format(printf, 2, 3)));
void schedulerLine(Output& out, const char* format, ...)
{
    char line[512];
    va_list args;
    va_start(args, format);
    const int n = vsnprintf(line, sizeof line - 1, format, args);
    va_end(args);
    if (n < 0) {
        return;
    }
    size_t length = static_cast<size_t>(n) < sizeof line - 1 ? static_cast<size_t>(n) : sizeof line - 2;
    line[length++] = '\n';
    out.log.write(std::string_view(line, length));
}

void reportPrinterFailure(Output& out, int error)
{
    char reason[128];
    schedulerLine(out, "ERROR: Unable to write to printer: %s", systemErrorText(error, reason, sizeof reason));
}

// Label size in dots into the settings, swapped for a quarter-turned job.
void computeJobLabelSize(Output& out, Settings* settings)
{
    computeLabelSize(settings, out.dot);
    driverLog(out.log, "lengthDot = %d, widthDot = %d\n", settings->lengthDot, settings->widthDot);
}

// Label size, setup block and the pages of the raster stream that
// `openRaster` opens. The stream is opened only once the setup block has
// gone out: opening it reads the stream's first bytes, which the scheduler
// may not have sent yet.
template <typename OpenRaster>
int printRasterJob(Output& out, Settings* settings, OpenRaster openRaster)
{
    computeJobLabelSize(out, settings);
    if (const PageResult setup = primaryProcess(out, *settings); !setup.printed()) {
        reportPrinterFailure(out, static_cast<int>(setup.detail));
        return 1;
    }
    const int32_t copies = settings->numOfCopies;
    driverLog(out.log, "Not Tavelin Msq API Mode!!!\n");
    out.log.flush();  // the stream may keep us waiting for its first page
    RasterStream raster(openRaster());

    cups_page_header_t header{};
    int pages = 0;
    PageResult result;
    PageBuffers buffers;
    while (cupsRasterReadHeader(raster.get(), &header) != 0) {
        if (Canceled) {
            break;
        }
        ++pages;
        schedulerLine(out, "INFO: Printing label %d", pages);
        result = printPage(out, raster.get(), &header, *settings, copies, &buffers);
        if (!result.printed()) {
            break;
        }
        schedulerLine(out, "PAGE: %d %d", pages, static_cast<int>(result.labels));
        out.log.flush();
        if (Canceled) {
            break;
        }
    }
    raster.reset();

    if (result.error == PageError::PrinterWrite) {
        reportPrinterFailure(out, static_cast<int>(result.detail));
        return 1;
    }
    if (!out.printer.flush()) {
        reportPrinterFailure(out, errno);
        return 1;
    }
    if (!result.printed()) {
        driverLog(out.log, "ERROR: Unable to print page %d\n", pages);
        char reason[256];
        describePageError(result, pages, reason, sizeof reason);
        schedulerLine(out, "ERROR: %s", reason);
        return 1;
    }
    if (pages == 0) {
        driverLog(out.log, "ERROR: No pages found!\n");
        // A job the scheduler cancelled did not fail.
        if (!Canceled) {
            schedulerLine(out, "ERROR: No pages found in the job");
        }
        return 1;
    }
    driverLog(out.log, "INFO: Ready to print.\n");
    return 0;
}

// A file named on the command line: a CUPS raster file printed directly is
// printed as raster; anything else goes to the printer as it is.
int printNamedFile(Output& out, const char* path, int fd, Settings* settings)
{
    std::array<uint8_t, 4> head{};
    size_t got = 0;
    int readError = 0;
    while (got < head.size()) {
        const ssize_t n = readSome(fd, std::span<uint8_t>(head).subspan(got));
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
        // Sent as it is: a native command file makes no page of its own.
        const int sent = printText(out, fd, std::span<const uint8_t>(head.data(), got), readError);
        const int error = errno;
        char reason[128];
        if (sent == kTextReadFailed) {
            schedulerLine(out, "ERROR: Unable to read file \"%s\": %s", path,
                          systemErrorText(error, reason, sizeof reason));
        } else if (sent == kTextWriteFailed) {
            reportPrinterFailure(out, error);
        }
        return sent == kTextSent ? 0 : 1;
    }

    if (lseek(fd, 0, SEEK_SET) == 0) {
        return printRasterJob(out, settings, [fd] { return cupsRasterOpen(fd, CUPS_RASTER_READ); });
    }
    ReplayReader reader{fd, head, got, 0};
    return printRasterJob(out, settings,
                          [&reader] { return cupsRasterOpenIO(replayRead, &reader, CUPS_RASTER_READ); });
}

}  // namespace

namespace {

// Whatever way the job ends, its last lines go out before it returns.
struct DiagnosticsForJob {
    LogSink& log;
    ~DiagnosticsForJob() { log.flush(); }
};

// Why the queue's PPD could not be read.
void reportPpdFailure(Output& out, int openError)
{
    const char* path = getenv("PPD");
    if (path == nullptr) {
        schedulerLine(out, "ERROR: No PPD file: the PPD environment variable is not set");
        return;
    }
    int line = 0;
    const ppd_status_t status = ppdLastError(&line);
    char reason[128];
    if (status == PPD_OK || status == PPD_FILE_OPEN_ERROR) {
        schedulerLine(out, "ERROR: Unable to read the printer's PPD file \"%s\": %s", path,
                      systemErrorText(openError, reason, sizeof reason));
    } else {
        schedulerLine(out, "ERROR: Unable to read the printer's PPD file \"%s\": %s on line %d", path,
                      ppdErrorString(status), line);
    }
}

}  // namespace

int runJob(int argc, char* argv[])
{
    StderrLog log;
    StdoutPrinter printer(log);
    Output out{printer, log, 0.0f};
    const DiagnosticsForJob diagnostics{log};
    logf(out, "#### TAVELIN_CUPS_DRIVER_V" TVL_VERSION "\n");
    if (argc != 6 && argc != 7) {
        logSystemError(out,
                       driverText("rastertoTvlLabel_v" TVL_VERSION "job-id user title copies options [file]\n").data(),
                       errno);
        schedulerLine(out, "ERROR: Usage: rastertoTvlLabel job-id user title copies options [file]");
        return 1;
    }

    // The file named by the last argument, closed once when the job ends.
    UniqueFd input;
    if (argc == 7) {
        input.reset(open(argv[6], O_RDONLY));
        if (!input.valid()) {
            const int error = errno;
            logSystemError(out, driverText("Unable to open raster file - ").data(), error);
            char reason[128];
            schedulerLine(out, "ERROR: Unable to open file \"%s\": %s", argv[6],
                          systemErrorText(error, reason, sizeof reason));
            log.flush();
            sleep(1);
            return 1;
        }
    }

    installSignalHandlers();
    log.buffer();

    Settings settings{};
    errno = 0;
    if (initializeSettings(argv[5], log, &settings, &out.dot) != 0) {
        const int error = errno;
        driverLog(out.log, "This printer is not supported.\n");
        driverLog(out.log, "ERROR: No pages found!\n");
        reportPpdFailure(out, error);
        return 1;
    }
    Canceled = 0;

    if (jobSetup(settings.modelNumer, log) != 0) {
        driverLog(out.log, "jobSetup() fail.\n");
        schedulerLine(out, "ERROR: Printer model %d is not supported by this driver",
                      static_cast<int>(settings.modelNumer));
        return 1;
    }

    // The settings' lines go out before the first read of the job's input,
    // which may keep us waiting.
    log.flush();
    if (argc == 7) {
        return printNamedFile(out, argv[6], input.get(), &settings);
    }
    return printRasterJob(out, &settings, [] { return cupsRasterOpen(kStdinFd, CUPS_RASTER_READ); });
}

}  // namespace tvl
