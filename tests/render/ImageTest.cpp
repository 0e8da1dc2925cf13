// SPDX-License-Identifier: Apache-2.0
// PNG and JPEG through renderDocument: every color type and depth, alpha,
// interlacing, density, damaged and oversized files, large images.
#include <gtest/gtest.h>
#include <png.h>
#include <sys/resource.h>

#include <fcntl.h>
#include <unistd.h>

#include "app/render/Render.h"
#include "tests/render/Inputs.h"

namespace tvl {

namespace {

// Black in [w/5, w/2) x [h/5, h/2): off-centre, so that a flip shows.
Scene corner(uint32_t w, uint32_t h)
{
    return [w, h](uint32_t x, uint32_t y) { return x >= w / 5 && x < w / 2 && y >= h / 5 && y < h / 2; };
}

LabelGeometry sameSize(uint32_t w, uint32_t h)
{
    return LabelGeometry{w, h, 203, kOrientationPortrait};
}

// Renders at the image's own size without dither: the label must be the
// scene, dot for dot.
void expectScene(DocumentKind kind, const DocumentInput& in, uint32_t w, uint32_t h, const Scene& black)
{
    KeepPages sink;
    std::string reason;
    ASSERT_TRUE(renderDocument(kind, in, sameSize(w, h), nullptr, sink, &reason)) << reason;
    ASSERT_EQ(sink.labels.size(), 1u);
    const Label& l = sink.labels[0];
    size_t wrong = 0;
    for (uint32_t y = 0; y < h; ++y) {
        for (uint32_t x = 0; x < w; ++x) {
            wrong += l.black(x, y) != black(x, y);
        }
    }
    EXPECT_EQ(wrong, 0u);
}

struct PngCase {
    const char* name;
    PngLayout layout;
};

const PngCase kPngCases[] = {
    {"gray1", {PNG_COLOR_TYPE_GRAY, 1}},
    {"gray2", {PNG_COLOR_TYPE_GRAY, 2}},
    {"gray4", {PNG_COLOR_TYPE_GRAY, 4}},
    {"gray8", {PNG_COLOR_TYPE_GRAY, 8}},
    {"gray16", {PNG_COLOR_TYPE_GRAY, 16}},
    {"grayAlpha8", {PNG_COLOR_TYPE_GRAY_ALPHA, 8}},
    {"grayAlpha16", {PNG_COLOR_TYPE_GRAY_ALPHA, 16}},
    {"rgb8", {PNG_COLOR_TYPE_RGB, 8}},
    {"rgb16", {PNG_COLOR_TYPE_RGB, 16}},
    {"rgba8", {PNG_COLOR_TYPE_RGBA, 8}},
    {"rgba16", {PNG_COLOR_TYPE_RGBA, 16}},
    {"palette2", {PNG_COLOR_TYPE_PALETTE, 2}},
    {"palette4", {PNG_COLOR_TYPE_PALETTE, 4}},
    {"palette8", {PNG_COLOR_TYPE_PALETTE, 8}},
    {"paletteTransparent", {PNG_COLOR_TYPE_PALETTE, 8, false, 40, 30, false, true}},
    {"interlacedGray1", {PNG_COLOR_TYPE_GRAY, 1, true}},
    {"interlacedRgba8", {PNG_COLOR_TYPE_RGBA, 8, true, 37, 23}},
    {"interlacedPalette4", {PNG_COLOR_TYPE_PALETTE, 4, true, 3, 5}},
    {"interlaced1x1", {PNG_COLOR_TYPE_GRAY, 8, true, 1, 1}},
    {"oddSize", {PNG_COLOR_TYPE_GRAY, 1, false, 13, 3}},
    {"nonSquarePixels", {PNG_COLOR_TYPE_RGB, 8, false, 40, 30, true}},
};

class PngKinds : public testing::TestWithParam<PngCase> {};

TEST_P(PngKinds, DecodeDotForDot)
{
    const PngLayout& s = GetParam().layout;
    TempDir dir;
    const std::string path = dir.file("in.png");
    ASSERT_TRUE(writePng(path, s, corner(s.width, s.height)));
    expectScene(DocumentKind::Png, DocumentInput{path.c_str()}, s.width, s.height, corner(s.width, s.height));
}

INSTANTIATE_TEST_SUITE_P(Render, PngKinds, testing::ValuesIn(kPngCases),
                         [](const auto& info) { return std::string(info.param.name); });

struct JpegCase {
    const char* name;
    JpegColor color;
    bool progressive;
};

class JpegKinds : public testing::TestWithParam<JpegCase> {};

TEST_P(JpegKinds, DecodeDotForDot)
{
    // Edges on 8-pixel blocks keep the compression from blurring them.
    const Scene block = [](uint32_t x, uint32_t y) { return x >= 8 && x < 24 && y >= 16 && y < 24; };
    TempDir dir;
    const std::string path = dir.file("in.jpg");
    ASSERT_TRUE(writeJpeg(path, GetParam().color, 48, 32, GetParam().progressive, block));
    // Through a descriptor, as the application may hand it.
    const int fd = open(path.c_str(), O_RDONLY);
    ASSERT_GE(fd, 0);
    expectScene(DocumentKind::Jpeg, DocumentInput{nullptr, fd}, 48, 32, block);
    close(fd);
}

INSTANTIATE_TEST_SUITE_P(Render, JpegKinds,
                         testing::Values(JpegCase{"gray", JpegColor::Gray, false},
                                         JpegCase{"rgb", JpegColor::Rgb, false},
                                         JpegCase{"adobeCmyk", JpegColor::AdobeCmyk, false},
                                         JpegCase{"progressive", JpegColor::Rgb, true}),
                         [](const auto& info) { return std::string(info.param.name); });

// Damaged or refused inputs: failure, a reason, no label.
struct BadCase {
    const char* name;
    DocumentKind kind;
    std::function<std::string(const TempDir&)> make;  // returns the file's path
    const char* reason;                               // part of the reason
};

std::string cut(const TempDir& d, const std::string& path, size_t keepNumerator, size_t keepDenominator,
                size_t dropTail = 0)
{
    std::string bytes = readFile(path);
    bytes.resize(dropTail ? bytes.size() - dropTail : bytes.size() * keepNumerator / keepDenominator);
    const std::string out = d.file("cut");
    writeFile(out, bytes);
    return out;
}

std::string bigPng(const TempDir& d)
{
    const std::string p = d.file("p.png");
    writePng(p, {PNG_COLOR_TYPE_RGB, 8, false, 200, 200}, corner(200, 200));
    return p;
}

std::string bigJpeg(const TempDir& d)
{
    const std::string p = d.file("p.jpg");
    writeJpeg(p, JpegColor::Rgb, 200, 200, false, corner(200, 200));
    return p;
}

std::string text(const TempDir& d, const std::string& bytes)
{
    writeFile(d.file("t"), bytes);
    return d.file("t");
}

std::string header(const TempDir& d, uint32_t w, uint32_t h)
{
    writePngHeader(d.file("h.png"), w, h);
    return d.file("h.png");
}

// A CMYK JPEG of 27916 x 30467 pixels in 146 bytes: arithmetic-coded, its
// data ends at once, and the decoder would go on with zeros for seconds
// (found by scripts/fuzz-campaign.sh; also in fuzz/corpus/image/).
const char kArithmeticJpeg[] =
    "\xff\xd8\xff\xff\xdb\x00\x43\x00\x02\xf1\x01\x01\x01\x01\x02\x01\x01\x01\x02\x02\x02\x02\x02\x04"
    "\x03\x02\x02\x02\x02\x05\x04\x04\x03\x04\x06\x05\x06\x06\x06\x05\x06\x06\x06\x00\x00\x00\x00\x00"
    "\x00\x00\xa2\x06\x08\x0b\x08\x09\x0a\x0a\x0a\x0a\x0a\x06\x08\x0b\x0c\x0b\xee\x0c\x09\x0a\x0a\x0a"
    "\xff\xc9\x00\x14\x08\x77\x03\x6d\x0c\x04\x43\x11\x00\x4d\x11\x00\x59\x11\x00\x4b\x11\x00\xff\xc4"
    "\x00\x1f\x00\x00\x01\x01\x01\x01\x05\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x01\x02\x03\x04\x05"
    "\x06\x07\x08\x09\x0a\x0b\xff\xff\xda\x00\x0e\x04\x43\x00\x4d\x00\x59\x00\x4b\x00\x00\x3f\x00\xbf"
    "\xff\xd9";

const BadCase kBadCases[] = {
    {"pngTruncated", DocumentKind::Png, [](const TempDir& d) { return cut(d, bigPng(d), 1, 2); }, "truncated"},
    {"pngWithoutEnd", DocumentKind::Png, [](const TempDir& d) { return cut(d, bigPng(d), 0, 1, 12); }, "PNG:"},
    {"pngEmpty", DocumentKind::Png, [](const TempDir& d) { return text(d, ""); }, "PNG:"},
    {"pngNotOne", DocumentKind::Png, [](const TempDir& d) { return text(d, "GIF89a not a png at all"); }, "PNG:"},
    {"pngTooWide", DocumentKind::Png, [](const TempDir& d) { return header(d, 70000, 10); }, "too large"},
    {"pngTooManyPixels", DocumentKind::Png, [](const TempDir& d) { return header(d, 40000, 30000); },
     "too large"},
    {"jpegTruncated", DocumentKind::Jpeg, [](const TempDir& d) { return cut(d, bigJpeg(d), 1, 2); },
     "Premature end"},
    {"jpegEmpty", DocumentKind::Jpeg, [](const TempDir& d) { return text(d, ""); }, "JPEG:"},
    {"jpegNotOne", DocumentKind::Jpeg, [](const TempDir& d) { return text(d, "%PDF-1.4 hello"); }, "JPEG:"},
    {"jpegArithmetic", DocumentKind::Jpeg,
     [](const TempDir& d) { return text(d, std::string(kArithmeticJpeg, sizeof kArithmeticJpeg - 1)); },
     "arithmetic-coded"},
    {"pdfNotOne", DocumentKind::Pdf, [](const TempDir& d) { return text(d, "this is no PDF\n"); }, "not a PDF"},
    {"pdfTruncated", DocumentKind::Pdf,
     [](const TempDir& d) { return text(d, makePdf({"0 0 10 10 re f"}, 72, 72).substr(0, 20)); }, "not a PDF"},
    {"pdfLocked", DocumentKind::Pdf,
     [](const TempDir& d) { return text(d, makePdf({"0 0 10 10 re f"}, 72, 72, true)); }, "locked"},
    {"missingFile", DocumentKind::Png, [](const TempDir& d) { return d.file("none"); }, "cannot open"},
};

class BadInputs : public testing::TestWithParam<BadCase> {};

TEST_P(BadInputs, FailWithReasonAndNoLabel)
{
    TempDir dir;
    const std::string path = GetParam().make(dir);
    KeepPages sink;
    std::string reason;
    EXPECT_FALSE(renderDocument(GetParam().kind, DocumentInput{path.c_str()}, sameSize(100, 100), nullptr, sink,
                                &reason));
    EXPECT_NE(reason.find(GetParam().reason), std::string::npos) << reason;
    EXPECT_TRUE(sink.labels.empty());
}

INSTANTIATE_TEST_SUITE_P(Render, BadInputs, testing::ValuesIn(kBadCases),
                         [](const auto& info) { return std::string(info.param.name); });

long peakKb()
{
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return u.ru_maxrss;
}

// Large images reduce while they decode: the black quarter lands where it
// should on a small label, and memory never holds the image (its gray
// alone would be width x height bytes: 900 MB for the PNG).
struct LargeCase {
    const char* name;
    DocumentKind kind;
    uint32_t width;
    uint32_t height;
    uint32_t labelWidth;  // of the image's aspect
    uint32_t labelLength;
};

class LargeImages : public testing::TestWithParam<LargeCase> {};

TEST_P(LargeImages, ReduceWhileDecoding)
{
    const LargeCase& c = GetParam();
    const Scene block = [&c](uint32_t x, uint32_t y) { return x < c.width / 2 && y >= c.height / 2; };
    TempDir dir;
    const std::string path = dir.file("large");
    ASSERT_TRUE(c.kind == DocumentKind::Png ? writeQuarterPng(path, c.width, c.height)
                                            : writeJpeg(path, JpegColor::Gray, c.width, c.height, false, block));
    const long before = peakKb();
    KeepPages sink;
    std::string reason;
    ASSERT_TRUE(renderDocument(c.kind, DocumentInput{path.c_str()}, LabelGeometry{c.labelWidth, c.labelLength, 203, 0},
                               nullptr, sink, &reason))
        << reason;
    const long grownKb = peakKb() - before;
    ASSERT_EQ(sink.labels.size(), 1u);
    const Label& l = sink.labels[0];
    const auto at = [&l](double x, double y) {
        return l.black(static_cast<uint32_t>(x * l.width), static_cast<uint32_t>(y * l.length));
    };
    EXPECT_TRUE(at(0.03, 0.97) && at(0.47, 0.53));
    EXPECT_FALSE(at(0.53, 0.97) || at(0.03, 0.47) || at(0.97, 0.03));
    EXPECT_LT(grownKb, 32 * 1024) << "the image alone is " << uint64_t{c.width} * c.height / 1024 << " KB";
}

INSTANTIATE_TEST_SUITE_P(Render, LargeImages,
                         testing::Values(LargeCase{"png", DocumentKind::Png, 30000, 30000, 300, 300},
                                         LargeCase{"jpeg", DocumentKind::Jpeg, 8000, 6000, 400, 300}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(Render, StopAskedWhileDecodingEndsWithoutLabel)
{
    TempDir dir;
    const std::string path = bigPng(dir);
    KeepPages sink;
    sink.stopNow = true;
    std::string reason;
    EXPECT_TRUE(renderDocument(DocumentKind::Png, DocumentInput{path.c_str()}, sameSize(50, 50), nullptr, sink,
                               &reason));
    EXPECT_TRUE(sink.labels.empty());
}

struct GrayCase {
    int channels;
    std::vector<uint8_t> samples;
    uint8_t gray;
};

TEST(Render, SamplesToGray)
{
    const GrayCase cases[] = {
        {1, {77}, 77},
        {2, {0, 0}, 255},             // transparent black is white
        {2, {0, 255}, 0},
        {2, {0, 128}, 127},
        {3, {255, 0, 0}, 77},
        {3, {255, 255, 255}, 255},
        {4, {0, 0, 0, 0}, 255},
        {4, {0, 0, 255, 255}, 29},
    };
    for (const GrayCase& c : cases) {
        uint8_t g = 1;
        samplesToGray(c.samples.data(), 1, c.channels, &g);
        EXPECT_EQ(g, c.gray) << c.channels << " channels";
    }
    const struct {
        bool inverted;
        std::array<uint8_t, 4> cmyk;
        uint8_t gray;
    } inks[] = {
        {true, {255, 255, 255, 255}, 255}, {true, {255, 255, 255, 0}, 0}, {false, {0, 0, 0, 0}, 255},
        {false, {0, 0, 0, 255}, 0},        {true, {0, 255, 255, 255}, 178},
    };
    for (const auto& c : inks) {
        uint8_t g = 1;
        cmykToGray(c.cmyk.data(), 1, c.inverted, &g);
        EXPECT_EQ(g, c.gray);
    }
}

// Which images are diffused: photos by the job's word, else JPEG and PNGs
// that look like photos (a gray ramp, not black and white bars).
TEST(Render, ImagesDiffusedByContent)
{
    GrayImage ramp, bars;
    std::string reason;
    ASSERT_TRUE(allocateGray(256, 64, 255, &ramp, &reason) && allocateGray(256, 64, 255, &bars, &reason));
    for (uint32_t i = 0; i < 256 * 64; ++i) {
        ramp.pixels.get()[i] = static_cast<uint8_t>(i);
        bars.pixels.get()[i] = i / 4 % 2 ? 0 : 255;
    }
    EXPECT_TRUE(imageDiffuses(ContentOptimize::Photo, DocumentKind::Png, bars));
    EXPECT_TRUE(imageDiffuses(ContentOptimize::Auto, DocumentKind::Jpeg, bars));
    EXPECT_TRUE(imageDiffuses(ContentOptimize::Auto, DocumentKind::Png, ramp));
    EXPECT_FALSE(imageDiffuses(ContentOptimize::Auto, DocumentKind::Png, bars));
    EXPECT_FALSE(imageDiffuses(ContentOptimize::TextAndGraphics, DocumentKind::Jpeg, ramp));
}

}  // namespace

}  // namespace tvl
