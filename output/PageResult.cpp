// SPDX-License-Identifier: Apache-2.0
#include "output/PageResult.h"

#include <cinttypes>
#include <cstdio>

#include "output/SystemError.h"

namespace tvl {

void describePageError(const PageResult& result, int pageNumber, char* text, size_t size)
{
    if (size == 0) {
        return;
    }
    switch (result.error) {
    case PageError::None:
        snprintf(text, size, "Page %d printed", pageNumber);
        break;
    case PageError::TooLarge:
        describeOversizedPage(result.page, static_cast<unsigned>(pageNumber), text, size);
        break;
    case PageError::NoMemory:
        snprintf(text, size, "Not enough memory for page %d (%" PRIu64 " bytes)", pageNumber, result.detail);
        break;
    case PageError::ShortData:
        snprintf(text, size, "Page %d ends early or cannot be read", pageNumber);
        break;
    case PageError::CannotTurn:
        snprintf(text, size,
                 "Page %d cannot be turned: only pages of 1 bit per pixel whose lines hold their whole width can",
                 pageNumber);
        break;
    case PageError::PrinterWrite: {
        char reason[128];
        snprintf(text, size, "Unable to write to printer: %s",
                 systemErrorText(static_cast<int>(result.detail), reason, sizeof reason));
        break;
    }
    case PageError::Stopped:
        snprintf(text, size, "Page %d was not printed: the job stopped", pageNumber);
        break;
    case PageError::Unrendered:
        snprintf(text, size, "Page %d cannot be rendered", pageNumber);
        break;
    }
}

}  // namespace tvl
