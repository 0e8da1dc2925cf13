// SPDX-License-Identifier: Apache-2.0
// Quarter and half turns: the fast 8x8 block turn against a per-bit turn
// written here, the page and header after convertRotation, and the
// orientation commands.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <vector>

#include "output/Band.h"
#include "output/Rotation.h"
#include "tests/support/ReferenceTurn.h"
#include "tests/support/RunFilter.h"
#include "tests/support/StringSinks.h"

namespace tvl {

namespace {

using Bytes = std::vector<uint8_t>;

// The transposition bit by bit: 8 x bytesPerLine rows, one per source bit
// column (padding columns too). Clockwise: row r is column r read bottom up;
// counter-clockwise: row r is column 8B-1-r read top down.
Bytes referenceTransposition(const Bytes& source, uint32_t height, uint32_t bytesPerLine, bool clockwise)
{
    const size_t columns = static_cast<size_t>(bytesPerLine) * 8;
    const size_t rowBytes = turnedRowBytesFor(height);
    Bytes out(columns * rowBytes, 0);
    for (size_t r = 0; r < columns; ++r) {
        const size_t column = clockwise ? r : columns - 1 - r;
        for (size_t k = 0; k < height; ++k) {
            const size_t row = clockwise ? height - 1 - k : k;
            if (pixelAt(source, bytesPerLine, column, row)) {
                setPixel(out, rowBytes, k, r);
            }
        }
    }
    return out;
}

Bytes randomBytes(std::mt19937& random, size_t n)
{
    Bytes b(n);
    for (uint8_t& v : b) {
        v = static_cast<uint8_t>(random());
    }
    return b;
}

// Clears the padding bits of every row (columns width..8B-1).
void clearPadding(Bytes& page, uint32_t width, uint32_t height, uint32_t bytesPerLine)
{
    for (size_t y = 0; y < height; ++y) {
        for (size_t x = width; x < static_cast<size_t>(bytesPerLine) * 8; ++x) {
            page[y * bytesPerLine + x / 8] &= static_cast<uint8_t>(~(0x80 >> (x % 8)));
        }
    }
}

cups_page_header_t header1Bit(uint32_t width, uint32_t height, uint32_t bytesPerLine)
{
    cups_page_header_t h{};
    h.cupsWidth = width;
    h.cupsHeight = height;
    h.cupsBitsPerPixel = 1;
    h.cupsBitsPerColor = 1;
    h.cupsBytesPerLine = bytesPerLine;
    return h;
}

struct Turned {
    PageError result = PageError::Stopped;  // not yet turned
    std::string commands;   // what went to the printer
    std::string log;
    Bytes page;             // the page buffer afterwards
    cups_page_header_t header{};
};

// Runs convertRotation on a copy of `source` in a page buffer big enough for
// the page and the turned page.
Turned turn(const Bytes& source, cups_page_header_t header, int rotation)
{
    const size_t pageBytes = static_cast<size_t>(header.cupsHeight) * header.cupsBytesPerLine;
    const size_t turnedBytes = static_cast<size_t>(header.cupsWidth) * turnedRowBytesFor(header.cupsHeight);
    Turned t;
    t.page = source;
    t.page.resize(std::max(pageBytes, turnedBytes), 0);
    t.header = header;
    StringOutput o;
    t.result = convertRotation(o.out, rotation, t.page, &t.header).error;
    t.commands = o.printer.bytes;
    t.log = o.log.text;
    return t;
}

Bytes firstBytes(const Bytes& b, size_t n)
{
    return Bytes(b.begin(), b.begin() + static_cast<long>(n));
}

TEST(Rotation, WorkedExample)
{
    // W=3, H=4, B=1: pixels 101, 110, 001, 010.
    const Bytes page = {0xA0, 0xC0, 0x20, 0x40};
    struct Case {
        int rotation;
        const char* turned;
    };
    for (const Case& c : {Case{1, "30 A0 50"}, Case{3, "A0 50 C0"}}) {
        const Turned t = turn(page, header1Bit(3, 4, 1), c.rotation);
        EXPECT_EQ(t.result, PageError::None);
        EXPECT_EQ(t.commands, "SOT\r\n");
        EXPECT_EQ(t.header.cupsWidth, 4u);
        EXPECT_EQ(t.header.cupsHeight, 3u);
        EXPECT_EQ(t.header.cupsBytesPerLine, 1u);
        const Bytes b = firstBytes(t.page, 3);
        EXPECT_EQ(hexBytes(std::string(b.begin(), b.end())), c.turned) << "rotation " << c.rotation;
    }
}

TEST(Rotation, WorkedExampleTranspositionRows)
{
    const Bytes page = {0xA0, 0xC0, 0x20, 0x40};
    Bytes scratch(8, 0xEE);
    rotate90Degree(page.data(), scratch.data(), 4, 1);
    EXPECT_EQ(hexBytes(std::string(scratch.begin(), scratch.end())), "30 A0 50 00 00 00 00 00");
    rotate270Degree(page.data(), scratch.data(), 4, 1);
    // Five rows of padding come first; the turned page is the last three.
    EXPECT_EQ(hexBytes(std::string(scratch.begin(), scratch.end())), "00 00 00 00 00 A0 50 C0");
}

TEST(Rotation, HalfTurnAndOtherCodesLeaveThePage)
{
    const Bytes page = {0xA0, 0xC0, 0x20, 0x40};
    struct Case {
        int rotation;
        const char* commands;
    };
    const Case cases[] = {{0, "SOT\r\n"}, {2, "SOT\r\nSOB\r\n"}, {7, "SOT\r\n"}, {-1, "SOT\r\n"}, {4, "SOT\r\n"}};
    for (const Case& c : cases) {
        const Turned t = turn(page, header1Bit(3, 4, 1), c.rotation);
        EXPECT_EQ(t.result, PageError::None) << c.rotation;
        EXPECT_EQ(t.commands, c.commands) << c.rotation;
        EXPECT_EQ(t.header.cupsWidth, 3u);
        EXPECT_EQ(t.header.cupsHeight, 4u);
        EXPECT_EQ(t.header.cupsBytesPerLine, 1u);
        EXPECT_EQ(firstBytes(t.page, 4), page) << c.rotation;
    }
}

TEST(Rotation, HalfTurnCommand)
{
    StringOutput o;
    rotate180Degree(o.out);
    EXPECT_EQ(o.printer.bytes, "SOB\r\n");
}

TEST(Rotation, Page812PixelsWideDropsItsFourPaddingColumns)
{
    // B = 102: four padding bits per row, set here so that a padding column
    // would show in the turned page.
    std::mt19937 random(812);
    const uint32_t width = 812, height = 21, bytesPerLine = 102;
    const Bytes page = randomBytes(random, height * bytesPerLine);
    const Bytes scratch90 = referenceTransposition(page, height, bytesPerLine, true);
    const Bytes scratch270 = referenceTransposition(page, height, bytesPerLine, false);
    const size_t rowBytes = turnedRowBytesFor(height);

    const Turned cw = turn(page, header1Bit(width, height, bytesPerLine), 1);
    ASSERT_EQ(cw.result, PageError::None);
    EXPECT_EQ(cw.header.cupsHeight, 812u);
    EXPECT_EQ(cw.header.cupsWidth, 21u);
    EXPECT_EQ(cw.header.cupsBytesPerLine, 3u);
    EXPECT_EQ(firstBytes(cw.page, 812 * rowBytes), firstBytes(scratch90, 812 * rowBytes)) << "scratch rows 0..811";
    EXPECT_EQ(firstBytes(cw.page, 812 * rowBytes), referenceTurn(page, width, height, bytesPerLine, 1));

    const Turned ccw = turn(page, header1Bit(width, height, bytesPerLine), 3);
    ASSERT_EQ(ccw.result, PageError::None);
    EXPECT_EQ(ccw.header.cupsHeight, 812u);
    EXPECT_EQ(firstBytes(ccw.page, 812 * rowBytes),
              Bytes(scratch270.begin() + 4 * static_cast<long>(rowBytes), scratch270.end()))
        << "scratch rows 4..815";
    EXPECT_EQ(firstBytes(ccw.page, 812 * rowBytes), referenceTurn(page, width, height, bytesPerLine, 3));
}

TEST(Rotation, ThirteenRowsGiveTwoByteRowsWithThreeZeroPadBits)
{
    const Bytes black(13 * 2, 0xFF);  // 16 x 13, all set
    for (int rotation : {1, 3}) {
        const Turned t = turn(black, header1Bit(16, 13, 2), rotation);
        ASSERT_EQ(t.result, PageError::None);
        EXPECT_EQ(t.header.cupsWidth, 13u);
        EXPECT_EQ(t.header.cupsHeight, 16u);
        EXPECT_EQ(t.header.cupsBytesPerLine, 2u);
        for (size_t row = 0; row < 16; ++row) {
            EXPECT_EQ(t.page[row * 2], 0xFF) << "rotation " << rotation << " row " << row;
            EXPECT_EQ(t.page[row * 2 + 1], 0xF8) << "rotation " << rotation << " row " << row;
        }
    }
}

TEST(Rotation, NoPaddingKeepsEveryTranspositionRow)
{
    std::mt19937 random(24);
    const uint32_t bytesPerLine = 3, width = 24, height = 11;
    const Bytes page = randomBytes(random, height * bytesPerLine);
    for (int rotation : {1, 3}) {
        const Turned t = turn(page, header1Bit(width, height, bytesPerLine), rotation);
        ASSERT_EQ(t.result, PageError::None);
        EXPECT_EQ(t.header.cupsHeight, 24u);
        EXPECT_EQ(firstBytes(t.page, 24 * 2), referenceTransposition(page, height, bytesPerLine, rotation == 1))
            << "rotation " << rotation;
    }
}

TEST(Rotation, FastTurnMatchesPerBitTurn)
{
    std::mt19937 random(7);
    struct Size {
        uint32_t height, bytesPerLine;
    };
    // The fast turn works in tiles of 32 rows (AVX2) and 16 rows x 16
    // bytes, then the bytes right of the last tile, then single groups of 8
    // rows, then the rows left over: the sizes reach all of these, alone and
    // together, with each kernel the processor has.
    std::vector<Size> sizes = {{1, 1},   {2, 1},   {3, 1},   {7, 1},   {8, 1},    {9, 1},    {13, 2},
                               {1, 102}, {17, 3},  {64, 8},  {16, 16}, {15, 16},  {16, 15},  {31, 17},
                               {33, 32}, {47, 33}, {24, 48}, {40, 31}, {1218, 102}, {812, 153},
                               {32, 16}, {56, 17}, {96, 47}};
    for (int i = 0; i < 60; ++i) {
        sizes.push_back({1 + static_cast<uint32_t>(random() % 100), 1 + static_cast<uint32_t>(random() % 40)});
    }
    const TurnKernel best = turnKernel();
    for (const Size& s : sizes) {
        for (TurnKernel kernel : {TurnKernel::Portable, TurnKernel::Avx2}) {
            if (!useTurnKernel(kernel)) {
                continue;
            }
            const Bytes page = randomBytes(random, static_cast<size_t>(s.height) * s.bytesPerLine);
            const size_t scratchBytes = static_cast<size_t>(s.bytesPerLine) * 8 * turnedRowBytesFor(s.height);
            for (bool clockwise : {true, false}) {
                Bytes scratch(scratchBytes + 8, 0xEE);  // guard bytes behind
                const Bytes before = page;
                if (clockwise) {
                    rotate90Degree(page.data(), scratch.data(), s.height, s.bytesPerLine);
                } else {
                    rotate270Degree(page.data(), scratch.data(), s.height, s.bytesPerLine);
                }
                EXPECT_EQ(page, before) << "the source stays as it was";
                EXPECT_EQ(firstBytes(scratch, scratchBytes),
                          referenceTransposition(page, s.height, s.bytesPerLine, clockwise))
                    << (clockwise ? "rotate90Degree" : "rotate270Degree") << " H=" << s.height
                    << " B=" << s.bytesPerLine << " kernel " << static_cast<int>(kernel);
                EXPECT_EQ(Bytes(scratch.begin() + static_cast<long>(scratchBytes), scratch.end()), Bytes(8, 0xEE));
            }
        }
    }
    useTurnKernel(best);
}

TEST(Rotation, ClockwiseThenCounterClockwiseGivesThePageBack)
{
    std::mt19937 random(90270);
    for (int trial = 0; trial < 60; ++trial) {
        const uint32_t width = 1 + 2 * static_cast<uint32_t>(random() % 60);  // odd
        const uint32_t height = 1 + 2 * static_cast<uint32_t>(random() % 60);
        const uint32_t bytesPerLine = (width + 7) / 8;
        Bytes page = randomBytes(random, static_cast<size_t>(height) * bytesPerLine);
        clearPadding(page, width, height, bytesPerLine);

        const Turned once = turn(page, header1Bit(width, height, bytesPerLine), 1);
        ASSERT_EQ(once.result, PageError::None);
        EXPECT_EQ(firstBytes(once.page, width * turnedRowBytesFor(height)),
                  referenceTurn(page, width, height, bytesPerLine, 1))
            << width << "x" << height;
        const size_t turnedBytes = static_cast<size_t>(once.header.cupsHeight) * once.header.cupsBytesPerLine;
        const Turned back = turn(firstBytes(once.page, turnedBytes), once.header, 3);
        ASSERT_EQ(back.result, PageError::None);
        EXPECT_EQ(back.header.cupsWidth, width);
        EXPECT_EQ(back.header.cupsHeight, height);
        EXPECT_EQ(back.header.cupsBytesPerLine, bytesPerLine);
        EXPECT_EQ(firstBytes(back.page, page.size()), page) << width << "x" << height;
    }
}

TEST(Rotation, PagesTheBitTurnCannotServe)
{
    struct Case {
        const char* name;
        uint32_t width, height, bitsPerPixel, bytesPerLine;
    };
    const Case cases[] = {
        {"8 bits per pixel", 4, 3, 8, 4},
        {"2 bits per pixel", 8, 3, 2, 2},
        {"rows shorter than the width", 20, 3, 1, 2},
    };
    for (const Case& c : cases) {
        for (int rotation : {1, 3}) {
            cups_page_header_t h = header1Bit(c.width, c.height, c.bytesPerLine);
            h.cupsBitsPerPixel = c.bitsPerPixel;
            const Bytes page(static_cast<size_t>(c.height) * c.bytesPerLine, 0x5A);
            const Turned t = turn(page, h, rotation);
            EXPECT_EQ(linesOf(t.log),
                      std::vector<std::string>{"TAVELIN Label Driver DEBUG MSG : ERROR: Cannot rotate this page"})
                << c.name;
            EXPECT_EQ(t.result, PageError::CannotTurn) << c.name;
            EXPECT_EQ(t.commands, "SOT\r\n") << c.name;
            EXPECT_EQ(t.header.cupsWidth, c.width) << c.name;
            EXPECT_EQ(t.header.cupsHeight, c.height) << c.name;
            EXPECT_EQ(t.header.cupsBytesPerLine, c.bytesPerLine) << c.name;
            EXPECT_EQ(firstBytes(t.page, page.size()), page) << c.name;
        }
    }
}

// Every small header shape, turned in a buffer of exactly the size that
// printPage takes for it: the turn stays inside it (AddressSanitizer and
// valgrind watch the vector's heap block), and what can be turned comes out
// as the per-pixel turn.
TEST(Rotation, EverySmallShapeFitsThePageBuffer)
{
    std::mt19937 random(4242);
    for (uint32_t bitsPerPixel : {1u, 8u}) {
        for (uint32_t bytesPerLine = 1; bytesPerLine <= 5; ++bytesPerLine) {
            for (uint32_t width = 0; width <= 8 * bytesPerLine + 3; ++width) {
                for (uint32_t height = 1; height <= 19; ++height) {
                    for (int rotation : {1, 3}) {
                        cups_page_header_t h = header1Bit(width, height, bytesPerLine);
                        h.cupsBitsPerPixel = bitsPerPixel;
                        PageMemory memory{};
                        ASSERT_TRUE(pageMemoryFor(h, rotation, &memory));
                        Bytes page = randomBytes(random, memory.pageBuffer);
                        const Bytes source = firstBytes(page, static_cast<size_t>(height) * bytesPerLine);
                        PageError result = PageError::Stopped;
                        {
                            StringOutput o;
                            result = convertRotation(o.out, rotation, page, &h).error;
                        }
                        const bool turnable = bitsPerPixel == 1 && width <= 8 * bytesPerLine;
                        ASSERT_EQ(result, turnable ? PageError::None : PageError::CannotTurn)
                            << width << "x" << height << " B=" << bytesPerLine;
                        if (turnable) {
                            ASSERT_EQ(firstBytes(page, width * turnedRowBytesFor(height)),
                                      referenceTurn(source, width, height, bytesPerLine, rotation))
                                << width << "x" << height << " B=" << bytesPerLine << " rotation " << rotation;
                        }
                    }
                }
            }
        }
    }
}

}  // namespace

}  // namespace tvl
