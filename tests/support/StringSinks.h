// SPDX-License-Identifier: Apache-2.0
// Sinks that keep what the core writes in strings, so that a test can put
// the printer's bytes and the log's lines side by side with what it expects.
#pragma once

#include <cerrno>
#include <string>

#include "output/Sink.h"
#include "tests/support/RunFilter.h"  // linesOf

namespace tvl {

class StringPrinter : public PrinterSink {
public:
    std::string bytes;
    int flushes = 0;
    int failWith = 0;  // errno the next flushes fail with; 0: they succeed

    void write(std::span<const uint8_t> data) override { bytes.append(reinterpret_cast<const char*>(data.data()), data.size()); }
    bool flush() override
    {
        ++flushes;
        if (failWith != 0) {
            errno = failWith;
            return false;
        }
        return true;
    }
};

class StringLog : public LogSink {
public:
    std::string text;
    bool runLines = true;

    void write(std::string_view line) override { text.append(line); }
    bool wantsRunLines() const override { return runLines; }
};

// An Output over two string sinks at `dot` dots per millimetre.
struct StringOutput {
    StringPrinter printer;
    StringLog log;
    Output out;
    explicit StringOutput(float dot = 8.0f) : out{printer, log, dot} {}
    StringOutput(const StringOutput&) = delete;
    StringOutput& operator=(const StringOutput&) = delete;
};

}  // namespace tvl
