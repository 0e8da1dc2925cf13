// SPDX-License-Identifier: Apache-2.0
// Gray images of the printer application's document rendering: one byte per
// pixel, 0 black .. 255 white, rows top down with no padding.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "output/Buffer.h"

namespace tvl {

struct GrayImage {
    uint32_t width = 0;
    uint32_t height = 0;
    ByteBuffer pixels;  // width * height bytes

    uint8_t* row(uint32_t y) { return pixels.get() + static_cast<size_t>(y) * width; }
    const uint8_t* row(uint32_t y) const { return pixels.get() + static_cast<size_t>(y) * width; }
    uint8_t at(uint32_t x, uint32_t y) const { return row(y)[x]; }
};

// Makes `image` a width x height image filled with `fill`. False with a
// reason when the size is zero or the memory cannot be had.
inline bool allocateGray(uint32_t width, uint32_t height, uint8_t fill, GrayImage* image, std::string* reason)
{
    size_t bytes = 0;
    if (width == 0 || height == 0 || !checkedMultiply(width, height, &bytes)) {
        *reason = "image size out of range";
        return false;
    }
    image->pixels = allocateBytes(bytes, false);
    if (!image->pixels) {
        *reason = "out of memory for a " + std::to_string(width) + " x " + std::to_string(height) + " image";
        return false;
    }
    std::memset(image->pixels.get(), fill, bytes);
    image->width = width;
    image->height = height;
    return true;
}

}  // namespace tvl
