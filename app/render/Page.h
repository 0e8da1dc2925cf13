// SPDX-License-Identifier: Apache-2.0
// What document rendering hands on: one packed 1-bit bitmap per label, and
// the receiver of those bitmaps.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

#include "output/PageResult.h"

namespace tvl {

// One label: `length` rows of `bytesPerRow` = (width + 7) / 8 bytes, top row
// first (as the first row of a raster page), most significant bit the
// leftmost dot, 1 black, pad bits 0. `index` counts pages from 0.
struct PageBitmap {
    uint32_t index = 0;
    uint32_t width = 0;
    uint32_t length = 0;
    size_t bytesPerRow = 0;
    std::span<const uint8_t> bits;
};

// Receives the labels of one document. The bitmap's memory is reused for the
// next page: copy what must outlive the call.
class PageSink {
public:
    virtual ~PageSink() = default;
    // One label. Returning false stops the document: no further page is
    // made (cancel, or a device error the sink has already recorded).
    virtual bool takePage(const PageBitmap& page) noexcept = 0;
    // Asked now and then while a long image decodes or a page renders; true
    // stops the work early (a cancelled job). The default never stops.
    virtual bool shouldStop() noexcept { return false; }
};

// A rendering step that failed, its reason set; the steps answer None when
// done and Stopped when the sink stopped the document.
inline PageResult unrendered()
{
    return pageFailed(PageError::Unrendered);
}

// The same with "<format>: <message>" as the reason ("PNG: read error").
inline PageResult unrendered(const char* format, const char* message, std::string* reason)
{
    *reason = std::string(format) + ": " + message;
    return unrendered();
}

// `step()`, a rendering step that allocates as it goes: an exception from it
// (memory ran out) becomes "<format>: out of memory".
template <typename Step>
PageResult unlessOutOfMemory(const char* format, std::string* reason, Step step) noexcept
{
    try {
        return step();
    } catch (...) {
        return unrendered(format, "out of memory", reason);
    }
}

}  // namespace tvl
