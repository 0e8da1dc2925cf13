#include "tests/support/RunFilter.h"

#include <cstdio>
#include <fcntl.h>
#include <fstream>
#include <sstream>
#include <sys/wait.h>
#include <unistd.h>

#include "tests/support/RasterWriter.h"

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
