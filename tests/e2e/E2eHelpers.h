// SPDX-License-Identifier: Apache-2.0
// Small helpers shared by the end-to-end suites: jobs built from test PPDs,
// options and raster pages, and the log lines they are checked against.
#pragma once

#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include <gtest/gtest.h>

#include "tests/support/Expected.h"
#include "tests/support/RasterWriter.h"
#include "tests/support/RunFilter.h"

namespace tvl {

namespace e2e {

inline const std::string kBanner = "#### TAVELIN_CUPS_DRIVER_V" TVL_VERSION;
inline const std::string kRule = "===================================================";

// A raster job on standard input: the pages written through libcups.
inline FilterRun rasterJob(const std::string& ppd, const std::string& options, const std::vector<TestPage>& pages,
                           const std::string& stdoutPath = "")
{
    static int counter = 0;
    FilterCall call;
    call.ppd = testPpd(ppd);
    call.options = options;
    call.stdinPath = rasterFile("job-" + std::to_string(++counter) + ".ras", pages);
    call.stdoutPath = stdoutPath;
    return runFilter(call);
}

// A raster job with an empty stream: only the setup block comes out.
inline FilterRun setupOnly(const std::string& ppd, const std::string& options)
{
    FilterCall call;
    call.ppd = testPpd(ppd);
    call.options = options;
    return runFilter(call);
}

// A job whose content is the file named by the sixth argument.
inline FilterRun fileJob(const std::string& ppd, const std::string& file, const std::string& stdoutPath = "")
{
    FilterCall call;
    call.ppd = testPpd(ppd);
    call.file = file;
    call.stdoutPath = stdoutPath;
    return runFilter(call);
}

// A FIFO for feeding the filter (RunningFilter::openFifo).
inline std::string makeFifo(const std::string& name)
{
    const std::string path = tempPath(name);
    unlink(path.c_str());
    EXPECT_EQ(mkfifo(path.c_str(), 0600), 0) << path;
    return path;
}

// Where the bytes of a job fed through a FIFO go in: standard input (a raster
// stream), or the file named by the sixth argument.
enum class FifoAs { Stdin, File };

// A model 27 job that the test feeds through the FIFO `fifo`
// (RunningFilter::openFifo), its printer stream on a pipe.
struct FifoJob {
    std::string fifo;
    FilterCall call;
};

inline FifoJob fifoJob(const std::string& name, FifoAs as)
{
    FifoJob job;
    job.fifo = makeFifo(name);
    job.call.ppd = testPpd("model27.ppd");
    (as == FifoAs::File ? job.call.file : job.call.stdinPath) = job.fifo;
    job.call.output = FilterOutput::Pipe;
    return job;
}

// The lines after the settings of a job (from the model number line on).
inline std::vector<std::string> linesAfterSettings(const FilterRun& run)
{
    const std::vector<std::string> lines = run.errLines();
    for (size_t i = 0; i < lines.size(); ++i) {
        if (lines[i] == kRule) {
            return std::vector<std::string>(lines.begin() + static_cast<long>(i) + 1, lines.end());
        }
    }
    return lines;
}

// The dump line of one setting, e.g. dumpValue(run, "darkness   \t").
inline std::string dumpLine(const FilterRun& run, const std::string& field)
{
    const std::string head = kLog + "settings->" + field;
    for (const std::string& line : run.errLines()) {
        if (line.rfind(head, 0) == 0) {
            return line.substr(kLog.size());
        }
    }
    return "(no " + field + " line)";
}

}  // namespace e2e

}  // namespace tvl
