// SPDX-License-Identifier: Apache-2.0
// Run-length coder against a decoder: any input comes back unchanged, the
// coded form is never longer than twice the input, and the coder writes
// nothing past that bound (the output buffer is exactly that long, so
// AddressSanitizer sees any byte beyond it).
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include "fuzz/FuzzTarget.h"
#include "output/Rle.h"

namespace tvl {

namespace {

// Decodes the coder's output; false when it is not well formed (a 0x00 or
// 0xFF without a count, or a count of 0).
bool rleDecode(const uint8_t* coded, size_t length, std::vector<uint8_t>* out)
{
    size_t i = 0;
    while (i < length) {
        const uint8_t b = coded[i++];
        if (b == 0x00 || b == 0xFF) {
            if (i == length || coded[i] == 0) {
                return false;
            }
            out->insert(out->end(), coded[i++], b);
        } else {
            out->push_back(b);
        }
    }
    return true;
}

}  // namespace

}  // namespace tvl

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    using namespace tvl;
    const size_t bound = rleMaxEncodedSize(size);
    std::unique_ptr<uint8_t[]> coded(new uint8_t[bound == 0 ? 1 : bound]);
    const size_t n = rleEncode(std::span<const uint8_t>(data, size), std::span<uint8_t>(coded.get(), bound));
    if (n > bound) {
        abort();
    }
    std::vector<uint8_t> decoded;
    if (!rleDecode(coded.get(), n, &decoded)) {
        abort();
    }
    if (decoded.size() != size || (size != 0 && std::memcmp(decoded.data(), data, size) != 0)) {
        abort();
    }
    return 0;
}
