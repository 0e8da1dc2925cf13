// SPDX-License-Identifier: Apache-2.0
// Decoding PNG and JPEG images into gray, reduced while they decode to the
// size they will have on the label (see Reduce.h), with every decoder error
// turned into a returned failure with a reason: no exception, no abort, no
// retry loop. A read that ends early is an error, never a gray tail.
#pragma once

#include <cstdint>
#include <string>

#include "app/render/Gray.h"
#include "app/render/Page.h"
#include "app/render/Place.h"
#include "app/render/Reduce.h"

namespace tvl {

// Where a document comes from: the file at `path` when it is set, else the
// open descriptor `fd` (read from its current position, left open).
struct DocumentInput {
    const char* path = nullptr;
    int fd = -1;
};

// Images beyond these are refused, with a reason, before any pixel decodes.
inline constexpr uint32_t kMaxImageSide = 65535;
inline constexpr uint64_t kMaxImagePixels = 1000000000;

// Refuses a size beyond the limits above (or zero) with a reason.
bool checkImageSize(uint64_t width, uint64_t height, std::string* reason);

// Gray from decoded samples, 8 bits each: 1 gray, 2 gray + alpha, 3 RGB,
// 4 RGBA. Alpha is laid over white; color weighs 0.30 R, 0.59 G, 0.11 B.
void samplesToGray(const uint8_t* samples, uint32_t count, int channels, uint8_t* gray);

// Gray from CMYK samples; `inverted` for Adobe files, which store 255 - ink.
void cmykToGray(const uint8_t* samples, uint32_t count, bool inverted, uint8_t* gray);

// Decodes a PNG (any color type and depth, interlaced or not) into *out at
// the size reducedSize() gives for `label`. `stop` (may be null) is asked
// now and then whether to give up: Stopped. Unrendered with a reason on any
// failure.
PageResult decodePng(const DocumentInput& input, const LabelGeometry& label, PageSink* stop, GrayImage* out,
                     std::string* reason) noexcept;

// The same for JPEG (gray, YCbCr, RGB, CMYK, YCCK; baseline or progressive;
// Huffman-coded: an arithmetic-coded file is refused, as a few bytes of it
// can stand for any number of pixels).
// Large images are first reduced by the decoder's own 1/2, 1/4, 1/8 scaling.
// Every libjpeg warning counts as failure: they all mean damaged data.
PageResult decodeJpeg(const DocumentInput& input, const LabelGeometry& label, PageSink* stop, GrayImage* out,
                      std::string* reason) noexcept;

// Opens `input` for reading: the path's file, or a duplicate of fd. -1 with
// a reason on failure.
int openInput(const DocumentInput& input, std::string* reason);

// One image decoder's entry, shared by PNG and JPEG: checks the label, opens
// the input and hands its descriptor to `decodeFd`; an allocation failure
// becomes "<format>: out of memory".
using DecodeFd = PageResult (*)(int fd, const LabelGeometry& label, PageSink* stop, GrayImage* out,
                                std::string* reason);
PageResult decodeInput(const char* format, DecodeFd decodeFd, const DocumentInput& input, const LabelGeometry& label,
                       PageSink* stop, GrayImage* out, std::string* reason) noexcept;

// The end of a decode whose rows went to `reducer`: with every row read, the
// reduced image into *out; else Stopped when the page sink stopped it, or
// Unrendered with "<format>: <message>".
PageResult decodedImage(const char* format, bool rowsRead, bool stopped, const char* message, AreaReducer* reducer,
                        GrayImage* out, std::string* reason);

}  // namespace tvl
