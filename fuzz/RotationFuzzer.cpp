// SPDX-License-Identifier: Apache-2.0
// Quarter turns: a 1-bit page of any size and content, turned clockwise
// and then counter-clockwise, shows the same pixels again; the turned page
// has the swapped size and zero pad bits. The page buffers are sized as the
// band transfer sizes them, exactly, so a turn that writes past them is
// caught by AddressSanitizer.
//
// Input: width (2 bytes), height (1 byte), extra bytes per row (1 byte),
// then the pixels (repeated to fill the page).
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <cups/raster.h>

#include "fuzz/FuzzTarget.h"
#include "output/Band.h"
#include "output/Buffer.h"
#include "output/Rotation.h"
#include "output/Sink.h"

namespace tvl {

namespace {

// The orientation commands and log lines are of no interest here.
class DiscardPrinter : public PrinterSink {
public:
    void write(std::span<const uint8_t>) override {}
    bool flush() override { return true; }
};
class DiscardLog : public LogSink {
public:
    void write(std::string_view) override {}
};

bool pixel(const uint8_t* page, uint32_t bytesPerLine, uint32_t x, uint32_t y)
{
    return (page[static_cast<size_t>(y) * bytesPerLine + x / 8] >> (7 - x % 8)) & 1;
}

// Turns the page in `page` (sized for it) and returns the buffer that holds
// the turned page, sized as printPage would size it.
ByteBuffer turn(int32_t rotation, ByteBuffer page, cups_page_header_t* header)
{
    PageMemory memory{};
    if (!pageMemoryFor(*header, rotation, &memory)) {
        abort();
    }
    ByteBuffer buffer = allocateBytes(memory.pageBuffer, true);
    std::memcpy(buffer.get(), page.get(), memory.pixelBytes);
    DiscardPrinter printer;
    DiscardLog log;
    Output out{printer, log, 8.0f};
    if (!convertRotation(out, rotation, std::span<uint8_t>(buffer.get(), memory.pageBuffer), header).printed()) {
        abort();
    }
    return buffer;
}

}  // namespace

}  // namespace tvl

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    using namespace tvl;
    if (size < 4) {
        return 0;
    }
    // Up to 640 x 200: every shape of the 8 x 8 blocks and their edges, small
    // enough for hundreds of runs a second.
    const uint32_t width = 1 + ((static_cast<uint32_t>(data[0]) | static_cast<uint32_t>(data[1]) << 8) % 640);
    const uint32_t height = 1 + data[2] % 200;
    const uint32_t bytesPerLine = (width + 7) / 8 + data[3] % 4;
    data += 4;
    size -= 4;

    cups_page_header_t header{};
    header.cupsWidth = width;
    header.cupsHeight = height;
    header.cupsBitsPerPixel = 1;
    header.cupsBytesPerLine = bytesPerLine;

    const size_t pageBytes = static_cast<size_t>(height) * bytesPerLine;
    ByteBuffer original = allocateBytes(pageBytes, true);
    for (size_t i = 0; size != 0 && i < pageBytes; ++i) {
        original[i] = data[i % size];
    }
    ByteBuffer copy = allocateBytes(pageBytes, false);
    std::memcpy(copy.get(), original.get(), pageBytes);

    ByteBuffer turned = turn(1, std::move(copy), &header);
    if (header.cupsWidth != height || header.cupsHeight != width || header.cupsBytesPerLine != (height + 7) / 8) {
        abort();
    }
    // Clockwise: turned pixel (X, Y) is source pixel (Y, H - 1 - X); pad bits 0.
    for (uint32_t y = 0; y < width; ++y) {
        for (uint32_t x = 0; x < header.cupsBytesPerLine * 8; ++x) {
            const bool expected = x < height && pixel(original.get(), bytesPerLine, y, height - 1 - x);
            if (pixel(turned.get(), header.cupsBytesPerLine, x, y) != expected) {
                abort();
            }
        }
    }

    ByteBuffer back = turn(3, std::move(turned), &header);
    if (header.cupsWidth != width || header.cupsHeight != height || header.cupsBytesPerLine != (width + 7) / 8) {
        abort();
    }
    for (uint32_t y = 0; y < height; ++y) {
        for (uint32_t x = 0; x < width; ++x) {
            if (pixel(back.get(), header.cupsBytesPerLine, x, y) != pixel(original.get(), bytesPerLine, x, y)) {
                abort();
            }
        }
    }
    return 0;
}
