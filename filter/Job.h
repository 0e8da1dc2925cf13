// One print job, from the filter's argument vector to its exit status.
#pragma once

#include <csignal>

// Set by CancelJob when the scheduler cancels the job (SIGTERM).
extern volatile sig_atomic_t Canceled;

// SIGTERM handler: only records the request; the page in hand is finished.
void CancelJob(int signalNumber);

// Runs the job: argv as the scheduler passes it to a filter (job-id user
// title copies options [file]), the PPD named by env PPD, the raster stream
// on standard input. Returns the exit status: 0 printed, 1 failed.
int runJob(int argc, char* argv[]);

// Puts the process-wide job state back to its start values, so that more
// than one job can run in one process (used by in-process tests).
void resetJobState();
