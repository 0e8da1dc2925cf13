// SPDX-License-Identifier: Apache-2.0
// Runs the built filter the way the CUPS scheduler does and collects what
// it wrote: at once with runFilter(), or step by step with RunningFilter,
// whose test can feed standard input by hand, follow the output, signal the
// filter and take away its printer.
#pragma once

#include <chrono>
#include <sstream>
#include <string>
#include <sys/resource.h>
#include <sys/types.h>
#include <vector>

#include "tests/support/Expected.h"

namespace tvl {

struct FilterRun {
    int status = -1;     // exit status, or -1 when ended by a signal
    int signal = 0;      // the signal that ended it, if any
    std::string out;     // standard output: the printer stream
    std::string err;     // standard error, without the scheduler's lines
    // Lines in the scheduler's own grammar ("ERROR: ", "INFO: ", "PAGE: " at
    // the start), in order, set aside from err so that the driver's lines can
    // be compared on their own.
    std::vector<std::string> scheduler;
    std::string errAll;  // standard error as it came, both kinds of line
    std::vector<std::string> errLines() const;
};

enum class FilterInput {
    Path,  // stdinPath, opened by the filter's process (a FIFO there blocks it until written)
    Pipe,  // a pipe that the test feeds (feed, closeInput)
};

enum class FilterOutput {
    File,        // stdoutPath when set (e.g. /dev/full; not read back), else a temporary file read back
    Pipe,        // a pipe that the test reads (waitForOut, closeOut)
    ClosedPipe,  // a pipe whose reader is gone before the filter starts
};

struct FilterCall {
    std::vector<std::string> args{};  // after the program name; empty: "1 user title 1 <options>"
    std::string options{};            // argument 5 when args is empty
    std::string ppd{};              // value of PPD; empty: PPD unset
    std::string file{};             // argument 6 when args is empty and this is set
    FilterInput input = FilterInput::Path;
    std::string stdinPath = "/dev/null";
    FilterOutput output = FilterOutput::File;
    std::string stdoutPath{};
    rlim_t addressSpaceLimit = 0;   // RLIMIT_AS of the filter; 0: none
};

// Runs the filter to its end.
FilterRun runFilter(const FilterCall& call);

// A filter started in the background. Its standard error is a pipe that the
// harness reads while it waits for anything. Every wait ends, at the latest,
// at a deadline long after any sound run would have finished: a hung filter
// fails its test instead of hanging the suite.
class RunningFilter {
public:
    explicit RunningFilter(const FilterCall& call);
    RunningFilter(const RunningFilter&) = delete;
    RunningFilter& operator=(const RunningFilter&) = delete;
    // Kills and reaps a filter that finish() did not wait for.
    ~RunningFilter();

    bool started() const { return pid_ > 0; }

    // Standard input (FilterInput::Pipe, or a FIFO opened by openFifo):
    // writes all of `bytes`; closing it is the end of the stream.
    bool feed(const std::string& bytes);
    void closeInput();
    // Opens the FIFO `path` for writing once the filter has opened it for
    // reading; feed() then writes to it. False when the filter ended first.
    bool openFifo(const std::string& path);
    // True once the filter has taken every byte fed so far.
    bool waitInputTaken();
    // True once, in addition, the filter sleeps in read() of its standard
    // input (or of the FIFO `fifoPath`): it waits for more.
    bool waitBlockedInRead(const std::string& fifoPath = "");

    // Reads what the filter writes until standard error (or standard output,
    // FilterOutput::Pipe) holds `text`. False when that stream ended first.
    bool waitForErr(const std::string& text);
    bool waitForOut(const std::string& text);
    // Closes the reading end of standard output, as a backend that went away.
    void closeOut();

    void sendSignal(int signalNumber);

    // Ends standard input, reads the output to its end and waits for the
    // exit (killing the filter at the deadline: signal SIGKILL).
    FilterRun finish();

private:
    using Clock = std::chrono::steady_clock;
    // Waits up to `wait` (less at the deadline) for output or the exit,
    // takes what came and reaps the filter once it has ended.
    void step(std::chrono::microseconds wait);
    // Reads until `stream` (run_.err or run_.out) holds `text`; false once its
    // descriptor `fd` (errFd_ or outFd_, as step() leaves it) is closed.
    bool waitFor(const std::string& text, const std::string& stream, const int& fd);
    bool ended() const { return reaped_; }
    bool pastDeadline() const { return Clock::now() >= deadline_; }

    pid_t pid_ = -1;
    int pidFd_ = -1;   // readable once the filter has ended
    int inFd_ = -1;    // our end of the standard input pipe or the FIFO
    int outFd_ = -1;   // our end of the standard output pipe
    int errFd_ = -1;   // our end of the standard error pipe
    std::string outPath_;  // read back by finish() when not empty
    bool reaped_ = false;
    int waitStatus_ = 0;
    Clock::time_point deadline_;
    FilterRun run_;
};

// Whether the filter runs under a tool that reserves address space of its
// own (the sanitizers, valgrind): an address-space limit means nothing then.
bool filterUnderMemoryTool();

// A test PPD in tests/ppd.
std::string testPpd(const std::string& name);

// In a forked child: becomes the program at `path` with `args` (the program's
// name first), or ends with status 127.
[[noreturn]] void execProgram(const char* path, std::vector<std::string>& args);

// Writes all of `bytes` to a descriptor; false when a write fails.
bool writeAll(int fd, const std::string& bytes);

// The lines of a text, without their line ends.
inline std::vector<std::string> linesOf(const std::string& text)
{
    std::vector<std::string> lines;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) {
        lines.push_back(line);
    }
    return lines;
}

// Reads a whole file.
std::string readFile(const std::string& path);

// Bytes written as "0D 0A 50 31" are easier to compare by eye.
std::string hexBytes(const std::string& bytes);
std::string fromHex(const std::string& hex);

}  // namespace tvl
