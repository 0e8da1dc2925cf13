// Runs the built filter for the fault tests with the plumbing each fault
// needs: standard input from a file or a pipe that the test feeds by hand,
// standard output to a file, a pipe, a device such as /dev/full or a pipe
// whose reader has already gone, and an optional address-space limit.
// Standard error always goes to a file. A run that has not ended within a
// generous deadline is killed, so a hung filter fails its test instead of
// hanging the suite.
#pragma once

#include <cstddef>
#include <string>
#include <sys/resource.h>
#include <sys/types.h>
#include <vector>

#include "tests/support/RunFilter.h"

enum class FaultInput { File, Pipe };
enum class FaultOutput { File, Pipe, Path, ClosedPipe };

struct FaultCall {
    std::string options;                // argument 5
    std::string ppd;                    // PPD; empty: the model 27 test PPD
    std::string file;                   // argument 6 (a text job) when set
    FaultInput input = FaultInput::File;
    std::string stdinPath = "/dev/null";
    FaultOutput output = FaultOutput::File;
    std::string outputPath;             // for FaultOutput::Path, e.g. /dev/full
    rlim_t addressSpaceLimit = 0;       // RLIMIT_AS of the filter; 0: none
};

class FaultRun {
public:
    explicit FaultRun(const FaultCall& call);
    FaultRun(const FaultRun&) = delete;
    FaultRun& operator=(const FaultRun&) = delete;
    ~FaultRun();  // kills and reaps a filter that finish() did not wait for

    bool started() const { return pid_ > 0; }

    // Standard input pipe (FaultInput::Pipe): writes all of `bytes`; closing
    // it is the end of the stream.
    bool feed(const std::string& bytes);
    void closeInput();

    // Opens the FIFO `path` for writing once the filter has opened it for
    // reading (a text job reading a FIFO); feed() then writes to it.
    bool openFifo(const std::string& path);

    // True once the filter sleeps in read() of its standard input (or of
    // the FIFO `fifoPath`) with nothing left in the pipe that the test
    // feeds: it has taken every byte fed so far and waits for more.
    bool waitBlockedInRead(const std::string& fifoPath = "");

    // Standard output pipe (FaultOutput::Pipe): reads until `count` bytes
    // have come; closeOutput() then plays a backend that went away.
    bool readOutput(size_t count);
    void closeOutput();

    void signal(int signalNumber);

    // Ends standard input, reads standard output to its end and waits for
    // the exit (killing the filter at the deadline: signal SIGKILL).
    FilterRun finish();

private:
    bool pastDeadline() const;

    pid_t pid_ = -1;
    int inFd_ = -1;    // our end of the standard input pipe or the FIFO
    int outFd_ = -1;   // our end of the standard output pipe
    std::string outPath_;
    std::string errPath_;
    bool outToFile_ = false;
    FilterRun run_;
    double startedAt_ = 0;
};

// Whether the filter runs under a tool that reserves address space of its
// own (the sanitizers, valgrind): an address-space limit means nothing then.
bool filterUnderMemoryTool();

// The bytes that libcups's writer (CUPS_RASTER_WRITE) produces for one page
// header, written here by hand so that headers the reader must refuse can
// be made: the sync word, then the whole page header as the host stores it.
struct RawHeader {
    unsigned width;
    unsigned height;
    unsigned bytesPerLine;
    unsigned bitsPerPixel = 1;
};
std::string rawRasterStream(const RawHeader& header, const std::string& pixels, bool compressedSync = false);

// The setup block of the model 27 test PPD with default options (a square
// label, so the same for every rotation).
extern const std::string kSetup27;
