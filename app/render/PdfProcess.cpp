#include "app/render/PdfProcess.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace {

bool executable(const std::string& path)
{
    return access(path.c_str(), X_OK) == 0;
}

struct Fd {
    int fd = -1;
    Fd() = default;
    explicit Fd(int f) : fd(f) {}
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    ~Fd()
    {
        if (fd >= 0) {
            close(fd);
        }
    }
};

// The helper, killed and reaped whatever way the job leaves it.
struct Child {
    pid_t pid = -1;
    Child() = default;
    Child(const Child&) = delete;
    Child& operator=(const Child&) = delete;
    ~Child() { stop(); }
    void stop()
    {
        if (pid > 0) {
            kill(pid, SIGKILL);
            waitpid(pid, nullptr, 0);
            pid = -1;
        }
    }
    // Waits for a helper that has closed its output; its exit status.
    int wait()
    {
        int status = 0;
        while (pid > 0 && waitpid(pid, &status, 0) < 0 && errno == EINTR) {
        }
        pid = -1;
        return status;
    }
};

enum class Read { Done, Eof, Stop, Error };

// Reads exactly `size` bytes, asking the sink every 200 ms whether to stop.
Read readExactly(int fd, uint8_t* data, size_t size, PageSink* sink)
{
    while (size != 0) {
        pollfd p{fd, POLLIN, 0};
        const int ready = poll(&p, 1, 200);
        if (ready < 0 && errno != EINTR) {
            return Read::Error;
        }
        if (sink->shouldStop()) {
            return Read::Stop;
        }
        if (ready <= 0) {
            continue;
        }
        const ssize_t n = read(fd, data, size);
        if (n == 0) {
            return Read::Eof;
        }
        if (n < 0) {
            if (errno == EINTR || errno == EAGAIN) {
                continue;
            }
            return Read::Error;
        }
        data += n;
        size -= static_cast<size_t>(n);
    }
    return Read::Done;
}

std::string matrixArgument(const DitherMatrix* matrix, bool diffuse)
{
    if (matrix == nullptr) {
        return "bilevel";
    }
    if (diffuse) {
        return "diffusion";
    }
    static constexpr char kHex[] = "0123456789abcdef";
    std::string hex;
    hex.reserve(512);
    for (unsigned y = 0; y < 16; ++y) {
        for (unsigned x = 0; x < 16; ++x) {
            hex += kHex[(*matrix)[y][x] >> 4];
            hex += kHex[(*matrix)[y][x] & 15];
        }
    }
    return hex;
}

bool runHelper(const DocumentInput& input, PageWriter* writer, std::string* reason)
{
    const std::string helper = pdfRendererPath();
    int out[2];
    if (pipe2(out, O_CLOEXEC) != 0) {
        *reason = std::string("cannot start the PDF renderer: ") + std::strerror(errno);
        return false;
    }
    Fd readEnd(out[0]);
    Fd writeEnd(out[1]);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, writeEnd.fd, 1);
    if (input.path == nullptr) {
        posix_spawn_file_actions_adddup2(&actions, input.fd, 0);
    }
    const LabelGeometry& g = writer->label;
    const std::string args[] = {helper,
                                input.path != nullptr ? input.path : "-",
                                std::to_string(g.widthDots),
                                std::to_string(g.lengthDots),
                                std::to_string(g.dpi),
                                std::to_string(g.orientation),
                                matrixArgument(writer->matrix, writer->diffuse)};
    char* argv[8];
    for (size_t i = 0; i < 7; ++i) {
        argv[i] = const_cast<char*>(args[i].c_str());
    }
    argv[7] = nullptr;
    Child child;
    const int spawned = posix_spawn(&child.pid, helper.c_str(), &actions, nullptr, argv, environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) {
        child.pid = -1;
        *reason = "cannot start the PDF renderer " + helper + ": " + std::strerror(spawned);
        return false;
    }
    close(writeEnd.fd);
    writeEnd.fd = -1;

    const size_t labelBytes = writer->bytesPerRow * g.lengthDots;
    for (;;) {
        uint8_t head[9];
        Read r = readExactly(readEnd.fd, head, 1, writer->sink);
        if (r == Read::Stop) {
            return true;  // cancelled: the child is killed on the way out
        }
        if (r != Read::Done) {
            break;
        }
        if (head[0] == pdf_frame::kDone) {
            return true;
        }
        if (head[0] == pdf_frame::kFailed) {
            if (readExactly(readEnd.fd, head + 1, 4, writer->sink) != Read::Done) {
                break;
            }
            std::string why(std::min<uint32_t>(pdf_frame::getLe32(head + 1), 1024), '\0');
            if (readExactly(readEnd.fd, reinterpret_cast<uint8_t*>(why.data()), why.size(), writer->sink) !=
                Read::Done) {
                break;
            }
            *reason = why;
            return false;
        }
        if (head[0] != pdf_frame::kPage || readExactly(readEnd.fd, head + 1, 8, writer->sink) != Read::Done ||
            pdf_frame::getLe32(head + 1) != g.widthDots || pdf_frame::getLe32(head + 5) != g.lengthDots) {
            *reason = "the PDF renderer sent something else than a label";
            return false;
        }
        r = readExactly(readEnd.fd, writer->bits.get(), labelBytes, writer->sink);
        if (r == Read::Stop) {
            return true;
        }
        if (r != Read::Done) {
            break;
        }
        PageBitmap page;
        page.index = writer->pages++;
        page.width = g.widthDots;
        page.length = g.lengthDots;
        page.bytesPerRow = writer->bytesPerRow;
        page.bits = std::span<const uint8_t>(writer->bits.get(), labelBytes);
        if (!writer->sink->takePage(page)) {
            return true;  // the sink stopped the document
        }
    }
    // The helper ended without saying how: it crashed or was killed.
    close(readEnd.fd);
    readEnd.fd = -1;
    const int status = child.wait();
    char text[128];
    if (WIFSIGNALED(status)) {
        snprintf(text, sizeof text, "the PDF renderer ended on signal %d (%s)", WTERMSIG(status),
                 strsignal(WTERMSIG(status)));
    } else {
        snprintf(text, sizeof text, "the PDF renderer ended early (status %d)",
                 WIFEXITED(status) ? WEXITSTATUS(status) : -1);
    }
    *reason = text;
    return false;
}

}  // namespace

std::string pdfRendererPath()
{
    const char* chosen = getenv("TVL_PDF_RENDERER");
    if (chosen != nullptr && *chosen != '\0') {
        return chosen;
    }
    char self[PATH_MAX];
    const ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
    if (n <= 0) {
        return kPdfRendererName;
    }
    std::string dir(self, static_cast<size_t>(n));
    dir.erase(dir.rfind('/'));
    const std::string beside = dir + "/" + kPdfRendererName;
    if (executable(beside)) {
        return beside;
    }
    return dir + "/../libexec/tavelin-printer-app/" + kPdfRendererName;
}

bool renderPdfInHelper(const DocumentInput& input, PageWriter* writer, std::string* reason) noexcept
{
    try {
        return runHelper(input, writer, reason);
    } catch (...) {
        *reason = "PDF: out of memory";
        return false;
    }
}
