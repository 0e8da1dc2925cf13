// SPDX-License-Identifier: Apache-2.0
// Raster input that no well-behaved stage before the filter would send: a
// stream cut off in the middle of a page, bytes that are no raster at all,
// page headers with absurd sizes in every rotation, pages at and just past
// the largest a label can need, and a page too large for the memory the
// process may take. Each ends with status 0 or 1 and the
// job's own messages, never with a signal.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <vector>

#include "tests/support/RasterWriter.h"
#include "tests/support/RunFilter.h"

namespace tvl {

namespace {

const std::string kReady = kLog + "INFO: Ready to print.";
const std::string kNoPages = kLog + "ERROR: No pages found!";
const std::string kPage1Failed = kLog + "ERROR: Unable to print page 1";
const std::string kAllocation = kLog + "Memory Allocation Error";
const std::string kNoMemory = ": Cannot allocate memory";
const std::string kCannotRotate = kLog + "ERROR: Cannot rotate this page";
const std::string kApiModeLine = kLog + "Not Tavelin Msq API Mode!!!";

FilterRun runOnBytes(const std::string& stream, const std::string& options = "")
{
    static int n = 0;
    FilterCall call;
    call.ppd = testPpd("model27.ppd");
    call.options = options;
    call.stdinPath = writeTempFile("input-fault-" + std::to_string(++n) + ".ras", stream);
    return runFilter(call);
}

// The lines the job writes after "Not Tavelin Msq API Mode!!!".
std::vector<std::string> linesAfterSetup(const FilterRun& run)
{
    const auto lines = run.errLines();
    auto it = std::find(lines.begin(), lines.end(), kApiModeLine);
    if (it == lines.end()) {
        return {"(no API mode line)"};
    }
    return std::vector<std::string>(it + 1, lines.end());
}

std::string streamOf(const std::vector<TestPage>& pages, bool compressed)
{
    return readFile(rasterFile("input-fault-pages.ras", pages, compressed));
}

TEST(BrokenStreamFault, TruncatedInTheMiddleOfPageOne)
{
    // 100 rows of 26 bytes: the stream ends after half of the pixels.
    const TestPage page = patternPage(203, 100, 3);
    for (bool compressed : {false, true}) {
        SCOPED_TRACE(compressed ? "compressed stream" : "plain stream");
        const std::string whole = streamOf({page}, compressed);
        const size_t header = 4 + sizeof(cups_page_header2_t);
        const FilterRun run = runOnBytes(whole.substr(0, header + (whole.size() - header) / 2));
        EXPECT_EQ(run.signal, 0);
        EXPECT_EQ(run.status, 1);
        EXPECT_EQ(run.out, kSetup27);  // the pixels are read before anything is sent
        EXPECT_EQ(linesAfterSetup(run), std::vector<std::string>{kPage1Failed});
    }
}

TEST(BrokenStreamFault, TruncatedInPageTwo)
{
    const TestPage page = bitmapPage(16, 3, {0xFF, 0x00, 0x00, 0xFF, 0x81, 0x18});
    const std::string whole = streamOf({page, page}, false);
    const FilterRun run = runOnBytes(whole.substr(0, whole.size() - 3));
    EXPECT_EQ(run.signal, 0);
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(hexBytes(run.out.substr(kSetup27.size())),
              "53 4F 54 0D 0A "
              "4C 44 00 00 00 00 02 00 03 00 FF 00 00 FF 81 18 "
              "0D 0A 50 31 0D 0A");
    EXPECT_EQ(linesAfterSetup(run).back(), kLog + "ERROR: Unable to print page 2");
}

TEST(BrokenStreamFault, TruncatedInsideTheHeader)
{
    const std::string whole = streamOf({patternPage(16, 3, 1)}, false);
    const FilterRun run = runOnBytes(whole.substr(0, 4 + 100));
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, kSetup27);
    EXPECT_EQ(linesAfterSetup(run), std::vector<std::string>{kNoPages});
}

TEST(BrokenStreamFault, GarbageOnStandardInput)
{
    std::mt19937 random(12345);
    std::string noise(5000, '\0');
    for (char& c : noise) {
        c = static_cast<char>(random() & 0xFF);
    }
    struct Case {
        const char* name;
        std::string bytes;
    };
    const Case cases[] = {
        {"empty", ""},
        {"three bytes", "RaS"},
        {"text", "hello, printer\n"},
        {"random bytes", noise},
        {"zero bytes", std::string(4096, '\0')},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const FilterRun run = runOnBytes(c.bytes);
        EXPECT_EQ(run.signal, 0);
        EXPECT_EQ(run.status, 1);
        EXPECT_EQ(run.out, kSetup27);
        EXPECT_EQ(linesAfterSetup(run), std::vector<std::string>{kNoPages});
    }
}

// Sync word and a whole header, then random bytes as its pixels.
TEST(BrokenStreamFault, ValidHeaderThenGarbage)
{
    std::mt19937 random(99);
    for (int i = 0; i < 20; ++i) {
        std::string pixels(300 + random() % 3000, '\0');
        for (char& c : pixels) {
            c = static_cast<char>(random() & 0xFF);
        }
        const bool compressed = i % 2 == 1;
        const FilterRun run =
            runOnBytes(rawRasterStream({203, 60, 26}, pixels, compressed), "Rotation=" + std::to_string(i % 4));
        SCOPED_TRACE(i);
        EXPECT_EQ(run.signal, 0);
        EXPECT_TRUE(run.status == 0 || run.status == 1) << run.status;
    }
}

// Page headers with sizes that no raster stage should produce. libcups's
// writer (2.4) writes every one of them; its reader refuses a header of 0
// rows, of 0 or more than 0x7fffffff bytes per line, or whose bytes per line
// do not hold whole pixels, and lets the rest through to the filter.
struct AbsurdCase {
    const char* name;
    RawHeader header;
    std::string pixels;
    // Standard output after the setup block, for rotations 0, 1, 2 and 3.
    std::string out[4];
    // Standard error after "Not Tavelin Msq API Mode!!!", for rotations 0 to 3.
    std::vector<std::string> err[4];
    int status[4];
};

const std::string SOT = "53 4F 54 0D 0A";
const std::string SOB = "53 4F 42 0D 0A";
const std::string P1 = "0D 0A 50 31 0D 0A";
const std::string kBand1x1 = "4C 44 00 00 00 00 01 00 01 00";  // start 0, 1 byte per line, 1 row
const std::vector<std::string> kPrinted1Row = {
    kLog + "printPage() : hieght = 1, bytesPerLine = 1",
    kLog + "printPage() : start_height = 0",
    "TAVELIN Label Driver DEBUG MSG: printPage() : i = 1", kReady};
const std::vector<std::string> kRefused = {kNoPages};
const std::vector<std::string> kCutShort = {kPage1Failed};
const std::vector<std::string> kTooLarge = {kAllocation, kNoMemory, kPage1Failed};
const std::vector<std::string> kLargerThanAnyLabel = {kPage1Failed};  // refused before any allocation
const std::vector<std::string> kNotTurnable = {kCannotRotate, kPage1Failed};

std::vector<AbsurdCase> absurdCases()
{
    const std::string none;
    return {
        {"height 0", {8, 0, 1}, "\x5A", {none, none, none, none},
         {kRefused, kRefused, kRefused, kRefused}, {1, 1, 1, 1}},
        {"bytes per line 0", {8, 1, 0}, "\x5A", {none, none, none, none},
         {kRefused, kRefused, kRefused, kRefused}, {1, 1, 1, 1}},
        {"bytes per line 0xffffffff", {8, 1, 0xffffffffu}, "\x5A", {none, none, none, none},
         {kRefused, kRefused, kRefused, kRefused}, {1, 1, 1, 1}},
        {"32 bits per pixel in 1 byte per line", {8, 1, 1, 32}, "\x5A", {none, none, none, none},
         {kRefused, kRefused, kRefused, kRefused}, {1, 1, 1, 1}},
        // No pixel columns: a quarter turn leaves no rows, and the label is blank.
        {"width 0", {0, 1, 1}, "\x5A",
         {SOT + " " + kBand1x1 + " 5A " + P1, SOT + " " + P1, SOT + " " + SOB + " " + kBand1x1 + " 5A " + P1,
          SOT + " " + P1},
         {kPrinted1Row, {kReady}, kPrinted1Row, {kReady}}, {0, 0, 0, 0}},
        {"width 1, height 1", {1, 1, 1}, "\x80",
         {SOT + " " + kBand1x1 + " 80 " + P1, SOT + " " + kBand1x1 + " 80 " + P1,
          SOT + " " + SOB + " " + kBand1x1 + " 80 " + P1, SOT + " " + kBand1x1 + " 80 " + P1},
         {kPrinted1Row, kPrinted1Row, kPrinted1Row, kPrinted1Row}, {0, 0, 0, 0}},
        // 100 columns in rows of 8 pixels: sent as they are, but not turned.
        {"width beyond its rows", {100, 1, 1}, "\x5A",
         {SOT + " " + kBand1x1 + " 5A " + P1, SOT, SOT + " " + SOB + " " + kBand1x1 + " 5A " + P1, SOT},
         {kPrinted1Row, kNotTurnable, kPrinted1Row, kNotTurnable}, {0, 1, 0, 1}},
        // 2 GiB pages, and pages past the 4 GiB one read can take: larger
        // than any label, refused before their memory is asked for.
        {"height 0x7fffffff", {8, 0x7fffffff, 1}, "0123456789", {none, none, none, none},
         {kLargerThanAnyLabel, kLargerThanAnyLabel, kLargerThanAnyLabel, kLargerThanAnyLabel}, {1, 1, 1, 1}},
        {"bytes per line 0x7fffffff", {8, 1, 0x7fffffff}, "0123456789", {none, none, none, none},
         {kLargerThanAnyLabel, kLargerThanAnyLabel, kLargerThanAnyLabel, kLargerThanAnyLabel}, {1, 1, 1, 1}},
        {"65537 rows of 65536 bytes", {8, 65537, 65536}, "0123456789", {none, none, none, none},
         {kLargerThanAnyLabel, kLargerThanAnyLabel, kLargerThanAnyLabel, kLargerThanAnyLabel}, {1, 1, 1, 1}},
        {"width 0xffffffff, 8 rows of 2^29 bytes", {0xffffffffu, 8, 0x20000000}, "0123456789",
         {none, none, none, none},
         {kLargerThanAnyLabel, kLargerThanAnyLabel, kLargerThanAnyLabel, kLargerThanAnyLabel}, {1, 1, 1, 1}},
    };
}

TEST(AbsurdHeaderFault, EveryRotation)
{
    for (const AbsurdCase& c : absurdCases()) {
        for (int rotation = 0; rotation < 4; ++rotation) {
            SCOPED_TRACE(std::string(c.name) + ", rotation " + std::to_string(rotation));
            const FilterRun run =
                runOnBytes(rawRasterStream(c.header, c.pixels), "Rotation=" + std::to_string(rotation));
            EXPECT_EQ(run.signal, 0);
            EXPECT_EQ(run.status, c.status[rotation]);
            ASSERT_EQ(run.out.substr(0, kSetup27.size()), kSetup27);
            EXPECT_EQ(hexBytes(run.out.substr(kSetup27.size())), c.out[rotation]);
            EXPECT_EQ(linesAfterSetup(run), c.err[rotation]);
        }
    }
}

// The largest page a label can need, upright and turned, and one row, one
// byte per line or one pixel more, at each resolution and at 1 and 8 bits
// per pixel. The stream holds the header alone: a page that fits is taken
// and ends early; one past the limit is refused before it is read.
struct LimitCase {
    RawHeader header;
    bool fits;
    const char* limit;  // the refusal's account of the limit
};

const char* const kAt203 = "at 203 dpi and 1 bit per pixel a page has at most 9135 pixels a side, 1142 bytes a line "
                           "and 1178415 bytes";
const char* const kAt203Gray = "at 203 dpi and 8 bits per pixel a page has at most 9135 pixels a side, 9135 bytes a "
                               "line and 9390780 bytes";
const char* const kAt300 = "at 300 dpi and 1 bit per pixel a page has at most 13500 pixels a side, 1688 bytes a "
                           "line and 2565000 bytes";
const char* const kAt300Gray = "at 300 dpi and 8 bits per pixel a page has at most 13500 pixels a side, 13500 bytes "
                               "a line and 20506500 bytes";
const char* const kAt600 = "at 600 dpi and 1 bit per pixel a page has at most 27000 pixels a side, 3375 bytes a "
                           "line and 10260000 bytes";
const char* const kAt600Gray = "at 600 dpi and 8 bits per pixel a page has at most 27000 pixels a side, 27000 bytes "
                               "a line and 82026000 bytes";

std::vector<LimitCase> limitCases()
{
    // {width, rows, bytes per line, bits, dpi}: upright the largest label
    // with its margin, then turned.
    return {
        {{1028, 9135, 129, 1, 203}, true, kAt203},
        {{1028, 9136, 129, 1, 203}, false, kAt203},
        {{1028, 9135, 130, 1, 203}, false, kAt203},
        {{9135, 1028, 1142, 1, 203}, true, kAt203},
        {{9136, 1028, 1142, 1, 203}, false, kAt203},
        {{9135, 1028, 1143, 1, 203}, false, kAt203},
        {{1028, 9135, 1028, 8, 203}, true, kAt203Gray},
        {{1028, 9136, 1028, 8, 203}, false, kAt203Gray},
        {{9135, 1028, 9135, 8, 203}, true, kAt203Gray},
        {{9135, 1029, 9135, 8, 203}, false, kAt203Gray},
        {{9136, 1028, 9136, 8, 203}, false, kAt203Gray},
        {{1519, 13500, 190, 1, 300}, true, kAt300},
        {{1519, 13501, 190, 1, 300}, false, kAt300},
        {{1519, 13500, 191, 1, 300}, false, kAt300},
        {{13500, 1519, 1688, 1, 300}, true, kAt300},
        {{13501, 1519, 1688, 1, 300}, false, kAt300},
        {{13500, 1519, 1689, 1, 300}, false, kAt300},
        {{1519, 13500, 1519, 8, 300}, true, kAt300Gray},
        {{1519, 13501, 1519, 8, 300}, false, kAt300Gray},
        {{1520, 13500, 1520, 8, 300}, false, kAt300Gray},
        {{3038, 27000, 380, 1, 600}, true, kAt600},
        {{3038, 27001, 380, 1, 600}, false, kAt600},
        {{3038, 27000, 381, 1, 600}, false, kAt600},
        {{27000, 3038, 3375, 1, 600}, true, kAt600},
        {{27001, 3038, 3375, 1, 600}, false, kAt600},
        {{27000, 3038, 3376, 1, 600}, false, kAt600},
        {{3038, 27000, 3038, 8, 600}, true, kAt600Gray},
        {{3038, 27001, 3038, 8, 600}, false, kAt600Gray},
        {{3039, 27000, 3039, 8, 600}, false, kAt600Gray},
        // Deeper pixels take the bytes of 8-bit ones; the resolution is
        // held to the printers' 203 to 600 dpi.
        {{1012, 27000, 3036, 24, 600}, true, kAt600Gray},
        {{1013, 27000, 3039, 24, 600}, false, kAt600Gray},
        {{3038, 27000, 380, 1, 1200}, true, kAt600},
        {{3038, 27001, 380, 1, 1200}, false, kAt600},
        {{1028, 9135, 129, 1, 0}, true, kAt203},
        {{1028, 9136, 129, 1, 72}, false, kAt203},
        // The fuzzed page: 8 pixels wide in lines of a million bytes.
        {{8, 571, 1000000, 1, 203}, false, kAt203},
    };
}

TEST(PageLimitFault, AtTheLimitAndOnePast)
{
    for (const LimitCase& c : limitCases()) {
        const RawHeader& h = c.header;
        const std::string name = std::to_string(h.width) + " x " + std::to_string(h.height) + ", " +
                                 std::to_string(h.bytesPerLine) + " bytes per line, " +
                                 std::to_string(h.bitsPerPixel) + " bits at " + std::to_string(h.dpi) + " dpi";
        SCOPED_TRACE(name);
        const FilterRun run = runOnBytes(rawRasterStream(h, ""));
        EXPECT_EQ(run.signal, 0);
        EXPECT_EQ(run.status, 1);
        EXPECT_EQ(run.out, kSetup27);
        const std::string pageSize = "(" + std::to_string(h.width) + " x " + std::to_string(h.height) + " pixels, " +
                                     std::to_string(uint64_t{h.height} * h.bytesPerLine) + " bytes)";
        const std::string error = c.fits ? "ERROR: Page 1 ends early or cannot be read"
                                         : "ERROR: Page 1 " + pageSize + " is larger than any label: " + c.limit;
        EXPECT_EQ(run.scheduler, (std::vector<std::string>{"INFO: Printing label 1", error}));
        EXPECT_EQ(linesAfterSetup(run), c.fits ? kCutShort : kLargerThanAnyLabel);
    }
}

// A page that fits the limit but not the memory the process may take: an
// 8-bit page of 82 MB (the largest at 600 dpi) under a 64 MiB address-space
// limit. The sanitizers and valgrind reserve address space of their own, so
// the limit means nothing under them.
TEST(MemoryLimitFault, LargestGrayPageTakesTheAllocationFailurePath)
{
    if (filterUnderMemoryTool()) {
        GTEST_SKIP() << "address-space limit not meaningful under the sanitizers or valgrind";
    }
    const std::string path = writeTempFile("largest-gray-page.ras",
                                           rawRasterStream({3038, 27000, 3038, 8, 600}, std::string(4096, '\x5A')));
    for (int rotation = 0; rotation < 4; ++rotation) {
        SCOPED_TRACE(rotation);
        FilterCall call;
        call.ppd = testPpd("model27.ppd");
        call.options = "Rotation=" + std::to_string(rotation);
        call.stdinPath = path;
        call.addressSpaceLimit = 64u << 20;
        const FilterRun run = runFilter(call);
        EXPECT_EQ(run.signal, 0);
        EXPECT_EQ(run.status, 1);
        EXPECT_EQ(run.out, kSetup27);
        EXPECT_EQ(linesAfterSetup(run), kTooLarge);
        EXPECT_EQ(run.scheduler.back(), "ERROR: Not enough memory for page 1 (82026000 bytes)");
    }
}

}  // namespace

}  // namespace tvl
