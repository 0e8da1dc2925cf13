// SPDX-License-Identifier: Apache-2.0
#include "app/render/Render.h"

#include <cstring>

#include "app/render/PdfProcess.h"
#include "app/render/Writer.h"

namespace tvl {

bool documentKindForMime(const char* mimeType, DocumentKind* kind)
{
    if (mimeType == nullptr) {
        return false;
    }
    if (std::strcmp(mimeType, "image/png") == 0) {
        *kind = DocumentKind::Png;
    } else if (std::strcmp(mimeType, "image/jpeg") == 0) {
        *kind = DocumentKind::Jpeg;
    } else if (std::strcmp(mimeType, "application/pdf") == 0) {
        *kind = DocumentKind::Pdf;
    } else {
        return false;
    }
    return true;
}

namespace {

PageResult renderImage(DocumentKind kind, const DocumentInput& input, PageWriter* writer, std::string* reason)
{
    GrayImage image;
    const PageResult decoded = kind == DocumentKind::Png
                                   ? decodePng(input, writer->label, writer->sink, &image, reason)
                                   : decodeJpeg(input, writer->label, writer->sink, &image, reason);
    if (!decoded.printed()) {
        return decoded;
    }
    writer->diffuse = imageDiffuses(writer->content, kind, image);
    // The turn is chosen on the reduced image, whose aspect is the image's.
    const Turn turn = resolveTurn(writer->label.orientation, image.width, image.height, writer->label.widthDots,
                                  writer->label.lengthDots);
    return writeImage(writer, image, turn, reason);
}

}  // namespace

bool imageDiffuses(ContentOptimize content, DocumentKind kind, const GrayImage& image)
{
    switch (content) {
    case ContentOptimize::Photo:
        return true;
    case ContentOptimize::Auto:
        return kind == DocumentKind::Jpeg ||
               looksLikePhoto(image.pixels.get(), static_cast<size_t>(image.width) * image.height);
    case ContentOptimize::TextAndGraphics:
        break;
    }
    return false;
}

bool renderDocument(DocumentKind kind, const DocumentInput& input, const LabelGeometry& label,
                    const DitherMatrix* matrix, PageSink& sink, std::string* reason, ContentOptimize content) noexcept
{
    try {
        PageWriter writer;
        if (!pageWriterInit(&writer, label, matrix, &sink, reason)) {
            return false;
        }
        writer.content = content;
        if (kind == DocumentKind::Pdf) {
            // A PDF is a photo only when the job says so.
            writer.diffuse = content == ContentOptimize::Photo;
            return renderPdfInHelper(input, &writer, reason).finished();
        }
        // A stop asked for by the sink is not a failure of the document.
        return renderImage(kind, input, &writer, reason).finished();
    } catch (...) {
        *reason = "out of memory";
        return false;
    }
}

bool renderTestLabel(const LabelGeometry& label, const TestLabelInfo& info, const DitherMatrix* matrix,
                     PageSink& sink, std::string* reason) noexcept
{
    try {
        PageWriter writer;
        GrayImage gray;
        if (!pageWriterInit(&writer, label, matrix, &sink, reason) || !drawTestLabel(label, info, &gray, reason)) {
            return false;
        }
        return writeLabel(&writer, gray, reason).finished();
    } catch (...) {
        *reason = "out of memory";
        return false;
    }
}

}  // namespace tvl
