// SPDX-License-Identifier: Apache-2.0
#include "app/RasterJob.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>

#include <fcntl.h>
#include <unistd.h>

#include "app/Dither.h"
#include "app/JobSettings.h"
#include "app/PapplSinks.h"
#include "output/Buffer.h"
#include "output/Fd.h"
#include "output/Band.h"
#include "output/Setup.h"
#include "output/SystemError.h"
#include "settings/Capabilities.h"
#include "settings/PageLimit.h"
#include "settings/Units.h"

namespace tvl {

namespace {

// Everything one raster job keeps between callbacks; nothing is shared
// with other jobs.
struct RasterJob {
    RasterJob(pappl_job_t* job, pappl_device_t* device) : sink(job, device), log(job), out{sink, log, 0.0f} {}

    DeviceSink sink;
    JobLogSink log;
    Output out;
    Settings settings{};
    bool setupSent = false;
    unsigned resolution = 0;          // of the first page
    cups_page_header_t label{};       // the page as the printer gets it
    // The label goes out a band at a time, as its lines come in: only one
    // band of dithered rows is held.
    ByteBuffer band;
    size_t bandBytes = 0;
    BandedPage banded;
    uint32_t rowsFilled = 0;          // label rows dithered into bands so far
    unsigned page = 0;                // the page in hand
    uint32_t clientWidth = 0;         // pixels in each line libpappl hands over
    uint32_t clientHeight = 0;        // lines the page's header announces
    uint32_t lines = 0;               // lines delivered so far
    // A line's band could not be sent, or a line came out of order: the
    // job is failed with the reason and no more lines are coded. (libpappl
    // goes on handing lines over whatever rasterWriteLine returns.)
    bool stopped = false;
    const DitherMatrix* matrix = nullptr;
    std::unique_ptr<int32_t[]> errors;  // the error row, for a photo (print-content-optimize)
    int copies = 1;                   // the print command's count
    unsigned pages = 0;
    long labels = 0;
};

RasterJob* stateOf(pappl_job_t* job)
{
    return static_cast<RasterJob*>(papplJobGetData(job));
}

// The header checks that need no settings. false with `message` set.
bool checkPageHeader(const cups_page_header2_t& h, unsigned page, char* message, size_t size)
{
    if (h.cupsBitsPerPixel != 8 || h.cupsBitsPerColor != 8 || h.cupsNumColors != 1) {
        snprintf(message, size, "Page %u is %u bits per pixel in %u colors; this printer takes 8-bit gray (sgray_8)",
                 page, h.cupsBitsPerPixel, h.cupsNumColors);
        return false;
    }
    if (h.cupsColorSpace != CUPS_CSPACE_SW && h.cupsColorSpace != CUPS_CSPACE_W) {
        snprintf(message, size, "Page %u is in color space %d; this printer takes 8-bit gray (sgray_8)", page,
                 static_cast<int>(h.cupsColorSpace));
        return false;
    }
    if (h.cupsWidth == 0 || h.cupsHeight == 0 || h.cupsBytesPerLine != h.cupsWidth) {
        snprintf(message, size, "Page %u has a malformed header (%u x %u pixels, %u bytes per line)", page,
                 h.cupsWidth, h.cupsHeight, h.cupsBytesPerLine);
        return false;
    }
    if (h.HWResolution[0] != h.HWResolution[1] || !isPrintResolution(h.HWResolution[0])) {
        snprintf(message, size, "Page %u is at %ux%u dpi; this printer prints at %s dpi", page, h.HWResolution[0],
                 h.HWResolution[1], kResolutionsText.data());
        return false;
    }
    if (!pageFitsLabel(rasterPageOf(h))) {
        describeOversizedPage(rasterPageOf(h), page, message, size);
        return false;
    }
    return true;
}

// Sizes the band buffer for the job's label.
bool preparePage(RasterJob* state, char* message, size_t size)
{
    if (state->settings.widthDot <= 0 || state->settings.lengthDot <= 0) {
        snprintf(message, size, "The label of %d x %d dots cannot be printed", state->settings.widthDot,
                 state->settings.lengthDot);
        return false;
    }
    state->label = labelPageHeader(static_cast<uint32_t>(state->settings.widthDot),
                                   static_cast<uint32_t>(state->settings.lengthDot), state->resolution);
    const cups_page_header_t& label = state->label;
    const size_t bandBytes = static_cast<size_t>(label.cupsBytesPerLine) * command::kMaxBandRows;
    state->band = allocateBytes(bandBytes, true);
    if (!state->band) {
        snprintf(message, size, "Not enough memory for a band of the label (%zu bytes)", bandBytes);
        return false;
    }
    state->bandBytes = bandBytes;
    return true;
}

// Sends the full band of dithered rows held, and clears it.
bool sendHeldBand(pappl_job_t* job, RasterJob* state)
{
    const PageResult sent = sendBand(state->out, &state->banded, state->band.get(), command::kMaxBandRows);
    memset(state->band.get(), 0, state->bandBytes);
    if (!sent.printed()) {
        char message[256];
        describeJobPageError(sent, state->page, state->sink, message, sizeof(message));
        return fail(job, PAPPL_JREASON_ABORTED_BY_SYSTEM, message);
    }
    return true;
}

}  // namespace

bool rasterStartJob(pappl_job_t* job, pappl_pr_options_t* options, pappl_device_t* device)
{
    RasterJob* state = new (std::nothrow) RasterJob(job, device);
    if (state == nullptr) {
        return fail(job, PAPPL_JREASON_ABORTED_BY_SYSTEM, "Not enough memory to start the job");
    }
    // libpappl hands PWG and Apple raster over once with `copies` set: the
    // print command counts them. (PNG and JPEG never come here: the
    // application's own filter prints them, see DocumentJob.h.)
    state->copies = copiesOf(*options);
    papplJobSetData(job, state);
    return true;
}

bool rasterStartPage(pappl_job_t* job, pappl_pr_options_t* options, pappl_device_t*, unsigned page)
{
    RasterJob* state = stateOf(job);
    if (state == nullptr) {
        return false;
    }
    const cups_page_header2_t& h = options->header;
    char message[256];
    if (!checkPageHeader(h, page, message, sizeof(message))) {
        return fail(job, PAPPL_JREASON_DOCUMENT_FORMAT_ERROR, message);
    }
    if (!state->setupSent) {
        // The first page's own resolution decides the dots per millimetre.
        state->resolution = h.HWResolution[0];
        int32_t writeTimeout = 0;
        if (!jobSettings(job, options, static_cast<int32_t>(state->resolution), &state->settings, &writeTimeout,
                         message, sizeof(message))) {
            return fail(job, PAPPL_JREASON_DOCUMENT_UNPRINTABLE_ERROR, message);
        }
        state->sink.watch(writeTimeout);
        state->out.dot = dotsPerMillimetre(state->settings.resolution);
        if (!preparePage(state, message, sizeof(message))) {
            return fail(job, PAPPL_JREASON_DOCUMENT_UNPRINTABLE_ERROR, message);
        }
        papplLogJob(job, PAPPL_LOGLEVEL_INFO,
                    "Label %d x %d dots at %u dpi, darkness %d, speed %d, %d copies, first page %u x %u",
                    state->settings.widthDot, state->settings.lengthDot, state->resolution,
                    state->settings.darkness, state->settings.printSpeed, state->copies, h.cupsWidth,
                    h.cupsHeight);
        if (!primaryProcess(state->out, state->settings).printed()) {
            state->sink.describeError(message, sizeof(message));
            return fail(job, PAPPL_JREASON_ABORTED_BY_SYSTEM, message);
        }
        state->setupSent = true;
    } else if (h.HWResolution[0] != state->resolution) {
        snprintf(message, sizeof(message), "Page %u is at %u dpi, the job's first page at %u dpi", page,
                 h.HWResolution[0], state->resolution);
        return fail(job, PAPPL_JREASON_DOCUMENT_UNPRINTABLE_ERROR, message);
    }

    memset(state->band.get(), 0, state->bandBytes);
    state->rowsFilled = 0;
    const PageResult begun = beginBandedPage(state->out, &state->banded, state->label.cupsHeight,
                                             state->label.cupsBytesPerLine, state->settings);
    if (!begun.printed()) {
        describeJobPageError(begun, page, state->sink, message, sizeof(message));
        return fail(job, PAPPL_JREASON_ABORTED_BY_SYSTEM, message);
    }
    state->page = page;
    state->clientWidth = h.cupsWidth;
    state->clientHeight = h.cupsHeight;
    state->lines = 0;
    state->matrix = ditherMatrixOf(*options);
    if (state->matrix != nullptr && contentOptimizeOf(options->print_content_optimize) == ContentOptimize::Photo) {
        const size_t entries = static_cast<size_t>(state->label.cupsWidth) + 2;
        if (!state->errors) {
            state->errors.reset(new (std::nothrow) int32_t[entries]);
        }
        if (!state->errors) {
            return fail(job, PAPPL_JREASON_ABORTED_BY_SYSTEM, "Not enough memory for the label's error row");
        }
        memset(state->errors.get(), 0, entries * sizeof(int32_t));
    }
    return true;
}

bool rasterWriteLine(pappl_job_t* job, pappl_pr_options_t*, pappl_device_t*, unsigned y, const unsigned char* line)
{
    RasterJob* state = stateOf(job);
    if (state == nullptr || !state->band || state->stopped) {
        return false;
    }
    ++state->lines;
    const cups_page_header_t& label = state->label;
    if (y >= label.cupsHeight || y >= state->clientHeight) {
        return true;  // below the label: cropped
    }
    if (y != state->rowsFilled) {
        char message[128];
        snprintf(message, sizeof(message), "Page %u: line %u came after line %u", state->page, y,
                 state->rowsFilled);
        state->stopped = true;
        return fail(job, PAPPL_JREASON_DOCUMENT_FORMAT_ERROR, message);
    }
    // Columns past the label are cropped; a narrower page leaves white.
    const size_t width = state->clientWidth < label.cupsWidth ? state->clientWidth : label.cupsWidth;
    const uint32_t inBand = y - state->banded.nextRow;
    uint8_t* bits = state->band.get() + static_cast<size_t>(inBand) * label.cupsBytesPerLine;
    if (state->errors) {
        diffuseRow(line, width, y, state->errors.get(), bits);
    } else {
        ditherRow(line, width, y, state->matrix, bits);
    }
    ++state->rowsFilled;
    if (inBand + 1 == command::kMaxBandRows && !sendHeldBand(job, state)) {
        state->stopped = true;  // nextRow stays: a later line would land past the band
        return false;
    }
    return true;
}

bool rasterEndPage(pappl_job_t* job, pappl_pr_options_t*, pappl_device_t*, unsigned page)
{
    RasterJob* state = stateOf(job);
    if (state == nullptr || !state->band || state->stopped) {
        return false;  // the reason is set already
    }
    if (papplJobIsCanceled(job)) {
        return false;
    }
    char message[256];
    if (state->lines < state->clientHeight) {
        snprintf(message, sizeof(message), "Page %u ended after %u of its %u lines; the label was not printed", page,
                 state->lines, state->clientHeight);
        return fail(job, PAPPL_JREASON_DOCUMENT_FORMAT_ERROR, message);
    }
    // The rest of the label: the rows held, and white below a shorter page.
    const uint32_t height = state->label.cupsHeight;
    const uint32_t heldFrom = state->banded.nextRow;
    const PageResult result = sendRemainingBands(
        state->out, &state->banded,
        [state, heldFrom](uint32_t startRow) -> const uint8_t* {
            if (startRow != heldFrom) {
                memset(state->band.get(), 0, state->bandBytes);  // below the page's last line
            }
            return state->band.get();
        },
        state->copies);
    state->log.flush();
    if (!result.printed()) {
        describeJobPageError(result, page, state->sink, message, sizeof(message));
        return fail(job, PAPPL_JREASON_ABORTED_BY_SYSTEM, message);
    }
    ++state->pages;
    state->labels += result.labels;
    papplLogJob(job, PAPPL_LOGLEVEL_INFO, "Page %u sent: %u x %u dots, %d labels", page, state->label.cupsWidth,
                height, result.labels);
    return true;
}

bool rasterEndJob(pappl_job_t* job, pappl_pr_options_t*, pappl_device_t*)
{
    RasterJob* state = stateOf(job);
    if (state == nullptr) {
        return true;
    }
    papplLogJob(job, PAPPL_LOGLEVEL_INFO, "Job sent: %u pages, %ld labels", state->pages, state->labels);
    papplJobSetData(job, nullptr);
    delete state;
    return true;
}

bool printNativeFile(pappl_job_t* job, pappl_pr_options_t* options, pappl_device_t* device)
{
    int32_t writeTimeout = 0;
    char message[256];
    if (!jobWriteTimeout(job, options, &writeTimeout, message, sizeof(message))) {
        return fail(job, PAPPL_JREASON_DOCUMENT_UNPRINTABLE_ERROR, message);
    }
    const char* filename = papplJobGetFilename(job);
    const UniqueFd fd(filename ? open(filename, O_RDONLY | O_CLOEXEC) : -1);
    if (!fd.valid()) {
        describeSystemError(message, sizeof(message), "Cannot open the document", errno);
        return fail(job, PAPPL_JREASON_ABORTED_BY_SYSTEM, message);
    }
    DeviceSink sink(job, device);
    sink.watch(writeTimeout);
    uint8_t buffer[16384];
    size_t total = 0;
    ssize_t got = 0;
    while (sink.error() == 0 && (got = read(fd.get(), buffer, sizeof(buffer))) > 0 && !papplJobIsCanceled(job)) {
        sink.write(std::span<const uint8_t>(buffer, static_cast<size_t>(got)));
        total += static_cast<size_t>(got);
    }
    const int readError = got < 0 ? errno : 0;
    if (readError != 0) {
        describeSystemError(message, sizeof(message), "Cannot read the document", readError);
        return fail(job, PAPPL_JREASON_ABORTED_BY_SYSTEM, message);
    }
    if (!sink.flush()) {
        sink.describeError(message, sizeof(message));
        return fail(job, PAPPL_JREASON_ABORTED_BY_SYSTEM, message);
    }
    papplLogJob(job, PAPPL_LOGLEVEL_INFO, "Native file sent: %zu bytes", total);
    return true;
}

}  // namespace tvl
