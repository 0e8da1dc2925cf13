// SPDX-License-Identifier: Apache-2.0
#include "app/DocumentJob.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <memory>
#include <string>

#include <fcntl.h>
#include <unistd.h>

#include "app/Dither.h"
#include "app/JobSettings.h"
#include "app/PapplSinks.h"
#include "app/PrinterData.h"
#include "app/render/Render.h"
#include "output/Band.h"
#include "output/Buffer.h"
#include "output/Setup.h"
#include "output/SystemError.h"
#include "settings/Capabilities.h"
#include "settings/Units.h"

namespace tvl {

namespace {

struct DeleteOptions {
    void operator()(pappl_pr_options_t* options) const { papplJobDeletePrintOptions(options); }
};
using OptionsPtr = std::unique_ptr<pappl_pr_options_t, DeleteOptions>;

// The printer's resolution, that of its print head (its
// printer-resolution-default): a document brings no resolution of its
// own, and neither a job's printer-resolution nor its print-quality
// changes the head.
int documentResolution(const pappl_pr_driver_data_t& data)
{
    return data.x_default == data.y_default ? data.x_default : 0;
}

// orientation-requested as the job gives it; without one, automatic: the
// printer's default (portrait) would shrink a wide image on a tall label.
int documentOrientation(pappl_job_t* job)
{
    ipp_attribute_t* attr = papplJobGetAttribute(job, "orientation-requested");
    return attr != nullptr && ippGetValueTag(attr) == IPP_TAG_ENUM ? ippGetInteger(attr, 0) : 0;
}

// The job's page-ranges (libpappl takes one range): the first and last
// page to print, 1 and the largest number without it.
struct PageRange {
    unsigned first = 1;
    unsigned last = std::numeric_limits<unsigned>::max();
};

PageRange documentPageRange(pappl_job_t* job)
{
    PageRange range;
    ipp_attribute_t* attr = papplJobGetAttribute(job, "page-ranges");
    if (attr != nullptr && ippGetValueTag(attr) == IPP_TAG_RANGE) {
        int upper = 0;
        const int lower = ippGetRange(attr, 0, &upper);
        if (lower >= 1 && upper >= lower) {
            range.first = static_cast<unsigned>(lower);
            range.last = static_cast<unsigned>(upper);
        }
    }
    return range;
}

// Each label to the printer through the core, with the job's copies
// counted by its print command; pages outside the job's page-ranges are
// left out.
class LabelSink final : public PageSink {
public:
    LabelSink(pappl_job_t* job, Output& out, const DeviceSink& device, const Settings& settings, int copies,
              PageRange range, uint8_t* buffer, size_t bytes)
        : job_(job), out_(out), device_(device), settings_(settings), copies_(copies), range_(range),
          buffer_(buffer), bytes_(bytes)
    {
    }

    bool takePage(const PageBitmap& page) noexcept override
    {
        if (papplJobIsCanceled(job_)) {
            return false;
        }
        const unsigned number = page.index + 1;
        if (number < range_.first) {
            return true;
        }
        if (number > range_.last) {
            return false;  // the rest of the document is not wanted
        }
        if (page.bits.size() > bytes_) {
            snprintf(message_, sizeof(message_), "Page %u is larger than the label (%u x %u dots)", number,
                     page.width, page.length);
            failed_ = true;
            return false;
        }
        memcpy(buffer_, page.bits.data(), page.bits.size());
        memset(buffer_ + page.bits.size(), 0, bytes_ - page.bits.size());
        cups_page_header_t header =
            labelPageHeader(page.width, page.length, static_cast<unsigned>(settings_.resolution));
        const PageResult result =
            sendPage(out_, std::span<uint8_t>(buffer_, bytes_), &header, settings_, copies_);
        out_.log.flush();
        if (!result.printed()) {
            describeJobPageError(result, number, device_, message_, sizeof(message_));
            failed_ = true;
            return false;
        }
        ++pages_;
        labels_ += result.labels;
        papplJobSetImpressionsCompleted(job_, 1);
        papplLogJob(job_, PAPPL_LOGLEVEL_INFO, "Page %u sent: %u x %u dots, %d labels", number, page.width,
                    page.length, result.labels);
        return true;
    }

    bool shouldStop() noexcept override { return papplJobIsCanceled(job_); }

    bool failed() const { return failed_; }
    const char* message() const { return message_; }
    unsigned pages() const { return pages_; }
    long labels() const { return labels_; }

private:
    pappl_job_t* job_;
    Output& out_;
    const DeviceSink& device_;
    const Settings& settings_;
    int copies_;
    PageRange range_;
    uint8_t* buffer_;
    size_t bytes_;
    bool failed_ = false;
    char message_[256] = "";
    unsigned pages_ = 0;
    long labels_ = 0;
};

// The page buffer of the job's label: the label, and the turned label for
// a quarter turn; empty, with the job failed, when it cannot be had.
ByteBuffer labelBuffer(pappl_job_t* job, const Settings& settings, const cups_page_header_t& label, size_t* bytes)
{
    char message[256];
    PageMemory memory{};
    if (settings.widthDot <= 0 || settings.lengthDot <= 0 || !pageMemoryFor(label, settings.rotation, &memory)) {
        snprintf(message, sizeof(message), "The label of %d x %d dots cannot be printed", settings.widthDot,
                 settings.lengthDot);
        fail(job, PAPPL_JREASON_DOCUMENT_UNPRINTABLE_ERROR, message);
        return ByteBuffer();
    }
    ByteBuffer page = allocateBytes(memory.pageBuffer, true);
    if (!page) {
        snprintf(message, sizeof(message), "Not enough memory for a label (%zu bytes)", memory.pageBuffer);
        fail(job, PAPPL_JREASON_ABORTED_BY_SYSTEM, message);
        return ByteBuffer();
    }
    *bytes = memory.pageBuffer;
    return page;
}

// The test label, with the printer's model and the job's settings on it.
bool printTestLabel(const LabelGeometry& geometry, const pappl_pr_driver_data_t& data, const Settings& settings,
                    const DitherMatrix* matrix, LabelSink& labels, std::string* reason)
{
    char resolution[32], darkness[32], speed[32];
    snprintf(resolution, sizeof(resolution), "%d dpi", static_cast<int>(geometry.dpi));
    snprintf(darkness, sizeof(darkness), "%d", settings.darkness);
    snprintf(speed, sizeof(speed), "%d ips", settings.printSpeed);
    const TestLabelInfo info{data.make_and_model, resolution, darkness, speed};
    return renderTestLabel(geometry, info, matrix, labels, reason);
}

// How the job ends once its document is rendered: failed by the printer or
// by the document, cancelled, or sent.
bool finishDocument(pappl_job_t* job, const LabelSink& labels, bool rendered, const std::string& reason)
{
    if (labels.failed()) {
        return fail(job, PAPPL_JREASON_ABORTED_BY_SYSTEM, labels.message());
    }
    if (papplJobIsCanceled(job)) {
        papplLogJob(job, PAPPL_LOGLEVEL_INFO, "Cancelled after %u pages", labels.pages());
        return true;
    }
    if (!rendered) {
        char message[256];
        snprintf(message, sizeof(message), "Cannot print page %u of the document: %s", labels.pages() + 1,
                 reason.c_str());
        return fail(job, PAPPL_JREASON_DOCUMENT_FORMAT_ERROR, message);
    }
    papplLogJob(job, PAPPL_LOGLEVEL_INFO, "Job sent: %u pages, %ld labels", labels.pages(), labels.labels());
    return true;
}

// The filter of every document this application renders: the job's
// settings as for raster jobs, the setup block once, then each label.
bool printDocument(pappl_job_t* job, pappl_device_t* device, void*)
{
    const char* format = papplJobGetFormat(job);
    const bool testLabel = format != nullptr && strcmp(format, kTestLabelFormat) == 0;
    DocumentKind kind = DocumentKind::Png;
    if (!testLabel && !documentKindForMime(format, &kind)) {
        return fail(job, PAPPL_JREASON_DOCUMENT_FORMAT_ERROR, "This document format is not supported");
    }
    pappl_printer_t* printer = papplJobGetPrinter(job);
    pappl_pr_driver_data_t data;
    if (papplPrinterGetDriverData(printer, &data) == nullptr) {
        return fail(job, PAPPL_JREASON_ABORTED_BY_SYSTEM, "The printer's driver data cannot be read");
    }
    OptionsPtr options(papplJobCreatePrintOptions(job, 0, false));
    if (!options) {
        return fail(job, PAPPL_JREASON_ABORTED_BY_SYSTEM, "Not enough memory to start the job");
    }
    char message[256];
    const int dpi = documentResolution(data);
    if (!isPrintResolution(dpi)) {
        snprintf(message, sizeof(message), "printer-resolution-default: this printer prints at %s dpi",
                 kResolutionsText.data());
        return fail(job, PAPPL_JREASON_DOCUMENT_UNPRINTABLE_ERROR, message);
    }
    Settings settings{};
    int32_t writeTimeout = 0;
    if (!jobSettings(job, options.get(), dpi, &settings, &writeTimeout, message, sizeof(message))) {
        return fail(job, PAPPL_JREASON_DOCUMENT_UNPRINTABLE_ERROR, message);
    }

    const cups_page_header_t label = labelPageHeader(static_cast<uint32_t>(settings.widthDot),
                                                     static_cast<uint32_t>(settings.lengthDot), 0);
    size_t bytes = 0;
    const ByteBuffer page = labelBuffer(job, settings, label, &bytes);
    if (!page) {
        return false;
    }
    const int copies = copiesOf(*options);
    const LabelGeometry geometry{label.cupsWidth, label.cupsHeight, static_cast<uint32_t>(dpi),
                                 documentOrientation(job)};
    const DitherMatrix* matrix = ditherMatrixOf(*options);
    papplLogJob(job, PAPPL_LOGLEVEL_INFO, "%s: label %d x %d dots at %d dpi, darkness %d, speed %d, %d copies",
                format, settings.widthDot, settings.lengthDot, dpi, settings.darkness, settings.printSpeed, copies);
    papplLogJob(job, PAPPL_LOGLEVEL_DEBUG, "orientation-requested %d (0 automatic), %s", geometry.orientation,
                matrix ? "dithered" : "bi-level");

    DeviceSink sink(job, device);
    sink.watch(writeTimeout);
    JobLogSink log(job);
    Output out{sink, log, dotsPerMillimetre(settings.resolution)};
    if (!primaryProcess(out, settings).printed()) {
        sink.describeError(message, sizeof(message));
        return fail(job, PAPPL_JREASON_ABORTED_BY_SYSTEM, message);
    }
    log.flush();

    LabelSink labels(job, out, sink, settings, copies, documentPageRange(job), page.get(), bytes);
    std::string reason;
    const bool rendered =
        testLabel ? printTestLabel(geometry, data, settings, matrix, labels, &reason)
                  : renderDocument(kind, DocumentInput{papplJobGetFilename(job), -1}, geometry, matrix, labels,
                                   &reason, contentOptimizeOf(options->print_content_optimize));
    log.flush();
    return finishDocument(job, labels, rendered, reason);
}

// The MIME type of a document from its first bytes, for the formats only
// this application knows (the test label); nullptr otherwise.
const char* documentTypeOf(const unsigned char* header, size_t size)
{
    constexpr size_t magic = sizeof(kTestLabelMagic) - 1;
    if (header != nullptr && size >= magic && memcmp(header, kTestLabelMagic, magic) == 0) {
        return kTestLabelFormat;
    }
    return nullptr;
}

const char* mimeTypeOf(const unsigned char* header, size_t size, void*)
{
    return documentTypeOf(header, size);
}

}  // namespace

void addDocumentFilters(pappl_system_t* system)
{
    // A filter to the native format is found before libpappl's own
    // image/png and image/jpeg readers (to image/pwg-raster).
    constexpr const char* types[] = {"image/png", "image/jpeg", "application/pdf", kTestLabelFormat};
    for (const char* type : types) {
        papplSystemAddMIMEFilter(system, type, kNativeFormat, printDocument, nullptr);
    }
    papplSystemSetMIMECallback(system, mimeTypeOf, nullptr);
}

const char* writeTestLabelFile(pappl_printer_t* printer, char* buffer, size_t size)
{
    // libpappl removes a job's file after the job when it lies in its
    // spool or temporary folder; the spool folder's name is not public.
    char path[1024];
    const int length = snprintf(path, sizeof(path), "%s/tvl-test-label-XXXXXX", papplGetTempDir());
    if (length < 0 || static_cast<size_t>(length) >= sizeof(path) || static_cast<size_t>(length) >= size) {
        papplLogPrinter(printer, PAPPL_LOGLEVEL_ERROR, "Test label: the temporary folder's name is too long");
        return nullptr;
    }
    const int fd = mkstemp(path);
    if (fd < 0) {
        char text[128];
        papplLogPrinter(printer, PAPPL_LOGLEVEL_ERROR, "Test label: cannot create %s: %s", path,
                        systemErrorText(errno, text, sizeof(text)));
        return nullptr;
    }
    const char content[] = "%TVL-TEST-LABEL\n";
    const bool written = write(fd, content, sizeof(content) - 1) == static_cast<ssize_t>(sizeof(content) - 1);
    if (close(fd) != 0 || !written) {
        unlink(path);
        papplLogPrinter(printer, PAPPL_LOGLEVEL_ERROR, "Test label: cannot write %s", path);
        return nullptr;
    }
    snprintf(buffer, size, "%s", path);
    papplLogPrinter(printer, PAPPL_LOGLEVEL_INFO, "Test label queued from %s", path);
    return buffer;
}

}  // namespace tvl
