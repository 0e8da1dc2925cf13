#include "tests/faults/FaultRun.h"

#include <cerrno>
#include <cstdlib>
#include <chrono>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <poll.h>
#include <sstream>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

#include <cups/raster.h>

#include "tests/support/RasterWriter.h"

const std::string kSetup27 = "SL609,24,G\r\nSW609\r\nSTd\r\nSD10\r\nSM0,0\r\nSS4\r\nTA0\r\nCUTn\r\n";

namespace {

// Long enough for a slow machine under valgrind; a filter that takes longer
// has hung.
constexpr double kDeadlineSeconds = 120.0;

double now()
{
    using namespace std::chrono;
    return duration<double>(steady_clock::now().time_since_epoch()).count();
}

std::string readLink(const std::string& path)
{
    char target[4096];
    const ssize_t n = readlink(path.c_str(), target, sizeof target);
    return n > 0 ? std::string(target, static_cast<size_t>(n)) : std::string();
}

int counter()
{
    static int n = 0;
    return ++n;
}

}  // namespace

bool filterUnderMemoryTool()
{
#ifdef TVL_SANITIZE
    return true;
#else
    const char* tool = getenv("TVL_FILTER_UNDER_VALGRIND");
    return tool != nullptr && *tool != '\0';
#endif
}

FaultRun::FaultRun(const FaultCall& call)
{
    const int id = counter();
    errPath_ = tempPath("fault-err-" + std::to_string(id));
    outPath_ = tempPath("fault-out-" + std::to_string(id));

    std::vector<std::string> args = {"rastertoTvlLabel", "1", "user", "title", "1", call.options};
    if (!call.file.empty()) {
        args.push_back(call.file);
    }
    const std::string ppd = call.ppd.empty() ? testPpd("model27.ppd") : call.ppd;

    int inPipe[2] = {-1, -1};
    int outPipe[2] = {-1, -1};
    if (call.input == FaultInput::Pipe && pipe2(inPipe, O_CLOEXEC) != 0) {
        return;
    }
    if ((call.output == FaultOutput::Pipe || call.output == FaultOutput::ClosedPipe) &&
        pipe2(outPipe, O_CLOEXEC) != 0) {
        return;
    }
    if (call.output == FaultOutput::ClosedPipe) {
        close(outPipe[0]);  // the reader is gone before the filter starts
        outPipe[0] = -1;
    }
    outToFile_ = call.output == FaultOutput::File;
    const std::string outTarget = call.output == FaultOutput::Path ? call.outputPath : outPath_;

    const pid_t pid = fork();
    if (pid == 0) {
        const int in = call.input == FaultInput::Pipe ? inPipe[0] : open(call.stdinPath.c_str(), O_RDONLY);
        const int out = outPipe[1] >= 0 ? outPipe[1] : open(outTarget.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        const int err = open(errPath_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (in < 0 || out < 0 || err < 0 || dup2(in, 0) < 0 || dup2(out, 1) < 0 || dup2(err, 2) < 0) {
            _exit(127);
        }
        setenv("PPD", ppd.c_str(), 1);
        ::signal(SIGPIPE, SIG_DFL);  // the filter must ignore it by itself
        if (call.addressSpaceLimit != 0) {
            const rlimit limit{call.addressSpaceLimit, call.addressSpaceLimit};
            if (setrlimit(RLIMIT_AS, &limit) != 0) {
                _exit(127);
            }
        }
        std::vector<char*> argv;
        for (std::string& a : args) {
            argv.push_back(a.data());
        }
        argv.push_back(nullptr);
        execv(TVL_FILTER_PATH, argv.data());
        _exit(127);
    }
    if (inPipe[0] >= 0) {
        close(inPipe[0]);
    }
    if (outPipe[1] >= 0) {
        close(outPipe[1]);
    }
    inFd_ = inPipe[1];
    outFd_ = outPipe[0];
    pid_ = pid;
    startedAt_ = now();
}

FaultRun::~FaultRun()
{
    closeInput();
    closeOutput();
    if (pid_ > 0) {
        kill(pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
    }
}

bool FaultRun::pastDeadline() const
{
    return now() - startedAt_ > kDeadlineSeconds;
}

bool FaultRun::feed(const std::string& bytes)
{
    return writeAll(inFd_, bytes);
}

void FaultRun::closeInput()
{
    if (inFd_ >= 0) {
        close(inFd_);
        inFd_ = -1;
    }
}

bool FaultRun::openFifo(const std::string& path)
{
    // Non-blocking until the filter has opened its end, so that a filter
    // that never opens it cannot hang the test.
    while (!pastDeadline()) {
        const int fd = open(path.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
        if (fd >= 0) {
            fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
            inFd_ = fd;
            return true;
        }
        if (errno != ENXIO) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return false;
}

bool FaultRun::waitBlockedInRead(const std::string& fifoPath)
{
    const std::string proc = "/proc/" + std::to_string(pid_);
    std::string fifo;
    if (!fifoPath.empty()) {
        char* real = realpath(fifoPath.c_str(), nullptr);  // as the link in /proc shows it
        fifo = real != nullptr ? real : fifoPath;
        free(real);
    }
    while (!pastDeadline()) {
        int unread = 0;
        if (ioctl(inFd_, FIONREAD, &unread) == 0 && unread == 0) {
            // "0 0x3 ..." : asleep in read(2) (system call 0 on x86-64) on
            // descriptor 3. A read of another file (the PPD from a cold disk)
            // does not count.
            std::ifstream in(proc + "/syscall");
            std::string number;
            std::string fdText;
            in >> number >> fdText;
            if (number == "0" && fdText.rfind("0x", 0) == 0) {
                const long fd = std::strtol(fdText.c_str() + 2, nullptr, 16);
                if (fifo.empty() ? fd == 0 : readLink(proc + "/fd/" + std::to_string(fd)) == fifo) {
                    return true;
                }
            }
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return false;
}

bool FaultRun::readOutput(size_t count)
{
    while (run_.out.size() < count && !pastDeadline()) {
        pollfd p{outFd_, POLLIN, 0};
        if (poll(&p, 1, 100) <= 0) {
            continue;
        }
        char buffer[4096];
        const ssize_t n = read(outFd_, buffer, std::min(sizeof buffer, count - run_.out.size()));
        if (n == 0 || (n < 0 && errno != EINTR)) {
            return false;
        }
        if (n > 0) {
            run_.out.append(buffer, static_cast<size_t>(n));
        }
    }
    return run_.out.size() >= count;
}

void FaultRun::closeOutput()
{
    if (outFd_ >= 0) {
        close(outFd_);
        outFd_ = -1;
    }
}

void FaultRun::signal(int signalNumber)
{
    if (pid_ > 0) {
        kill(pid_, signalNumber);
    }
}

FilterRun FaultRun::finish()
{
    closeInput();
    int wstatus = 0;
    bool exited = false;
    while (!exited) {
        if (outFd_ >= 0) {
            pollfd p{outFd_, POLLIN, 0};
            if (poll(&p, 1, 20) > 0) {
                char buffer[65536];
                const ssize_t n = read(outFd_, buffer, sizeof buffer);
                if (n > 0) {
                    run_.out.append(buffer, static_cast<size_t>(n));
                } else if (n == 0 || errno != EINTR) {
                    closeOutput();
                }
            }
        } else {
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        const pid_t done = waitpid(pid_, &wstatus, WNOHANG);
        if (done == pid_) {
            exited = true;
        } else if (pastDeadline()) {
            kill(pid_, SIGKILL);  // hung: the test fails on the signal
            waitpid(pid_, &wstatus, 0);
            exited = true;
        }
    }
    pid_ = -1;
    while (outFd_ >= 0) {  // what the filter left in the pipe
        char buffer[65536];
        const ssize_t n = read(outFd_, buffer, sizeof buffer);
        if (n <= 0) {
            closeOutput();
        } else {
            run_.out.append(buffer, static_cast<size_t>(n));
        }
    }
    if (WIFEXITED(wstatus)) {
        run_.status = WEXITSTATUS(wstatus);
    } else if (WIFSIGNALED(wstatus)) {
        run_.signal = WTERMSIG(wstatus);
    }
    if (outToFile_) {
        run_.out = readFile(outPath_);
    }
    run_.err = readFile(errPath_);
    return run_;
}

std::string rawRasterStream(const RawHeader& raw, const std::string& pixels, bool compressedSync)
{
    cups_page_header2_t header{};
    std::strcpy(header.MediaClass, "PwgRaster");
    header.HWResolution[0] = 203;
    header.HWResolution[1] = 203;
    header.NumCopies = 1;
    header.cupsWidth = raw.width;
    header.cupsHeight = raw.height;
    header.cupsBytesPerLine = raw.bytesPerLine;
    header.cupsBitsPerPixel = raw.bitsPerPixel;
    header.cupsBitsPerColor = raw.bitsPerPixel > 16 ? 8 : raw.bitsPerPixel;
    header.cupsColorOrder = CUPS_ORDER_CHUNKED;
    header.cupsColorSpace = CUPS_CSPACE_K;
    header.cupsNumColors = 1;
    // The writer stores its sync word as a host-order integer.
    constexpr unsigned kSyncV3 = 0x52615333;  // "RaS3": uncompressed, version 3 header
    const unsigned sync = compressedSync ? CUPS_RASTER_SYNCv2 : kSyncV3;
    std::string stream(reinterpret_cast<const char*>(&sync), sizeof sync);
    stream.append(reinterpret_cast<const char*>(&header), sizeof header);
    return stream + pixels;
}
