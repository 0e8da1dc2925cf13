// The core's two sinks on a PAPPL job: the printer's device and the job log.
#pragma once

#include <cerrno>
#include <cstring>
#include <span>
#include <string_view>

#include <pappl/pappl.h>

#include "output/Sink.h"

// Writes go through libpappl's device buffer; the first failure, of a write
// or of the buffer's flush, is kept and reported at every later flush.
class DeviceSink final : public PrinterSink {
public:
    explicit DeviceSink(pappl_device_t* device) : device_(device) {}

    void write(std::span<const uint8_t> bytes) override
    {
        if (error_ != 0 || bytes.empty()) {
            return;
        }
        const ssize_t written = papplDeviceWrite(device_, bytes.data(), bytes.size());
        if (written < 0 || static_cast<size_t>(written) != bytes.size()) {
            error_ = errno != 0 ? errno : EIO;
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
            errno = 0;
            papplDeviceFlush(device_);
            pappl_devmetrics_t metrics{};
            papplDeviceGetMetrics(device_, &metrics);
            if (metrics.write_bytes < handed_) {
                error_ = errno != 0 ? errno : EIO;
            }
        }
        if (error_ != 0) {
            errno = error_;
            return false;
        }
        return true;
    }

    int error() const { return error_; }

private:
    pappl_device_t* device_;
    int error_ = 0;
    size_t handed_ = 0;  // bytes papplDeviceWrite took
};

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
