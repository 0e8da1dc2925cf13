// SPDX-License-Identifier: Apache-2.0
// tvl-bench-run CASES RUNS KEEPDIR: times filter runs side by side.
//
// CASES is a file of one case per line, fields separated by tabs:
//   name  pages  input  ppd|-  stderr  program  [arguments...]
// where stderr is "null" (/dev/null) or "pipe" (a pipe that this program
// drains while the case runs, as the CUPS scheduler reads a filter's log).
// Standard output of a timed run goes to /dev/null. Lines starting with '#'
// and empty lines are skipped. A case whose name begins with "floor" is the
// floor for the cases after it: their ratios are taken to it.
//
// Every case first runs once with its standard output and standard error
// kept in KEEPDIR/<name>.out and .err (their sizes give the bytes per page,
// and the files can be compared between builds); then RUNS rounds run every
// case once each, in file order, and the table shows the medians. CPU time
// (user + system) and peak resident memory come from wait4's resource usage
// of the child, wall time from the monotonic clock around it.
#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>
#include <vector>

#include "settings/ParseNumber.h"

namespace tvl {

namespace {

struct Case {
    std::string name;
    unsigned pages = 0;
    std::string input;
    std::string ppd;
    bool stderrPipe = false;
    std::vector<std::string> argv;
    int floorIndex = -1;

    std::vector<double> cpu;
    std::vector<double> wall;
    std::vector<long> maxrssKiB;
    long long outBytes = 0;
    long long errBytes = 0;
    int status = 0;
};

struct Result {
    double cpu = 0;
    double wall = 0;
    long maxrssKiB = 0;
    long long pipeBytes = 0;
    int status = 0;
};

std::vector<std::string> split(const std::string& line, char sep)
{
    std::vector<std::string> fields;
    size_t start = 0;
    for (;;) {
        const size_t end = line.find(sep, start);
        fields.push_back(line.substr(start, end == std::string::npos ? std::string::npos : end - start));
        if (end == std::string::npos) {
            return fields;
        }
        start = end + 1;
    }
}

double seconds(const timeval& tv)
{
    return static_cast<double>(tv.tv_sec) + static_cast<double>(tv.tv_usec) / 1e6;
}

double now()
{
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) / 1e9;
}

// Runs one case. stdout and stderr go to the named files when given, else
// stdout to /dev/null and stderr to /dev/null or a drained pipe.
bool runOnce(const Case& c, const char* outPath, const char* errPath, Result* result)
{
    int pipeFds[2] = {-1, -1};
    const bool usePipe = errPath == nullptr && c.stderrPipe;
    if (usePipe && pipe(pipeFds) != 0) {
        perror("pipe");
        return false;
    }
    std::vector<char*> argv;
    for (const std::string& a : c.argv) {
        argv.push_back(const_cast<char*>(a.c_str()));
    }
    argv.push_back(nullptr);

    const double start = now();
    const pid_t pid = fork();
    if (pid < 0) {
        perror("fork");
        return false;
    }
    if (pid == 0) {
        const int in = open(c.input.c_str(), O_RDONLY);
        const int out = open(outPath != nullptr ? outPath : "/dev/null", O_WRONLY | O_CREAT | O_TRUNC, 0644);
        int err = -1;
        if (usePipe) {
            err = pipeFds[1];
            close(pipeFds[0]);
        } else {
            err = open(errPath != nullptr ? errPath : "/dev/null", O_WRONLY | O_CREAT | O_TRUNC, 0644);
        }
        if (in < 0 || out < 0 || err < 0 || dup2(in, 0) < 0 || dup2(out, 1) < 0 || dup2(err, 2) < 0) {
            _exit(126);
        }
        if (c.ppd != "-") {
            setenv("PPD", c.ppd.c_str(), 1);
        }
        execv(argv[0], argv.data());
        _exit(127);
    }

    long long drained = 0;
    if (usePipe) {
        close(pipeFds[1]);
        static char buffer[65536];
        for (;;) {
            const ssize_t n = read(pipeFds[0], buffer, sizeof buffer);
            if (n > 0) {
                drained += n;
            } else if (n == 0 || errno != EINTR) {
                break;
            }
        }
        close(pipeFds[0]);
    }
    int status = 0;
    rusage usage{};
    while (wait4(pid, &status, 0, &usage) < 0) {
        if (errno != EINTR) {
            perror("wait4");
            return false;
        }
    }
    result->wall = now() - start;
    result->cpu = seconds(usage.ru_utime) + seconds(usage.ru_stime);
    result->maxrssKiB = usage.ru_maxrss;
    result->pipeBytes = drained;
    result->status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return true;
}

template <typename T>
T median(std::vector<T> values)
{
    std::sort(values.begin(), values.end());
    const size_t n = values.size();
    if (n == 0) {
        return T{};
    }
    return n % 2 == 1 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

long long fileSize(const std::string& path)
{
    struct stat st {};
    return stat(path.c_str(), &st) == 0 ? static_cast<long long>(st.st_size) : -1;
}

}  // namespace

}  // namespace tvl

int main(int argc, char* argv[])
{
    using namespace tvl;
    if (argc != 4) {
        fprintf(stderr, "usage: %s CASES RUNS KEEPDIR\n", argv[0]);
        return 2;
    }
    FILE* file = fopen(argv[1], "r");
    if (file == nullptr) {
        perror(argv[1]);
        return 2;
    }
    int32_t runs = 0;
    if (!parseInt32(argv[2], 1, INT32_MAX, &runs)) {
        fprintf(stderr, "RUNS must be a whole number of 1 or more\n");
        return 2;
    }
    const std::string keep = argv[3];

    std::vector<Case> cases;
    int floorIndex = -1;
    char line[4096];
    while (fgets(line, sizeof line, file) != nullptr) {
        std::string text(line);
        while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) {
            text.pop_back();
        }
        if (text.empty() || text[0] == '#') {
            continue;
        }
        const std::vector<std::string> f = split(text, '\t');
        int32_t pages = 0;
        if (f.size() < 6 || !parseInt32(f[1].c_str(), 1, INT32_MAX, &pages)) {
            fprintf(stderr, "bad case line: %s\n", text.c_str());
            return 2;
        }
        Case c;
        c.name = f[0];
        c.pages = static_cast<unsigned>(pages);
        c.input = f[2];
        c.ppd = f[3];
        c.stderrPipe = f[4] == "pipe";
        c.argv.assign(f.begin() + 5, f.end());
        if (c.name.rfind("floor", 0) == 0) {
            floorIndex = static_cast<int>(cases.size());
        }
        c.floorIndex = floorIndex;
        cases.push_back(c);
    }
    fclose(file);

    int failures = 0;
    for (Case& c : cases) {
        const std::string out = keep + "/" + c.name + ".out";
        const std::string err = keep + "/" + c.name + ".err";
        Result r;
        if (!runOnce(c, out.c_str(), err.c_str(), &r)) {
            return 1;
        }
        c.status = r.status;
        c.outBytes = fileSize(out);
        c.errBytes = fileSize(err);
        if (r.status != 0) {
            fprintf(stderr, "%s: exit status %d (see %s)\n", c.name.c_str(), r.status, err.c_str());
            ++failures;
        }
    }
    for (int round = 0; round < runs; ++round) {
        for (Case& c : cases) {
            Result r;
            if (!runOnce(c, nullptr, nullptr, &r)) {
                return 1;
            }
            c.cpu.push_back(r.cpu);
            c.wall.push_back(r.wall);
            c.maxrssKiB.push_back(r.maxrssKiB);
            if (c.stderrPipe && r.pipeBytes != c.errBytes) {
                fprintf(stderr, "%s: %lld bytes through the pipe, %lld in the kept run\n", c.name.c_str(),
                        r.pipeBytes, c.errBytes);
            }
        }
        fprintf(stderr, "round %d of %d done\n", round + 1, runs);
    }

    printf("| case | stderr | CPU s | wall s | pages/s | peak MiB | out B/page | diag B/page | CPU / floor | "
           "wall / floor |\n");
    printf("|---|---|---:|---:|---:|---:|---:|---:|---:|---:|\n");
    for (const Case& c : cases) {
        const double cpu = median(c.cpu);
        const double wall = median(c.wall);
        const double pages = c.pages;
        char ratioCpu[32] = "-";
        char ratioWall[32] = "-";
        if (c.floorIndex >= 0) {
            const Case& f = cases[static_cast<size_t>(c.floorIndex)];
            snprintf(ratioCpu, sizeof ratioCpu, "%.2f", cpu / median(f.cpu));
            snprintf(ratioWall, sizeof ratioWall, "%.2f", wall / median(f.wall));
        }
        printf("| %s | %s | %.3f | %.3f | %.0f | %.1f | %.0f | %.0f | %s | %s |\n", c.name.c_str(),
               c.stderrPipe ? "pipe" : "null", cpu, wall, pages / wall,
               static_cast<double>(median(c.maxrssKiB)) / 1024.0, static_cast<double>(c.outBytes) / pages,
               static_cast<double>(c.errBytes) / pages, ratioCpu, ratioWall);
    }
    return failures == 0 ? 0 : 1;
}
