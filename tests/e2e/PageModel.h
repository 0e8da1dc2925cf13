// SPDX-License-Identifier: Apache-2.0
// A plain model of what the filter sends for raster pages, written apart
// from the filter's code: a pixel-by-pixel quarter turn, a byte-by-byte
// run-length coder and the band loop, each as simple as it can be. The
// end-to-end tests compare the binary's output with it.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "tests/support/Expected.h"
#include "tests/support/RasterWriter.h"
#include "tests/support/ReferenceTurn.h"
#include "tests/support/RunFilter.h"

namespace tvl {

namespace model {

struct Page {
    uint32_t width = 0;
    uint32_t height = 0;
    uint32_t bytesPerLine = 0;
    std::vector<uint8_t> pixels;
};

inline Page fromTestPage(const TestPage& p)
{
    return Page{p.width, p.height, p.bytesPerLine != 0 ? p.bytesPerLine : (p.width * p.bitsPerPixel + 7) / 8,
                p.pixels};
}

// Quarter turn, pixel by pixel (tests/support/ReferenceTurn.h).
inline Page turned(const Page& src, int rotation)
{
    return Page{src.height, src.width, (src.height + 7) / 8,
                referenceTurn(src.pixels, src.width, src.height, src.bytesPerLine, rotation)};
}

inline std::string format(const char* fmt, long a, long b = 0, long c = 0)
{
    char buf[256];
    snprintf(buf, sizeof buf, fmt, a, b, c);
    return buf;
}

// Run-length code: 00 and FF bytes as the byte and a count up to 255, other
// bytes as themselves; one log line per run.
inline std::string encode(const uint8_t* data, size_t length, std::vector<std::string>* log)
{
    log->push_back(kLog + "start RLE Compression");
    std::string out;
    size_t i = 0;
    while (i < length) {
        const uint8_t b = data[i];
        if (b != 0x00 && b != 0xFF) {
            out += static_cast<char>(b);
            ++i;
            continue;
        }
        size_t n = 0;
        while (i < length && data[i] == b && n < 255) {
            ++n;
            ++i;
        }
        log->push_back(kLog + format(b == 0 ? "compData = 0x00, compDataLength = %ld"
                                            : "compData = 0xff, compDataLength = %ld",
                                     static_cast<long>(n)));
        out += static_cast<char>(b);
        out += static_cast<char>(n);
    }
    log->push_back(kLog + "RLE Compression complete");
    return out;
}

inline std::string le16(uint32_t v)
{
    return std::string{static_cast<char>(v & 0xFF), static_cast<char>((v >> 8) & 0xFF)};
}

struct Job {
    std::string out;               // after the setup block
    std::vector<std::string> err;  // after the "Not Tavelin Msq API Mode!!!" line
};

// One page as sent: orientation, bands of at most 200 rows, print command.
// `rotation` is the job's code; compressed is CompPrinting == 1.
inline void addPage(Job* job, const Page& source, int rotation, bool compressed, int copies)
{
    job->out += "SOT\r\n";
    if (rotation == 2) {
        job->out += "SOB\r\n";
    }
    const Page page = rotation == 1 || rotation == 3 ? turned(source, rotation) : source;
    const uint32_t bpl = page.bytesPerLine;
    size_t previous = 0;
    for (uint32_t start = 0; start < page.height; start += 200) {
        const uint32_t rows = page.height - start > 200 ? 200 : page.height - start;
        const uint8_t* band = page.pixels.data() + static_cast<size_t>(start) * bpl;
        const size_t bytes = static_cast<size_t>(rows) * bpl;
        if (compressed) {
            job->err.push_back(kLog + format("printPage() comp : hieght = %ld, p_height = %ld, bytesPerLine = %ld",
                                             page.height - start - rows, rows, bpl));
            job->err.push_back(kLog + format("printPage() comp : start_height = %ld", start));
            job->err.push_back(kLog + format("printPage() comp : compDataLen = %ld", static_cast<long>(previous)));
            const std::string coded = encode(band, bytes, &job->err);
            job->out += std::string("LCR\0\0\0", 6) + le16(start) + le16(bpl) + le16(rows) + coded;
            previous = coded.size();
        } else {
            job->out += std::string("LD\0\0", 4) + le16(start) + le16(bpl) + le16(rows);
            job->out += std::string(reinterpret_cast<const char*>(band), bytes);
            job->err.push_back(kLog + format("printPage() : hieght = %ld, bytesPerLine = %ld", rows, bpl));
            job->err.push_back(kLog + format("printPage() : start_height = %ld", start));
            job->err.push_back(format("TAVELIN Label Driver DEBUG MSG: printPage() : i = %ld", static_cast<long>(bytes)));
        }
    }
    job->out += "\r\nP1";
    if (static_cast<uint32_t>(copies) > 1) {
        job->out += format(",%ld", copies);
    }
    job->out += "\r\n";
}

inline std::string optionsFor(int rotation, int compPrinting, int copies)
{
    return "Rotation=" + std::to_string(rotation) + " CompPrinting=" + std::to_string(compPrinting) +
           " NumOfCopies=" + std::to_string(copies);
}

// Runs the filter with model27.ppd on the pages.
inline FilterRun print(const std::vector<TestPage>& pages, const std::string& options, bool compressedStream = false)
{
    static int counter = 0;
    FilterCall call;
    call.ppd = testPpd("model27.ppd");
    call.options = options;
    call.stdinPath = rasterFile("model-job-" + std::to_string(++counter) + ".ras", pages, compressedStream);
    return runFilter(call);
}

// Standard error after the "Not Tavelin Msq API Mode!!!" line: what the
// pages logged and the job's last line.
inline std::vector<std::string> pageLines(const FilterRun& run)
{
    const std::vector<std::string> all = run.errLines();
    for (size_t i = 0; i < all.size(); ++i) {
        if (all[i] == kLog + "Not Tavelin Msq API Mode!!!") {
            return std::vector<std::string>(all.begin() + static_cast<long>(i) + 1, all.end());
        }
    }
    return {"(no API mode line)"};
}

// Compares printer streams; on a difference shows where, in hex.
inline ::testing::AssertionResult sameBytes(const std::string& actual, const std::string& expected)
{
    if (actual == expected) {
        return ::testing::AssertionSuccess();
    }
    size_t at = 0;
    while (at < actual.size() && at < expected.size() && actual[at] == expected[at]) {
        ++at;
    }
    const size_t from = at > 16 ? at - 16 : 0;
    return ::testing::AssertionFailure()
           << "lengths " << actual.size() << " and " << expected.size() << ", first difference at byte " << at
           << "\n  actual:   ... " << hexBytes(actual.substr(from, 48)) << "\n  expected: ... "
           << hexBytes(expected.substr(from, 48));
}

// Checks a whole job of model27.ppd against the model: setup block, pages,
// then the ready line and status 0.
inline void expectJob(const FilterRun& run, const Job& job, const std::string& name)
{
    EXPECT_EQ(run.status, 0) << name << "\n" << run.err.substr(run.err.size() > 600 ? run.err.size() - 600 : 0);
    ASSERT_EQ(run.out.substr(0, kSetup27.size()), kSetup27) << name;
    EXPECT_TRUE(sameBytes(run.out.substr(kSetup27.size()), job.out)) << name;
    std::vector<std::string> err = job.err;
    err.push_back(kLog + "INFO: Ready to print.");
    const std::vector<std::string> got = pageLines(run);
    if (got != err) {
        size_t at = 0;
        while (at < got.size() && at < err.size() && got[at] == err[at]) {
            ++at;
        }
        ADD_FAILURE() << name << ": standard error differs at page line " << at << " of " << err.size()
                      << "\n  actual:   " << (at < got.size() ? got[at] : "(none)")
                      << "\n  expected: " << (at < err.size() ? err[at] : "(none)");
    }
}

}  // namespace model

}  // namespace tvl
