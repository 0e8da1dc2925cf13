// SPDX-License-Identifier: Apache-2.0
// Page memory: owned byte buffers that release themselves on every path,
// and size arithmetic that reports overflow instead of wrapping.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>

namespace tvl {

struct FreeDeleter {
    void operator()(void* p) const { std::free(p); }
};
using ByteBuffer = std::unique_ptr<uint8_t[], FreeDeleter>;

// Takes `size` bytes (at least one), zero-filled when asked. Empty on
// failure, with errno set.
inline ByteBuffer allocateBytes(size_t size, bool zeroFilled)
{
    const size_t n = size == 0 ? 1 : size;
    void* p = zeroFilled ? std::calloc(n, 1) : std::malloc(n);
    return ByteBuffer(static_cast<uint8_t*>(p));
}

// A buffer kept from one page to the next, grown only for a larger page,
// so that a job of like pages takes its memory once.
struct ReusedBuffer {
    ByteBuffer bytes;
    size_t size = 0;
};

// At least `size` bytes in `buffer` (its contents are not kept); false, with
// errno set and the buffer empty, when they cannot be had. The old bytes go
// before the new are taken.
inline bool reserveBytes(ReusedBuffer* buffer, size_t size)
{
    if (buffer->bytes && buffer->size >= size) {
        return true;
    }
    buffer->bytes.reset();
    buffer->size = 0;
    buffer->bytes = allocateBytes(size, false);
    if (!buffer->bytes) {
        return false;
    }
    buffer->size = size;
    return true;
}

// a * b into *product; false when the product does not fit.
inline bool checkedMultiply(size_t a, size_t b, size_t* product)
{
    return !__builtin_mul_overflow(a, b, product);
}

inline bool checkedAdd(size_t a, size_t b, size_t* sum)
{
    return !__builtin_add_overflow(a, b, sum);
}

}  // namespace tvl
