// Raster input that no well-behaved stage before the filter would send: a
// stream cut off in the middle of a page, bytes that are no raster at all,
// page headers with absurd sizes in every rotation, and a page too large for
// the memory the process may take. Each ends with status 0 or 1 and the
// job's own messages, never with a signal.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <vector>

#include "tests/support/RasterWriter.h"
#include "tests/support/RunFilter.h"

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
    const std::string path = tempPath("input-fault-" + std::to_string(++n) + ".ras");
    FILE* f = fopen(path.c_str(), "wb");
    fwrite(stream.data(), 1, stream.size(), f);
    fclose(f);
    FilterCall call;
    call.ppd = testPpd("model27.ppd");
    call.options = options;
    call.stdinPath = path;
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
    const std::string path = tempPath("input-fault-pages.ras");
    writeRasterFile(path, pages, compressed);
    return readFile(path);
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
        // 2 GiB pages: the memory is had (untouched), the stream ends first.
        {"height 0x7fffffff", {8, 0x7fffffff, 1}, "0123456789", {none, none, none, none},
         {kCutShort, kCutShort, kCutShort, kCutShort}, {1, 1, 1, 1}},
        {"bytes per line 0x7fffffff", {8, 1, 0x7fffffff}, "0123456789", {none, none, none, none},
         {kCutShort, kCutShort, kCutShort, kCutShort}, {1, 1, 1, 1}},
        // Rows x bytes per line beyond 32 bits: more than one read can take.
        {"65537 rows of 65536 bytes", {8, 65537, 65536}, "0123456789", {none, none, none, none},
         {kTooLarge, kTooLarge, kTooLarge, kTooLarge}, {1, 1, 1, 1}},
        {"width 0xffffffff, 8 rows of 2^29 bytes", {0xffffffffu, 8, 0x20000000}, "0123456789",
         {none, none, none, none}, {kTooLarge, kTooLarge, kTooLarge, kTooLarge}, {1, 1, 1, 1}},
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

// A tall page in a plain stream needs one buffer of 1 GiB; under a 256 MiB
// address-space limit it cannot be had, and the page fails cleanly. (In a
// compressed stream libcups's own line buffers give out first for a wide
// page.) The sanitizers and valgrind reserve address space of their own, so
// the limit means nothing under them.
TEST(MemoryLimitFault, TallPageTakesTheAllocationFailurePath)
{
    if (filterUnderMemoryTool()) {
        GTEST_SKIP() << "address-space limit not meaningful under the sanitizers or valgrind";
    }
    const std::string path = tempPath("tall-page.ras");
    {
        FILE* f = fopen(path.c_str(), "wb");
        const std::string stream = rawRasterStream({8, 1u << 30, 1}, std::string(4096, '\x5A'));
        fwrite(stream.data(), 1, stream.size(), f);
        fclose(f);
    }
    for (int rotation = 0; rotation < 4; ++rotation) {
        SCOPED_TRACE(rotation);
        FilterCall call;
        call.ppd = testPpd("model27.ppd");
        call.options = "Rotation=" + std::to_string(rotation);
        call.stdinPath = path;
        call.addressSpaceLimit = 256u << 20;
        const FilterRun run = runFilter(call);
        EXPECT_EQ(run.signal, 0);
        EXPECT_EQ(run.status, 1);
        EXPECT_EQ(run.out, kSetup27);
        EXPECT_EQ(linesAfterSetup(run), kTooLarge);
    }
}

}  // namespace
