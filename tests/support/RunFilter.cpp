#include "tests/support/RunFilter.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <poll.h>
#include <fstream>
#include <sstream>
#include <sys/wait.h>
#include <unistd.h>

#include "tests/support/RasterWriter.h"

namespace {

// In the forked child, with its descriptors in place: becomes the filter,
// started the way the scheduler starts it.
[[noreturn]] void execFilter(const FilterCall& call, std::vector<std::string>& args)
{
    // The scheduler starts filters with default signal handling; a test
    // that ignores SIGPIPE must not pass that on.
    signal(SIGPIPE, SIG_DFL);
    if (call.ppd.empty()) {
        unsetenv("PPD");
    } else {
        setenv("PPD", call.ppd.c_str(), 1);
    }
    std::vector<char*> argv;
    for (std::string& a : args) {
        argv.push_back(a.data());
    }
    argv.push_back(nullptr);
    execv(TVL_FILTER_PATH, argv.data());
    _exit(127);
}

}  // namespace

std::vector<std::string> FilterRun::errLines() const
{
    std::vector<std::string> lines;
    std::istringstream in(err);
    std::string line;
    while (std::getline(in, line)) {
        lines.push_back(line);
    }
    return lines;
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

FilterRun runFilter(const FilterCall& call)
{
    static int counter = 0;
    ++counter;
    const std::string outPath =
        call.stdoutPath.empty() ? tempPath("out-" + std::to_string(counter)) : call.stdoutPath;
    const std::string errPath = tempPath("err-" + std::to_string(counter));

    std::vector<std::string> args = {"rastertoTvlLabel"};
    if (call.args.empty()) {
        args.insert(args.end(), {"1", "user", "title", "1", call.options});
        if (!call.file.empty()) {
            args.push_back(call.file);
        }
    } else {
        args.insert(args.end(), call.args.begin(), call.args.end());
    }

    FilterRun run;
    const pid_t pid = fork();
    if (pid == 0) {
        const int in = open(call.stdinPath.c_str(), O_RDONLY);
        const int out = open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        const int err = open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (in < 0 || out < 0 || err < 0) {
            _exit(127);
        }
        dup2(in, 0);
        dup2(out, 1);
        dup2(err, 2);
        execFilter(call, args);
    }
    int wstatus = 0;
    waitpid(pid, &wstatus, 0);
    if (WIFEXITED(wstatus)) {
        run.status = WEXITSTATUS(wstatus);
    } else if (WIFSIGNALED(wstatus)) {
        run.signal = WTERMSIG(wstatus);
    }
    if (call.stdoutPath.empty()) {
        run.out = readFile(outPath);
    }
    run.err = readFile(errPath);
    return run;
}

RunningFilter::RunningFilter(const FilterCall& call)
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
    int outPipe[2];
    int errPipe[2];
    if (pipe(outPipe) != 0) {
        return;
    }
    if (pipe(errPipe) != 0) {
        close(outPipe[0]);
        close(outPipe[1]);
        return;
    }
    const pid_t pid = fork();
    if (pid == 0) {
        close(outPipe[0]);
        close(errPipe[0]);
        const int in = open(call.stdinPath.c_str(), O_RDONLY);
        if (in < 0) {
            _exit(127);
        }
        dup2(in, 0);
        dup2(outPipe[1], 1);
        dup2(errPipe[1], 2);
        execFilter(call, args);
    }
    close(outPipe[1]);
    close(errPipe[1]);
    outFd_ = outPipe[0];
    errFd_ = errPipe[0];
    pid_ = pid;
}

RunningFilter::~RunningFilter()
{
    if (outFd_ >= 0) {
        close(outFd_);
    }
    if (errFd_ >= 0) {
        close(errFd_);
    }
    if (pid_ > 0) {
        kill(pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
    }
}

bool RunningFilter::readSome()
{
    pollfd fds[2] = {{outFd_, POLLIN, 0}, {errFd_, POLLIN, 0}};
    if (outFd_ < 0 && errFd_ < 0) {
        return false;
    }
    // A safety net against a hung filter, not a measure of speed.
    constexpr int kGiveUpMs = 60 * 1000;
    if (poll(fds, 2, kGiveUpMs) <= 0) {
        return false;
    }
    const std::pair<int*, std::string*> streams[2] = {{&outFd_, &run_.out}, {&errFd_, &run_.err}};
    for (int i = 0; i < 2; ++i) {
        if (fds[i].revents == 0) {
            continue;
        }
        char buffer[4096];
        const ssize_t n = read(*streams[i].first, buffer, sizeof buffer);
        if (n > 0) {
            streams[i].second->append(buffer, static_cast<size_t>(n));
        } else if (n == 0 || errno != EINTR) {
            close(*streams[i].first);
            *streams[i].first = -1;
        }
    }
    return true;
}

bool RunningFilter::waitForErr(const std::string& text)
{
    while (run_.err.find(text) == std::string::npos) {
        if (!readSome()) {
            return false;
        }
    }
    return true;
}

bool RunningFilter::waitForOut(const std::string& text)
{
    while (run_.out.find(text) == std::string::npos) {
        if (!readSome()) {
            return false;
        }
    }
    return true;
}

void RunningFilter::sendSignal(int signalNumber)
{
    if (pid_ > 0) {
        kill(pid_, signalNumber);
    }
}

int RunningFilter::openFifoForWriting(const std::string& path)
{
    // A plain open would wait forever for a filter that has already exited.
    for (int tries = 0; tries < 60 * 1000 && pid_ > 0; ++tries) {
        const int fd = open(path.c_str(), O_WRONLY | O_NONBLOCK);
        if (fd >= 0) {
            fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
            return fd;
        }
        if (errno != ENXIO) {
            return -1;
        }
        siginfo_t info{};
        if (waitid(P_PID, static_cast<id_t>(pid_), &info, WEXITED | WNOHANG | WNOWAIT) == 0 && info.si_pid != 0) {
            return -1;  // ended without opening it
        }
        usleep(1000);
    }
    return -1;
}

void RunningFilter::closeOut()
{
    if (outFd_ >= 0) {
        close(outFd_);
        outFd_ = -1;
    }
}

FilterRun RunningFilter::finish()
{
    while (readSome()) {
    }
    if (outFd_ >= 0 || errFd_ >= 0) {
        kill(pid_, SIGKILL);  // hung: fail the test rather than wait forever
    }
    if (pid_ > 0) {
        int wstatus = 0;
        waitpid(pid_, &wstatus, 0);
        pid_ = -1;
        if (WIFEXITED(wstatus)) {
            run_.status = WEXITSTATUS(wstatus);
        } else if (WIFSIGNALED(wstatus)) {
            run_.signal = WTERMSIG(wstatus);
        }
    }
    return run_;
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
