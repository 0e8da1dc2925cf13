// SPDX-License-Identifier: Apache-2.0
#include "app/render/Decode.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

#include "output/Fd.h"
#include "output/SystemError.h"

namespace tvl {

bool checkImageSize(uint64_t width, uint64_t height, std::string* reason)
{
    if (width == 0 || height == 0) {
        *reason = "image has no pixels";
        return false;
    }
    if (width > kMaxImageSide || height > kMaxImageSide || width * height > kMaxImagePixels) {
        *reason = "image too large: " + std::to_string(width) + " x " + std::to_string(height) +
                  " pixels (at most " + std::to_string(kMaxImageSide) + " a side and " +
                  std::to_string(kMaxImagePixels) + " in all)";
        return false;
    }
    return true;
}

namespace {

constexpr uint32_t luma(uint32_t r, uint32_t g, uint32_t b)
{
    return (r * 77 + g * 150 + b * 29 + 128) >> 8;
}

constexpr uint8_t overWhite(uint32_t v, uint32_t alpha)
{
    return static_cast<uint8_t>((v * alpha + 255 * (255 - alpha) + 127) / 255);
}

}  // namespace

void samplesToGray(const uint8_t* s, uint32_t count, int channels, uint8_t* gray)
{
    switch (channels) {
    case 1:
        std::memcpy(gray, s, count);
        break;
    case 2:
        for (uint32_t i = 0; i < count; ++i, s += 2) {
            gray[i] = overWhite(s[0], s[1]);
        }
        break;
    case 3:
        for (uint32_t i = 0; i < count; ++i, s += 3) {
            gray[i] = static_cast<uint8_t>(luma(s[0], s[1], s[2]));
        }
        break;
    default:
        for (uint32_t i = 0; i < count; ++i, s += 4) {
            gray[i] = overWhite(luma(s[0], s[1], s[2]), s[3]);
        }
        break;
    }
}

void cmykToGray(const uint8_t* s, uint32_t count, bool inverted, uint8_t* gray)
{
    for (uint32_t i = 0; i < count; ++i, s += 4) {
        // What is left of white under each ink: 255 - ink.
        uint32_t c = s[0], m = s[1], y = s[2], k = s[3];
        if (!inverted) {
            c = 255 - c;
            m = 255 - m;
            y = 255 - y;
            k = 255 - k;
        }
        gray[i] = static_cast<uint8_t>(luma((c * k + 127) / 255, (m * k + 127) / 255, (y * k + 127) / 255));
    }
}

int openInput(const DocumentInput& input, std::string* reason)
{
    int fd = -1;
    if (input.path != nullptr) {
        do {
            fd = open(input.path, O_RDONLY | O_CLOEXEC);
        } while (fd < 0 && errno == EINTR);
    } else if (input.fd >= 0) {
        fd = fcntl(input.fd, F_DUPFD_CLOEXEC, 0);
    } else {
        *reason = "no document given";
        return -1;
    }
    if (fd < 0) {
        *reason = systemErrorReason("cannot open the document", errno);
    }
    return fd;
}

PageResult decodeInput(const char* format, DecodeFd decodeFd, const DocumentInput& input, const LabelGeometry& label,
                       PageSink* stop, GrayImage* out, std::string* reason) noexcept
{
    return unlessOutOfMemory(format, reason, [&] {
        if (!checkLabel(label, reason)) {
            return unrendered();
        }
        const UniqueFd fd(openInput(input, reason));
        if (!fd.valid()) {
            return unrendered();
        }
        return decodeFd(fd.get(), label, stop, out, reason);
    });
}

PageResult decodedImage(const char* format, bool rowsRead, bool stopped, const char* message, AreaReducer* reducer,
                        GrayImage* out, std::string* reason)
{
    if (!rowsRead) {
        return stopped ? pageFailed(PageError::Stopped) : unrendered(format, message, reason);
    }
    reducerFinish(reducer, out);
    return PageResult{};
}

}  // namespace tvl
