// SPDX-License-Identifier: Apache-2.0
// tvl-bench-floor < JOB: the least any filter of a raster job must do. Reads
// every page of the CUPS raster stream on standard input with
// cupsRasterReadHeader and one cupsRasterReadPixels per page, and nothing
// else. Prints the page count to standard error.
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include <cups/raster.h>

namespace tvl {

}  // namespace tvl

int main()
{
    using namespace tvl;
    cups_raster_t* raster = cupsRasterOpen(0, CUPS_RASTER_READ);
    if (raster == nullptr) {
        fprintf(stderr, "tvl-bench-floor: cannot open the raster stream\n");
        return 1;
    }
    cups_page_header_t header;
    uint8_t* page = nullptr;
    size_t capacity = 0;
    unsigned pages = 0;
    int status = 0;
    while (cupsRasterReadHeader(raster, &header) != 0) {
        const size_t size = static_cast<size_t>(header.cupsBytesPerLine) * header.cupsHeight;
        if (size > capacity) {
            free(page);
            page = static_cast<uint8_t*>(malloc(size));
            capacity = page != nullptr ? size : 0;
            if (page == nullptr) {
                status = 1;
                break;
            }
        }
        if (size != 0 && cupsRasterReadPixels(raster, page, static_cast<unsigned>(size)) == 0) {
            status = 1;
            break;
        }
        ++pages;
    }
    free(page);
    cupsRasterClose(raster);
    fprintf(stderr, "tvl-bench-floor: %u pages\n", pages);
    return status;
}
