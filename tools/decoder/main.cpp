// SPDX-License-Identifier: Apache-2.0
// tvl-inspect: shows what a printer command stream tells the printer, one
// line per command, renders its printed pages to PNG files, and compares
// them with the pages of a CUPS raster file.
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "tools/decoder/PngWriter.h"
#include "tools/decoder/RasterPages.h"
#include "tools/decoder/StreamDecoder.h"

namespace tvl {

namespace {

constexpr int kOk = 0;
constexpr int kFailed = 1;  // malformed stream, mismatch, or a file that cannot be read or written
constexpr int kUsage = 2;

void usage(FILE* to)
{
    std::fputs("usage: tvl-inspect [-q] [--png PREFIX] [--expect-raster RASTERFILE [--turn 0|1|3]] STREAM\n"
               "  STREAM                  printer command stream (the filter's output); - reads stdin\n"
               "  -q, --quiet             no command listing, only the summary and results\n"
               "  --png PREFIX            write each printed page to PREFIX-001.png, PREFIX-002.png, ...\n"
               "  --expect-raster FILE    exit 0 when the printed pages equal the raster file's pages\n"
               "  --turn 0|1|3            turn the raster pages first: 1 clockwise, 3 counter-clockwise\n"
               "exit status: 0 ok, 1 malformed stream or mismatch, 2 usage\n",
               to);
}

struct Options {
    const char* stream = nullptr;
    const char* pngPrefix = nullptr;
    const char* raster = nullptr;
    int turn = 0;
    bool turnGiven = false;
    bool quiet = false;
};

// 0 parsed, 1 help shown, 2 usage error (reported).
int parseOptions(int argc, char* argv[], Options* options)
{
    for (int i = 1; i < argc; ++i) {
        const char* arg = argv[i];
        auto value = [&](const char* name) -> const char* {
            if (i + 1 >= argc) {
                std::fprintf(stderr, "tvl-inspect: %s needs a value\n", name);
                return nullptr;
            }
            return argv[++i];
        };
        if (std::strcmp(arg, "-h") == 0 || std::strcmp(arg, "--help") == 0) {
            usage(stdout);
            return 1;
        } else if (std::strcmp(arg, "-q") == 0 || std::strcmp(arg, "--quiet") == 0) {
            options->quiet = true;
        } else if (std::strcmp(arg, "--png") == 0) {
            if ((options->pngPrefix = value(arg)) == nullptr) {
                return 2;
            }
        } else if (std::strcmp(arg, "--expect-raster") == 0) {
            if ((options->raster = value(arg)) == nullptr) {
                return 2;
            }
        } else if (std::strcmp(arg, "--turn") == 0) {
            const char* turn = value(arg);
            if (turn == nullptr) {
                return 2;
            }
            if (std::strcmp(turn, "0") != 0 && std::strcmp(turn, "1") != 0 && std::strcmp(turn, "3") != 0) {
                std::fprintf(stderr, "tvl-inspect: --turn takes 0, 1 or 3, not %s\n", turn);
                return 2;
            }
            options->turn = turn[0] - '0';
            options->turnGiven = true;
        } else if (arg[0] == '-' && arg[1] != '\0') {
            std::fprintf(stderr, "tvl-inspect: unknown option %s\n", arg);
            return 2;
        } else if (options->stream != nullptr) {
            std::fprintf(stderr, "tvl-inspect: one stream at a time\n");
            return 2;
        } else {
            options->stream = arg;
        }
    }
    if (options->stream == nullptr) {
        std::fprintf(stderr, "tvl-inspect: no stream named\n");
        return 2;
    }
    if (options->turnGiven && options->raster == nullptr) {
        std::fprintf(stderr, "tvl-inspect: --turn goes with --expect-raster\n");
        return 2;
    }
    return 0;
}

struct FileCloser {
    void operator()(FILE* file) const
    {
        if (file != stdin) {
            std::fclose(file);
        }
    }
};

// Reads the whole stream; false (reported) when it cannot.
bool readStream(const char* path, std::vector<uint8_t>* bytes)
{
    const bool fromStdin = std::strcmp(path, "-") == 0;
    std::unique_ptr<FILE, FileCloser> file(fromStdin ? stdin : std::fopen(path, "rb"));
    if (!file) {
        std::fprintf(stderr, "tvl-inspect: %s: %s\n", path, std::strerror(errno));
        return false;
    }
    uint8_t chunk[65536];
    for (;;) {
        const size_t n = std::fread(chunk, 1, sizeof chunk, file.get());
        bytes->insert(bytes->end(), chunk, chunk + n);
        if (n < sizeof chunk) {
            break;
        }
    }
    if (std::ferror(file.get())) {
        std::fprintf(stderr, "tvl-inspect: %s: read error\n", path);
        return false;
    }
    return true;
}

int runInspector(const Options& options)
{
    std::vector<uint8_t> bytes;
    if (!readStream(options.stream, &bytes)) {
        return kFailed;
    }
    const inspect::DecodedStream decoded = inspect::decodeStream(bytes);
    if (!options.quiet) {
        for (const inspect::Item& item : decoded.items) {
            std::printf("%s\n", inspect::describeItem(item, bytes).c_str());
        }
    }
    for (const std::string& line : inspect::describeSummary(decoded)) {
        std::printf("%s\n", line.c_str());
    }
    std::fflush(stdout);
    if (!decoded.ok) {
        std::fprintf(stderr, "tvl-inspect: %s: malformed stream at %s\n", options.stream,
                     inspect::describeError(decoded).c_str());
        return kFailed;
    }

    int status = kOk;
    if (options.pngPrefix != nullptr) {
        for (size_t i = 0; i < decoded.pages.size(); ++i) {
            char number[32];
            std::snprintf(number, sizeof number, "-%03zu.png", i + 1);
            const std::string path = std::string(options.pngPrefix) + number;
            std::string error;
            if (inspect::writePagePng(decoded.pages[i], path, &error)) {
                std::printf("PNG %s\n", path.c_str());
            } else {
                std::fprintf(stderr, "tvl-inspect: %s\n", error.c_str());
                status = kFailed;
            }
        }
    }

    if (options.raster != nullptr) {
        std::vector<inspect::RasterPage> pages;
        std::string error;
        if (!inspect::readRasterFile(options.raster, &pages, &error)) {
            std::fprintf(stderr, "tvl-inspect: %s\n", error.c_str());
            return kFailed;
        }
        std::vector<inspect::RasterPage> turned(pages.size());
        for (size_t i = 0; i < pages.size(); ++i) {
            if (!inspect::turnPage(pages[i], options.turn, &turned[i], &error)) {
                std::fprintf(stderr, "tvl-inspect: %s page %zu: %s\n", options.raster, i + 1, error.c_str());
                return kFailed;
            }
        }
        std::string message;
        if (!inspect::comparePages(decoded, turned, &message)) {
            std::fprintf(stderr, "tvl-inspect: MISMATCH with %s (turn %d): %s\n", options.raster, options.turn,
                         message.c_str());
            return kFailed;
        }
        std::printf("MATCH %zu page(s) equal %s (turn %d)\n", turned.size(), options.raster, options.turn);
    }
    return status;
}

}  // namespace

}  // namespace tvl

int main(int argc, char* argv[])
{
    using namespace tvl;
    try {
        Options options;
        const int parsed = parseOptions(argc, argv, &options);
        if (parsed == 1) {
            return kOk;
        }
        if (parsed == 2) {
            usage(stderr);
            return kUsage;
        }
        return runInspector(options);
    } catch (const std::bad_alloc&) {
        std::fprintf(stderr, "tvl-inspect: out of memory\n");
        return kFailed;
    }
}
