// SPDX-License-Identifier: Apache-2.0
// The driver's diagnostics: the sink its lines go to and the prefixes they
// begin with.
//
// Nothing in settings/ or output/ names standard error: each writes to the
// LogSink it is handed. The CUPS filter hands a sink on standard error (the
// scheduler's log), the printer application one on the job's log, the tests
// one that keeps the lines in a string.
#pragma once

#include <array>
#include <cstdarg>
#include <cstddef>
#include <span>
#include <string_view>

namespace tvl {

// Diagnostic text: whole lines, each ending in "\n".
class LogSink {
public:
    virtual ~LogSink() = default;
    virtual void write(std::string_view text) = 0;
    // Hands buffered lines on (to the scheduler's log, say).
    virtual void flush() {}
    // Whether the run-length coder logs every run (one line per run,
    // thousands per label). The filter's log does; the application's not.
    virtual bool wantsRunLines() const { return true; }
};

// The driver's log lines are part of its interface, not decoration: the
// scheduler copies them into its error log, administrators' scripts search
// that log for them, and the end-to-end tests pin them. So they are kept
// letter for letter as the driver has always written them, odd spellings
// included ("modelNumer", "hieght", "Msq", the blanks and tabs of the
// settings lines), and so are these two prefixes. The one band line that
// lacks the blank before the colon ("...DEBUG MSG: printPage() : i = %d")
// is written out whole for that reason.
//
// The prefix of nearly every line.
inline constexpr std::string_view kDriverLogPrefix = "TAVELIN Label Driver DEBUG MSG : ";
// The prefix of the custom-parameter look-ups' lines.
inline constexpr std::string_view kCustomParamLogPrefix = "TAVELIN DEBUG MSG : ";

// kDriverLogPrefix followed by `text`, built at compile time: for the lines
// written as a whole (a fixed line, a perror-style text). The array ends in
// the text's NUL.
template <size_t N>
consteval std::array<char, kDriverLogPrefix.size() + N> driverText(const char (&text)[N])
{
    std::array<char, kDriverLogPrefix.size() + N> line{};
    for (size_t i = 0; i < kDriverLogPrefix.size(); ++i) {
        line[i] = kDriverLogPrefix[i];
    }
    for (size_t i = 0; i < N; ++i) {
        line[kDriverLogPrefix.size() + i] = text[i];
    }
    return line;
}

// The one formatting of the driver's lines and commands: `format`, printf-
// style, into `line` after its first `start` bytes (which stay as they are),
// cut to one byte less than the buffer: 255 bytes in the 256-byte lines the
// driver formats into. The line, `start` bytes included; empty when the
// format fails.
inline constexpr size_t kLineBytes = 256;
std::string_view formatLine(std::span<char> line, size_t start, const char* format, va_list args)
    __attribute__((format(printf, 3, 0)));

// One line, printf-style, behind its prefix, handed to `log` in one write.
// A line longer than 255 bytes is cut there; none of the driver's is.
void driverLog(LogSink& log, const char* format, ...) __attribute__((format(printf, 2, 3)));
void customParamLog(LogSink& log, const char* format, ...) __attribute__((format(printf, 2, 3)));

}  // namespace tvl
