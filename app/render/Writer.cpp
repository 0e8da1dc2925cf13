// SPDX-License-Identifier: Apache-2.0
#include "app/render/Writer.h"

#include <cstring>

namespace tvl {

bool pageWriterInit(PageWriter* w, const LabelGeometry& label, const DitherMatrix* matrix, PageSink* sink,
                    std::string* reason)
{
    if (!checkLabel(label, reason)) {
        return false;
    }
    w->label = label;
    w->matrix = matrix;
    w->sink = sink;
    w->pages = 0;
    w->bytesPerRow = (static_cast<size_t>(label.widthDots) + 7) / 8;
    w->bits = allocateBytes(w->bytesPerRow * label.lengthDots, false);
    if (!w->bits) {
        *reason = "out of memory for the label bitmap";
        return false;
    }
    return true;
}

namespace {

// Packs a label-sized gray image into `bits` (rows of (width + 7) / 8
// bytes) with ditherRow, or with diffuseRow when `errors` (width + 2
// entries) is given and the page is not bi-level.
void ditherLabel(const GrayImage& labelGray, const DitherMatrix* matrix, int32_t* errors, uint8_t* bits)
{
    const size_t bytesPerRow = (static_cast<size_t>(labelGray.width) + 7) / 8;
    const bool diffuse = errors != nullptr && matrix != nullptr;
    if (diffuse) {
        std::memset(errors, 0, (static_cast<size_t>(labelGray.width) + 2) * sizeof(int32_t));
    }
    for (uint32_t y = 0; y < labelGray.height; ++y) {
        if (diffuse) {
            diffuseRow(labelGray.row(y), labelGray.width, y, errors, bits + y * bytesPerRow);
        } else {
            ditherRow(labelGray.row(y), labelGray.width, y, matrix, bits + y * bytesPerRow);
        }
    }
}

}  // namespace

PageResult writeLabel(PageWriter* w, const GrayImage& labelGray, std::string* reason)
{
    if (labelGray.width != w->label.widthDots || labelGray.height != w->label.lengthDots) {
        *reason = "page does not match the label size";
        return unrendered();
    }
    int32_t* errors = nullptr;
    if (w->diffuse) {
        if (!w->errors) {
            w->errors = allocateBytes((static_cast<size_t>(w->label.widthDots) + 2) * sizeof(int32_t), false);
        }
        if (!w->errors) {
            *reason = "out of memory for the label's error row";
            return unrendered();
        }
        errors = reinterpret_cast<int32_t*>(w->errors.get());
    }
    ditherLabel(labelGray, w->matrix, errors, w->bits.get());
    PageBitmap page;
    page.index = w->pages;
    page.width = w->label.widthDots;
    page.length = w->label.lengthDots;
    page.bytesPerRow = w->bytesPerRow;
    page.bits = std::span<const uint8_t>(w->bits.get(), w->bytesPerRow * w->label.lengthDots);
    ++w->pages;
    return w->sink->takePage(page) ? PageResult{} : pageFailed(PageError::Stopped);
}

PageResult writeImage(PageWriter* w, const GrayImage& image, Turn turn, std::string* reason)
{
    GrayImage labelGray;
    if (!placeImage(image, w->label, turn, &labelGray, reason)) {
        return unrendered();
    }
    return writeLabel(w, labelGray, reason);
}

}  // namespace tvl
