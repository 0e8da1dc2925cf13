// SPDX-License-Identifier: Apache-2.0
// Quarter and half turns through the built filter, against a pixel-by-pixel
// turn and the band model of PageModel.h.
#include <gtest/gtest.h>

#include "tests/e2e/PageModel.h"
#include "tests/support/Expected.h"
#include "tests/support/RasterWriter.h"
#include "tests/support/RunFilter.h"

namespace tvl {

namespace {

TEST(RotatedPage, WorkedExampleThroughTheFilter)
{
    // W=3, H=4: rows A0 C0 20 40 turn into 30 A0 50 (clockwise) and A0 50 C0.
    const TestPage page = bitmapPage(3, 4, {0xA0, 0xC0, 0x20, 0x40});
    struct Case {
        int rotation;
        const char* page;
    };
    const Case cases[] = {
        {0, "53 4F 54 0D 0A 4C 44 00 00 00 00 01 00 04 00 A0 C0 20 40 0D 0A 50 31 0D 0A"},
        {1, "53 4F 54 0D 0A 4C 44 00 00 00 00 01 00 03 00 30 A0 50 0D 0A 50 31 0D 0A"},
        {2, "53 4F 54 0D 0A 53 4F 42 0D 0A 4C 44 00 00 00 00 01 00 04 00 A0 C0 20 40 0D 0A 50 31 0D 0A"},
        {3, "53 4F 54 0D 0A 4C 44 00 00 00 00 01 00 03 00 A0 50 C0 0D 0A 50 31 0D 0A"},
        {7, "53 4F 54 0D 0A 4C 44 00 00 00 00 01 00 04 00 A0 C0 20 40 0D 0A 50 31 0D 0A"},
    };
    for (const Case& c : cases) {
        const FilterRun run = model::print({page}, "Rotation=" + std::to_string(c.rotation));
        EXPECT_EQ(run.status, 0) << c.rotation;
        ASSERT_EQ(run.out.substr(0, kSetup27.size()), kSetup27);
        EXPECT_EQ(hexBytes(run.out.substr(kSetup27.size())), c.page) << "rotation " << c.rotation;
    }
}

TEST(RotatedPage, EveryCodeHeightAndMode)
{
    struct Shape {
        uint32_t width, height;
    };
    // Widths with and without row padding; heights that turn into rows of
    // 1 to 57 bytes; widths that become 1, 200, 201 and 450 turned rows.
    const Shape shapes[] = {{16, 13}, {13, 16}, {1, 9}, {200, 7}, {201, 33}, {450, 24}, {812, 3}, {812, 1}, {300, 2}, {24, 450}, {29, 201}};
    for (const Shape& s : shapes) {
        const TestPage page = patternPage(s.width, s.height, s.width * 31 + s.height);
        for (int rotation : {0, 1, 2, 3, 7}) {
            for (int compPrinting : {0, 1}) {
                model::Job job;
                model::addPage(&job, model::fromTestPage(page), rotation, compPrinting == 1, 1);
                model::expectJob(model::print({page}, model::optionsFor(rotation, compPrinting, 1)), job,
                                 std::to_string(s.width) + "x" + std::to_string(s.height) + " rotation " +
                                     std::to_string(rotation) + " CompPrinting=" + std::to_string(compPrinting));
            }
        }
    }
}

// Row padding bits set to 1 must not come out as a column of the turned page.
TEST(RotatedPage, PaddingBitsNeverShow)
{
    TestPage page = bitmapPage(13, 5, std::vector<uint8_t>(10, 0x00));
    for (size_t row = 0; row < 5; ++row) {
        page.pixels[row * 2 + 1] = 0x07;  // the three padding bits only
    }
    for (int rotation : {1, 3}) {
        const FilterRun run = model::print({page}, model::optionsFor(rotation, 0, 1));
        EXPECT_EQ(run.status, 0);
        // 13 turned rows of one byte, all white.
        EXPECT_EQ(hexBytes(run.out.substr(kSetup27.size())),
                  "53 4F 54 0D 0A 4C 44 00 00 00 00 01 00 0D 00 "
                  "00 00 00 00 00 00 00 00 00 00 00 00 00 "
                  "0D 0A 50 31 0D 0A")
            << "rotation " << rotation;
    }
}

// Rows wider than the width needs: 8 columns in rows of 4 bytes.
TEST(RotatedPage, WideRowsKeepOnlyTheWidth)
{
    TestPage page = bitmapPage(8, 3, {0x80, 0xFF, 0xFF, 0xFF, 0x01, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF});
    page.bytesPerLine = 4;
    for (int rotation : {1, 3}) {
        model::Job job;
        model::addPage(&job, model::fromTestPage(page), rotation, false, 1);
        model::expectJob(model::print({page}, model::optionsFor(rotation, 0, 1)), job,
                         "rotation " + std::to_string(rotation));
    }
    // Clockwise, turned row Y is column Y from the bottom up: row 0 = 1,0,1.
    const FilterRun run = model::print({page}, model::optionsFor(1, 0, 1));
    EXPECT_EQ(hexBytes(run.out.substr(kSetup27.size())),
              "53 4F 54 0D 0A 4C 44 00 00 00 00 01 00 08 00 A0 80 80 80 80 80 80 C0 0D 0A 50 31 0D 0A");
}

TEST(RotatedPage, MultiPageTurnedJob)
{
    const std::vector<TestPage> pages = {patternPage(812, 250, 5), patternPage(7, 1, 6), patternPage(300, 19, 7)};
    for (int rotation : {1, 3}) {
        for (int compPrinting : {0, 1}) {
            model::Job job;
            for (const TestPage& p : pages) {
                model::addPage(&job, model::fromTestPage(p), rotation, compPrinting == 1, 12);
            }
            model::expectJob(model::print(pages, model::optionsFor(rotation, compPrinting, 12)), job,
                             "rotation " + std::to_string(rotation) + " CompPrinting=" + std::to_string(compPrinting));
        }
    }
}

TEST(RotatedPage, PagesThatCannotBeTurned)
{
    // libcups writes and reads both shapes: an 8-bit page, and a 1-bit page
    // whose rows (2 bytes) hold fewer bits than its 20 columns.
    TestPage gray;
    gray.width = 4;
    gray.height = 3;
    gray.bitsPerPixel = 8;
    gray.bytesPerLine = 4;
    gray.pixels = std::vector<uint8_t>(12, 0x80);
    TestPage shortRows = bitmapPage(20, 3, std::vector<uint8_t>(6, 0xF0));
    shortRows.bytesPerLine = 2;

    struct Case {
        const char* name;
        TestPage page;
    };
    const Case cases[] = {{"8 bits per pixel", gray}, {"rows shorter than the width", shortRows}};
    for (const Case& c : cases) {
        for (int rotation : {1, 3}) {
            for (int compPrinting : {0, 1}) {
                const FilterRun run = model::print({c.page}, model::optionsFor(rotation, compPrinting, 2));
                EXPECT_EQ(run.status, 1) << c.name;
                EXPECT_EQ(run.out, kSetup27 + "SOT\r\n") << c.name << ": no block, no print command";
                EXPECT_EQ(model::pageLines(run), (std::vector<std::string>{
                                                     kLog + "ERROR: Cannot rotate this page",
                                                     kLog + "ERROR: Unable to print page 1",
                                                 }))
                    << c.name << " rotation " << rotation;
            }
        }
        // Not turned, the same pages go out as they are.
        for (int rotation : {0, 2}) {
            model::Job job;
            model::addPage(&job, model::fromTestPage(c.page), rotation, false, 1);
            model::expectJob(model::print({c.page}, model::optionsFor(rotation, 0, 1)), job, c.name);
        }
    }
}

TEST(RotatedPage, FailedTurnStopsTheJobAtThatPage)
{
    const TestPage good = bitmapPage(16, 3, {0xFF, 0x00, 0x00, 0xFF, 0x81, 0x18});
    TestPage gray;
    gray.width = 2;
    gray.height = 2;
    gray.bitsPerPixel = 8;
    gray.bytesPerLine = 2;
    gray.pixels = {1, 2, 3, 4};
    const FilterRun run = model::print({good, gray, good}, model::optionsFor(1, 0, 1));
    EXPECT_EQ(run.status, 1);
    model::Job job;
    model::addPage(&job, model::fromTestPage(good), 1, false, 1);
    EXPECT_TRUE(model::sameBytes(run.out, kSetup27 + job.out + "SOT\r\n"));
    std::vector<std::string> lines = job.err;
    lines.push_back(kLog + "ERROR: Cannot rotate this page");
    lines.push_back(kLog + "ERROR: Unable to print page 2");
    EXPECT_EQ(model::pageLines(run), lines);
}

// A page of no columns turns into a page of no rows: orientation and print
// command only.
TEST(RotatedPage, ZeroWidthPage)
{
    TestPage page;
    page.width = 0;
    page.height = 3;
    page.bytesPerLine = 1;
    page.pixels = {0x80, 0x40, 0x20};
    for (int rotation : {0, 1, 3}) {
        model::Job job;
        model::addPage(&job, model::fromTestPage(page), rotation, rotation == 3, 1);
        model::expectJob(model::print({page}, model::optionsFor(rotation, rotation == 3 ? 1 : 0, 1)), job,
                         "rotation " + std::to_string(rotation));
    }
}

}  // namespace

}  // namespace tvl
