// Pass-through of a file already in the printer's language: its bytes go to
// the printer unchanged, followed by CR LF.
#pragma once

#include <cstdint>
#include <span>

// Reads `fd` with read() until its end, retrying reads interrupted by a
// signal. Returns the number of bytes read (0 at the end), or -1 on a read
// error with errno set.
long readFully(int fd, uint8_t* buffer, unsigned long length);

// Sends `alreadyRead` (bytes the caller took from the file first), then the
// rest of the file `fd`, then "\r\n", and flushes. When the caller's own read
// already failed (`readError`, an errno value), nothing more is read. 0 when
// everything was read and sent; 1 when reading or writing failed (reported).
int printText(int fd, std::span<const uint8_t> alreadyRead = {}, int readError = 0);
