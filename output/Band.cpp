#include "output/Band.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <span>

#include "output/Buffer.h"
#include "output/PrinterStream.h"
#include "output/Rle.h"
#include "output/Rotation.h"

namespace {

inline void putLe16(uint8_t* p, uint32_t value)
{
    p[0] = static_cast<uint8_t>(value & 0xFF);
    p[1] = static_cast<uint8_t>((value >> 8) & 0xFF);
}

void reportAllocationFailure()
{
    perror("TAVELIN Label Driver DEBUG MSG : Memory Allocation Error\n");
}

void writePrintCommand(int32_t copies)
{
    fputs(command::kPrint, stdout);
    if (static_cast<uint32_t>(copies) > 1) {
        printf(command::kPrintCopies, copies);
    }
    fputs(command::kLineEnd, stdout);
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

int printPage(cups_raster_t* raster, cups_page_header_t* header, const Settings& settings, int32_t copies)
{
    PageMemory memory{};
    ByteBuffer page;
    if (pageMemoryFor(*header, settings.rotation, &memory)) {
        page = allocateBytes(memory.pageBuffer, true);
    } else {
        errno = ENOMEM;
    }
    if (!page) {
        reportAllocationFailure();
        return kPageFailed;
    }

    if (cupsRasterReadPixels(raster, page.get(), static_cast<unsigned>(memory.pixelBytes)) == 0) {
        return kPageFailed;
    }
    if (convertRotation(settings.rotation, std::span<uint8_t>(page.get(), memory.pageBuffer), header) != 0) {
        return kPageFailed;
    }

    // After a quarter turn the header describes the turned page.
    const uint32_t height = header->cupsHeight;
    const uint32_t bytesPerLine = header->cupsBytesPerLine;
    const bool compressed = settings.compressed == 1;
    ByteBuffer packed;
    size_t packedLength = 0;

    int64_t remaining = static_cast<int32_t>(height);
    uint32_t startRow = 0;
    while (remaining > 0) {
        const uint32_t rows = remaining > command::kMaxBandRows ? command::kMaxBandRows
                                                                : static_cast<uint32_t>(remaining);
        remaining -= rows;
        const uint8_t* band = page.get() + static_cast<size_t>(startRow) * bytesPerLine;
        const size_t bandBytes = static_cast<size_t>(rows) * bytesPerLine;

        if (compressed) {
            if (!packed) {
                // The first band is the page's largest: its worst case fits every band.
                packed = allocateBytes(rleMaxEncodedSize(bandBytes), true);
                if (!packed) {
                    reportAllocationFailure();
                    return kPageFailed;
                }
            }
            fprintf(stderr,
                    "TAVELIN Label Driver DEBUG MSG : printPage() comp : hieght = %d, p_height = %d, "
                    "bytesPerLine = %d\n",
                    static_cast<int>(remaining), static_cast<int>(rows), static_cast<int>(bytesPerLine));
            fprintf(stderr, "TAVELIN Label Driver DEBUG MSG : printPage() comp : start_height = %d\n",
                    static_cast<int>(startRow));
            fprintf(stderr, "TAVELIN Label Driver DEBUG MSG : printPage() comp : compDataLen = %d\n",
                    static_cast<int>(packedLength));
            packedLength = RLECompression(band, packed.get(), rows, bytesPerLine);
            const auto head = compressedBandHead(startRow, bytesPerLine, rows);
            writePrinterBytes(head.data(), head.size());
            writePrinterBytes(packed.get(), packedLength);
            if (flushPrinterStream() != 0) {
                return kPrinterWriteFailed;
            }
        } else {
            const auto head = rawBandHead(startRow, bytesPerLine, rows);
            writePrinterBytes(head.data(), head.size());
            fprintf(stderr, "TAVELIN Label Driver DEBUG MSG : printPage() : hieght = %d, bytesPerLine = %d\n",
                    static_cast<int>(rows), static_cast<int>(bytesPerLine));
            fprintf(stderr, "TAVELIN Label Driver DEBUG MSG : printPage() : start_height = %d\n",
                    static_cast<int>(startRow));
            writePrinterBytes(band, bandBytes);
            if (flushPrinterStream() != 0) {
                return kPrinterWriteFailed;
            }
            fprintf(stderr, "TAVELIN Label Driver DEBUG MSG: printPage() : i = %d\n", static_cast<int>(bandBytes));
        }
        startRow += rows;
    }

    writePrintCommand(copies);
    // The print command waits in the printer stream for the next band; the
    // page's log lines go out now, before the filter waits for the next page.
    flushDiagnostics();
    return kPagePrinted;
}
