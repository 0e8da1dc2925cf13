// SPDX-License-Identifier: Apache-2.0
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

#include "output/Fd.h"
#include "output/SystemError.h"

extern char** environ;

namespace tvl {

namespace {

bool executable(const std::string& path)
{
    return access(path.c_str(), X_OK) == 0;
}

// The helper's path: $TVL_PDF_RENDERER when set; else beside the running
// program (a build tree); else ../libexec/tavelin-printer-app/ from it (an
// installed tree).
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

// Reads exactly `size` bytes, asking the sink every 200 ms whether to stop:
// None when read, Stopped, or ShortData when the output ends or fails.
PageResult readExactly(int fd, uint8_t* data, size_t size, PageSink* sink)
{
    while (size != 0) {
        pollfd p{fd, POLLIN, 0};
        const int ready = poll(&p, 1, 200);
        if (ready < 0 && errno != EINTR) {
            return pageFailed(PageError::ShortData);
        }
        if (sink->shouldStop()) {
            return pageFailed(PageError::Stopped);
        }
        if (ready <= 0) {
            continue;
        }
        const ssize_t n = read(fd, data, size);
        if (n == 0) {
            return pageFailed(PageError::ShortData);
        }
        if (n < 0) {
            if (errno == EINTR || errno == EAGAIN) {
                continue;
            }
            return pageFailed(PageError::ShortData);
        }
        data += n;
        size -= static_cast<size_t>(n);
    }
    return PageResult{};
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

// Starts the helper on the job's document and label, its standard output
// on `output`. False with a reason when it cannot be started.
bool spawnHelper(const std::string& helper, const DocumentInput& input, const PageWriter& writer, int output,
                 Child* child, std::string* reason)
{
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, output, 1);
    if (input.path == nullptr) {
        posix_spawn_file_actions_adddup2(&actions, input.fd, 0);
    }
    const LabelGeometry& g = writer.label;
    const std::string args[] = {helper,
                                input.path != nullptr ? input.path : "-",
                                std::to_string(g.widthDots),
                                std::to_string(g.lengthDots),
                                std::to_string(g.dpi),
                                std::to_string(g.orientation),
                                matrixArgument(writer.matrix, writer.diffuse)};
    char* argv[8];
    for (size_t i = 0; i < 7; ++i) {
        argv[i] = const_cast<char*>(args[i].c_str());
    }
    argv[7] = nullptr;
    const int spawned = posix_spawn(&child->pid, helper.c_str(), &actions, nullptr, argv, environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) {
        child->pid = -1;
        *reason = systemErrorReason("cannot start the PDF renderer " + helper, spawned);
        return false;
    }
    return true;
}

// The rest of an 'F' frame: why the document failed.
PageResult readFailure(int fd, PageSink* sink, std::string* reason)
{
    uint8_t size[4];
    if (!readExactly(fd, size, sizeof size, sink).printed()) {
        return pageFailed(PageError::ShortData);
    }
    std::string why(std::min<uint32_t>(pdf_frame::getLe32(size), 1024), '\0');
    if (!readExactly(fd, reinterpret_cast<uint8_t*>(why.data()), why.size(), sink).printed()) {
        return pageFailed(PageError::ShortData);
    }
    *reason = why;
    return unrendered();
}

// The helper's frames (see PdfProcess.h), each label handed to the sink:
// None when the document is done, Stopped when the sink stops it,
// Unrendered with a reason, ShortData when the frames end early.
PageResult readFrames(int fd, PageWriter* writer, std::string* reason)
{
    const LabelGeometry& g = writer->label;
    const size_t labelBytes = writer->bytesPerRow * g.lengthDots;
    for (;;) {
        uint8_t head[9];
        const PageResult kind = readExactly(fd, head, 1, writer->sink);
        if (!kind.printed()) {
            return kind;  // Stopped: the child is killed on the way out
        }
        if (head[0] == pdf_frame::kDone) {
            return PageResult{};
        }
        if (head[0] == pdf_frame::kFailed) {
            return readFailure(fd, writer->sink, reason);
        }
        if (head[0] != pdf_frame::kPage || !readExactly(fd, head + 1, 8, writer->sink).printed() ||
            pdf_frame::getLe32(head + 1) != g.widthDots || pdf_frame::getLe32(head + 5) != g.lengthDots) {
            *reason = "the PDF renderer sent something else than a label";
            return unrendered();
        }
        const PageResult bits = readExactly(fd, writer->bits.get(), labelBytes, writer->sink);
        if (!bits.printed()) {
            return bits;
        }
        PageBitmap page;
        page.index = writer->pages++;
        page.width = g.widthDots;
        page.length = g.lengthDots;
        page.bytesPerRow = writer->bytesPerRow;
        page.bits = std::span<const uint8_t>(writer->bits.get(), labelBytes);
        if (!writer->sink->takePage(page)) {
            return pageFailed(PageError::Stopped);  // the sink stopped the document
        }
    }
}

// Why a helper that ended without saying so ended: it crashed or was killed.
std::string helperEndReason(int status)
{
    char text[128];
    if (WIFSIGNALED(status)) {
        snprintf(text, sizeof text, "the PDF renderer ended on signal %d (%s)", WTERMSIG(status),
                 strsignal(WTERMSIG(status)));
    } else {
        snprintf(text, sizeof text, "the PDF renderer ended early (status %d)",
                 WIFEXITED(status) ? WEXITSTATUS(status) : -1);
    }
    return text;
}

PageResult runHelper(const DocumentInput& input, PageWriter* writer, std::string* reason)
{
    int out[2];
    if (pipe2(out, O_CLOEXEC) != 0) {
        *reason = systemErrorReason("cannot start the PDF renderer", errno);
        return unrendered();
    }
    UniqueFd readEnd(out[0]);
    UniqueFd writeEnd(out[1]);
    Child child;
    if (!spawnHelper(pdfRendererPath(), input, *writer, writeEnd.get(), &child, reason)) {
        return unrendered();
    }
    writeEnd.reset();
    const PageResult result = readFrames(readEnd.get(), writer, reason);
    if (result.error != PageError::ShortData) {
        return result;
    }
    readEnd.reset();
    *reason = helperEndReason(child.wait());
    return unrendered();
}

}  // namespace

PageResult renderPdfInHelper(const DocumentInput& input, PageWriter* writer, std::string* reason) noexcept
{
    return unlessOutOfMemory("PDF", reason, [&] { return runHelper(input, writer, reason); });
}

}  // namespace tvl
