// SPDX-License-Identifier: Apache-2.0
// An owned file descriptor, and an owned stdio stream, closed on every path
// out.
#pragma once

#include <cstdio>
#include <memory>

#include <unistd.h>

namespace tvl {

class UniqueFd {
public:
    UniqueFd() = default;
    explicit UniqueFd(int fd) : fd_(fd) {}
    UniqueFd(const UniqueFd&) = delete;
    UniqueFd& operator=(const UniqueFd&) = delete;
    ~UniqueFd() { reset(); }

    int get() const { return fd_; }
    bool valid() const { return fd_ >= 0; }
    // Closes the descriptor held, if any, and takes `fd`.
    void reset(int fd = -1)
    {
        if (fd_ >= 0) {
            close(fd_);
        }
        fd_ = fd;
    }

private:
    int fd_ = -1;
};

struct FileCloser {
    void operator()(FILE* file) const { fclose(file); }
};

// An owned stdio stream. Where a write's failure matters, closeFile() says
// whether the stream's last bytes reached the file.
using UniqueFile = std::unique_ptr<FILE, FileCloser>;

inline bool closeFile(UniqueFile& file)
{
    return fclose(file.release()) == 0;
}

}  // namespace tvl
