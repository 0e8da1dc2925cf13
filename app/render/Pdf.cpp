// SPDX-License-Identifier: Apache-2.0
#include "app/render/Pdf.h"

#include <cerrno>
#include <cmath>
#include <cstring>
#include <memory>
#include <unistd.h>

#include <poppler-document.h>
#include <poppler-image.h>
#include <poppler-page-renderer.h>
#include <poppler-page.h>

#include "output/Fd.h"
#include "output/SystemError.h"

namespace tvl {

namespace {

// A page is rendered at most this fine, whatever its size (points so small
// that they would ask for more are a broken file).
constexpr double kMaxRenderDpi = 10000.0;
constexpr double kPointsPerInch = 72.0;

// Reads all of `fd` into *data (at most kMaxPdfBytes).
bool readAll(int fd, ByteBuffer* data, size_t* size, std::string* reason)
{
    size_t capacity = 1 << 16;
    *size = 0;
    ByteBuffer buffer = allocateBytes(capacity, false);
    while (buffer) {
        if (*size == capacity) {
            if (capacity >= kMaxPdfBytes) {
                *reason = "PDF larger than " + std::to_string(kMaxPdfBytes >> 20) + " MB";
                return false;
            }
            capacity *= 2;
            auto* grown = static_cast<uint8_t*>(std::realloc(buffer.get(), capacity));
            if (grown == nullptr) {
                break;
            }
            (void)buffer.release();
            buffer.reset(grown);
        }
        const ssize_t n = read(fd, buffer.get() + *size, capacity - *size);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0) {
            *reason = systemErrorReason("cannot read the PDF", errno);
            return false;
        }
        if (n == 0) {
            *data = std::move(buffer);
            return true;
        }
        *size += static_cast<size_t>(n);
    }
    *reason = "out of memory reading the PDF";
    return false;
}

// Renders page `index` to gray at the size it takes on the label.
bool renderPage(const poppler::document& doc, int index, const LabelGeometry& label, GrayImage* out, Turn* turn,
                std::string* reason)
{
    std::unique_ptr<poppler::page> page(doc.create_page(index));
    if (!page) {
        *reason = "PDF: cannot read page " + std::to_string(index + 1);
        return false;
    }
    const poppler::rectf box = page->page_rect(poppler::crop_box);
    double width = box.width();
    double height = box.height();
    const poppler::page::orientation_enum o = page->orientation();
    if (o == poppler::page::landscape || o == poppler::page::seascape) {
        std::swap(width, height);  // the page's /Rotate turns it on screen
    }
    if (!(width >= 1.0 && height >= 1.0 && width < 1e6 && height < 1e6)) {
        *reason = "PDF: page " + std::to_string(index + 1) + " has no usable size";
        return false;
    }
    // The turn is chosen on the page in hundredths of a point, then the
    // resolution that makes the turned page fill the label's box.
    *turn = resolveTurn(label.orientation, static_cast<uint32_t>(std::lround(width * 100)),
                        static_cast<uint32_t>(std::lround(height * 100)), label.widthDots, label.lengthDots);
    const bool quarter = *turn == Turn::Left || *turn == Turn::Right;
    const double across = quarter ? height : width;
    const double down = quarter ? width : height;
    double dpi = kPointsPerInch * std::min(label.widthDots / across, label.lengthDots / down);
    dpi = std::min(dpi, kMaxRenderDpi);
    poppler::page_renderer renderer;
    renderer.set_image_format(poppler::image::format_gray8);
    renderer.set_render_hints(0);
    poppler::image image = renderer.render_page(page.get(), dpi, dpi);
    if (!image.is_valid() || image.width() <= 0 || image.height() <= 0) {
        *reason = "PDF: page " + std::to_string(index + 1) + " cannot be rendered";
        return false;
    }
    const auto w = static_cast<uint32_t>(image.width());
    const auto h = static_cast<uint32_t>(image.height());
    if (!allocateGray(w, h, 255, out, reason)) {
        return false;
    }
    const char* data = image.const_data();
    for (uint32_t y = 0; y < h; ++y) {
        std::memcpy(out->row(y), data + static_cast<size_t>(y) * image.bytes_per_row(), w);
    }
    return true;
}

PageResult renderPdfDocument(const DocumentInput& input, PageWriter* writer, std::string* reason)
{
    ByteBuffer data;
    size_t size = 0;
    std::unique_ptr<poppler::document> doc;
    if (input.path != nullptr) {
        doc.reset(poppler::document::load_from_file(input.path));
    } else {
        const UniqueFd fd(openInput(input, reason));
        if (!fd.valid() || !readAll(fd.get(), &data, &size, reason)) {
            return unrendered();
        }
        if (size > static_cast<size_t>(INT32_MAX)) {
            *reason = "PDF too large";
            return unrendered();
        }
        doc.reset(poppler::document::load_from_raw_data(reinterpret_cast<const char*>(data.get()),
                                                        static_cast<int>(size)));
    }
    if (!doc) {
        *reason = "not a PDF file, or a damaged one";
        return unrendered();
    }
    if (doc->is_locked()) {
        *reason = "PDF is locked with a password";
        return unrendered();
    }
    const int pages = doc->pages();
    if (pages <= 0) {
        *reason = "PDF has no pages";
        return unrendered();
    }
    for (int i = 0; i < pages; ++i) {
        if (writer->sink->shouldStop()) {
            return pageFailed(PageError::Stopped);
        }
        GrayImage rendered;
        Turn turn = Turn::None;
        if (!renderPage(*doc, i, writer->label, &rendered, &turn, reason)) {
            return unrendered();
        }
        const PageResult written = writeImage(writer, rendered, turn, reason);
        if (!written.printed()) {
            return written;
        }
    }
    return PageResult{};
}

}  // namespace

PageResult renderPdf(const DocumentInput& input, PageWriter* writer, std::string* reason) noexcept
{
    return unlessOutOfMemory("PDF", reason, [&] { return renderPdfDocument(input, writer, reason); });
}

}  // namespace tvl
