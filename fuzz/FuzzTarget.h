// SPDX-License-Identifier: Apache-2.0
// libFuzzer's entry points, which a fuzz target defines: the input handler,
// and the set-up run once before the first input, where one is needed. They
// are global and of C linkage, as libFuzzer looks them up by name.
#pragma once

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv);
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);
