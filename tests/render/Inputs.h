// SPDX-License-Identifier: Apache-2.0
// Test inputs made in the tests themselves: PNG with libpng, JPEG with
// libjpeg, PDF as hand-written text; and a sink that keeps every label.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "app/Dither.h"
#include "app/render/Page.h"

namespace tvl {

// A scene: is pixel (x, y) of a width x height image black? Everything else
// is white (or, with alpha, transparent).
using Scene = std::function<bool(uint32_t x, uint32_t y)>;

struct PngLayout {
    int colorType;        // PNG_COLOR_TYPE_*
    int bitDepth;
    bool interlaced = false;
    uint32_t width = 40;
    uint32_t height = 30;
    bool nonSquarePixels = false;  // pHYs 3000 x 1500 per metre
    bool transparentPalette = false;  // palette: white background made transparent black (tRNS)
    int compression = 6;
};

// Writes a PNG of the scene, row by row (any size, little memory). With
// alpha (or transparentPalette) the background is transparent black.
bool writePng(const std::string& path, const PngLayout& layout, const Scene& black);

// A width x height 8-bit gray PNG, white with its bottom-left quarter
// black, written fast (two prepared rows, no filtering, zlib level 1)
// however large it is.
bool writeQuarterPng(const std::string& path, uint32_t width, uint32_t height);

// Writes only the start of a PNG: header of the given size and one row.
bool writePngHeader(const std::string& path, uint32_t width, uint32_t height);

enum class JpegColor { Gray, Rgb, AdobeCmyk };
bool writeJpeg(const std::string& path, JpegColor color, uint32_t width, uint32_t height, bool progressive,
               const Scene& black);

// A PDF of pages `width` x `height` points, each drawn by its content
// stream; `encrypted` adds a standard security handler whose user password
// is not empty (so the file opens only with it).
std::string makePdf(const std::vector<std::string>& contents, double width, double height, bool encrypted = false);

std::string readFile(const std::string& path);
bool writeFile(const std::string& path, const std::string& bytes);

// A fresh folder under the build's temporary folder, removed afterwards.
struct TempDir {
    std::string path;
    TempDir();
    ~TempDir();
    std::string file(const std::string& name) const { return path + "/" + name; }
};

struct Label {
    uint32_t width = 0;
    uint32_t length = 0;
    std::vector<uint8_t> bits;
    bool black(uint32_t x, uint32_t y) const
    {
        return (bits[y * ((width + 7) / 8) + x / 8] >> (7 - x % 8)) & 1;
    }
    size_t blackCount() const;
};

class KeepPages : public PageSink {
public:
    std::vector<Label> labels;
    size_t stopAfter = SIZE_MAX;   // takePage returns false once this many are kept
    bool stopNow = false;          // what shouldStop answers
    bool takePage(const PageBitmap& page) noexcept override;
    bool shouldStop() noexcept override { return stopNow; }
};

// A 16 x 16 dither matrix of thresholds 0..254 (white stays white).
const DitherMatrix* ditherMatrix();

}  // namespace tvl
