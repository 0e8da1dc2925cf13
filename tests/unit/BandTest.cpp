// SPDX-License-Identifier: Apache-2.0
// Band block heads byte for byte, and the memory a page asks for: enough for
// the turned page, and refused instead of wrapped when it cannot be sized.
#include <gtest/gtest.h>

#include <climits>
#include <cstdint>

#include "output/Band.h"
#include "output/Buffer.h"
#include "tests/support/RunFilter.h"
#include "tests/support/StringSinks.h"

namespace tvl {

namespace {

template <size_t N>
std::string hexOf(const std::array<uint8_t, N>& head)
{
    return hexBytes(std::string(head.begin(), head.end()));
}

TEST(BandHead, RawAndCompressed)
{
    struct Case {
        const char* name;
        uint32_t startRow, bytesPerLine, rows;
        const char* raw;
        const char* compressed;
    };
    const Case cases[] = {
        {"first band", 0, 2, 3, "4C 44 00 00 00 00 02 00 03 00", "4C 43 52 00 00 00 00 00 02 00 03 00"},
        {"300 bytes per line", 0, 300, 200, "4C 44 00 00 00 00 2C 01 C8 00", "4C 43 52 00 00 00 00 00 2C 01 C8 00"},
        {"start row 400", 400, 102, 50, "4C 44 00 00 90 01 66 00 32 00", "4C 43 52 00 00 00 90 01 66 00 32 00"},
        {"start row 200, one row", 200, 1, 1, "4C 44 00 00 C8 00 01 00 01 00", "4C 43 52 00 00 00 C8 00 01 00 01 00"},
        {"65535 fits", 65535, 65535, 200, "4C 44 00 00 FF FF FF FF C8 00", "4C 43 52 00 00 00 FF FF FF FF C8 00"},
        {"65536 and up sent mod 65536", 65536 + 5, 0x12345, 200, "4C 44 00 00 05 00 45 23 C8 00",
         "4C 43 52 00 00 00 05 00 45 23 C8 00"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(hexOf(rawBandHead(c.startRow, c.bytesPerLine, c.rows)), c.raw) << c.name;
        EXPECT_EQ(hexOf(compressedBandHead(c.startRow, c.bytesPerLine, c.rows)), c.compressed) << c.name;
    }
}

cups_page_header_t header(uint32_t width, uint32_t height, uint32_t bytesPerLine, uint32_t bitsPerPixel = 1)
{
    cups_page_header_t h{};
    h.cupsWidth = width;
    h.cupsHeight = height;
    h.cupsBytesPerLine = bytesPerLine;
    h.cupsBitsPerPixel = bitsPerPixel;
    return h;
}

TEST(PageMemory, HoldsThePageAndTheTurnedPage)
{
    struct Case {
        const char* name;
        cups_page_header_t page;
        int32_t rotation;
        size_t pixelBytes;
        size_t atLeast;  // the page buffer must hold this much
    };
    const Case cases[] = {
        {"unturned", header(16, 3, 2), 0, 6, 6},
        {"half turn", header(16, 3, 2), 2, 6, 6},
        {"bogus code", header(16, 3, 2), 7, 6, 6},
        // 812 columns of 1 row become 812 rows of 1 byte: far more than 2 x 102.
        {"one row, clockwise", header(812, 1, 102), 1, 102, 812},
        {"one row, counter-clockwise", header(812, 1, 102), 3, 102, 812},
        {"three rows", header(812, 3, 102), 1, 306, 812},
        {"worked example 3x4", header(3, 4, 1), 1, 4, 3},
        {"13 rows", header(16, 13, 2), 3, 26, 32},
        {"8 bits per pixel is not turned", header(4, 3, 4, 8), 1, 12, 12},
        {"width 0", header(0, 3, 1), 1, 3, 3},
    };
    for (const Case& c : cases) {
        PageMemory memory{};
        ASSERT_TRUE(pageMemoryFor(c.page, c.rotation, &memory)) << c.name;
        EXPECT_EQ(memory.pixelBytes, c.pixelBytes) << c.name;
        EXPECT_GE(memory.pageBuffer, c.atLeast) << c.name;
        EXPECT_GE(memory.pageBuffer, c.pixelBytes) << c.name;
    }
}

TEST(PageMemory, RefusesWhatOneReadCannotTake)
{
    struct Case {
        const char* name;
        cups_page_header_t page;
        bool sized;
    };
    const Case cases[] = {
        // 65536 x 65536 is 2^32: 0 in 32-bit arithmetic.
        {"2^32 pixel bytes", header(524288, 65536, 65536), false},
        {"UINT_MAX pixel bytes: one read takes them", header(8, UINT_MAX, 1), true},
        {"largest values", header(UINT_MAX, UINT_MAX, UINT_MAX), false},
        {"3 x 1431655766: just past UINT_MAX", header(8, 3, 1431655766u), false},
    };
    for (const Case& c : cases) {
        for (int32_t rotation : {0, 1, 3}) {
            PageMemory memory{};
            EXPECT_EQ(pageMemoryFor(c.page, rotation, &memory), c.sized) << c.name << " rotation " << rotation;
        }
    }
}

TEST(PageMemory, TurnedPageBeyond32Bits)
{
    // UINT_MAX rows of 1 byte (8 columns): turned, 8 rows of 536870912 bytes,
    // 2^32 bytes in all, more than the page and than 32 bits hold.
    PageMemory memory{};
    ASSERT_TRUE(pageMemoryFor(header(8, UINT_MAX, 1), 1, &memory));
    EXPECT_EQ(memory.pixelBytes, static_cast<size_t>(UINT_MAX));
    EXPECT_EQ(memory.pageBuffer, size_t{1} << 32);
}

TEST(SizeArithmetic, OverflowIsReportedNotWrapped)
{
    size_t out = 0;
    EXPECT_TRUE(checkedMultiply(size_t{1} << 32, (size_t{1} << 31) - 1, &out));
    EXPECT_EQ(out, (size_t{1} << 63) - (size_t{1} << 32));
    EXPECT_FALSE(checkedMultiply(size_t{1} << 32, size_t{1} << 32, &out));
    EXPECT_FALSE(checkedMultiply(SIZE_MAX / 2 + 1, 2, &out));
    EXPECT_TRUE(checkedMultiply(SIZE_MAX, 1, &out));
    EXPECT_TRUE(checkedMultiply(SIZE_MAX, 0, &out));
    EXPECT_EQ(out, 0u);
    EXPECT_TRUE(checkedAdd(SIZE_MAX - 1, 1, &out));
    EXPECT_EQ(out, SIZE_MAX);
    EXPECT_FALSE(checkedAdd(SIZE_MAX, 1, &out));
}

// A page handed over as a bitmap, as the printer application hands it:
// 16 x 3 pixels, rows FF 00, 00 FF, 81 18.
struct SentPage {
    PageResult result;
    std::string bytes;
    int flushes;
};

SentPage sendWorkedExample(int32_t compressed, int32_t copies, int failWith = 0)
{
    cups_page_header_t header{};
    header.cupsWidth = 16;
    header.cupsHeight = 3;
    header.cupsBitsPerPixel = 1;
    header.cupsBytesPerLine = 2;
    std::vector<uint8_t> page = {0xFF, 0x00, 0x00, 0xFF, 0x81, 0x18};
    Settings settings{};
    settings.compressed = compressed;
    StringOutput o;
    o.printer.failWith = failWith;
    const PageResult result = sendPage(o.out, page, &header, settings, copies);
    return {result, hexBytes(o.printer.bytes), o.printer.flushes};
}

TEST(SendPage, BitmapToBandsAndPrintCommand)
{
    struct Case {
        int32_t compressed, copies;
        const char* bytes;
        int32_t labels;
    };
    const Case cases[] = {
        {0, 1, "53 4F 54 0D 0A  4C 44 00 00 00 00 02 00 03 00  FF 00 00 FF 81 18  0D 0A 50 31 0D 0A", 1},
        {1, 1, "53 4F 54 0D 0A  4C 43 52 00 00 00 00 00 02 00 03 00  FF 01 00 02 FF 01 81 18  0D 0A 50 31 0D 0A", 1},
        {0, 3, "53 4F 54 0D 0A  4C 44 00 00 00 00 02 00 03 00  FF 00 00 FF 81 18  0D 0A 50 31 2C 33 0D 0A", 3},
        {0, -1, "53 4F 54 0D 0A  4C 44 00 00 00 00 02 00 03 00  FF 00 00 FF 81 18  0D 0A 50 31 2C 2D 31 0D 0A", 1},
    };
    for (const Case& c : cases) {
        const SentPage sent = sendWorkedExample(c.compressed, c.copies);
        std::string expected = c.bytes;
        for (size_t at; (at = expected.find("  ")) != std::string::npos;) {
            expected.erase(at, 1);
        }
        EXPECT_TRUE(sent.result.printed());
        EXPECT_EQ(sent.bytes, expected) << c.compressed << " " << c.copies;
        EXPECT_EQ(sent.result.labels, c.labels);
        EXPECT_EQ(sent.flushes, 2) << "one band, then the print command";
    }
}

TEST(SendPage, PrinterGoneStopsBeforeThePrintCommand)
{
    const SentPage sent = sendWorkedExample(0, 1, EPIPE);
    EXPECT_EQ(sent.result.error, PageError::PrinterWrite);
    EXPECT_EQ(sent.result.detail, static_cast<uint64_t>(EPIPE));
    EXPECT_EQ(sent.bytes.find("50 31"), std::string::npos);
    EXPECT_EQ(sent.flushes, 1);
}

TEST(SendPage, FailureReasons)
{
    struct Case {
        PageResult result;
        const char* text;
    };
    const Case cases[] = {
        {{PageError::NoMemory, 2400000, 0}, "Not enough memory for page 4 (2400000 bytes)"},
        {{PageError::TooLarge, 0, 0, {8, 2, 1000000, 1, 300, 300}},
         "Page 4 (8 x 2 pixels, 2000000 bytes) is larger than any label: at 300 dpi and 1 bit per pixel a page has "
         "at most 13500 pixels a side, 1688 bytes a line and 2565000 bytes"},
        {{PageError::TooLarge, 0, 0, {8, 2, 1, 8, 600, 300}},
         "Page 4 (8 x 2 pixels, 2 bytes) is larger than any label: at 600x300 dpi and 8 bits per pixel a page has "
         "at most 27000 pixels a side, 27000 bytes a line and 41013000 bytes"},
        {{PageError::ShortData, 0, 0}, "Page 4 ends early or cannot be read"},
        {{PageError::PrinterWrite, EPIPE, 0}, "Unable to write to printer: Broken pipe"},
    };
    for (const Case& c : cases) {
        char text[256];
        describePageError(c.result, 4, text, sizeof text);
        EXPECT_STREQ(text, c.text);
    }
}

// The printer application sends a label band by band as its lines come
// in, with one BandedPage for page after page: the printer must get the
// same bytes as from the whole page, whatever the band sizes of the page
// before (a short page first, then a taller one, whose first band needs
// a larger coding buffer).
TEST(SendPage, BandByBandGivesTheWholePagesBytes)
{
    const uint32_t bytesPerLine = 3;
    std::vector<std::vector<uint8_t>> pages;
    for (uint32_t rows : {5u, 450u, 200u}) {
        std::vector<uint8_t> page(rows * bytesPerLine);
        for (size_t i = 0; i < page.size(); ++i) {
            page[i] = static_cast<uint8_t>(i % 7 == 0 ? 0x5A : i % 5 < 2 ? 0xFF : 0x00);
        }
        pages.push_back(page);
    }
    for (int32_t compressed : {0, 1}) {
        Settings settings{};
        settings.compressed = compressed;
        StringOutput whole;
        StringOutput banded;
        BandedPage state;
        for (std::vector<uint8_t> page : pages) {
            const uint32_t rows = static_cast<uint32_t>(page.size() / bytesPerLine);
            cups_page_header_t header{};
            header.cupsWidth = 24;
            header.cupsHeight = rows;
            header.cupsBitsPerPixel = 1;
            header.cupsBytesPerLine = bytesPerLine;
            ASSERT_TRUE(sendPage(whole.out, page, &header, settings, 2).printed());

            ASSERT_TRUE(beginBandedPage(banded.out, &state, rows, bytesPerLine, settings).printed());
            for (uint32_t start = 0; start < rows; start += 200) {
                const uint32_t n = rows - start < 200 ? rows - start : 200;
                ASSERT_TRUE(sendBand(banded.out, &state, page.data() + start * bytesPerLine, n).printed());
            }
            ASSERT_TRUE(endBandedPage(banded.out, 2).printed());
        }
        EXPECT_EQ(hexBytes(banded.printer.bytes), hexBytes(whole.printer.bytes)) << "compressed " << compressed;
        EXPECT_EQ(banded.log.text, whole.log.text) << "compressed " << compressed;
    }
}

}  // namespace

}  // namespace tvl
