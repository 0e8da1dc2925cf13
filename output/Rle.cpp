// SPDX-License-Identifier: Apache-2.0
#include "output/Rle.h"

#include <cstdio>
#include <cstring>

#include "output/Sink.h"

namespace tvl {

namespace {

// Length of the run of `value` that starts at `in` (whose first byte is
// `value`), at most 255 and never past `end`. Compares eight bytes at a time.
inline size_t runLength(const uint8_t* in, const uint8_t* end, uint8_t value)
{
    const uint8_t* limit = end - in > 255 ? in + 255 : end;
    const uint64_t pattern = value == 0 ? 0 : ~static_cast<uint64_t>(0);
    const uint8_t* p = in + 1;
    while (limit - p >= 8) {
        uint64_t word;
        std::memcpy(&word, p, sizeof word);
        const uint64_t differ = word ^ pattern;
        if (differ != 0) {
            // The first differing byte in memory order.
            if constexpr (__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__) {
                return static_cast<size_t>(p - in) + static_cast<size_t>(__builtin_ctzll(differ) / 8);
            } else {
                return static_cast<size_t>(p - in) + static_cast<size_t>(__builtin_clzll(differ) / 8);
            }
        }
        p += 8;
    }
    while (p < limit && *p == value) {
        ++p;
    }
    return static_cast<size_t>(p - in);
}

// The coder, with `onRun(value, count)` called once per run before the run
// is written.
template <typename OnRun>
inline size_t encodeRuns(const uint8_t* input, size_t length, uint8_t* output, OnRun&& onRun)
{
    const uint8_t* in = input;
    const uint8_t* const end = input + length;
    uint8_t* out = output;
    while (in < end) {
        const uint8_t b = *in;
        if (b == 0x00 || b == 0xFF) {
            const size_t count = runLength(in, end, b);
            onRun(b, static_cast<unsigned>(count));
            out[0] = b;
            out[1] = static_cast<uint8_t>(count);
            out += 2;
            in += count;
        } else {
            *out++ = b;
            ++in;
        }
    }
    return static_cast<size_t>(out - output);
}

// The diagnostic line of every possible run, the driver's prefix and
// "compData = 0x%02x, compDataLength = %d\n" for the values 0x00 and 0xff
// and the counts 1 to 255, formatted once. A band logs one line per run,
// thousands per label, so the lines are copied from here instead of being
// formatted by printf each time.
struct RunLines {
    static constexpr size_t kMaxLine = 80;
    char text[2][256][kMaxLine];
    uint8_t length[2][256];

    RunLines()
    {
        for (unsigned v = 0; v < 2; ++v) {
            for (unsigned count = 0; count < 256; ++count) {
                char* line = text[v][count];
                std::memcpy(line, kDriverLogPrefix.data(), kDriverLogPrefix.size());
                const int n = snprintf(line + kDriverLogPrefix.size(), kMaxLine - kDriverLogPrefix.size(),
                                       "compData = 0x%02x, compDataLength = %d\n", v == 0 ? 0x00u : 0xFFu,
                                       static_cast<int>(count));
                length[v][count] = static_cast<uint8_t>(kDriverLogPrefix.size() + static_cast<size_t>(n));
            }
        }
    }
};

const RunLines& runLines()
{
    static const RunLines lines;
    return lines;
}

// Collects run lines and hands them to the job's log in large pieces, in
// the order they were made.
class RunLog {
public:
    RunLog(const RunLines& lines, LogSink& log) : lines_(lines), log_(log) {}
    RunLog(const RunLog&) = delete;
    RunLog& operator=(const RunLog&) = delete;
    ~RunLog() { flush(); }

    void add(uint8_t value, unsigned count)
    {
        if (used_ > sizeof buffer_ - RunLines::kMaxLine) {
            flush();
        }
        const unsigned v = value == 0 ? 0 : 1;
        // Whole fixed-size copy: cheaper than a copy of the exact length.
        std::memcpy(buffer_ + used_, lines_.text[v][count], RunLines::kMaxLine);
        used_ += lines_.length[v][count];
    }

    void flush()
    {
        log_.write(std::string_view(buffer_, used_));
        used_ = 0;
    }

private:
    const RunLines& lines_;
    LogSink& log_;
    size_t used_ = 0;
    char buffer_[64 * 1024];
};

}  // namespace

size_t rleEncode(std::span<const uint8_t> input, std::span<uint8_t> output, RleRunObserver observer,
                 void* context)
{
    if (observer == nullptr) {
        return encodeRuns(input.data(), input.size(), output.data(), [](uint8_t, unsigned) {});
    }
    return encodeRuns(input.data(), input.size(), output.data(),
                      [observer, context](uint8_t value, unsigned count) { observer(context, value, count); });
}

size_t RLECompression(Output& out, const uint8_t* input, uint8_t* output, uint32_t rows, uint32_t bytesPerLine)
{
    static constexpr auto kStart = driverText("start RLE Compression\n");
    static constexpr auto kComplete = driverText("RLE Compression complete\n");
    out.log.write(kStart.data());
    const size_t length = static_cast<size_t>(rows) * bytesPerLine;
    size_t written = 0;
    if (out.log.wantsRunLines()) {
        RunLog log(runLines(), out.log);
        written = encodeRuns(input, length, output, [&log](uint8_t value, unsigned count) { log.add(value, count); });
    } else {
        written = encodeRuns(input, length, output, [](uint8_t, unsigned) {});
    }
    out.log.write(kComplete.data());
    return written;
}

}  // namespace tvl
