// SPDX-License-Identifier: Apache-2.0
// One job through the built filter, from its arguments to its exit status:
// argument and input failures, unsupported models, the raster loop's ends,
// failed writes to the printer, and cancelling.
#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <string>
#include <unistd.h>
#include <vector>

#include <gtest/gtest.h>

#include "tests/e2e/E2eHelpers.h"

namespace tvl {

namespace {

using namespace e2e;

const std::vector<std::string> kSetupLines27 = {
    kLog + "lengthDot = 609, widthDot = 609", kLog + "setLength() : SL609,24,G,0", kLog + "setWidth() : SW609",
    kLog + "setMediaType() : STd",           kLog + "setDarkness() : SD10",       kLog + "setMargin() : SM0,0",
    kLog + "setSpeed() : SS4",               kLog + "setToOffset() : TA0",        kLog + "setCutter() : CUTn",
};

// A one-page label and what it becomes: orientation, one raw band, print.
const TestPage kPage = bitmapPage(16, 2, {0xFF, 0x00, 0x81, 0x18});
const std::string kPageBytes = fromHex(
    "53 4F 54 0D 0A "                                  // SOT
    "4C 44 00 00 00 00 02 00 02 00 FF 00 81 18 "       // LD, row 0, 2 bytes x 2 rows
    "0D 0A 50 31 0D 0A");                              // print

std::vector<std::string> concat(std::vector<std::string> a, const std::vector<std::string>& b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

TEST(JobFlow, WrongArgumentCountGivesUsage)
{
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"1", "user", "title", "1"},
          std::vector<std::string>{"1", "user", "title", "1", "", "file", "extra"}}) {
        FilterCall call;
        call.ppd = testPpd("model27.ppd");
        call.args = args;
        const FilterRun run = runFilter(call);
        EXPECT_EQ(run.status, 1);
        EXPECT_EQ(run.out, "");
        const std::vector<std::string> lines = run.errLines();
        ASSERT_EQ(lines.size(), 3u) << run.err;
        EXPECT_EQ(lines[0], kBanner);
        EXPECT_EQ(lines[1], kLog + "rastertoTvlLabel_v" TVL_VERSION "job-id user title copies options [file]");
        // perror's suffix stands on its own line: ": " and the current error text.
        EXPECT_EQ(lines[2].rfind(": ", 0), 0u) << lines[2];
        EXPECT_GT(lines[2].size(), 2u);
    }
}

TEST(JobFlow, FileThatCannotBeOpened)
{
    const auto start = std::chrono::steady_clock::now();
    const FilterRun run = fileJob("model27.ppd", tempPath("no-such-file"));
    const auto elapsed = std::chrono::steady_clock::now() - start;
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.errLines(), (std::vector<std::string>{
                                  kBanner,
                                  kLog + "Unable to open raster file - : No such file or directory",
                              }));
    // The filter pauses a second before it exits.
    EXPECT_GE(elapsed, std::chrono::milliseconds(1000));
}

TEST(JobFlow, PpdNotSetOrUnreadable)
{
    const std::vector<std::string> expected = {
        kBanner,
        kLog + "This printer is not supported.",
        kLog + "ERROR: No pages found!",
    };
    const std::string file = writeTempFile("text-for-unset-ppd", "hello");
    for (const std::string& ppd : {std::string(), tempPath("no-such.ppd"), file}) {
        for (bool withFile : {false, true}) {
            FilterCall call;
            call.ppd = ppd;
            if (withFile) {
                call.file = file;
            }
            const FilterRun run = runFilter(call);
            EXPECT_EQ(run.status, 1) << ppd << withFile;
            EXPECT_EQ(run.out, "") << ppd << withFile;
            EXPECT_EQ(run.errLines(), expected) << ppd << withFile;
        }
    }
}

TEST(JobFlow, UnsupportedModel)
{
    const std::string file = writeTempFile("text-for-102", "hello");
    const std::string raster = rasterFile("page-for-102.ras", {kPage});
    for (const std::string& named : {std::string(), file, raster}) {
        FilterCall call;
        call.ppd = testPpd("model102-unsupported.ppd");
        call.file = named;
        const FilterRun run = runFilter(call);
        EXPECT_EQ(run.status, 1) << named;
        EXPECT_EQ(run.out, "") << named;
        EXPECT_EQ(linesAfterSettings(run), (std::vector<std::string>{
                                               kLog + "model number = 102",
                                               kLog + "This printer is not supported.",
                                               kLog + "jobSetup() fail.",
                                           }))
            << named;
    }
}

TEST(JobFlow, EmptyRasterStreamStillGetsSetupBlock)
{
    const FilterRun run = setupOnly("model27.ppd", "");
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, kSetup27);
    EXPECT_EQ(linesAfterSettings(run),
              concat(concat({kLog + "model number = 27"}, kSetupLines27),
                     {kLog + "Not Tavelin Msq API Mode!!!", kLog + "ERROR: No pages found!"}));
}

TEST(JobFlow, OnePagePrinted)
{
    const FilterRun run = rasterJob("model27.ppd", "", {kPage});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(hexBytes(run.out), hexBytes(kSetup27 + kPageBytes));
    const std::vector<std::string> lines = run.errLines();
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines.front(), kBanner);
    EXPECT_EQ(lines.back(), kLog + "INFO: Ready to print.");
}

TEST(JobFlow, PageThatCannotBeReadFailsTheJob)
{
    // The second page's header promises 40 rows; the stream ends after 2.
    const std::string good = rasterFile("good.ras", {kPage, bitmapPage(16, 40, std::vector<uint8_t>(80, 0xAA))});
    const std::string whole = readFile(good);
    const std::string cut = writeTempFile("cut.ras", whole.substr(0, whole.size() - 76));
    FilterCall call;
    call.ppd = testPpd("model27.ppd");
    call.stdinPath = cut;
    const FilterRun run = runFilter(call);
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(hexBytes(run.out), hexBytes(kSetup27 + kPageBytes)) << "page 1 printed, page 2 not begun";
    const std::vector<std::string> lines = run.errLines();
    ASSERT_GE(lines.size(), 2u);
    EXPECT_EQ(lines.back(), kLog + "ERROR: Unable to print page 2");
    EXPECT_EQ(run.err.find("Ready to print"), std::string::npos);

    // The same with the first page cut short.
    const std::string first = writeTempFile("cut1.ras", whole.substr(0, 4 + 1796 + 2));
    call.stdinPath = first;
    const FilterRun one = runFilter(call);
    EXPECT_EQ(one.status, 1);
    EXPECT_EQ(one.out, kSetup27);
    EXPECT_EQ(one.errLines().back(), kLog + "ERROR: Unable to print page 1");
}

// A CUPS raster file printed directly reaches the filter as the named file.
TEST(JobFlow, RasterFileNamedAsSixthArgumentIsPrinted)
{
    for (bool compressed : {false, true}) {
        const std::string raster = rasterFile(compressed ? "named-c.ras" : "named.ras", {kPage, kPage}, compressed);
        const FilterRun run = fileJob("model27.ppd", raster);
        EXPECT_EQ(run.status, 0) << compressed;
        EXPECT_EQ(hexBytes(run.out), hexBytes(kSetup27 + kPageBytes + kPageBytes)) << compressed;
        const std::vector<std::string> after = linesAfterSettings(run);
        ASSERT_GE(after.size(), 12u);
        EXPECT_EQ(std::vector<std::string>(after.begin(), after.begin() + 11),
                  concat(concat({kLog + "model number = 27"}, kSetupLines27), {kLog + "Not Tavelin Msq API Mode!!!"}));
        EXPECT_EQ(after.back(), kLog + "INFO: Ready to print.");
    }
}

TEST(JobFlow, RasterFileThroughFifoIsPrinted)
{
    // A FIFO cannot be rewound: the bytes taken to recognise the stream are
    // handed back to the raster reader.
    const std::string raster = rasterFile("fifo-src.ras", {kPage});
    const FifoJob job = fifoJob("raster.fifo", FifoAs::File);
    RunningFilter filter(job.call);
    ASSERT_TRUE(filter.started());
    ASSERT_TRUE(filter.openFifo(job.fifo));
    EXPECT_TRUE(filter.feed(readFile(raster)));
    filter.closeInput();
    const FilterRun run = filter.finish();
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(hexBytes(run.out), hexBytes(kSetup27 + kPageBytes));
    EXPECT_EQ(run.errLines().back(), kLog + "INFO: Ready to print.");
}

TEST(JobFlow, SyncWordWithoutPagesIsAnEmptyRasterJob)
{
    const FilterRun run = fileJob("model27.ppd", writeTempFile("sync-only", "RaSt"));
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, kSetup27);
    EXPECT_EQ(run.errLines().back(), kLog + "ERROR: No pages found!");
}

TEST(JobFlow, SetupBlockToAFullDeviceFailsTheJob)
{
    const FilterRun run = rasterJob("model27.ppd", "", {kPage}, "/dev/full");
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(linesAfterSettings(run),
              concat(concat({kLog + "model number = 27"}, kSetupLines27),
                     {kLog + "ERROR: Unable to write to printer - : No space left on device"}));
}

TEST(JobFlow, TextToAFullDeviceFailsTheJob)
{
    for (size_t size : {5u, 200000u}) {
        const FilterRun run =
            fileJob("model27.ppd", writeTempFile("text-full", std::string(size, 'x')), "/dev/full");
        EXPECT_EQ(run.status, 1) << size;
        EXPECT_EQ(linesAfterSettings(run), (std::vector<std::string>{
                                               kLog + "model number = 27",
                                               kLog + "ERROR: Unable to write to printer - : No space left on device",
                                           }))
            << size;
    }
}

TEST(JobFlow, BackendGoneDuringPageFailsTheJob)
{
    // The backend reads the setup block and goes away; the page's band
    // then meets a closed pipe (SIGPIPE must not end the filter silently).
    const FifoJob job = fifoJob("gone.fifo", FifoAs::Stdin);
    const std::string raster = rasterFile("gone.ras", {kPage});
    RunningFilter filter(job.call);
    ASSERT_TRUE(filter.started());
    ASSERT_TRUE(filter.openFifo(job.fifo));
    ASSERT_TRUE(filter.waitForOut(kSetup27));
    filter.closeOut();
    EXPECT_TRUE(filter.feed(readFile(raster)));
    filter.closeInput();
    const FilterRun run = filter.finish();
    EXPECT_EQ(run.signal, 0);
    EXPECT_EQ(run.status, 1);
    const std::vector<std::string> lines = run.errLines();
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines.back(), kLog + "ERROR: Unable to write to printer - : Broken pipe");
    EXPECT_EQ(run.err.find("Ready to print"), std::string::npos);
    EXPECT_EQ(run.err.find("Unable to print page"), std::string::npos);
}

TEST(JobFlow, CancelBeforeTheFirstPage)
{
    const FifoJob job = fifoJob("cancel.fifo", FifoAs::Stdin);
    const std::string raster = rasterFile("cancel.ras", {kPage});
    RunningFilter filter(job.call);
    ASSERT_TRUE(filter.started());
    ASSERT_TRUE(filter.openFifo(job.fifo));
    // The setup block goes out before the raster stream is read.
    ASSERT_TRUE(filter.waitForOut(kSetup27));
    filter.sendSignal(SIGTERM);
    EXPECT_TRUE(filter.feed(readFile(raster)));
    filter.closeInput();
    const FilterRun run = filter.finish();
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, kSetup27);
    EXPECT_EQ(run.errLines().back(), kLog + "ERROR: No pages found!");
}

TEST(JobFlow, CancelDuringTextJobCopiesEverything)
{
    const FifoJob job = fifoJob("text-cancel.fifo", FifoAs::File);
    RunningFilter filter(job.call);
    ASSERT_TRUE(filter.started());
    ASSERT_TRUE(filter.openFifo(job.fifo));
    const std::string first(3000, 'a');
    const std::string rest = std::string(5000, 'b') + std::string(1, '\0') + "end";
    EXPECT_TRUE(filter.feed(first));
    // Past the model check the filter is copying.
    ASSERT_TRUE(filter.waitForErr(kLog + "model number = 27\n"));
    filter.sendSignal(SIGTERM);
    EXPECT_TRUE(filter.feed(rest));
    filter.closeInput();
    const FilterRun run = filter.finish();
    EXPECT_EQ(run.signal, 0);
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out, first + rest + "\r\n");
    EXPECT_EQ(linesAfterSettings(run), (std::vector<std::string>{kLog + "model number = 27"}));
}

}  // namespace

}  // namespace tvl
