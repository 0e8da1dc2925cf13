// SPDX-License-Identifier: Apache-2.0
// A whole job in-process. The first input byte picks the job's rotation (0,
// 1, 2, 3 or the unknown 7), its compression (0, 1 or 2) and where the rest
// of the bytes come from: the raster stream on standard input, or a file
// named as the sixth argument (a raster file printed directly, or anything
// else, passed through as it is). The PPD is the fixed test PPD of model 27.
// Page loop, rotation, compression, the pass-through and every failure path
// of a stream are reached; the job must end with status 0 or 1.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <string>
#include <sys/mman.h>
#include <unistd.h>

#include "filter/Job.h"
#include "fuzz/FuzzTarget.h"

namespace tvl {

namespace {

int stdinFile = -1;

bool writeAll(int fd, const uint8_t* data, size_t size)
{
    while (size != 0) {
        const ssize_t n = write(fd, data, size);
        if (n <= 0) {
            return false;
        }
        data += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

}  // namespace

}  // namespace tvl

extern "C" int LLVMFuzzerInitialize(int* /*argc*/, char*** /*argv*/)
{
    using namespace tvl;
    setenv("PPD", TVL_FUZZ_PPD, 1);
    // The printer stream goes nowhere; standard input is a memory file that
    // each run refills.
    const int devNull = open("/dev/null", O_WRONLY);
    stdinFile = memfd_create("raster", 0);
    if (devNull < 0 || stdinFile < 0 || dup2(devNull, 1) < 0 || dup2(stdinFile, 0) < 0) {
        perror("fuzz_job setup");
        abort();
    }
    close(devNull);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    using namespace tvl;
    if (size == 0) {
        return 0;
    }
    static const int rotations[] = {0, 1, 2, 3, 7};
    const std::string options = "Rotation=" + std::to_string(rotations[data[0] % 5]) +
                                " CompPrinting=" + std::to_string(data[0] / 5 % 3);

    if (ftruncate(stdinFile, 0) != 0 || lseek(stdinFile, 0, SEEK_SET) != 0 ||
        !writeAll(stdinFile, data + 1, size - 1) || lseek(stdinFile, 0, SEEK_SET) != 0) {
        abort();
    }

    const bool namedFile = data[0] / 15 % 2 == 1;
    std::string args[] = {"rastertoTvlLabel", "1", "user", "title", "1", options,
                          "/proc/self/fd/" + std::to_string(stdinFile)};
    char* argv[] = {args[0].data(), args[1].data(), args[2].data(), args[3].data(),
                    args[4].data(), args[5].data(), args[6].data(), nullptr};
    const int status = runJob(namedFile ? 7 : 6, argv);
    fflush(stdout);
    clearerr(stdout);
    if (status != 0 && status != 1) {
        abort();
    }
    return 0;
}
