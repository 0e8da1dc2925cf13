// SPDX-License-Identifier: Apache-2.0
// Writes a decoded page as a 1-bit greyscale PNG (libpng), black where the
// printer prints.
#pragma once

#include <string>

#include "tools/decoder/StreamDecoder.h"

namespace tvl {

namespace inspect {

// Writes `page` to `path`, bytesPerLine x 8 pixels wide. False with `error`
// set when the page has no rows or the file cannot be written.
bool writePagePng(const Page& page, const std::string& path, std::string* error);

}  // namespace inspect

}  // namespace tvl
