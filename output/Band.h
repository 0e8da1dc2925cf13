// Raster pages: the page bitmap sent in bands of at most 200 rows, raw or
// run-length compressed, then the print command with the copy count.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include <cups/raster.h>

#include "output/Commands.h"
#include "settings/Settings.h"

// Results of printPage.
inline constexpr int kPagePrinted = 0;
inline constexpr int kPageFailed = 1;         // reported; the page is lost
inline constexpr int kPrinterWriteFailed = 2;  // reported; send nothing more

// Band block heads; 16-bit fields low byte first, values taken mod 65536.
std::array<uint8_t, command::kRawBandHeadSize> rawBandHead(uint32_t startRow, uint32_t bytesPerLine,
                                                           uint32_t rows);
std::array<uint8_t, command::kCompressedBandHeadSize> compressedBandHead(uint32_t startRow,
                                                                         uint32_t bytesPerLine, uint32_t rows);

// Memory a page needs, computed without wrapping around.
struct PageMemory {
    size_t pixelBytes;   // bytes read from the stream: height x bytesPerLine
    size_t pageBuffer;   // holds the page, and the turned page for a quarter turn
};

// false when the page's sizes do not fit (it cannot be read in one call or
// its buffer cannot be sized).
bool pageMemoryFor(const cups_page_header_t& header, int32_t rotation, PageMemory* memory);

// Reads one page's pixels and sends it: orientation, bands, print command.
// Returns kPagePrinted, kPageFailed or kPrinterWriteFailed. The raster
// stream stays open.
int printPage(cups_raster_t* raster, cups_page_header_t* header, const Settings& settings, int32_t copies);
