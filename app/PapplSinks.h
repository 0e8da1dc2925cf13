// SPDX-License-Identifier: Apache-2.0
// The core's two sinks on a PAPPL job, the printer's device and the job
// log, and the job's failure.
#pragma once

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <span>
#include <string_view>

#include <pappl/pappl.h>

#include "app/PapplCompat.h"
#include "app/WriteWatch.h"
#include "output/Band.h"
#include "output/Sink.h"
#include "output/SystemError.h"

namespace tvl {

// Writes go through libpappl's device buffer; the first failure, of a write
// or of the buffer's flush, is kept and reported at every later flush.
// Once watch() is called, the writes to a network printer are watched (see
// WriteWatch.h) until the sink's end, which first hands the printer what
// the device buffer still holds: libpappl would write it unwatched when it
// closes the device.
class DeviceSink final : public PrinterSink {
public:
    DeviceSink(pappl_job_t* job, pappl_device_t* device) : job_(job), device_(device) {}
    ~DeviceSink() override
    {
        if (watching_) {
            flush();
        }
    }
    DeviceSink(const DeviceSink&) = delete;
    DeviceSink& operator=(const DeviceSink&) = delete;

    // Starts the watch of a network printer with the printer's
    // write-timeout; nothing is watched for other devices.
    void watch(int timeoutSeconds)
    {
        const int socket = printerSocketOf(job_, device_);
        if (socket < 0 || watching_) {
            return;
        }
        watching_ = watch_.start(job_, socket, timeoutSeconds);
        if (!watching_) {
            papplLogJob(job_, PAPPL_LOGLEVEL_WARN, "Cannot watch the printer connection: a printer that stops "
                                                   "reading will hold this job");
        }
    }

    void write(std::span<const uint8_t> bytes) override
    {
        if (error_ != 0 || bytes.empty()) {
            return;
        }
        watch_.begin();
        errno = 0;
        const ssize_t written = papplDeviceWrite(device_, bytes.data(), bytes.size());
        const int error = errno;
        watch_.end();
        if (written < 0 || static_cast<size_t>(written) != bytes.size()) {
            error_ = error != 0 ? error : EIO;
            return;
        }
        handed_ += bytes.size();
    }

    bool flush() override
    {
        if (error_ == 0) {
            // papplDeviceFlush reports nothing: a write that failed shows
            // as bytes missing from the device's count of bytes written
            // (which counts from the device's opening, for this job).
            watch_.begin();
            errno = 0;
            papplDeviceFlush(device_);
            const int error = errno;
            watch_.end();
            pappl_devmetrics_t metrics{};
            papplDeviceGetMetrics(device_, &metrics);
            if (metrics.write_bytes < handed_) {
                error_ = error != 0 ? error : EIO;
            }
        }
        if (error_ != 0) {
            errno = error_;
            return false;
        }
        return true;
    }

    int error() const { return error_; }

    // The job's message for the failed write: "printer not responding" when
    // the watch shut the connection down, else the system's reason.
    void describeError(char* text, size_t size) const
    {
        char reason[128];
        if (watch_.cause() == WriteWatch::Cause::NotResponding) {
            snprintf(text, size, "Unable to write to printer: printer not responding (no data taken for %d s)",
                     watch_.timeoutSeconds());
        } else {
            snprintf(text, size, "Unable to write to printer: %s", systemErrorText(error_, reason, sizeof(reason)));
        }
    }

private:
    pappl_job_t* job_;
    pappl_device_t* device_;
    int error_ = 0;
    size_t handed_ = 0;  // bytes papplDeviceWrite took
    bool watching_ = false;
    WriteWatch watch_;   // last, so destroyed first: its thread ends before the rest goes
};

// The job's message for a page that did not print: for a failed write, the
// sink's own reason.
inline void describeJobPageError(const PageResult& result, unsigned page, const DeviceSink& sink, char* text,
                                 size_t size)
{
    if (result.error == PageError::PrinterWrite) {
        sink.describeError(text, size);
    } else {
        describePageError(result, static_cast<int>(page), text, size);
    }
}

// Fails the job: the reason goes to job-state-message and the log; false,
// for the callback to return. A cancelled job keeps its own state and
// reasons.
inline bool fail(pappl_job_t* job, pappl_jreason_t reason, const char* message)
{
    if (papplJobIsCanceled(job)) {
        papplLogJob(job, PAPPL_LOGLEVEL_INFO, "Canceled: %s", message);
        return false;
    }
    papplJobSetMessage(job, "%s", message);
    papplJobSetReasons(job, reason, PAPPL_JREASON_NONE);
    papplLogJob(job, PAPPL_LOGLEVEL_ERROR, "%s", message);
    return false;
}

// Whole lines to the job's log at debug level; no run lines.
class JobLogSink final : public LogSink {
public:
    explicit JobLogSink(pappl_job_t* job) : job_(job) {}

    void write(std::string_view text) override
    {
        while (!text.empty()) {
            const size_t end = text.find('\n');
            const std::string_view piece = text.substr(0, end);
            const size_t room = sizeof(line_) - 1 - used_;
            const size_t take = piece.size() < room ? piece.size() : room;
            memcpy(line_ + used_, piece.data(), take);
            used_ += take;
            if (end == std::string_view::npos) {
                return;
            }
            emit();
            text.remove_prefix(end + 1);
        }
    }

    void flush() override
    {
        if (used_ > 0) {
            emit();
        }
    }

    bool wantsRunLines() const override { return false; }

private:
    void emit()
    {
        line_[used_] = '\0';
        papplLogJob(job_, PAPPL_LOGLEVEL_DEBUG, "%s", line_);
        used_ = 0;
    }

    pappl_job_t* job_;
    char line_[256];
    size_t used_ = 0;
};

}  // namespace tvl
