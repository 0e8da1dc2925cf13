// SPDX-License-Identifier: Apache-2.0
// tavelin-pdf-render: renders one PDF's pages into labels for the printer
// application (see PdfProcess.h for why it is a program of its own, and for
// its output).
//
//   tavelin-pdf-render FILE|- WIDTH LENGTH DPI ORIENTATION MATRIX|bilevel|diffusion
//
// MATRIX: the 256 thresholds in hex; bilevel: a threshold at mid-gray;
// diffusion: error diffusion (photos).
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>
#include <unistd.h>

#include "app/render/Pdf.h"
#include "app/render/PdfProcess.h"
#include "settings/ParseNumber.h"

namespace tvl {

namespace {

bool writeAll(const void* data, size_t size)
{
    const auto* p = static_cast<const uint8_t*>(data);
    while (size != 0) {
        const ssize_t n = write(1, p, size);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return false;
        }
        p += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

// Each label to standard output as a 'P' frame; stops when the reader is gone.
class FrameSink final : public PageSink {
public:
    bool takePage(const PageBitmap& page) noexcept override
    {
        uint8_t head[9] = {pdf_frame::kPage};
        pdf_frame::putLe32(head + 1, page.width);
        pdf_frame::putLe32(head + 5, page.length);
        return writeAll(head, sizeof head) && writeAll(page.bits.data(), page.bits.size());
    }
};

// The server passes sizes of at most kMaxLabelDots, a print head's dpi and
// an IPP orientation: all fit a non-negative int32.
bool parseNumber(const char* text, uint32_t* value)
{
    int32_t number = 0;
    if (!parseInt32(text, 0, INT32_MAX, &number)) {
        return false;
    }
    *value = static_cast<uint32_t>(number);
    return true;
}

bool parseMatrix(const char* text, DitherMatrix* matrix)
{
    if (std::strlen(text) != 512) {
        return false;
    }
    for (unsigned i = 0; i < 256; ++i) {
        char byte[3] = {text[2 * i], text[2 * i + 1], '\0'};  // two hex digits, not a decimal number
        char* end = nullptr;
        const unsigned long v = strtoul(byte, &end, 16);
        if (*end != '\0') {
            return false;
        }
        (*matrix)[i / 16][i % 16] = static_cast<unsigned char>(v);
    }
    return true;
}

int failWith(const std::string& reason)
{
    uint8_t head[5] = {pdf_frame::kFailed};
    pdf_frame::putLe32(head + 1, static_cast<uint32_t>(reason.size()));
    return writeAll(head, sizeof head) && writeAll(reason.data(), reason.size()) ? 0 : 1;
}

}  // namespace

}  // namespace tvl

int main(int argc, char* argv[])
{
    using namespace tvl;
    LabelGeometry label{};
    uint32_t orientation = 0;
    DitherMatrix matrix{};
    const bool biLevel = argc == 7 && std::strcmp(argv[6], "bilevel") == 0;
    const bool diffuse = argc == 7 && std::strcmp(argv[6], "diffusion") == 0;
    if (argc != 7 || !parseNumber(argv[2], &label.widthDots) || !parseNumber(argv[3], &label.lengthDots) ||
        !parseNumber(argv[4], &label.dpi) || !parseNumber(argv[5], &orientation) ||
        (!biLevel && !diffuse && !parseMatrix(argv[6], &matrix))) {
        return failWith("usage: tavelin-pdf-render FILE|- WIDTH LENGTH DPI ORIENTATION MATRIX|bilevel|diffusion");
    }
    label.orientation = static_cast<int>(orientation);
    DocumentInput input;
    if (std::strcmp(argv[1], "-") == 0) {
        input.fd = 0;
    } else {
        input.path = argv[1];
    }
    FrameSink sink;
    PageWriter writer;
    std::string reason;
    const bool set = pageWriterInit(&writer, label, biLevel ? nullptr : &matrix, &sink, &reason);
    writer.diffuse = diffuse;
    if (!set || !renderPdf(input, &writer, &reason).finished()) {
        return failWith(reason);
    }
    const uint8_t done = pdf_frame::kDone;
    return writeAll(&done, 1) ? 0 : 1;
}
