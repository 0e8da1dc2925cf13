// SPDX-License-Identifier: Apache-2.0
// Texts that many suites expect from the filter.
#pragma once

#include <string>

namespace tvl {

// The head of almost every line the filter logs on standard error.
inline const std::string kLog = "TAVELIN Label Driver DEBUG MSG : ";

// Setup block of tests/ppd/model27.ppd with its defaults: a 3 x 3 in label
// at 203 dpi. The label is square, so a quarter-turned job's swapped length
// and width give the same.
inline const std::string kSetup27 = "SL609,24,G\r\nSW609\r\nSTd\r\nSD10\r\nSM0,0\r\nSS4\r\nTA0\r\nCUTn\r\n";

}  // namespace tvl
