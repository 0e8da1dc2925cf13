// SPDX-License-Identifier: Apache-2.0
#include "tests/support/RunFilter.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <poll.h>
#include <sstream>
#include <sys/ioctl.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include "tests/support/RasterWriter.h"

namespace tvl {

namespace {

using std::chrono::microseconds;
using std::chrono::milliseconds;

// Long enough for a slow machine under valgrind; a filter that takes longer
// has hung.
constexpr microseconds kDeadline = std::chrono::seconds(120);

void closeFd(int* fd)
{
    if (*fd >= 0) {
        close(*fd);
        *fd = -1;
    }
}

std::vector<std::string> argumentsOf(const FilterCall& call)
{
    std::vector<std::string> args = {"rastertoTvlLabel"};
    if (call.args.empty()) {
        args.insert(args.end(), {"1", "user", "title", "1", call.options});
        if (!call.file.empty()) {
            args.push_back(call.file);
        }
    } else {
        args.insert(args.end(), call.args.begin(), call.args.end());
    }
    return args;
}

// In the forked child: puts the standard descriptors in place and becomes
// the filter, started the way the scheduler starts it.
[[noreturn]] void execFilter(const FilterCall& call, std::vector<std::string>& args, int in, int out, int err)
{
    if (in < 0 || out < 0 || err < 0 || dup2(in, 0) < 0 || dup2(out, 1) < 0 || dup2(err, 2) < 0) {
        _exit(127);
    }
    // The scheduler starts filters with default signal handling; a test
    // that ignores SIGPIPE must not pass that on.
    signal(SIGPIPE, SIG_DFL);
    if (call.ppd.empty()) {
        unsetenv("PPD");
    } else {
        setenv("PPD", call.ppd.c_str(), 1);
    }
    if (call.addressSpaceLimit != 0) {
        const rlimit limit{call.addressSpaceLimit, call.addressSpaceLimit};
        if (setrlimit(RLIMIT_AS, &limit) != 0) {
            _exit(127);
        }
    }
    execProgram(TVL_FILTER_PATH, args);
}

int openPidFd(pid_t pid)
{
#ifdef SYS_pidfd_open
    return static_cast<int>(syscall(SYS_pidfd_open, pid, 0));
#else
    (void)pid;
    return -1;
#endif
}

std::string readLink(const std::string& path)
{
    char target[4096];
    const ssize_t n = readlink(path.c_str(), target, sizeof target);
    return n > 0 ? std::string(target, static_cast<size_t>(n)) : std::string();
}

// Whether process `pid` sleeps in read(2) of descriptor 0, or of the file
// `fifo` when that is set. /proc/PID/syscall reads "0 0x3 ..." for read()
// (system call 0 on x86-64) on descriptor 3. A read of another file (the
// PPD from a cold disk) does not count.
bool sleepsInRead(pid_t pid, const std::string& fifo)
{
    const std::string proc = "/proc/" + std::to_string(pid);
    std::ifstream in(proc + "/syscall");
    std::string number;
    std::string fdText;
    in >> number >> fdText;
    if (number != "0" || fdText.rfind("0x", 0) != 0) {
        return false;
    }
    const long fd = std::strtol(fdText.c_str() + 2, nullptr, 16);
    return fifo.empty() ? fd == 0 : readLink(proc + "/fd/" + std::to_string(fd)) == fifo;
}

// Whether a line of standard error is one of the scheduler's.
bool isSchedulerLine(const std::string& line)
{
    for (const char* keyword : {"ERROR: ", "INFO: ", "PAGE: "}) {
        if (line.rfind(keyword, 0) == 0) {
            return true;
        }
    }
    return false;
}

// Moves the scheduler's lines of run->err to run->scheduler.
void setAsideSchedulerLines(FilterRun* run)
{
    run->errAll = run->err;
    std::string driver;
    std::istringstream in(run->err);
    std::string line;
    while (std::getline(in, line)) {
        if (isSchedulerLine(line)) {
            run->scheduler.push_back(line);
            continue;
        }
        driver += line;
        if (!in.eof()) {
            driver += '\n';
        }
    }
    run->err = driver;
}

}  // namespace

void execProgram(const char* path, std::vector<std::string>& args)
{
    std::vector<char*> argv;
    for (std::string& a : args) {
        argv.push_back(a.data());
    }
    argv.push_back(nullptr);
    execv(path, argv.data());
    _exit(127);
}

std::vector<std::string> FilterRun::errLines() const
{
    return linesOf(err);
}

FilterRun runFilter(const FilterCall& call)
{
    RunningFilter filter(call);
    return filter.finish();
}

RunningFilter::RunningFilter(const FilterCall& call)
{
    static int counter = 0;
    const int id = ++counter;
    deadline_ = Clock::now() + kDeadline;
    std::vector<std::string> args = argumentsOf(call);
    // Feeding a filter that stopped reading fails the write (and the test)
    // instead of ending the test program.
    signal(SIGPIPE, SIG_IGN);

    int inPipe[2] = {-1, -1};
    int outPipe[2] = {-1, -1};
    int errPipe[2] = {-1, -1};
    const auto closeAll = [&] {
        for (int* fd : {&inPipe[0], &inPipe[1], &outPipe[0], &outPipe[1], &errPipe[0], &errPipe[1]}) {
            closeFd(fd);
        }
    };
    const bool outToPipe = call.output == FilterOutput::Pipe || call.output == FilterOutput::ClosedPipe;
    if (pipe2(errPipe, O_CLOEXEC) != 0 || (call.input == FilterInput::Pipe && pipe2(inPipe, O_CLOEXEC) != 0) ||
        (outToPipe && pipe2(outPipe, O_CLOEXEC) != 0)) {
        closeAll();
        return;
    }
    if (call.output == FilterOutput::ClosedPipe) {
        closeFd(&outPipe[0]);  // the reader is gone before the filter starts
    }
    const std::string outFile = call.stdoutPath.empty() ? tempPath("out-" + std::to_string(id)) : call.stdoutPath;

    const pid_t pid = fork();
    if (pid == 0) {
        const int in = call.input == FilterInput::Pipe ? inPipe[0] : open(call.stdinPath.c_str(), O_RDONLY | O_CLOEXEC);
        const int out =
            outToPipe ? outPipe[1] : open(outFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
        execFilter(call, args, in, out, errPipe[1]);
    }
    closeFd(&inPipe[0]);
    closeFd(&outPipe[1]);
    closeFd(&errPipe[1]);
    if (pid < 0) {
        closeAll();
        return;
    }
    inFd_ = inPipe[1];
    outFd_ = outPipe[0];
    errFd_ = errPipe[0];
    if (call.output == FilterOutput::File && call.stdoutPath.empty()) {
        outPath_ = outFile;
    }
    pid_ = pid;
    pidFd_ = openPidFd(pid);
}

RunningFilter::~RunningFilter()
{
    closeInput();
    closeOut();
    closeFd(&errFd_);
    if (pid_ > 0 && !reaped_) {
        kill(pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
    }
    closeFd(&pidFd_);
}

void RunningFilter::step(microseconds wait)
{
    pollfd fds[3];
    nfds_t count = 0;
    for (int fd : {outFd_, errFd_}) {
        if (fd >= 0) {
            fds[count++] = {fd, POLLIN, 0};
        }
    }
    if (!reaped_ && pidFd_ >= 0) {
        fds[count++] = {pidFd_, POLLIN, 0};
    } else if (!reaped_) {
        wait = std::min<microseconds>(wait, milliseconds(20));  // no pidfd: look for the exit now and then
    }
    const auto left = std::chrono::duration_cast<microseconds>(deadline_ - Clock::now());
    wait = std::clamp(wait, microseconds(0), std::max(left, microseconds(0)));
    const timespec timeout{static_cast<time_t>(wait.count() / 1000000), static_cast<long>(wait.count() % 1000000) * 1000};
    if (ppoll(fds, count, &timeout, nullptr) > 0) {
        for (nfds_t i = 0; i < count; ++i) {
            if (fds[i].revents == 0 || fds[i].fd == pidFd_) {
                continue;
            }
            const bool isOut = fds[i].fd == outFd_;
            char buffer[65536];
            const ssize_t n = read(fds[i].fd, buffer, sizeof buffer);
            if (n > 0) {
                (isOut ? run_.out : run_.err).append(buffer, static_cast<size_t>(n));
            } else if (n == 0 || errno != EINTR) {
                closeFd(isOut ? &outFd_ : &errFd_);
            }
        }
    }
    if (pid_ > 0 && !reaped_ && waitpid(pid_, &waitStatus_, WNOHANG) == pid_) {
        reaped_ = true;
    }
}

bool RunningFilter::feed(const std::string& bytes)
{
    return inFd_ >= 0 && writeAll(inFd_, bytes);
}

void RunningFilter::closeInput()
{
    closeFd(&inFd_);
}

bool RunningFilter::openFifo(const std::string& path)
{
    // Non-blocking until the filter has opened its end: a plain open would
    // wait forever for a filter that never opens it.
    while (pid_ > 0 && !ended() && !pastDeadline()) {
        const int fd = open(path.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
        if (fd >= 0) {
            fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
            closeInput();
            inFd_ = fd;
            return true;
        }
        if (errno != ENXIO) {
            return false;
        }
        step(milliseconds(1));
    }
    return false;
}

bool RunningFilter::waitInputTaken()
{
    for (;;) {
        int unread = 0;
        if (inFd_ < 0 || ioctl(inFd_, FIONREAD, &unread) != 0) {
            return false;
        }
        if (unread == 0) {
            return true;
        }
        if (ended() || pastDeadline()) {
            return false;
        }
        step(microseconds(100));
    }
}

bool RunningFilter::waitBlockedInRead(const std::string& fifoPath)
{
    std::string fifo;
    if (!fifoPath.empty()) {
        char* real = realpath(fifoPath.c_str(), nullptr);  // as the link in /proc shows it
        fifo = real != nullptr ? real : fifoPath;
        free(real);
    }
    for (;;) {
        int unread = 0;
        if (ioctl(inFd_, FIONREAD, &unread) == 0 && unread == 0 && sleepsInRead(pid_, fifo)) {
            return true;
        }
        if (pid_ <= 0 || ended() || pastDeadline()) {
            return false;
        }
        step(milliseconds(2));
    }
}

bool RunningFilter::waitFor(const std::string& text, const std::string& stream, const int& fd)
{
    while (stream.find(text) == std::string::npos) {
        if (fd < 0 || pastDeadline()) {
            return false;
        }
        step(kDeadline);
    }
    return true;
}

bool RunningFilter::waitForErr(const std::string& text)
{
    return waitFor(text, run_.err, errFd_);
}

bool RunningFilter::waitForOut(const std::string& text)
{
    return waitFor(text, run_.out, outFd_);
}

void RunningFilter::closeOut()
{
    closeFd(&outFd_);
}

void RunningFilter::sendSignal(int signalNumber)
{
    if (pid_ > 0 && !reaped_) {
        kill(pid_, signalNumber);
    }
}

FilterRun RunningFilter::finish()
{
    closeInput();
    if (pid_ <= 0) {
        return run_;
    }
    while (!reaped_ || outFd_ >= 0 || errFd_ >= 0) {
        if (pastDeadline() && !reaped_) {
            kill(pid_, SIGKILL);  // hung: the test fails on the signal
            waitpid(pid_, &waitStatus_, 0);
            reaped_ = true;
        }
        step(kDeadline);  // past the deadline: takes what the ended filter left
    }
    pid_ = -1;
    if (WIFEXITED(waitStatus_)) {
        run_.status = WEXITSTATUS(waitStatus_);
    } else if (WIFSIGNALED(waitStatus_)) {
        run_.signal = WTERMSIG(waitStatus_);
    }
    if (!outPath_.empty()) {
        run_.out = readFile(outPath_);
    }
    setAsideSchedulerLines(&run_);
    return run_;
}

bool filterUnderMemoryTool()
{
#ifdef TVL_SANITIZE
    return true;
#else
    const char* tool = getenv("TVL_FILTER_UNDER_VALGRIND");
    return tool != nullptr && *tool != '\0';
#endif
}

std::string testPpd(const std::string& name)
{
    return std::string(TVL_TEST_PPD_DIR) + "/" + name;
}

std::string readFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

std::string hexBytes(const std::string& bytes)
{
    std::string out;
    char buf[4];
    for (unsigned char c : bytes) {
        snprintf(buf, sizeof buf, "%02X", c);
        if (!out.empty()) {
            out += ' ';
        }
        out += buf;
    }
    return out;
}

std::string fromHex(const std::string& hex)
{
    std::string out;
    std::istringstream in(hex);
    std::string byte;
    while (in >> byte) {
        out += static_cast<char>(std::stoi(byte, nullptr, 16));
    }
    return out;
}

bool writeAll(int fd, const std::string& bytes)
{
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return false;
        }
        done += static_cast<size_t>(n);
    }
    return true;
}

}  // namespace tvl
