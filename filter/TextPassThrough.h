// SPDX-License-Identifier: Apache-2.0
// Pass-through of a file already in the printer's language: its bytes go to
// the printer unchanged, followed by CR LF.
#pragma once

#include <cstdint>
#include <span>
#include <sys/types.h>

#include "output/Sink.h"

namespace tvl {

// One read() of at most buffer.size() bytes from `fd`, retried when a signal
// interrupts it. Returns the number of bytes read, which may be fewer than
// asked for (0 at the end), or -1 on a read error with errno set.
ssize_t readSome(int fd, std::span<uint8_t> buffer);

// Results of printText; errno tells why on a failure.
inline constexpr int kTextSent = 0;
inline constexpr int kTextReadFailed = 1;   // reported perror-style
inline constexpr int kTextWriteFailed = 2;  // reported by the printer sink

// Sends `alreadyRead` (bytes the caller took from the file first), then the
// rest of the file `fd`, then "\r\n", and flushes. When the caller's own read
// already failed (`readError`, an errno value), nothing more is read. The
// read buffer is the call's own; when it cannot be had, that is a read
// failure (ENOMEM).
int printText(Output& out, int fd, std::span<const uint8_t> alreadyRead = {}, int readError = 0);

}  // namespace tvl
