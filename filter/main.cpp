// SPDX-License-Identifier: Apache-2.0
// rastertoTvlLabel: the CUPS filter that turns a raster job into the label
// printer's command stream. See filter/Job.h.
#include "filter/Job.h"
#include "filter/StdioSinks.h"

namespace tvl {

namespace {

// How long a failed job waits for the scheduler to read its last lines.
constexpr int kLogReadLimitMs = 2000;

}  // namespace

}  // namespace tvl

int main(int argc, char* argv[])
{
    using namespace tvl;
    const int status = runJob(argc, argv);
    if (status != 0) {
        // The job's ERROR: line must reach cupsd before the exit does.
        StderrLog::waitUntilTaken(kLogReadLimitMs);
    }
    return status;
}
