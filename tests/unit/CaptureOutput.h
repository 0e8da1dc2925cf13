// Captures what code under test writes to standard output or standard error
// (through stdio) into a string, by pointing the descriptor at a temporary
// file for the capture's life.
#pragma once

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <unistd.h>
#include <vector>

#include "tests/support/RasterWriter.h"

class CaptureOutput {
public:
    // stream: stdout or stderr.
    explicit CaptureOutput(FILE* stream)
        : stream_(stream), fd_(fileno(stream)), path_(tempPath("capture-" + std::to_string(++counter())))
    {
        fflush(stream_);
        saved_ = dup(fd_);
        FILE* f = fopen(path_.c_str(), "wb");
        if (f != nullptr) {
            dup2(fileno(f), fd_);
            fclose(f);
        }
    }
    CaptureOutput(const CaptureOutput&) = delete;
    CaptureOutput& operator=(const CaptureOutput&) = delete;
    ~CaptureOutput() { restore(); }

    // Stops capturing and returns everything written meanwhile.
    std::string text()
    {
        restore();
        std::ifstream in(path_, std::ios::binary);
        std::ostringstream s;
        s << in.rdbuf();
        return s.str();
    }

    std::vector<std::string> lines()
    {
        std::vector<std::string> out;
        std::istringstream in(text());
        std::string line;
        while (std::getline(in, line)) {
            out.push_back(line);
        }
        return out;
    }

private:
    static int& counter()
    {
        static int n = 0;
        return n;
    }
    void restore()
    {
        if (saved_ >= 0) {
            fflush(stream_);
            dup2(saved_, fd_);
            close(saved_);
            saved_ = -1;
        }
    }

    FILE* stream_;
    int fd_;
    std::string path_;
    int saved_ = -1;
};
