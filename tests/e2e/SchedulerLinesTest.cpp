// SPDX-License-Identifier: Apache-2.0
// The lines the scheduler reads (filter(7)): one ERROR: line with the reason
// for every job that fails, right after the driver's own line for it;
// INFO: and PAGE: lines for every page printed.
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/e2e/E2eHelpers.h"

namespace tvl {

namespace {

using e2e::rasterJob;

std::vector<std::string> linesOf(const std::string& text)
{
    FilterRun r;
    r.err = text;
    return r.errLines();
}

// The ERROR: lines of a run, and the line each follows.
struct ErrorLine {
    std::string text;
    std::string after;
};

std::vector<ErrorLine> errorLines(const FilterRun& run)
{
    std::vector<ErrorLine> found;
    std::string previous;
    for (const std::string& line : linesOf(run.errAll)) {
        if (line.rfind("ERROR: ", 0) == 0) {
            found.push_back({line, previous});
        }
        previous = line;
    }
    return found;
}

std::string rasterOf(const std::vector<TestPage>& pages)
{
    static int counter = 0;
    return rasterFile("scheduler-" + std::to_string(++counter) + ".ras", pages);
}

// A stream whose second page ends after half its rows.
std::string streamCutInPageTwo()
{
    const std::string whole = readFile(rasterOf({patternPage(203, 300, 1), patternPage(203, 300, 2)}));
    return writeTempFile("scheduler-cut.ras", whole.substr(0, whole.size() - 26 * 150));
}

struct FailureCase {
    const char* name;
    FilterCall call;
    std::string error;  // the one ERROR: line
    std::string after;  // the driver's line it follows
};

TEST(SchedulerLines, EveryFailureGivesOneReasonAfterTheDriversLine)
{
    const std::string ppd27 = testPpd("model27.ppd");
    const std::string folder = tempPath("");

    FailureCase cases[] = {
        {"argument count", {.args = {"1", "user"}}, "ERROR: Usage: rastertoTvlLabel job-id user title copies options [file]", ": "},
        {"named file missing", {.ppd = ppd27, .file = "/nonexistent/label.tvl"},
         "ERROR: Unable to open file \"/nonexistent/label.tvl\": No such file or directory",
         kLog + "Unable to open raster file - : No such file or directory"},
        {"PPD variable unset", {}, "ERROR: No PPD file: the PPD environment variable is not set",
         kLog + "ERROR: No pages found!"},
        {"PPD file missing", {.ppd = "/nonexistent/queue.ppd"},
         "ERROR: Unable to read the printer's PPD file \"/nonexistent/queue.ppd\": No such file or directory",
         kLog + "ERROR: No pages found!"},
        {"PPD not a PPD", {.ppd = writeTempFile("not.ppd", "hello\n")},
         "ERROR: Unable to read the printer's PPD file \"" + tempPath("not.ppd") +
             "\": Missing asterisk in column 1 on line 1",
         kLog + "ERROR: No pages found!"},
        {"unsupported model", {.ppd = testPpd("model102-unsupported.ppd")},
         "ERROR: Printer model 102 is not supported by this driver", kLog + "jobSetup() fail."},
        {"named file unreadable", {.ppd = ppd27, .file = folder},
         "ERROR: Unable to read file \"" + folder + "\": Is a directory",
         kLog + "ERROR: Unable to read file - : Is a directory"},
        {"page cut short", {.ppd = ppd27, .stdinPath = streamCutInPageTwo()},
         "ERROR: Page 2 ends early or cannot be read", kLog + "ERROR: Unable to print page 2"},
        {"page cannot be turned",
         {.options = "Rotation=1", .ppd = ppd27, .stdinPath = rasterOf({TestPage{8, 2, 8, 8, std::vector<uint8_t>(16)}})},
         "ERROR: Page 1 cannot be turned: only pages of 1 bit per pixel whose lines hold their whole width can",
         kLog + "ERROR: Unable to print page 1"},
        {"printer full", {.ppd = ppd27, .stdinPath = rasterOf({patternPage(203, 20, 3)}), .stdoutPath = "/dev/full"},
         "ERROR: Unable to write to printer: No space left on device",
         kLog + "ERROR: Unable to write to printer - : No space left on device"},
        {"no pages", {.ppd = ppd27}, "ERROR: No pages found in the job", kLog + "ERROR: No pages found!"},
    };
    for (FailureCase& c : cases) {
        SCOPED_TRACE(c.name);
        const FilterRun run = runFilter(c.call);
        EXPECT_EQ(run.status, 1);
        const std::vector<ErrorLine> errors = errorLines(run);
        ASSERT_EQ(errors.size(), 1u) << run.errAll;
        EXPECT_EQ(errors[0].text, c.error);
        EXPECT_EQ(errors[0].after.rfind(c.after, 0), 0u) << errors[0].after;
    }
}

// A page past the 4 GiB that one read can take is larger than any label,
// and its line says how large.
TEST(SchedulerLines, PageLargerThanAnyLabelNamesItsSizes)
{
    FilterCall call;
    call.ppd = testPpd("model27.ppd");
    call.stdinPath = writeTempFile("huge.ras", rawRasterStream({524288, 65537, 65536}, std::string(4096, 'Z')));
    const FilterRun run = runFilter(call);
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.scheduler,
              (std::vector<std::string>{"INFO: Printing label 1",
                                        "ERROR: Page 1 (524288 x 65537 pixels, 4295032832 bytes) is larger than any "
                                        "label: at 203 dpi and 1 bit per pixel a page has at most 9135 pixels a "
                                        "side, 1142 bytes a line and 1178415 bytes"}));
}

struct CountCase {
    const char* ppd;
    const char* options;
    const char* labels;  // C of every PAGE: line
};

TEST(SchedulerLines, ProgressAndPageCountsInOrder)
{
    const CountCase cases[] = {
        {"model27.ppd", "NumOfCopies=1", "1"},
        {"model27.ppd", "NumOfCopies=3", "3"},
        {"model100-bare.ppd", "", "1"},  // no copies option: "P1,-1", one label
    };
    for (const CountCase& c : cases) {
        SCOPED_TRACE(std::string(c.ppd) + " " + c.options);
        const FilterRun run = rasterJob(c.ppd, c.options, {patternPage(64, 10, 1), patternPage(64, 10, 2)});
        EXPECT_EQ(run.status, 0);
        EXPECT_EQ(run.scheduler, (std::vector<std::string>{
                                     "INFO: Printing label 1",
                                     std::string("PAGE: 1 ") + c.labels,
                                     "INFO: Printing label 2",
                                     std::string("PAGE: 2 ") + c.labels,
                                 }));
    }
}

TEST(SchedulerLines, NativeFileCountsNoPage)
{
    const FilterRun run = e2e::fileJob("model27.ppd", writeTempFile("native.tvl", "SL609,24,G\r\nP1\r\n"));
    EXPECT_EQ(run.status, 0);
    EXPECT_TRUE(run.scheduler.empty()) << run.errAll;
}

}  // namespace

}  // namespace tvl
