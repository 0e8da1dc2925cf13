// SPDX-License-Identifier: Apache-2.0
// Any bytes as a PNG or JPEG (JPEG when they start like one) through
// renderDocument onto a small label: a decoder error must come back as a
// reason, never a crash, a leak, a hang or memory beyond the limits.
#include <cstddef>
#include <cstdint>
#include <string>

#include <sys/mman.h>
#include <unistd.h>

#include "app/render/Render.h"
#include "fuzz/FuzzTarget.h"

namespace tvl {

namespace {

class DropPages : public PageSink {
public:
    bool takePage(const PageBitmap&) noexcept override { return true; }
};

}  // namespace

}  // namespace tvl

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    using namespace tvl;
    const int fd = memfd_create("image", MFD_CLOEXEC);
    if (fd < 0) {
        return 0;
    }
    size_t done = 0;
    while (done < size) {
        const ssize_t n = write(fd, data + done, size - done);
        if (n <= 0) {
            close(fd);
            return 0;
        }
        done += static_cast<size_t>(n);
    }
    lseek(fd, 0, SEEK_SET);
    const bool jpeg = size >= 2 && data[0] == 0xFF && data[1] == 0xD8;
    // The orientation follows the input's size, so that every turn runs.
    const LabelGeometry label{64, 48, 203, static_cast<int>(size % 8)};
    DropPages sink;
    std::string reason;
    renderDocument(jpeg ? DocumentKind::Jpeg : DocumentKind::Png, DocumentInput{nullptr, fd}, label, nullptr, sink,
                   &reason);
    close(fd);
    return 0;
}
