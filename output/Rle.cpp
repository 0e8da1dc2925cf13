#include "output/Rle.h"

#include <cstdio>

size_t rleEncode(std::span<const uint8_t> input, std::span<uint8_t> output, RleRunObserver observer,
                 void* context)
{
    const size_t length = input.size();
    size_t in = 0;
    size_t out = 0;
    while (in < length) {
        const uint8_t b = input[in];
        if (b == 0x00 || b == 0xFF) {
            unsigned count = 1;
            ++in;
            while (in < length && input[in] == b && count < 255) {
                ++count;
                ++in;
            }
            if (observer != nullptr) {
                observer(context, b, count);
            }
            output[out++] = b;
            output[out++] = static_cast<uint8_t>(count);
        } else {
            output[out++] = b;
            ++in;
        }
    }
    return out;
}

namespace {

void logRun(void* /*context*/, uint8_t value, unsigned count)
{
    fprintf(stderr, "TAVELIN Label Driver DEBUG MSG : compData = 0x%02x, compDataLength = %d\n", value,
            static_cast<int>(count));
}

}  // namespace

size_t RLECompression(const uint8_t* input, uint8_t* output, uint32_t rows, uint32_t bytesPerLine)
{
    fprintf(stderr, "TAVELIN Label Driver DEBUG MSG : start RLE Compression\n");
    const size_t length = static_cast<size_t>(rows) * bytesPerLine;
    const size_t written = rleEncode(std::span<const uint8_t>(input, length),
                                     std::span<uint8_t>(output, rleMaxEncodedSize(length)), logRun, nullptr);
    fprintf(stderr, "TAVELIN Label Driver DEBUG MSG : RLE Compression complete\n");
    return written;
}
