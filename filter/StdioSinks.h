// SPDX-License-Identifier: Apache-2.0
// The filter's sinks: standard output is the printer (the backend reads
// it), standard error the scheduler's log.
//
// Both are buffered. In compressed mode the log gets one line per run,
// thousands per label, so standard error is fully buffered too, and flushed
// wherever standard output is flushed: after every band and page, before
// the filter waits for its input, and when the job ends. Every line, the
// perror-style ones included, goes through the one stderr stream, so the
// lines keep their order.
#pragma once

#include "output/Sink.h"

namespace tvl {

class StderrLog : public LogSink {
public:
    StderrLog() = default;
    StderrLog(const StderrLog&) = delete;
    StderrLog& operator=(const StderrLog&) = delete;
    // Flushes standard error and, when buffer() made it use this log's
    // buffer, makes it unbuffered again.
    ~StderrLog() override;

    void write(std::string_view text) override;
    void flush() override;
    // Makes standard error fully buffered, in this log's own buffer, for the
    // log's life. Called once the cancel signal is the filter's own: until
    // then a signal ends the process at once, and the lines written so far
    // must already be out. Calling it again changes nothing.
    void buffer();
    // Flushes standard error and, when it is a pipe (the scheduler's status
    // pipe), waits until its reader has taken every byte in it, or has gone
    // away, or `limitMs` milliseconds have passed. cupsd makes a failed
    // job's ERROR: line the job's reason only when it reads the line before
    // it reaps the filter; a filter that exits first leaves the job with
    // "Filter failed". True when nothing is left unread.
    static bool waitUntilTaken(int limitMs);

private:
    bool buffered_ = false;
    char buffer_[16 * 1024];
};

class StdoutPrinter : public PrinterSink {
public:
    explicit StdoutPrinter(StderrLog& log) : log_(log) {}
    void write(std::span<const uint8_t> bytes) override;
    // Flushes standard output, then the log. On a failed write (the backend
    // went away, its device is full) logs the reason perror-style and
    // returns false with errno kept.
    bool flush() override;

private:
    StderrLog& log_;
};

}  // namespace tvl
