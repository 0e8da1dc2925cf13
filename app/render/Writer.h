// SPDX-License-Identifier: Apache-2.0
// Handing finished labels to the sink: place (for images), dither with the
// printer's matrix or diffuse the error (photos), pack. One label buffer
// and one bitmap, reused per page; diffusion adds one row of errors.
#pragma once

#include <cstdint>
#include <string>

#include "app/Dither.h"
#include "app/render/Gray.h"
#include "app/render/Page.h"
#include "app/render/Place.h"

namespace tvl {

struct PageWriter {
    LabelGeometry label;
    const DitherMatrix* matrix = nullptr;
    ContentOptimize content = ContentOptimize::Auto;
    bool diffuse = false;     // error diffusion instead of the matrix (not bi-level)
    PageSink* sink = nullptr;
    uint32_t pages = 0;       // handed to the sink so far
    size_t bytesPerRow = 0;
    ByteBuffer bits;          // bytesPerRow * lengthDots
    ByteBuffer errors;        // int32_t * (widthDots + 2), when diffusing
};

bool pageWriterInit(PageWriter* w, const LabelGeometry& label, const DitherMatrix* matrix, PageSink* sink,
                    std::string* reason);

// Dithers a label-sized gray page and hands it on: None when the sink takes
// it and wants more, Stopped when it wants no more, Unrendered with a reason.
PageResult writeLabel(PageWriter* w, const GrayImage& labelGray, std::string* reason);

// Places `image` (turned by `turn`) on the label, then as writeLabel.
PageResult writeImage(PageWriter* w, const GrayImage& image, Turn turn, std::string* reason);

}  // namespace tvl
