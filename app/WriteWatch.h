// SPDX-License-Identifier: Apache-2.0
// A watch over one job's writes to a network printer. libpappl writes to
// the printer's socket with a blocking write() and no timeout: a printer
// that stops reading would hold the job and the printer for ever, and
// Cancel-Job could not end it. The watch's thread shuts the connection
// down when a write has taken no byte for the printer's write-timeout, or
// when the job is cancelled while a write waits; the blocked write then
// returns with an error and the job ends.
#pragma once

#include <atomic>
#include <cstdint>

#include <pthread.h>

#include <pappl/pappl.h>

namespace tvl {

class WriteWatch {
public:
    enum class Cause { None, NotResponding, Canceled };

    WriteWatch() = default;
    ~WriteWatch()
    {
        stop();
        pthread_mutex_destroy(&mutex_);
    }
    WriteWatch(const WriteWatch&) = delete;
    WriteWatch& operator=(const WriteWatch&) = delete;

    // Watches `socket` (nothing is watched for -1) until stop() or the
    // watch's end. false when the thread could not be started: the writes
    // then go unwatched.
    bool start(pappl_job_t* job, int socket, int timeoutSeconds);
    void stop();

    // Marks one write to the printer: begin before it, end after it.
    void begin() { sequence_.fetch_add(1, std::memory_order_release); }
    void end() { sequence_.fetch_add(1, std::memory_order_release); }

    // Why the connection was shut down, if it was.
    Cause cause() const { return cause_.load(std::memory_order_acquire); }
    int timeoutSeconds() const { return timeoutSeconds_; }

private:
    static void* run(void* watch);
    void watchWrites();
    bool stopRequested();

    pappl_job_t* job_ = nullptr;
    int socket_ = -1;
    int timeoutSeconds_ = 0;
    bool running_ = false;
    pthread_t thread_{};
    pthread_mutex_t mutex_ = PTHREAD_MUTEX_INITIALIZER;
    pthread_cond_t wake_{};
    bool stopping_ = false;
    // Odd while a write is under way; the writer's only shared state.
    std::atomic<uint64_t> sequence_{0};
    std::atomic<Cause> cause_{Cause::None};
};

}  // namespace tvl
