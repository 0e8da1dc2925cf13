// SPDX-License-Identifier: Apache-2.0
#include "output/Band.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <span>

#include "output/Buffer.h"
#include "output/Rle.h"
#include "output/Rotation.h"

namespace tvl {

namespace {

inline void putLe16(uint8_t* p, uint32_t value)
{
    p[0] = static_cast<uint8_t>(value & 0xFF);
    p[1] = static_cast<uint8_t>((value >> 8) & 0xFF);
}

constexpr auto kAllocationError = driverText("Memory Allocation Error\n");

void writePrintCommand(Output& out, int32_t copies)
{
    writePrinter(out, command::kPrint);
    if (static_cast<uint32_t>(copies) > 1) {
        printerf(out, command::kPrintCopies, copies);
    }
    writePrinter(out, command::kLineEnd);
}

}  // namespace

std::array<uint8_t, command::kRawBandHeadSize> rawBandHead(uint32_t startRow, uint32_t bytesPerLine, uint32_t rows)
{
    std::array<uint8_t, command::kRawBandHeadSize> head{};
    std::copy(command::kRawBandTag.begin(), command::kRawBandTag.end(), head.begin());
    putLe16(&head[4], startRow);
    putLe16(&head[6], bytesPerLine);
    putLe16(&head[8], rows);
    return head;
}

std::array<uint8_t, command::kCompressedBandHeadSize> compressedBandHead(uint32_t startRow, uint32_t bytesPerLine,
                                                                         uint32_t rows)
{
    std::array<uint8_t, command::kCompressedBandHeadSize> head{};
    std::copy(command::kCompressedBandTag.begin(), command::kCompressedBandTag.end(), head.begin());
    putLe16(&head[6], startRow);
    putLe16(&head[8], bytesPerLine);
    putLe16(&head[10], rows);
    return head;
}

bool pageMemoryFor(const cups_page_header_t& header, int32_t rotation, PageMemory* memory)
{
    size_t pixels = 0;
    if (!checkedMultiply(header.cupsHeight, header.cupsBytesPerLine, &pixels) || pixels > UINT_MAX) {
        return false;
    }
    size_t buffer = pixels;
    if ((rotation == 1 || rotation == 3) && canTurnPage(header)) {
        size_t turned = 0;
        if (!checkedMultiply(header.cupsWidth, turnedRowBytes(header.cupsHeight), &turned)) {
            return false;
        }
        buffer = std::max(buffer, turned);
    }
    memory->pixelBytes = pixels;
    memory->pageBuffer = buffer;
    return true;
}

PageResult beginBandedPage(Output& out, BandedPage* page, uint32_t height, uint32_t bytesPerLine,
                           const Settings& settings)
{
    if (settings.rotation == 1 || settings.rotation == 3) {
        return pageFailed(PageError::CannotTurn);  // a quarter turn needs the whole page: sendPage
    }
    writePrinter(out, command::kOrientationTop);
    if (settings.rotation == 2) {
        rotate180Degree(out);
    }
    page->rows = static_cast<int32_t>(height);
    page->bytesPerLine = bytesPerLine;
    page->compressed = settings.compressed == 1;
    page->nextRow = 0;
    page->packedLength = 0;
    return PageResult{};
}

PageResult sendBand(Output& out, BandedPage* page, const uint8_t* band, uint32_t rows)
{
    const uint32_t startRow = page->nextRow;
    const uint32_t bytesPerLine = page->bytesPerLine;
    const int64_t remaining = page->rows - startRow - rows;
    const size_t bandBytes = static_cast<size_t>(rows) * bytesPerLine;
    if (page->compressed) {
        const size_t worst = rleMaxEncodedSize(bandBytes);
        if (page->packedSize < worst) {
            page->packed = allocateBytes(worst, false);
            page->packedSize = page->packed ? worst : 0;
            if (!page->packed) {
                logSystemError(out, kAllocationError.data(), errno);
                return pageFailed(PageError::NoMemory, worst);
            }
        }
        driverLog(out.log, "printPage() comp : hieght = %d, p_height = %d, bytesPerLine = %d\n",
                  static_cast<int>(remaining), static_cast<int>(rows), static_cast<int>(bytesPerLine));
        driverLog(out.log, "printPage() comp : start_height = %d\n", static_cast<int>(startRow));
        driverLog(out.log, "printPage() comp : compDataLen = %d\n", static_cast<int>(page->packedLength));
        page->packedLength = RLECompression(out, band, page->packed.get(), rows, bytesPerLine);
        const auto head = compressedBandHead(startRow, bytesPerLine, rows);
        out.printer.write(head);
        out.printer.write(std::span<const uint8_t>(page->packed.get(), page->packedLength));
        if (!out.printer.flush()) {
            return pageFailed(PageError::PrinterWrite, static_cast<uint64_t>(errno));
        }
    } else {
        const auto head = rawBandHead(startRow, bytesPerLine, rows);
        out.printer.write(head);
        driverLog(out.log, "printPage() : hieght = %d, bytesPerLine = %d\n", static_cast<int>(rows),
                  static_cast<int>(bytesPerLine));
        driverLog(out.log, "printPage() : start_height = %d\n", static_cast<int>(startRow));
        out.printer.write(std::span<const uint8_t>(band, bandBytes));
        if (!out.printer.flush()) {
            return pageFailed(PageError::PrinterWrite, static_cast<uint64_t>(errno));
        }
        logf(out, "TAVELIN Label Driver DEBUG MSG: printPage() : i = %d\n", static_cast<int>(bandBytes));
    }
    page->nextRow = startRow + rows;
    return PageResult{};
}

PageResult endBandedPage(Output& out, int32_t copies)
{
    writePrintCommand(out, copies);
    // The page is whole: it goes to the printer now, not with the next
    // page's first band.
    if (!out.printer.flush()) {
        return pageFailed(PageError::PrinterWrite, static_cast<uint64_t>(errno));
    }
    PageResult result;
    result.labels = command::labelsPrinted(copies);
    return result;
}

namespace {

// The bands of a page whose orientation commands are out: `rows` holds its
// cupsHeight rows of cupsBytesPerLine bytes.
PageResult sendRows(Output& out, const uint8_t* rows, const cups_page_header_t& header, const Settings& settings,
                    int32_t copies)
{
    BandedPage banded;
    banded.rows = static_cast<int32_t>(header.cupsHeight);
    banded.bytesPerLine = header.cupsBytesPerLine;
    banded.compressed = settings.compressed == 1;
    return sendRemainingBands(
        out, &banded, [&](uint32_t startRow) { return rows + static_cast<size_t>(startRow) * banded.bytesPerLine; },
        copies);
}

}  // namespace

PageResult sendPage(Output& out, std::span<uint8_t> page, cups_page_header_t* header, const Settings& settings,
                    int32_t copies)
{
    const PageResult turned = convertRotation(out, settings.rotation, page, header);
    if (!turned.printed()) {
        return turned;
    }
    // After a quarter turn the header describes the turned page; its
    // orientation command is out, so the bands follow as for any page.
    return sendRows(out, page.data(), *header, settings, copies);
}

PageResult printPage(Output& out, cups_raster_t* raster, cups_page_header_t* header, const Settings& settings,
                     int32_t copies, PageBuffers* buffers)
{
    PageMemory memory{};
    if (!pageFitsLabel(rasterPageOf(*header)) || !pageMemoryFor(*header, settings.rotation, &memory)) {
        PageResult refused = pageFailed(PageError::TooLarge);
        refused.page = rasterPageOf(*header);
        return refused;
    }
    // Every byte is read into, so the memory of the page before need not
    // be cleared.
    if (!reserveBytes(&buffers->pixels, memory.pixelBytes)) {
        logSystemError(out, kAllocationError.data(), errno);
        return pageFailed(PageError::NoMemory, memory.pixelBytes);
    }
    uint8_t* pixels = buffers->pixels.bytes.get();
    if (cupsRasterReadPixels(raster, pixels, static_cast<unsigned>(memory.pixelBytes)) == 0) {
        return pageFailed(PageError::ShortData);
    }
    writeOrientation(out, settings.rotation);
    const uint8_t* rows = pixels;
    if (settings.rotation == 1 || settings.rotation == 3) {
        // Turned into the scratch, and sent from there.
        const PageResult turned = turnPageInto(out, settings.rotation, pixels, header, &buffers->turned, &rows);
        if (!turned.printed()) {
            return turned;
        }
    }
    return sendRows(out, rows, *header, settings, copies);
}

}  // namespace tvl
