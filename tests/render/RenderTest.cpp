// SPDX-License-Identifier: Apache-2.0
// PDF pages and the test label through renderDocument / renderTestLabel.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <set>

#include "app/render/Render.h"
#include "tests/render/Inputs.h"

namespace tvl {

namespace {

// A 2 x 1 inch page; a rect "x y w h" in points, filled black.
std::string box(int x, int y, int w, int h)
{
    return std::to_string(x) + " " + std::to_string(y) + " " + std::to_string(w) + " " + std::to_string(h) +
           " re f";
}

struct Probe {
    uint32_t x, y;
    bool black;
};

struct PdfCase {
    const char* name;
    std::vector<std::string> pages;
    LabelGeometry label;
    bool throughFd;
    std::vector<std::vector<Probe>> probes;  // per page
};

// PDF y grows upward: box(0, 0, 72, 72) is the page's left half.
const PdfCase kPdfCases[] = {
    {"onePageAtPrinterDpi", {box(0, 0, 72, 72)}, {200, 100, 100, 3}, false,
     {{{50, 50, true}, {98, 2, true}, {102, 50, false}, {150, 50, false}}}},
    {"threePages", {box(0, 0, 48, 72), box(48, 0, 48, 72), box(96, 0, 48, 72)}, {200, 100, 100, 3}, true,
     {{{30, 50, true}, {100, 50, false}}, {{100, 50, true}, {30, 50, false}}, {{170, 50, true}, {100, 50, false}}}},
    {"halfSizeLabel", {box(0, 36, 72, 36)}, {100, 50, 50, 3}, false, {{{20, 10, true}, {20, 40, false}, {80, 10, false}}}},
    {"autoTurnsOntoPortraitLabel", {box(0, 0, 72, 72)}, {100, 200, 100, 0}, false,
     {{{50, 150, true}, {50, 50, false}}}},
};

class PdfPages : public testing::TestWithParam<PdfCase> {};

TEST_P(PdfPages, OneLabelPerPage)
{
    const PdfCase& c = GetParam();
    TempDir dir;
    const std::string path = dir.file("in.pdf");
    ASSERT_TRUE(writeFile(path, makePdf(c.pages, 144, 72)));
    const int fd = c.throughFd ? open(path.c_str(), O_RDONLY) : -1;
    const DocumentInput in{c.throughFd ? nullptr : path.c_str(), fd};
    KeepPages sink;
    std::string reason;
    ASSERT_TRUE(renderDocument(DocumentKind::Pdf, in, c.label, ditherMatrix(), sink, &reason)) << reason;
    if (fd >= 0) {
        close(fd);
    }
    ASSERT_EQ(sink.labels.size(), c.pages.size());
    for (size_t p = 0; p < c.probes.size(); ++p) {
        EXPECT_EQ(sink.labels[p].width, c.label.widthDots);
        EXPECT_EQ(sink.labels[p].length, c.label.lengthDots);
        for (const Probe& probe : c.probes[p]) {
            EXPECT_EQ(sink.labels[p].black(probe.x, probe.y), probe.black)
                << "page " << p << " at " << probe.x << "," << probe.y;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Render, PdfPages, testing::ValuesIn(kPdfCases),
                         [](const auto& info) { return std::string(info.param.name); });

// The PDF renderer is a program of its own: when it cannot start, or ends
// without finishing the document, the document fails with the reason and
// the server goes on.
TEST(Render, PdfRendererThatFailsGivesTheReason)
{
    TempDir dir;
    const std::string path = dir.file("in.pdf");
    ASSERT_TRUE(writeFile(path, makePdf({box(0, 0, 9, 9)}, 144, 72)));
    const std::string crash = dir.file("crash.sh");
    ASSERT_TRUE(writeFile(crash, "#!/bin/sh\nkill -SEGV $$\n"));
    chmod(crash.c_str(), 0755);
    struct Case {
        std::string renderer;
        const char* reason;
    };
    const Case cases[] = {
        {"/nonexistent/tavelin-pdf-render", "cannot start the PDF renderer /nonexistent/tavelin-pdf-render"},
        {"/bin/false", "the PDF renderer ended early (status 1)"},
        {crash, "the PDF renderer ended on signal 11"},
    };
    const std::string real = getenv("TVL_PDF_RENDERER") != nullptr ? getenv("TVL_PDF_RENDERER") : "";
    for (const Case& c : cases) {
        setenv("TVL_PDF_RENDERER", c.renderer.c_str(), 1);
        KeepPages sink;
        std::string reason;
        EXPECT_FALSE(renderDocument(DocumentKind::Pdf, DocumentInput{path.c_str(), -1}, {200, 100, 100, 3},
                                    ditherMatrix(), sink, &reason));
        EXPECT_EQ(reason.rfind(c.reason, 0), 0u) << reason;
        EXPECT_TRUE(sink.labels.empty());
    }
    setenv("TVL_PDF_RENDERER", real.c_str(), 1);
}

TEST(Render, SinkStopsAPdfAfterItsFirstLabel)
{
    TempDir dir;
    const std::string path = dir.file("in.pdf");
    ASSERT_TRUE(writeFile(path, makePdf({box(0, 0, 9, 9), box(0, 0, 9, 9), box(0, 0, 9, 9)}, 144, 72)));
    KeepPages sink;
    sink.stopAfter = 1;
    std::string reason;
    EXPECT_TRUE(renderDocument(DocumentKind::Pdf, DocumentInput{path.c_str()}, {200, 100, 100, 3}, nullptr, sink,
                               &reason));
    EXPECT_EQ(sink.labels.size(), 1u);
}

struct TestLabelCase {
    uint32_t dpi, width, length;
};

class TestLabels : public testing::TestWithParam<TestLabelCase> {};

// Every size draws: the frame, the 10 mm tick of the top ruler (and no dot
// half a millimetre on), every darkness step, and a dithered label that is
// neither blank nor black.
TEST_P(TestLabels, DrawsFrameRulerAndSteps)
{
    const TestLabelCase& c = GetParam();
    const LabelGeometry label{c.width, c.length, c.dpi, 0};
    const TestLabelInfo info{"Model 100", "203dpi", "15", "4 ips"};
    GrayImage gray;
    std::string reason;
    ASSERT_TRUE(drawTestLabel(label, info, &gray, &reason)) << reason;
    EXPECT_EQ(gray.at(0, 0) | gray.at(c.width - 1, c.length - 1) | gray.at(c.width / 2, 0), 0);
    const uint32_t tick = mmToDots(10, c.dpi);
    if (tick < c.width) {
        EXPECT_EQ(gray.at(tick, 3), 0);
        EXPECT_EQ(gray.at(mmToDots(10.5, c.dpi), 3), 255);
    }
    if (c.length > mmToDots(50, c.dpi)) {
        std::set<uint8_t> levels(gray.pixels.get(), gray.pixels.get() + size_t{c.width} * c.length);
        EXPECT_EQ(levels, std::set<uint8_t>(std::begin(kDarknessSteps), std::end(kDarknessSteps)));
    }
    KeepPages sink;
    ASSERT_TRUE(renderTestLabel(label, info, ditherMatrix(), sink, &reason)) << reason;
    ASSERT_EQ(sink.labels.size(), 1u);
    const size_t black = sink.labels[0].blackCount();
    EXPECT_GE(black, std::min<size_t>(c.width * 2, 1));
    if (c.width >= 100) {
        EXPECT_LT(black, size_t{c.width} * c.length / 2);
    }
}

INSTANTIATE_TEST_SUITE_P(Render, TestLabels,
                         testing::Values(TestLabelCase{203, 812, 1218}, TestLabelCase{300, 1200, 1800},
                                         TestLabelCase{600, 600, 300}, TestLabelCase{203, 100, 50},
                                         TestLabelCase{203, 1, 1}));

}  // namespace

}  // namespace tvl
