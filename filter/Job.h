// SPDX-License-Identifier: Apache-2.0
// One print job, from the filter's argument vector to its exit status.
#pragma once

// Runs the job: argv as the scheduler passes it to a filter (job-id user
// title copies options [file]), the PPD named by env PPD, the raster stream
// on standard input. Returns the exit status: 0 printed, 1 failed. The
// scheduler cancels the job with SIGTERM: the page in hand is finished and the
// job ends there. More than one job may run, one after the other, in one
// process.

namespace tvl {
int runJob(int argc, char* argv[]);

}  // namespace tvl
