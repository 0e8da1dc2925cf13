// SPDX-License-Identifier: Apache-2.0
// Test documents for the printer application's integration script, and the
// check of a printed label against them.
//
//   tvl-app-test-document make KIND OUT    writes a document of KIND
//   tvl-app-test-document check PNG WHERE  reads a label tvl-inspect drew
//
// Documents show black on one half: images 400 x 600 (portrait) are black
// on their left half; "wide" ones, 600 x 400, on their left half too, so
// turned counter-clockwise onto the tall label that half lands at the
// bottom. PDF pages are 288 x 432 points, black on their left half.
// `check` exits 0 when the half WHERE (left, right, top, bottom) of the
// label is at least 90% black and the opposite half at most 10%; WHERE
// "some" asks only for between 1% and 60% black (the test label), and
// "bottom-left" for a quarter of the label's halves black on the left and
// bottom, and at most 10% on the right and top (the huge image).
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include <png.h>

#include "tests/render/Inputs.h"

namespace tvl {

namespace {

const Scene kLeftHalf400 = [](uint32_t x, uint32_t) { return x < 200; };
const Scene kLeftHalf600 = [](uint32_t x, uint32_t) { return x < 300; };

bool pngOf(const std::string& out, int colorType, int depth, bool wide = false, bool nonSquare = false)
{
    PngLayout layout{colorType, depth};
    layout.width = wide ? 600 : 400;
    layout.height = wide ? 400 : 600;
    layout.nonSquarePixels = nonSquare;
    return writePng(out, layout, wide ? kLeftHalf600 : kLeftHalf400);
}

// The first `fraction` of the file.
bool cut(const std::string& from, const std::string& out, double fraction)
{
    const std::string bytes = readFile(from);
    return !bytes.empty() && writeFile(out, bytes.substr(0, static_cast<size_t>(bytes.size() * fraction)));
}

bool make(const std::string& kind, const std::string& out)
{
    const std::string leftHalf = "0 0 144 432 re f";
    struct Maker {
        const char* kind;
        bool (*make)(const std::string& out, const std::string& leftHalf);
    };
    static const Maker makers[] = {
        {"png-gray", [](const std::string& o, const std::string&) { return pngOf(o, PNG_COLOR_TYPE_GRAY, 8); }},
        {"png-rgb", [](const std::string& o, const std::string&) { return pngOf(o, PNG_COLOR_TYPE_RGB, 8); }},
        {"png-palette",
         [](const std::string& o, const std::string&) { return pngOf(o, PNG_COLOR_TYPE_PALETTE, 4); }},
        {"png-1bit", [](const std::string& o, const std::string&) { return pngOf(o, PNG_COLOR_TYPE_GRAY, 1); }},
        {"png-alpha",
         [](const std::string& o, const std::string&) { return pngOf(o, PNG_COLOR_TYPE_RGB_ALPHA, 8); }},
        {"png-wide", [](const std::string& o, const std::string&) {
             return pngOf(o, PNG_COLOR_TYPE_GRAY, 8, true);
         }},
        {"png-non-square", [](const std::string& o, const std::string&) {
             return pngOf(o, PNG_COLOR_TYPE_GRAY, 8, false, true);
         }},
        {"png-truncated", [](const std::string& o, const std::string&) {
             return pngOf(o + ".whole", PNG_COLOR_TYPE_RGB, 8) && cut(o + ".whole", o, 0.5);
         }},
        {"png-huge", [](const std::string& o, const std::string&) { return writeQuarterPng(o, 30000, 30000); }},
        {"jpeg", [](const std::string& o, const std::string&) {
             return writeJpeg(o, JpegColor::Rgb, 400, 600, false, kLeftHalf400);
         }},
        {"jpeg-truncated", [](const std::string& o, const std::string&) {
             return writeJpeg(o + ".whole", JpegColor::Gray, 400, 600, true, kLeftHalf400) &&
                    cut(o + ".whole", o, 0.5);
         }},
        {"pdf-1", [](const std::string& o, const std::string& l) { return writeFile(o, makePdf({l}, 288, 432)); }},
        {"pdf-3",
         [](const std::string& o, const std::string& l) { return writeFile(o, makePdf({l, l, l}, 288, 432)); }},
        {"pdf-not-one", [](const std::string& o, const std::string&) {
             return writeFile(o, "%PDF-1.4\nthis is no PDF at all\n");
         }},
    };
    for (const Maker& m : makers) {
        if (kind == m.kind) {
            return m.make(out, leftHalf);
        }
    }
    fprintf(stderr, "unknown kind %s\n", kind.c_str());
    return false;
}

// The label as 8-bit gray, through libpng's simplified reader.
bool readGray(const std::string& path, std::vector<uint8_t>* pixels, uint32_t* width, uint32_t* height)
{
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, path.c_str())) {
        return false;
    }
    image.format = PNG_FORMAT_GRAY;
    pixels->resize(PNG_IMAGE_SIZE(image));
    *width = image.width;
    *height = image.height;
    const bool read = png_image_finish_read(&image, nullptr, pixels->data(), 0, nullptr) != 0;
    png_image_free(&image);
    return read;
}

int check(const std::string& path, const std::string& where)
{
    std::vector<uint8_t> gray;
    uint32_t w = 0, h = 0;
    if (!readGray(path, &gray, &w, &h) || w < 2 || h < 2) {
        fprintf(stderr, "cannot read %s\n", path.c_str());
        return 1;
    }
    // Black share of each half, a margin of a tenth left out at the middle.
    double left = 0, right = 0, top = 0, bottom = 0, all = 0;
    for (uint32_t y = 0; y < h; ++y) {
        for (uint32_t x = 0; x < w; ++x) {
            const double b = gray[static_cast<size_t>(y) * w + x] < 128 ? 1 : 0;
            all += b;
            left += x < w * 4 / 10 ? b : 0;
            right += x >= w * 6 / 10 ? b : 0;
            top += y < h * 4 / 10 ? b : 0;
            bottom += y >= h * 6 / 10 ? b : 0;
        }
    }
    const double half = static_cast<double>(w) * h * 4 / 10;
    left /= half, right /= half, top /= half, bottom /= half, all /= static_cast<double>(w) * h;
    printf("%ux%u black: all %.2f left %.2f right %.2f top %.2f bottom %.2f\n", w, h, all, left, right, top, bottom);
    struct Expectation {
        const char* where;
        double black;
        double white;
    };
    const Expectation halves[] = {
        {"left", left, right}, {"right", right, left}, {"top", top, bottom}, {"bottom", bottom, top}};
    if (where == "some") {
        return all >= 0.01 && all <= 0.6 ? 0 : 1;
    }
    if (where == "bottom-left") {
        return left >= 0.25 && bottom >= 0.25 && right <= 0.1 && top <= 0.1 ? 0 : 1;
    }
    for (const Expectation& e : halves) {
        if (where == e.where) {
            return e.black >= 0.9 && e.white <= 0.1 ? 0 : 1;
        }
    }
    fprintf(stderr, "unknown half %s\n", where.c_str());
    return 2;
}

}  // namespace

}  // namespace tvl

int main(int argc, char* argv[])
{
    using namespace tvl;
    if (argc == 4 && strcmp(argv[1], "make") == 0) {
        return make(argv[2], argv[3]) ? 0 : 1;
    }
    if (argc == 4 && strcmp(argv[1], "check") == 0) {
        return check(argv[2], argv[3]);
    }
    fprintf(stderr, "usage: tvl-app-test-document make KIND OUT | check LABEL.png left|right|top|bottom|some|bottom-left\n");
    return 2;
}
