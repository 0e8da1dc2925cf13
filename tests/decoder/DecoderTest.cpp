// SPDX-License-Identifier: Apache-2.0
// The stream decoder on small hand-written streams: each case shows the
// stream's bytes next to the listing and the page rows it decodes to.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/support/RunFilter.h"
#include "tools/decoder/RasterPages.h"
#include "tools/decoder/StreamDecoder.h"

namespace tvl {

namespace {

std::span<const uint8_t> bytesOf(const std::string& s)
{
    return std::span<const uint8_t>(reinterpret_cast<const uint8_t*>(s.data()), s.size());
}

std::string listing(const inspect::DecodedStream& decoded, const std::string& stream)
{
    std::string out;
    for (const inspect::Item& item : decoded.items) {
        out += inspect::describeItem(item, bytesOf(stream)) + "\n";
    }
    return out;
}

// A page's rows as hex, rows separated by " / ".
std::string pageRows(const inspect::Page& page)
{
    std::string out;
    for (uint32_t y = 0; y < page.height; ++y) {
        if (y != 0) {
            out += " / ";
        }
        out += hexBytes(std::string(reinterpret_cast<const char*>(page.row(y)), page.bytesPerLine));
    }
    return out;
}

std::string allPages(const inspect::DecodedStream& decoded)
{
    std::string out;
    for (const inspect::Page& page : decoded.pages) {
        out += "[" + pageRows(page) + "]";
    }
    return out;
}

const std::string kSot = "SOT\r\n";
const std::string kPrint = fromHex("0D 0A 50 31 0D 0A");

struct DecodeCase {
    const char* name;
    std::string stream;
    const char* listing;
    const char* pages;  // each page's rows as hex
};

TEST(StreamDecoder, DecodesWhatTheDriverWrites)
{
    const std::vector<DecodeCase> cases = {
        {"setup block of model 27, 3 x 3 in at 203 dpi",
         "SL609,24,G\r\nSW609\r\nSTd\r\nSD10\r\nSM0,0\r\nSS4\r\nTA0\r\nCUTn\r\n",
         "SL 609,24,G\nSW 609\nST d\nSD 10\nSM 0,0\nSS 4\nTA 0\nCUT n\n", ""},
        {"setup block of model 142 with offset, rewinder and negative offset",
         "SL1198,24,B\r\nSA23\r\nSW1198\r\nSTt\r\nSD15\r\nSM11,23\r\nSS3\r\nTA-11\r\nRWDy\r\n",
         "SL 1198,24,B\nSA 23\nSW 1198\nST t\nSD 15\nSM 11,23\nSS 3\nTA -11\nRWD y\n", ""},
        {"length with an offset field, cutter with a period", "SL406,24,B,24\r\nCUTy,5\r\n",
         "SL 406,24,B,24\nCUT y,5\n", ""},
        {"raw band: start 0, 2 bytes per line, 3 rows",
         kSot + fromHex("4C 44 00 00 00 00 02 00 03 00  FF 00 00 FF 81 18") + kPrint,
         "SOT\nBAND raw start=0 bpl=2 rows=3 bytes=6\nPRINT copies=1\n", "[FF 00 / 00 FF / 81 18]"},
        {"compressed band of the same page",
         kSot + fromHex("4C 43 52 00 00 00 00 00 02 00 03 00  FF 01 00 02 FF 01 81 18") + kPrint,
         "SOT\nBAND rle start=0 bpl=2 rows=3 bytes=8 decoded=6\nPRINT copies=1\n", "[FF 00 / 00 FF / 81 18]"},
        {"half turn, two bands, copy count 3",
         "SOT\r\nSOB\r\n" + fromHex("4C 44 00 00 00 00 01 00 01 00  AA") +
             fromHex("4C 43 52 00 00 00 01 00 01 00 02 00  FF 02") + fromHex("0D 0A 50 31 2C 33 0D 0A"),
         "SOT\nSOB\nBAND raw start=0 bpl=1 rows=1 bytes=1\nBAND rle start=1 bpl=1 rows=2 bytes=2 decoded=2\n"
         "PRINT copies=3\n",
         "[AA / FF / FF]"},
        {"16-bit fields low byte first: start 400, 300 bytes per line",
         fromHex("4C 43 52 00 00 00 90 01 2C 01 01 00  00 FF 00 2D") + kPrint,
         "BAND rle start=400 bpl=300 rows=1 bytes=4 decoded=300\nPRINT copies=1\n", nullptr},
        {"copy count -1 (no copy option in the PPD)",
         kSot + fromHex("4C 44 00 00 00 00 01 00 01 00  0F 0D 0A 50 31 2C 2D 31 0D 0A"),
         "SOT\nBAND raw start=0 bpl=1 rows=1 bytes=1\nPRINT copies=-1\n", "[0F]"},
        {"two pages: each print command ends its page",
         kSot + fromHex("4C 44 00 00 00 00 01 00 01 00  01") + kPrint + kSot +
             fromHex("4C 44 00 00 00 00 01 00 01 00  02") + kPrint,
         "SOT\nBAND raw start=0 bpl=1 rows=1 bytes=1\nPRINT copies=1\n"
         "SOT\nBAND raw start=0 bpl=1 rows=1 bytes=1\nPRINT copies=1\n",
         "[01][02]"},
        {"pass-through text: lines that are no command make one text item", "hello\r\nSWx\r\nworld\r\n",
         "TEXT 19 bytes \"hello\\r\\nSWx\\r\\nworld\\r\\n\"\n", ""},
        {"native command file: text, a band and a print line of its own",
         "hi\r\n" + fromHex("4C 44 00 00 00 00 01 00 01 00  80") + "\r\nP1\r\n",
         "TEXT 4 bytes \"hi\\r\\n\"\nBAND raw start=0 bpl=1 rows=1 bytes=1\nPRINT copies=1\n", "[80]"},
        {"data bytes that look like CR LF and tags stay band data",
         fromHex("4C 44 00 00 00 00 02 00 02 00  0D 0A 4C 44") + kPrint,
         "BAND raw start=0 bpl=2 rows=2 bytes=4\nPRINT copies=1\n", "[0D 0A / 4C 44]"},
        {"an empty stream", "", "", ""},
    };
    for (const DecodeCase& c : cases) {
        SCOPED_TRACE(c.name);
        const inspect::DecodedStream decoded = inspect::decodeStream(bytesOf(c.stream));
        EXPECT_TRUE(decoded.ok) << inspect::describeError(decoded);
        EXPECT_EQ(listing(decoded, c.stream), c.listing);
        if (c.pages != nullptr) {
            EXPECT_EQ(allPages(decoded), c.pages);
        }
    }
}

TEST(StreamDecoder, PageKeepsRowsNoBandReachedWhite)
{
    // 300 zero bytes at row 400: rows 0..399 were never sent.
    const std::string stream = fromHex("4C 43 52 00 00 00 90 01 2C 01 01 00  00 FF 00 2D") + kPrint;
    const inspect::DecodedStream decoded = inspect::decodeStream(bytesOf(stream));
    ASSERT_EQ(decoded.pages.size(), 1u);
    const inspect::Page& page = decoded.pages[0];
    EXPECT_EQ(page.height, 401u);
    EXPECT_EQ(page.bytesPerLine, 300u);
    EXPECT_EQ(page.widthPixels(), 2400u);
}

TEST(StreamDecoder, Summary)
{
    const std::string stream = "SL1219,24,G\r\nSA0\r\nSW812\r\nSOT\r\nSOB\r\n" +
                               fromHex("4C 44 00 00 00 00 01 00 02 00  01 02") + fromHex("0D 0A 50 31 2C 32 0D 0A") +
                               kSot + fromHex("4C 44 00 00 00 00 01 00 01 00  03");
    const inspect::DecodedStream decoded = inspect::decodeStream(bytesOf(stream));
    ASSERT_TRUE(decoded.ok);
    const std::vector<std::string> expected = {
        "PAGE 1 8x2 pixels bpl=1 bands=1 copies=2 bottom-first",
        "NOTE 1 band(s) after the last print command, never printed",
        "SUMMARY pages=1 length=1219 width=812 bytes=" + std::to_string(stream.size()) +
            " (label length x width in dots, from SL and SW)",
    };
    EXPECT_EQ(inspect::describeSummary(decoded), expected);
}

struct MalformedCase {
    const char* name;
    std::string stream;
    size_t offset;
    const char* error;
};

TEST(StreamDecoder, ReportsMalformedStreamsWithTheirOffset)
{
    const std::string head3x2 = fromHex("4C 43 52 00 00 00 00 00 02 00 03 00");  // 3 rows of 2 bytes
    const std::vector<MalformedCase> cases = {
        {"raw head cut after 6 bytes", fromHex("4C 44 00 00 00 00"), 0, "raw band head truncated: 6 of 10 bytes"},
        {"raw tag cut after its first zero", kSot + fromHex("4C 44 00"), 5, "raw band head truncated: 3 of 10 bytes"},
        {"compressed head cut after 8 bytes", fromHex("4C 43 52 00 00 00 00 00"), 0,
         "compressed band head truncated: 8 of 12 bytes"},
        {"raw data: 4 of 6 bytes", fromHex("4C 44 00 00 00 00 02 00 03 00  FF 00 00 FF"), 14,
         "raw band (start 0, 2 bytes per line, 3 rows): data truncated: 4 of 6 bytes"},
        {"compressed data ends inside the band", head3x2 + fromHex("FF 01 41"), 15,
         "compressed band (start 0, 2 bytes per line, 3 rows): data ends after 2 of 6 decoded bytes"},
        {"compressed data ends before a run's count", head3x2 + fromHex("41 00"), 13,
         "compressed band (start 0, 2 bytes per line, 3 rows): run of 0x00 without its count at the stream's end"},
        {"a run passes the band's end", head3x2 + fromHex("41 00 07"), 13,
         "compressed band (start 0, 2 bytes per line, 3 rows): run of 7 bytes 0x00 passes the band's end "
         "(5 of 6 bytes left)"},
        {"a run count of 0", head3x2 + fromHex("FF 00"), 13,
         "compressed band (start 0, 2 bytes per line, 3 rows): run count 0"},
        {"a band of 0 rows", kSot + fromHex("4C 44 00 00 00 00 02 00 00 00") + kPrint, 5,
         "raw band (start 0, 2 bytes per line, 0 rows): a band of 0 rows"},
        {"a band of 0 bytes per line", fromHex("4C 43 52 00 00 00 00 00 00 00 01 00"), 0,
         "compressed band (start 0, 0 bytes per line, 1 rows): 0 bytes per line"},
        {"a band of 201 rows", fromHex("4C 44 00 00 00 00 01 00 C9 00") + std::string(201, 'x'), 0,
         "raw band (start 0, 1 bytes per line, 201 rows): more than 200 rows"},
        {"bands of one page with different bytes per line",
         fromHex("4C 44 00 00 00 00 01 00 01 00  01  4C 44 00 00 01 00 02 00 01 00  02 03"), 11,
         "raw band (start 1, 2 bytes per line, 1 rows): the page's earlier bands have 1 bytes per line"},
        {"a command cut before its CR LF", "SL609,24,G\r\nSW609", 12, "command \"SW609\" not ended by CR LF"},
    };
    for (const MalformedCase& c : cases) {
        SCOPED_TRACE(c.name);
        const inspect::DecodedStream decoded = inspect::decodeStream(bytesOf(c.stream));
        EXPECT_FALSE(decoded.ok);
        EXPECT_EQ(decoded.errorOffset, c.offset);
        EXPECT_EQ(decoded.error, c.error);
    }
}

TEST(StreamDecoder, KeepsWhatCameBeforeTheFault)
{
    const std::string stream = "SW609\r\n" + kSot + fromHex("4C 44 00 00 00 00 02 00 03 00  FF");
    const inspect::DecodedStream decoded = inspect::decodeStream(bytesOf(stream));
    EXPECT_FALSE(decoded.ok);
    EXPECT_EQ(listing(decoded, stream), "SW 609\nSOT\n");
    EXPECT_EQ(inspect::describeError(decoded),
              "offset 23 (0x17): raw band (start 0, 2 bytes per line, 3 rows): data truncated: 1 of 6 bytes");
}

TEST(StreamDecoder, EveryCutOfABandOrPrintCommandIsReported)
{
    // SOT, one compressed band (offsets 5..24), print command (25..30): cut
    // after every byte. A cut that leaves "L", "LC", "LCR", "\r", "P" or
    // "P1\r" leaves plain text; one that leaves "P1" is a command without
    // its CR LF.
    const std::string stream =
        kSot + fromHex("4C 43 52 00 00 00 00 00 02 00 03 00  FF 01 00 02 FF 01 81 18") + kPrint;
    for (size_t cut = kSot.size(); cut <= stream.size(); ++cut) {
        SCOPED_TRACE("cut at " + std::to_string(cut));
        const std::string part = stream.substr(0, cut);
        const inspect::DecodedStream decoded = inspect::decodeStream(bytesOf(part));
        const bool insideBand = cut >= 9 && cut < 25;
        const bool printWithoutLineEnd = cut == 29;
        EXPECT_EQ(decoded.ok, !(insideBand || printWithoutLineEnd)) << inspect::describeError(decoded);
        EXPECT_EQ(decoded.pages.size(), cut == stream.size() ? 1u : 0u);
    }
}

TEST(RasterOracle, TurnsPagesLikeTheFilter)
{
    // 3 pixels wide, 4 rows: 101, 110, 001, 010.
    inspect::RasterPage page{3, 4, 1, 1, nullptr};
    page.pixels.reset(static_cast<uint8_t*>(std::calloc(4, 1)));
    const uint8_t rows[] = {0xA0, 0xC0, 0x20, 0x40};
    std::copy(rows, rows + 4, page.pixels.get());

    struct TurnCase {
        int turn;
        const char* rows;
    };
    const TurnCase cases[] = {{0, "A0 C0 20 40"}, {1, "30 A0 50"}, {3, "A0 50 C0"}};
    for (const TurnCase& c : cases) {
        SCOPED_TRACE("turn " + std::to_string(c.turn));
        inspect::RasterPage turned;
        std::string error;
        ASSERT_TRUE(inspect::turnPage(page, c.turn, &turned, &error)) << error;
        EXPECT_EQ(hexBytes(std::string(reinterpret_cast<const char*>(turned.pixels.get()),
                                       static_cast<size_t>(turned.height) * turned.bytesPerLine)),
                  c.rows);
    }
}

TEST(RasterOracle, NamesTheFirstDifference)
{
    const std::string stream = fromHex("4C 44 00 00 00 00 01 00 02 00  A0 C0") + kPrint;
    const inspect::DecodedStream decoded = inspect::decodeStream(bytesOf(stream));
    ASSERT_TRUE(decoded.ok);

    auto page = [](uint32_t width, std::vector<uint8_t> rows) {
        inspect::RasterPage p{width, static_cast<uint32_t>(rows.size()), 1, 1, nullptr};
        p.pixels.reset(static_cast<uint8_t*>(std::calloc(rows.size(), 1)));
        std::copy(rows.begin(), rows.end(), p.pixels.get());
        return p;
    };
    struct CompareCase {
        const char* name;
        uint32_t width;
        std::vector<uint8_t> rows;
        const char* message;  // "" when equal
    };
    const std::vector<CompareCase> cases = {
        {"equal", 3, {0xA0, 0xC0}, ""},
        {"equal but for the stream's row padding", 2, {0x80, 0xC0}, ""},
        {"row 1 column 1", 3, {0xA0, 0x80}, "page 1: row 1 differs, first at column 1 (stream black, raster white)"},
        {"one row more", 3, {0xA0, 0xC0, 0x00}, "page 1: the stream has 2 rows, the raster 3"},
        {"wider than the stream's rows", 9, {0xA0, 0xC0}, "page 1: the stream's rows hold 8 pixels, the raster's 9"},
    };
    for (const CompareCase& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<inspect::RasterPage> expected;
        expected.push_back(page(c.width, c.rows));
        if (c.width > 8) {
            expected[0].bytesPerLine = 2;
            expected[0].pixels.reset(static_cast<uint8_t*>(std::calloc(4, 1)));
        }
        std::string message;
        EXPECT_EQ(inspect::comparePages(decoded, expected, &message), std::string(c.message).empty());
        EXPECT_EQ(message, c.message);
    }
    std::string message;
    EXPECT_FALSE(inspect::comparePages(decoded, {}, &message));
    EXPECT_EQ(message, "the stream prints 1 page(s), the raster has 0");
}

}  // namespace

}  // namespace tvl
