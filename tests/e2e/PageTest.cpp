// SPDX-License-Identifier: Apache-2.0
// Raster pages through the built filter: bands, compression, print command.
#include <gtest/gtest.h>

#include "tests/e2e/PageModel.h"
#include "tests/support/Expected.h"
#include "tests/support/RasterWriter.h"
#include "tests/support/RunFilter.h"

namespace tvl {

namespace {

FilterRun printPages(const std::vector<TestPage>& pages, const std::string& options, bool compressedStream = false)
{
    return model::print(pages, options, compressedStream);
}

std::string pagePart(const FilterRun& run)
{
    return run.out.substr(0, kSetup27.size()) == kSetup27 ? run.out.substr(kSetup27.size()) : "(no setup block)";
}

TEST(RasterPage, WorkedExampleRawAndCompressed)
{
    const TestPage page = bitmapPage(16, 3, {0xFF, 0x00, 0x00, 0xFF, 0x81, 0x18});
    for (bool stream : {false, true}) {
        const FilterRun raw = printPages({page}, "", stream);
        EXPECT_EQ(raw.status, 0);
        EXPECT_EQ(hexBytes(raw.out.substr(kSetup27.size())),
                  "53 4F 54 0D 0A "
                  "4C 44 00 00 00 00 02 00 03 00 FF 00 00 FF 81 18 "
                  "0D 0A 50 31 0D 0A");
        const FilterRun packed = printPages({page}, "CompPrinting=1", stream);
        EXPECT_EQ(packed.status, 0);
        EXPECT_EQ(hexBytes(packed.out.substr(kSetup27.size())),
                  "53 4F 54 0D 0A "
                  "4C 43 52 00 00 00 00 00 02 00 03 00 FF 01 00 02 FF 01 81 18 "
                  "0D 0A 50 31 0D 0A");
    }
}

TEST(RasterPage, WorkedExampleLogLines)
{
    const TestPage page = bitmapPage(16, 3, {0xFF, 0x00, 0x00, 0xFF, 0x81, 0x18});
    EXPECT_EQ(model::pageLines(printPages({page}, "")), (std::vector<std::string>{
                                                            kLog + "printPage() : hieght = 3, bytesPerLine = 2",
                                                            kLog + "printPage() : start_height = 0",
                                                            "TAVELIN Label Driver DEBUG MSG: printPage() : i = 6",
                                                            kLog + "INFO: Ready to print.",
                                                        }));
    EXPECT_EQ(model::pageLines(printPages({page}, "CompPrinting=1")),
              (std::vector<std::string>{
                  kLog + "printPage() comp : hieght = 0, p_height = 3, bytesPerLine = 2",
                  kLog + "printPage() comp : start_height = 0",
                  kLog + "printPage() comp : compDataLen = 0",
                  kLog + "start RLE Compression",
                  kLog + "compData = 0xff, compDataLength = 1",
                  kLog + "compData = 0x00, compDataLength = 2",
                  kLog + "compData = 0xff, compDataLength = 1",
                  kLog + "RLE Compression complete",
                  kLog + "INFO: Ready to print.",
              }));
}

// 201 white rows of 16 pixels: bands of 200 and 1 rows.
TEST(RasterPage, TwoBandsByHand)
{
    const TestPage page = bitmapPage(16, 201, std::vector<uint8_t>(402, 0x00));

    const FilterRun raw = printPages({page}, "");
    EXPECT_EQ(raw.status, 0);
    const std::string out = pagePart(raw);
    ASSERT_EQ(out.size(), 5u + 10 + 400 + 10 + 2 + 6);
    EXPECT_EQ(hexBytes(out.substr(0, 15)), "53 4F 54 0D 0A 4C 44 00 00 00 00 02 00 C8 00");
    EXPECT_EQ(hexBytes(out.substr(415)), "4C 44 00 00 C8 00 02 00 01 00 00 00 0D 0A 50 31 0D 0A");
    EXPECT_EQ(model::pageLines(raw), (std::vector<std::string>{
                                         kLog + "printPage() : hieght = 200, bytesPerLine = 2",
                                         kLog + "printPage() : start_height = 0",
                                         "TAVELIN Label Driver DEBUG MSG: printPage() : i = 400",
                                         kLog + "printPage() : hieght = 1, bytesPerLine = 2",
                                         kLog + "printPage() : start_height = 200",
                                         "TAVELIN Label Driver DEBUG MSG: printPage() : i = 2",
                                         kLog + "INFO: Ready to print.",
                                     }));

    // 400 zero bytes are runs of 255 and 145; the second band's compDataLen
    // line shows the first band's 4 bytes.
    const FilterRun packed = printPages({page}, "CompPrinting=1");
    EXPECT_EQ(packed.status, 0);
    EXPECT_EQ(hexBytes(pagePart(packed)),
              "53 4F 54 0D 0A "
              "4C 43 52 00 00 00 00 00 02 00 C8 00 00 FF 00 91 "
              "4C 43 52 00 00 00 C8 00 02 00 01 00 00 02 "
              "0D 0A 50 31 0D 0A");
    EXPECT_EQ(model::pageLines(packed), (std::vector<std::string>{
                                            kLog + "printPage() comp : hieght = 1, p_height = 200, bytesPerLine = 2",
                                            kLog + "printPage() comp : start_height = 0",
                                            kLog + "printPage() comp : compDataLen = 0",
                                            kLog + "start RLE Compression",
                                            kLog + "compData = 0x00, compDataLength = 255",
                                            kLog + "compData = 0x00, compDataLength = 145",
                                            kLog + "RLE Compression complete",
                                            kLog + "printPage() comp : hieght = 0, p_height = 1, bytesPerLine = 2",
                                            kLog + "printPage() comp : start_height = 200",
                                            kLog + "printPage() comp : compDataLen = 4",
                                            kLog + "start RLE Compression",
                                            kLog + "compData = 0x00, compDataLength = 2",
                                            kLog + "RLE Compression complete",
                                            kLog + "INFO: Ready to print.",
                                        }));
}

// 2400 pixels (300 bytes) wide, 450 rows: start rows 0, 200, 400.
TEST(RasterPage, SixteenBitFieldsBeyond255)
{
    const TestPage page = bitmapPage(2400, 450, std::vector<uint8_t>(300 * 450, 0x00));
    const FilterRun raw = printPages({page}, "");
    EXPECT_EQ(raw.status, 0);
    const std::string out = pagePart(raw);
    ASSERT_EQ(out.size(), 5u + 3 * 10 + 300 * 450 + 6);
    EXPECT_EQ(hexBytes(out.substr(5, 10)), "4C 44 00 00 00 00 2C 01 C8 00");
    EXPECT_EQ(hexBytes(out.substr(5 + 10 + 60000, 10)), "4C 44 00 00 C8 00 2C 01 C8 00");
    EXPECT_EQ(hexBytes(out.substr(5 + 20 + 120000, 10)), "4C 44 00 00 90 01 2C 01 32 00");

    // 60000 zero bytes: 235 runs of 255 and one of 75, 472 bytes; the last
    // band's 15000: 58 runs of 255 and one of 210.
    const FilterRun packed = printPages({page}, "CompPrinting=1");
    EXPECT_EQ(packed.status, 0);
    const std::string cout = pagePart(packed);
    ASSERT_EQ(cout.size(), 5u + 3 * 12 + 472 + 472 + 118 + 6);
    EXPECT_EQ(hexBytes(cout.substr(5, 12)), "4C 43 52 00 00 00 00 00 2C 01 C8 00");
    EXPECT_EQ(hexBytes(cout.substr(5 + 12 + 470, 2 + 12)), "00 4B 4C 43 52 00 00 00 C8 00 2C 01 C8 00");
    EXPECT_EQ(hexBytes(cout.substr(5 + 24 + 944, 12)), "4C 43 52 00 00 00 90 01 2C 01 32 00");
    EXPECT_EQ(hexBytes(cout.substr(cout.size() - 8)), "00 D2 0D 0A 50 31 0D 0A");
}

TEST(RasterPage, HeightsModesAndPadding)
{
    for (uint32_t height : {1u, 200u, 201u, 450u}) {
        for (uint32_t width : {16u, 13u, 812u}) {  // 13 and 812: row padding
            for (int compPrinting : {0, 1, 2}) {
                for (bool stream : {false, true}) {
                    const TestPage page = patternPage(width, height, height * 7 + width);
                    model::Job job;
                    model::addPage(&job, model::fromTestPage(page), 0, compPrinting == 1, 1);
                    const std::string name = "W=" + std::to_string(width) + " H=" + std::to_string(height) +
                                             " CompPrinting=" + std::to_string(compPrinting) +
                                             (stream ? " compressed stream" : "");
                    model::expectJob(printPages({page}, model::optionsFor(0, compPrinting, 1), stream), job, name);
                }
            }
        }
    }
}

TEST(RasterPage, CopyCountInThePrintCommand)
{
    struct Case {
        int copies;
        const char* printCommand;
    };
    const Case cases[] = {
        {0, "0D 0A 50 31 0D 0A"},
        {1, "0D 0A 50 31 0D 0A"},
        {2, "0D 0A 50 31 2C 32 0D 0A"},
        {3, "0D 0A 50 31 2C 33 0D 0A"},
        {12, "0D 0A 50 31 2C 31 32 0D 0A"},
        {-1, "0D 0A 50 31 2C 2D 31 0D 0A"},  // unsigned, it is above 1
    };
    const TestPage page = bitmapPage(8, 1, {0x5A});
    for (const Case& c : cases) {
        for (int compPrinting : {0, 1}) {
            const FilterRun run = printPages({page}, model::optionsFor(0, compPrinting, c.copies));
            EXPECT_EQ(run.status, 0);
            const std::string block = compPrinting == 1 ? "4C 43 52 00 00 00 00 00 01 00 01 00 5A "
                                                        : "4C 44 00 00 00 00 01 00 01 00 5A ";
            EXPECT_EQ(hexBytes(pagePart(run)), "53 4F 54 0D 0A " + block + c.printCommand)
                << "copies " << c.copies << " CompPrinting=" << compPrinting;
        }
    }
}

TEST(RasterPage, MultiPageJob)
{
    const std::vector<TestPage> pages = {patternPage(812, 450, 1), patternPage(13, 1, 2), patternPage(100, 201, 3),
                                         bitmapPage(16, 3, {0xFF, 0x00, 0x00, 0xFF, 0x81, 0x18})};
    for (int compPrinting : {0, 1}) {
        for (int copies : {1, 2}) {
            model::Job job;
            for (const TestPage& p : pages) {
                model::addPage(&job, model::fromTestPage(p), 0, compPrinting == 1, copies);
            }
            model::expectJob(printPages(pages, model::optionsFor(0, compPrinting, copies)), job,
                             "CompPrinting=" + std::to_string(compPrinting) + " copies " + std::to_string(copies));
        }
    }
}

TEST(RasterPage, CompDataLenStartsAtZeroOnEveryPage)
{
    const TestPage page = bitmapPage(16, 201, std::vector<uint8_t>(402, 0xFF));
    const FilterRun run = printPages({page, page}, "CompPrinting=1");
    EXPECT_EQ(run.status, 0);
    std::vector<std::string> lens;
    for (const std::string& line : run.errLines()) {
        if (line.find("compDataLen = ") != std::string::npos) {
            lens.push_back(line.substr(line.find("= ") + 2));
        }
    }
    EXPECT_EQ(lens, (std::vector<std::string>{"0", "4", "0", "4"}));
}

// Unturned pages of any depth go out as they are.
TEST(RasterPage, EightBitPageIsSentAsItIs)
{
    TestPage page;
    page.width = 5;
    page.height = 3;
    page.bitsPerPixel = 8;
    page.bytesPerLine = 5;
    page.pixels = {0x00, 0x10, 0x20, 0x30, 0xFF, 0x00, 0x00, 0x00, 0x00, 0x00, 0xFF, 0xFF, 0x01, 0xFF, 0xFF};
    for (int rotation : {0, 2, 7}) {
        for (int compPrinting : {0, 1}) {
            model::Job job;
            model::addPage(&job, model::fromTestPage(page), rotation, compPrinting == 1, 1);
            model::expectJob(printPages({page}, model::optionsFor(rotation, compPrinting, 1)), job,
                             "rotation " + std::to_string(rotation) + " CompPrinting=" + std::to_string(compPrinting));
        }
    }
}

TEST(RasterPage, PageLargerThanAnyLabelIsRefusedUnread)
{
    // 65536 rows of 65536 bytes: 2^32 bytes, no pixel data in the stream;
    // no memory is asked for, so no allocation error either.
    TestPage page;
    page.width = 524288;
    page.height = 65536;
    page.bytesPerLine = 65536;
    for (int rotation : {0, 1}) {
        const FilterRun run = printPages({page}, model::optionsFor(rotation, 0, 1));
        EXPECT_EQ(run.status, 1);
        EXPECT_EQ(run.out, kSetup27) << "no orientation, block or print command";
        EXPECT_EQ(model::pageLines(run), std::vector<std::string>{kLog + "ERROR: Unable to print page 1"});
    }
}

// libcups's reader refuses a header of 0 rows as if the stream had ended:
// the pages before it print, the rest are never seen. (It refuses 0 bytes per
// line too; the test writer cannot write that header.)
TEST(RasterPage, HeaderTheReaderRefusesEndsTheStream)
{
    const TestPage noRows = bitmapPage(16, 0, {});
    const TestPage good = bitmapPage(8, 1, {0x5A});
    const FilterRun alone = printPages({noRows}, "");
    EXPECT_EQ(alone.status, 1);
    EXPECT_EQ(alone.out, kSetup27);
    EXPECT_EQ(model::pageLines(alone), std::vector<std::string>{kLog + "ERROR: No pages found!"});

    const FilterRun after = printPages({good, noRows, good}, "");
    EXPECT_EQ(after.status, 0);
    EXPECT_EQ(hexBytes(pagePart(after)), "53 4F 54 0D 0A 4C 44 00 00 00 00 01 00 01 00 5A 0D 0A 50 31 0D 0A");
}

TEST(RasterPage, ShortPixelDataFailsThePage)
{
    // The header promises 10 rows; the stream ends after 4.
    TestPage page = bitmapPage(16, 10, std::vector<uint8_t>(8, 0x3C));
    for (bool stream : {false, true}) {
        const FilterRun run = printPages({page}, "", stream);
        EXPECT_EQ(run.status, 1);
        EXPECT_EQ(run.out, kSetup27);
        EXPECT_EQ(model::pageLines(run), std::vector<std::string>{kLog + "ERROR: Unable to print page 1"});
    }
}

}  // namespace

}  // namespace tvl
