// Pass-through of a file already in the printer's language: its bytes go to
// the printer unchanged, followed by CR LF.
#pragma once

#include <cstdint>
#include <span>

#include "output/Sink.h"

// Reads `fd` with read() until its end, retrying reads interrupted by a
// signal. Returns the number of bytes read (0 at the end), or -1 on a read
// error with errno set.
long readFully(int fd, uint8_t* buffer, unsigned long length);

// Results of printText; errno tells why on a failure.
inline constexpr int kTextSent = 0;
inline constexpr int kTextReadFailed = 1;   // reported perror-style
inline constexpr int kTextWriteFailed = 2;  // reported by the printer sink

// Sends `alreadyRead` (bytes the caller took from the file first), then the
// rest of the file `fd`, then "\r\n", and flushes. When the caller's own read
// already failed (`readError`, an errno value), nothing more is read.
int printText(Output& out, int fd, std::span<const uint8_t> alreadyRead = {}, int readError = 0);
