#include "output/Rotation.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "output/Buffer.h"
#include "output/Commands.h"

namespace {

// Transposes an 8 x 8 bit block held one row per byte, row 0 in the most
// significant byte and the leftmost pixel in each byte's top bit. Afterwards
// byte i (counted from the most significant) holds column i, top row first.
inline uint64_t transpose8x8(uint64_t x)
{
    uint64_t t = (x ^ (x >> 7)) & 0x00AA00AA00AA00AAULL;
    x = x ^ t ^ (t << 7);
    t = (x ^ (x >> 14)) & 0x0000CCCC0000CCCCULL;
    x = x ^ t ^ (t << 14);
    t = (x ^ (x >> 28)) & 0x00000000F0F0F0F0ULL;
    x = x ^ t ^ (t << 28);
    return x;
}

// Gathers the byte at `byteColumn` of the eight source rows rowOf(0..7)
// (rows outside the page read as 0), first row in the top byte.
template <typename RowOf>
inline uint64_t gatherBlock(const uint8_t* source, size_t bytesPerLine, uint32_t height, size_t byteColumn,
                            RowOf rowOf)
{
    uint64_t x = 0;
    for (unsigned j = 0; j < 8; ++j) {
        const int64_t row = rowOf(j);
        uint64_t byte = 0;
        if (row >= 0 && row < static_cast<int64_t>(height)) {
            byte = source[static_cast<size_t>(row) * bytesPerLine + byteColumn];
        }
        x = (x << 8) | byte;
    }
    return x;
}

}  // namespace

int rotate90Degree(const uint8_t* source, uint8_t* turned, uint32_t height, uint32_t bytesPerLine)
{
    const size_t rowBytes = turnedRowBytes(height);
    for (size_t kb = 0; kb < rowBytes; ++kb) {
        // Turned bit k of this byte is source row height-1-k.
        const int64_t firstRow = static_cast<int64_t>(height) - 1 - static_cast<int64_t>(kb * 8);
        for (size_t bc = 0; bc < bytesPerLine; ++bc) {
            uint64_t x = gatherBlock(source, bytesPerLine, height, bc,
                                     [firstRow](unsigned j) { return firstRow - static_cast<int64_t>(j); });
            x = transpose8x8(x);
            for (unsigned i = 0; i < 8; ++i) {
                turned[(bc * 8 + i) * rowBytes + kb] = static_cast<uint8_t>(x >> (56 - 8 * i));
            }
        }
    }
    return 0;
}

int rotate270Degree(const uint8_t* source, uint8_t* turned, uint32_t height, uint32_t bytesPerLine)
{
    const size_t rowBytes = turnedRowBytes(height);
    const size_t lastRow = static_cast<size_t>(bytesPerLine) * 8 - 1;
    for (size_t kb = 0; kb < rowBytes; ++kb) {
        // Turned bit k of this byte is source row k.
        const int64_t firstRow = static_cast<int64_t>(kb * 8);
        for (size_t bc = 0; bc < bytesPerLine; ++bc) {
            uint64_t x = gatherBlock(source, bytesPerLine, height, bc,
                                     [firstRow](unsigned j) { return firstRow + static_cast<int64_t>(j); });
            x = transpose8x8(x);
            for (unsigned i = 0; i < 8; ++i) {
                turned[(lastRow - (bc * 8 + i)) * rowBytes + kb] = static_cast<uint8_t>(x >> (56 - 8 * i));
            }
        }
    }
    return 0;
}

void rotate180Degree()
{
    fputs(command::kOrientationBottom, stdout);
}

bool canTurnPage(const cups_page_header_t& header)
{
    return header.cupsBitsPerPixel == 1 &&
           static_cast<uint64_t>(header.cupsBytesPerLine) * 8 >= header.cupsWidth;
}

int convertRotation(int32_t rotation, std::span<uint8_t> page, cups_page_header_t* header)
{
    fputs(command::kOrientationTop, stdout);
    if (rotation == 2) {
        rotate180Degree();
        return 0;
    }
    if (rotation != 1 && rotation != 3) {
        return 0;
    }
    if (!canTurnPage(*header)) {
        fprintf(stderr, "TAVELIN Label Driver DEBUG MSG : ERROR: Cannot rotate this page\n");
        return 1;
    }

    const uint32_t width = header->cupsWidth;
    const uint32_t height = header->cupsHeight;
    const uint32_t bytesPerLine = header->cupsBytesPerLine;
    const size_t rowBytes = turnedRowBytes(height);
    const size_t bitColumns = static_cast<size_t>(bytesPerLine) * 8;
    size_t scratchSize = 0;
    size_t turnedSize = 0;
    ByteBuffer scratch;
    if (checkedMultiply(bitColumns, rowBytes, &scratchSize) &&
        checkedMultiply(width, rowBytes, &turnedSize) && turnedSize <= page.size()) {
        scratch = allocateBytes(scratchSize, false);
    } else {
        errno = ENOMEM;
    }
    if (!scratch) {
        perror("TAVELIN Label Driver DEBUG MSG : Memory Allocation Error\n");
        return 1;
    }

    size_t firstKept = 0;
    if (rotation == 1) {
        rotate90Degree(page.data(), scratch.get(), height, bytesPerLine);
    } else {
        rotate270Degree(page.data(), scratch.get(), height, bytesPerLine);
        firstKept = bitColumns - width;  // the padding columns come first
    }

    header->cupsBytesPerLine = static_cast<unsigned>(rowBytes);
    header->cupsHeight = width;
    header->cupsWidth = height;
    std::memcpy(page.data(), scratch.get() + firstKept * rowBytes, turnedSize);
    return 0;
}
