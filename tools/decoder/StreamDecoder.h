// SPDX-License-Identifier: Apache-2.0
// Reads a printer command stream back: the setup commands, the orientation
// commands, the raw ("LD") and compressed ("LCR") band blocks, the print
// commands and any other bytes (pass-through text), and rebuilds the bitmap
// of every printed page.
//
// The stream is read from its first byte to its last. At the start of the
// stream and after every CR LF, band block or print command the decoder looks
// for a band block tag or a print command; otherwise it takes bytes up to the
// next CR LF as one line, which is a known command when it has one of the
// command forms exactly, and pass-through text when it does not. Neighbouring
// text lines are reported together as one text item.
//
// A page is the image built by the band blocks since the previous print
// command (or the start): each band's rows land at its start row. Its print
// command ends it.
//
// Band blocks are checked strictly, since their length is implied by their
// fields: a truncated head or data, a run that passes the band's end, a run
// count of 0, a band of 0 rows, 0 bytes per line or more than 200 rows, and a
// band whose bytes per line differ from the other bands of its page make the
// stream malformed. Decoding stops at the first such fault, with its offset.
#pragma once

#include <cstddef>
#include <cstdint>
#include <new>
#include <span>
#include <string>
#include <vector>

#include "output/Buffer.h"

namespace tvl {

namespace inspect {

enum class ItemKind {
    Setup,           // SL, SA, SW, ST, SD, SM, SS, TA, CUT, RWD
    Orientation,     // SOT, SOB
    RawBand,         // "LD" block
    CompressedBand,  // "LCR" block
    Print,           // P1[,copies]
    Text,            // anything else, copied to the printer as it is
};

struct Item {
    ItemKind kind = ItemKind::Text;
    size_t offset = 0;      // first byte in the stream
    size_t length = 0;      // bytes in the stream, head and terminators included
    std::string name;       // command mnemonic: "SL", "SOT", "CUT", ...
    std::string args;       // what follows the mnemonic: "609,24,G", "y,5", ""
    uint32_t startRow = 0;  // bands
    uint32_t bytesPerLine = 0;
    uint32_t rows = 0;
    size_t dataBytes = 0;   // bands: data bytes after the head (coded bytes for "LCR")
    int32_t copies = 1;     // print: copy count, 1 when the command has none
};

// One printed page: rows top down, bytesPerLine bytes each, most significant
// bit the leftmost pixel, 1 = black. Rows no band reached are white.
struct Page {
    uint32_t bytesPerLine = 0;
    uint32_t height = 0;
    ByteBuffer pixels;  // bytesPerLine x height
    bool bottomFirst = false;  // SOB in force when it was printed
    int32_t copies = 1;
    size_t bands = 0;

    uint32_t widthPixels() const { return bytesPerLine * 8; }
    const uint8_t* row(uint32_t y) const { return pixels.get() + static_cast<size_t>(y) * bytesPerLine; }
    bool pixel(uint32_t x, uint32_t y) const { return (row(y)[x / 8] >> (7 - x % 8)) & 1; }
};

struct DecodedStream {
    std::vector<Item> items;
    std::vector<Page> pages;
    size_t streamBytes = 0;
    size_t unprintedBands = 0;   // bands after the last print command
    bool hasLength = false;      // from SL
    int32_t labelLength = 0;
    bool hasWidth = false;       // from SW
    int32_t labelWidth = 0;
    bool ok = true;              // false: malformed at errorOffset
    size_t errorOffset = 0;
    std::string error;
};

// `work()`, a step that returns false with *error set on failure; false
// with "out of memory" when it runs out of memory instead.
template <typename Work>
bool unlessOutOfMemory(std::string* error, Work work)
{
    try {
        return work();
    } catch (const std::bad_alloc&) {
        *error = "out of memory";
        return false;
    }
}

// Decodes `stream`. Always returns a result: on a malformed stream `ok` is
// false, `error` says what is wrong at `errorOffset`, and the items and pages
// decoded before it are kept.
DecodedStream decodeStream(std::span<const uint8_t> stream);

// One line for an item: "SL 609,24,G", "SOT",
// "BAND raw start=0 bpl=102 rows=200 bytes=20400", "PRINT copies=1",
// "TEXT 12 bytes \"hello\\r\\n\"".
std::string describeItem(const Item& item, std::span<const uint8_t> stream);

// Summary lines: one per page, then the totals.
std::vector<std::string> describeSummary(const DecodedStream& decoded);

// "offset 123 (0x7b): <error>", for a malformed stream.
std::string describeError(const DecodedStream& decoded);

}  // namespace inspect

}  // namespace tvl
