// SPDX-License-Identifier: Apache-2.0
// What became of a page: printed, or why not, as an error code and its
// detail. The core's band and turn code and the application's renderers
// answer with it; describePageError holds the texts a user reads.
#pragma once

#include <cstddef>
#include <cstdint>

#include "settings/PageLimit.h"

namespace tvl {

// Why a page did not print. The print command is written only for a page
// that printed; blocks already sent stay sent.
enum class PageError {
    None,
    TooLarge,      // larger than any label (settings/PageLimit.h); page: its sizes
    NoMemory,      // detail: the bytes asked for
    ShortData,     // the page's data ended early or could not be read
    CannotTurn,    // a quarter turn of a page that is not 1 bit per pixel, or whose rows miss columns
    PrinterWrite,  // detail: errno of the failed write; send nothing more
    Stopped,       // the job or the page's sink asked to stop: not a failure of the document
    Unrendered,    // the document cannot be read or rendered; the renderer gives the reason as text
};

struct PageResult {
    PageError error = PageError::None;
    uint64_t detail = 0;
    // Labels the print command makes of the page (1, or the copy count of
    // 2 or more it carries); 0 when the page failed.
    int32_t labels = 0;
    RasterPage page{};  // the refused page's sizes, for TooLarge
    bool printed() const { return error == PageError::None; }
    // The document went as far as it was let: no page failed.
    bool finished() const { return error == PageError::None || error == PageError::Stopped; }
};

inline PageResult pageFailed(PageError error, uint64_t detail = 0)
{
    PageResult result;
    result.error = error;
    result.detail = detail;
    return result;
}

// One line that says why page `pageNumber` failed, for a user to act on
// ("Not enough memory for page 2 (2400000 bytes)"), without a line end.
// Writes at most `size` bytes with the terminating zero.
void describePageError(const PageResult& result, int pageNumber, char* text, size_t size);

}  // namespace tvl
