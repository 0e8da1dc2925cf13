// SPDX-License-Identifier: Apache-2.0
// A printer that cannot take the data: standard output on a full device
// (/dev/full) or on a pipe whose reader has gone (a backend that ended).
// The job must say so and fail: the write-error line with the reason, no
// ready message, status 1, never death by SIGPIPE.
#include <gtest/gtest.h>

#include <algorithm>

#include "tests/support/RasterWriter.h"
#include "tests/support/RunFilter.h"

namespace tvl {

namespace {

const std::string kWriteError = kLog + "ERROR: Unable to write to printer - : ";
const std::string kReady = kLog + "INFO: Ready to print.";
const std::string kApiModeLine = kLog + "Not Tavelin Msq API Mode!!!";

bool hasLine(const FilterRun& run, const std::string& line)
{
    const auto lines = run.errLines();
    return std::find(lines.begin(), lines.end(), line) != lines.end();
}

std::string pageStream()
{
    return rasterFile("output-fault.ras", {patternPage(203, 450, 7)});
}

struct OutputCase {
    const char* name;
    FilterOutput output;
    const char* path;
    const char* reason;
};

const OutputCase kOutputCases[] = {
    {"DeviceFull", FilterOutput::File, "/dev/full", "No space left on device"},
    {"ReaderGone", FilterOutput::ClosedPipe, "", "Broken pipe"},
};

TEST(PrinterGoneFault, RasterJobStopsAtTheSetupBlock)
{
    for (const OutputCase& c : kOutputCases) {
        SCOPED_TRACE(c.name);
        FilterCall call;
        call.ppd = testPpd("model27.ppd");
        call.stdinPath = pageStream();
        call.output = c.output;
        call.stdoutPath = c.path;
        const FilterRun run = runFilter(call);

        EXPECT_EQ(run.signal, 0);
        EXPECT_EQ(run.status, 1);
        ASSERT_FALSE(run.errLines().empty());
        // The setup block's flush fails: nothing more is attempted.
        EXPECT_EQ(run.errLines().back(), kWriteError + c.reason);
        EXPECT_FALSE(hasLine(run, kApiModeLine));
        EXPECT_FALSE(hasLine(run, kReady));
    }
}

TEST(PrinterGoneFault, TextJobReportsTheFailedWrite)
{
    for (const OutputCase& c : kOutputCases) {
        SCOPED_TRACE(c.name);
        FilterCall call;
        call.ppd = testPpd("model27.ppd");
        call.file = writeTempFile("output-fault.txt", "label text\n");
        call.output = c.output;
        call.stdoutPath = c.path;
        const FilterRun run = runFilter(call);

        EXPECT_EQ(run.signal, 0);
        EXPECT_EQ(run.status, 1);
        const auto lines = run.errLines();
        ASSERT_GE(lines.size(), 2u);
        EXPECT_EQ(lines[lines.size() - 2], kLog + "model number = 27");
        EXPECT_EQ(lines.back(), kWriteError + c.reason);
    }
}

TEST(PrinterGoneFault, ReaderLeavesAfterTheSetupBlock)
{
    FilterCall call;
    call.ppd = testPpd("model27.ppd");
    call.input = FilterInput::Pipe;
    call.output = FilterOutput::Pipe;
    RunningFilter filter(call);
    ASSERT_TRUE(filter.started());
    ASSERT_TRUE(filter.waitForOut(kSetup27));
    filter.closeOut();
    // The page comes only now, so its first band meets the closed pipe.
    ASSERT_TRUE(filter.feed(readFile(pageStream())));
    const FilterRun run = filter.finish();

    EXPECT_EQ(run.signal, 0);
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, kSetup27);
    const auto lines = run.errLines();
    ASSERT_GE(lines.size(), 3u);
    // The first band is sent and its flush fails; nothing follows the report.
    EXPECT_EQ(lines[lines.size() - 3],
              kLog + "printPage() : hieght = 200, bytesPerLine = 26");
    EXPECT_EQ(lines[lines.size() - 2], kLog + "printPage() : start_height = 0");
    EXPECT_EQ(lines.back(), kWriteError + "Broken pipe");
}

}  // namespace

}  // namespace tvl
