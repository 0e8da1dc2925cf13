// Runs the built filter the way the CUPS scheduler does and collects what
// it wrote.
#pragma once

#include <string>
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

// Reads a whole file.
std::string readFile(const std::string& path);

// Bytes written as "0D 0A 50 31" are easier to compare by eye.
std::string hexBytes(const std::string& bytes);
std::string fromHex(const std::string& hex);
