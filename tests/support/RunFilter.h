// Runs the built filter the way the CUPS scheduler does and collects what
// it wrote.
#pragma once

#include <string>
#include <sys/types.h>
#include <vector>

struct FilterRun {
    int status = -1;     // exit status, or -1 when ended by a signal
    int signal = 0;      // the signal that ended it, if any
    std::string out;     // standard output: the printer stream
    std::string err;     // standard error, whole
    std::vector<std::string> errLines() const;
};

struct FilterCall {
    std::vector<std::string> args;  // after the program name; empty: "1 user title 1 <options>"
    std::string options;            // argument 5 when args is empty
    std::string ppd;                // value of PPD; empty: PPD unset
    std::string stdinPath = "/dev/null";
    std::string stdoutPath;         // empty: a temporary file that is read back
    std::string file;               // argument 6 when args is empty and this is set
};

FilterRun runFilter(const FilterCall& call);

// A test PPD in tests/ppd.
std::string testPpd(const std::string& name);

// Writes all of `bytes` to a descriptor; false when a write fails.
bool writeAll(int fd, const std::string& bytes);

// Reads a whole file.
std::string readFile(const std::string& path);

// Bytes written as "0D 0A 50 31" are easier to compare by eye.
std::string hexBytes(const std::string& bytes);
std::string fromHex(const std::string& hex);

// A filter started with pipes on its standard output and standard error, so
// that a test can follow what it writes and signal it while it runs. Its
// standard input is opened from call.stdinPath in the child (a FIFO there
// blocks the child until the test opens the FIFO for writing).
class RunningFilter {
public:
    explicit RunningFilter(const FilterCall& call);
    RunningFilter(const RunningFilter&) = delete;
    RunningFilter& operator=(const RunningFilter&) = delete;
    // Kills and reaps a filter that finish() did not wait for.
    ~RunningFilter();

    bool started() const { return pid_ > 0; }
    // Reads what the filter writes until standard error (or standard output)
    // holds `text`. False when the filter closed both streams first, or when
    // nothing came for a long while (a hung filter fails the test instead of
    // hanging it).
    bool waitForErr(const std::string& text);
    bool waitForOut(const std::string& text);
    void sendSignal(int signalNumber);
    // Opens a FIFO that the filter reads, for writing, once the filter has
    // opened it; -1 when the filter ended without opening it.
    int openFifoForWriting(const std::string& path);
    // Closes the reading end of standard output, as a backend that went away.
    void closeOut();
    // Reads both streams to their end and waits for the exit.
    FilterRun finish();

private:
    bool readSome();  // false when both streams are closed or nothing came

    pid_t pid_ = -1;
    int outFd_ = -1;
    int errFd_ = -1;
    FilterRun run_;
};
