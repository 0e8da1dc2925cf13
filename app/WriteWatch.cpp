// SPDX-License-Identifier: Apache-2.0
#include "app/WriteWatch.h"

#include <cerrno>
#include <ctime>

#include <linux/sockios.h>
#include <sys/ioctl.h>
#include <sys/socket.h>

namespace tvl {

namespace {

constexpr long kTickMs = 250;  // a cancelled job's blocked write ends within this

timespec monotonicAfter(long ms)
{
    timespec at{};
    clock_gettime(CLOCK_MONOTONIC, &at);
    at.tv_sec += ms / 1000;
    at.tv_nsec += (ms % 1000) * 1000000L;
    if (at.tv_nsec >= 1000000000L) {
        at.tv_sec += 1;
        at.tv_nsec -= 1000000000L;
    }
    return at;
}

// Bytes in the socket's send queue that the printer has not acknowledged:
// it changes while the printer takes data. -1 when it cannot be read.
int unsentBytes(int socket)
{
    int bytes = 0;
    return ioctl(socket, SIOCOUTQ, &bytes) == 0 ? bytes : -1;
}

}  // namespace

bool WriteWatch::start(pappl_job_t* job, int socket, int timeoutSeconds)
{
    if (running_ || socket < 0) {
        return true;  // watched already, or nothing to watch
    }
    job_ = job;
    socket_ = socket;
    timeoutSeconds_ = timeoutSeconds;
    stopping_ = false;
    pthread_condattr_t attr;
    if (pthread_condattr_init(&attr) != 0) {
        return false;
    }
    pthread_condattr_setclock(&attr, CLOCK_MONOTONIC);
    const bool made = pthread_cond_init(&wake_, &attr) == 0;
    pthread_condattr_destroy(&attr);
    if (!made) {
        return false;
    }
    if (pthread_create(&thread_, nullptr, run, this) != 0) {
        pthread_cond_destroy(&wake_);
        return false;
    }
    running_ = true;
    return true;
}

void WriteWatch::stop()
{
    if (!running_) {
        return;
    }
    pthread_mutex_lock(&mutex_);
    stopping_ = true;
    pthread_cond_signal(&wake_);
    pthread_mutex_unlock(&mutex_);
    pthread_join(thread_, nullptr);
    pthread_cond_destroy(&wake_);
    running_ = false;
}

void* WriteWatch::run(void* watch)
{
    static_cast<WriteWatch*>(watch)->watchWrites();
    return nullptr;
}

// Waits one tick; true when the watch is to end.
bool WriteWatch::stopRequested()
{
    const timespec until = monotonicAfter(kTickMs);
    pthread_mutex_lock(&mutex_);
    int waited = 0;
    while (!stopping_ && waited != ETIMEDOUT) {
        waited = pthread_cond_timedwait(&wake_, &mutex_, &until);
    }
    const bool stopping = stopping_;
    pthread_mutex_unlock(&mutex_);
    return stopping;
}

void WriteWatch::watchWrites()
{
    const long limitMs = static_cast<long>(timeoutSeconds_) * 1000;
    uint64_t lastSequence = sequence_.load(std::memory_order_acquire);
    int lastUnsent = unsentBytes(socket_);
    long stalledMs = 0;
    while (!stopRequested()) {
        const uint64_t sequence = sequence_.load(std::memory_order_acquire);
        const int unsent = unsentBytes(socket_);
        const bool writing = (sequence & 1) != 0;
        // The same write still waits and the printer took nothing since
        // the last tick.
        const bool stalled = writing && sequence == lastSequence && unsent == lastUnsent;
        stalledMs = stalled ? stalledMs + kTickMs : 0;
        lastSequence = sequence;
        lastUnsent = unsent;
        Cause cause = Cause::None;
        if (writing && papplJobIsCanceled(job_)) {
            cause = Cause::Canceled;
        } else if (stalledMs >= limitMs) {
            cause = Cause::NotResponding;
        }
        if (cause != Cause::None) {
            cause_.store(cause, std::memory_order_release);
            papplLogJob(job_, PAPPL_LOGLEVEL_DEBUG, "Closing the printer connection: %s",
                        cause == Cause::Canceled ? "the job was canceled while a write waited"
                                                 : "the printer took no data");
            shutdown(socket_, SHUT_RDWR);
            return;  // every later write fails at once
        }
    }
}

}  // namespace tvl
