// SPDX-License-Identifier: Apache-2.0
// A cancel (SIGTERM) at the moments a job can be waiting for its input:
// before the first page header, in the middle of a page's pixels, and in
// the middle of a text job. The filter blocks in read() at each of them;
// the test feeds the stream by hand and signals only once the filter has
// taken everything fed so far and sleeps in read().
#include <gtest/gtest.h>

#include <csignal>
#include <sys/stat.h>
#include <unistd.h>

#include "tests/support/RasterWriter.h"
#include "tests/support/RunFilter.h"

namespace tvl {

namespace {

const std::string kReady = kLog + "INFO: Ready to print.";
const std::string kNoPages = kLog + "ERROR: No pages found!";

// Page rows FF 00 / 00 FF / 81 18, 16 pixels wide, and what it prints as.
const TestPage kPage = bitmapPage(16, 3, {0xFF, 0x00, 0x00, 0xFF, 0x81, 0x18});
const std::string kPagePrinted = "53 4F 54 0D 0A "
                                 "4C 44 00 00 00 00 02 00 03 00 FF 00 00 FF 81 18 "
                                 "0D 0A 50 31 0D 0A";

std::string rasterBytes(const std::vector<TestPage>& pages)
{
    return readFile(rasterFile("signal.ras", pages));
}

std::string lastLine(const FilterRun& run)
{
    const auto lines = run.errLines();
    return lines.empty() ? "" : lines.back();
}

TEST(CancelFault, BeforeTheFirstPageHeader)
{
    FilterCall call;
    call.ppd = testPpd("model27.ppd");
    call.input = FilterInput::Pipe;
    RunningFilter filter(call);
    ASSERT_TRUE(filter.started());
    // Asleep in read() with nothing fed: waiting for the stream's first bytes,
    // after the settings were read and the setup block was sent.
    ASSERT_TRUE(filter.waitBlockedInRead());
    filter.sendSignal(SIGTERM);
    ASSERT_TRUE(filter.feed(rasterBytes({kPage})));
    const FilterRun run = filter.finish();

    EXPECT_EQ(run.signal, 0);
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(hexBytes(run.out), hexBytes(kSetup27));  // no page
    EXPECT_EQ(lastLine(run), kNoPages);
    // Cancelled, not failed: no reason for the scheduler to show.
    EXPECT_TRUE(run.scheduler.empty()) << run.errAll;
}

TEST(CancelFault, InTheMiddleOfAPageFedSlowly)
{
    const std::string stream = rasterBytes({kPage, kPage});
    const size_t headerEnd = 4 + sizeof(cups_page_header2_t);
    FilterCall call;
    call.ppd = testPpd("model27.ppd");
    call.input = FilterInput::Pipe;
    RunningFilter filter(call);
    ASSERT_TRUE(filter.started());
    // Page 1's header and half of its six pixel bytes.
    ASSERT_TRUE(filter.feed(stream.substr(0, headerEnd + 3)));
    ASSERT_TRUE(filter.waitBlockedInRead());
    filter.sendSignal(SIGTERM);
    ASSERT_TRUE(filter.feed(stream.substr(headerEnd + 3)));
    const FilterRun run = filter.finish();

    // Page 1 is finished with its print command; page 2 is not started.
    EXPECT_EQ(run.signal, 0);
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(hexBytes(run.out), hexBytes(kSetup27) + " " + kPagePrinted);
    EXPECT_EQ(lastLine(run), kReady);
}

TEST(CancelFault, DuringATextJob)
{
    const std::string fifo = tempPath("text-job.fifo");
    unlink(fifo.c_str());
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    FilterCall call;
    call.ppd = testPpd("model27.ppd");
    call.file = fifo;
    RunningFilter filter(call);
    ASSERT_TRUE(filter.started());
    ASSERT_TRUE(filter.openFifo(fifo));
    ASSERT_TRUE(filter.feed("first half"));
    ASSERT_TRUE(filter.waitBlockedInRead(fifo));
    filter.sendSignal(SIGTERM);
    ASSERT_TRUE(filter.feed(", second half\n"));
    const FilterRun run = filter.finish();

    // The copy runs to the file's end; the cancel changes nothing.
    EXPECT_EQ(run.signal, 0);
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out, "first half, second half\n\r\n");
    EXPECT_EQ(lastLine(run), kLog + "model number = 27");
}

}  // namespace

}  // namespace tvl
