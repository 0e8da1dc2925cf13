// SPDX-License-Identifier: Apache-2.0
// Raster in, printer stream out, pixels back: pages written through libcups's
// raster writer go through the built filter, the decoder rebuilds the printed
// pages, and they must equal the raster's pages turned the way the job asks.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/support/RasterWriter.h"
#include "tests/support/RunFilter.h"
#include "tools/decoder/RasterPages.h"
#include "tools/decoder/StreamDecoder.h"

namespace tvl {

namespace {

std::span<const uint8_t> bytesOf(const std::string& s)
{
    return std::span<const uint8_t>(reinterpret_cast<const uint8_t*>(s.data()), s.size());
}

// Two pages: 203 pixels wide (5 padding bits a row, filled with pattern) and
// 450 rows (bands of 200, 200 and 50); then a small page of 13 rows.
std::vector<TestPage> samplePages()
{
    return {patternPage(203, 450, 7), patternPage(100, 13, 3)};
}

struct Printed {
    FilterRun run;
    inspect::DecodedStream decoded;
    std::vector<inspect::RasterPage> raster;  // read back through libcups
};

Printed printThroughFilter(const std::string& options, bool compressedRaster = false)
{
    Printed printed;
    const std::string in = tempPath("roundtrip.ras");
    writeRasterFile(in, samplePages(), compressedRaster);
    FilterCall call;
    call.ppd = testPpd("model27.ppd");
    call.options = options;
    call.stdinPath = in;
    printed.run = runFilter(call);
    printed.decoded = inspect::decodeStream(bytesOf(printed.run.out));
    std::string error;
    EXPECT_TRUE(inspect::readRasterFile(in, &printed.raster, &error)) << error;
    return printed;
}

std::vector<inspect::RasterPage> turned(const std::vector<inspect::RasterPage>& pages, int turn)
{
    std::vector<inspect::RasterPage> out(pages.size());
    for (size_t i = 0; i < pages.size(); ++i) {
        std::string error;
        EXPECT_TRUE(inspect::turnPage(pages[i], turn, &out[i], &error)) << error;
    }
    return out;
}

struct RoundTripCase {
    const char* name;
    const char* options;
    int turn;            // how the raster's pages must be turned to match
    bool compressed;     // band blocks expected
    bool bottomFirst;    // SOB before the bands
};

TEST(RoundTrip, PrintedPagesEqualTheRasterPages)
{
    const RoundTripCase cases[] = {
        {"raw", "", 0, false, false},
        {"compressed", "CompPrinting=1", 0, true, false},
        {"raw, clockwise quarter turn", "Rotation=1", 1, false, false},
        {"compressed, clockwise quarter turn", "Rotation=1 CompPrinting=1", 1, true, false},
        {"raw, counter-clockwise quarter turn", "Rotation=3", 3, false, false},
        {"compressed, counter-clockwise quarter turn", "Rotation=3 CompPrinting=1", 3, true, false},
        {"half turn: the printer turns it", "Rotation=2 CompPrinting=1", 0, true, true},
    };
    for (const RoundTripCase& c : cases) {
        for (bool compressedRaster : {false, true}) {
            SCOPED_TRACE(std::string(c.name) + (compressedRaster ? ", compressed raster" : ", plain raster"));
            const Printed printed = printThroughFilter(c.options, compressedRaster);
            ASSERT_EQ(printed.run.status, 0) << printed.run.err;
            ASSERT_TRUE(printed.decoded.ok) << inspect::describeError(printed.decoded);
            ASSERT_EQ(printed.decoded.pages.size(), 2u);
            for (const inspect::Item& item : printed.decoded.items) {
                if (item.kind == inspect::ItemKind::RawBand || item.kind == inspect::ItemKind::CompressedBand) {
                    EXPECT_EQ(item.kind == inspect::ItemKind::CompressedBand, c.compressed);
                    EXPECT_LE(item.rows, 200u);
                }
            }
            for (const inspect::Page& page : printed.decoded.pages) {
                EXPECT_EQ(page.bottomFirst, c.bottomFirst);
            }
            std::string message;
            EXPECT_TRUE(inspect::comparePages(printed.decoded, turned(printed.raster, c.turn), &message))
                << message;
        }
    }
}

TEST(RoundTrip, TheWrongTurnDoesNotMatch)
{
    // Same sizes both ways round, so only the pixels can tell the turns apart.
    const Printed printed = printThroughFilter("Rotation=1");
    ASSERT_TRUE(printed.decoded.ok);
    std::string message;
    EXPECT_FALSE(inspect::comparePages(printed.decoded, turned(printed.raster, 3), &message));
    EXPECT_NE(message.find("page 1: row "), std::string::npos) << message;
}

TEST(RoundTrip, OneFlippedPixelInTheStreamIsFound)
{
    Printed printed = printThroughFilter("");
    ASSERT_TRUE(printed.decoded.ok);
    // Page 1, row 300, column 10: second band (start row 200), row 100 of it,
    // byte 1, bit 0x20. 203 pixels are 26 bytes per line.
    size_t bandOffset = 0;
    for (const inspect::Item& item : printed.decoded.items) {
        if (item.kind == inspect::ItemKind::RawBand && item.startRow == 200) {
            bandOffset = item.offset;
            break;
        }
    }
    ASSERT_NE(bandOffset, 0u);
    std::string stream = printed.run.out;
    stream[bandOffset + 10 + 100 * 26 + 1] ^= 0x20;
    const inspect::DecodedStream decoded = inspect::decodeStream(bytesOf(stream));
    ASSERT_TRUE(decoded.ok);
    const bool black = printed.raster[0].pixel(10, 300);
    std::string message;
    EXPECT_FALSE(inspect::comparePages(decoded, turned(printed.raster, 0), &message));
    EXPECT_EQ(message, std::string("page 1: row 300 differs, first at column 10 (stream ") +
                           (black ? "white" : "black") + ", raster " + (black ? "black" : "white") + ")");
}

}  // namespace

}  // namespace tvl
