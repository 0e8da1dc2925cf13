// SPDX-License-Identifier: Apache-2.0
// The setup block as the built filter writes it, driven by test PPDs and
// job options: label size, length command forms, offsets and margins,
// cutter and rewinder.
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/e2e/E2eHelpers.h"

namespace tvl {

namespace {

using namespace e2e;

TEST(SetupE2e, WorkedExampleModel27ThreeByThree)
{
    const FilterRun run = setupOnly("model27.ppd", "PageSize=30 Resolution=203dpi");
    EXPECT_EQ(hexBytes(run.out), hexBytes(kSetup27));
}

TEST(SetupE2e, WorkedExampleModel142WithRewinder)
{
    // model142.ppd: 300 dpi and the rewinder on by default.
    const FilterRun run = setupOnly("model142.ppd",
                                    "PageSize=49 SensorType=2 BMOffset=2 MediaType=1 Darkness=15 XMargin=1 "
                                    "YMargin=2 PrintSpeed=3 TOOffset=-1 Cutter=1");
    EXPECT_EQ(hexBytes(run.out), hexBytes("SL1198,24,B\r\n"
                                          "SA23\r\n"
                                          "SW1198\r\n"
                                          "STt\r\n"
                                          "SD15\r\n"
                                          "SM11,23\r\n"
                                          "SS3\r\n"
                                          "TA-11\r\n"
                                          "RWDy\r\n"));
    EXPECT_EQ(linesAfterSettings(run), (std::vector<std::string>{
                                           kLog + "model number = 142",
                                           kLog + "lengthDot = 1198, widthDot = 1198",
                                           kLog + "setLength() : SL1198,24,B,23",
                                           kLog + "setLength() : SA23",
                                           kLog + "setWidth() : SW1198",
                                           kLog + "setMediaType() : STt",
                                           kLog + "setDarkness() : SD15",
                                           kLog + "setMargin() : SM11,23",
                                           kLog + "setSpeed() : SS3",
                                           kLog + "setToOffset() : TA-11",
                                           kLog + "setRewinder() : RWDy",
                                           kLog + "Not Tavelin Msq API Mode!!!",
                                           kLog + "ERROR: No pages found!",
                                       }));
}

// A setup block as its commands: model 27's defaults (kSetup27: label size
// 30 at 203 dpi) unless a row says otherwise. Empty commands are not written.
struct Block {
    int length = 609;          // SL and the lengthDot line
    int width = 609;           // SW and the widthDot line
    std::string sensor = "G";  // SL's fields after the length's ",24,"
    std::string sa = "";       // the separate offset command, models from 38 up
    std::string st = "STd";
    std::string sd = "SD10";
    std::string sm = "SM0,0";
    std::string ss = "SS4";
    std::string ta = "TA0";
    std::string end = "CUTn";  // the cutter's or the rewinder's command
};

std::string text(const Block& b)
{
    std::string out = "SL" + std::to_string(b.length) + ",24," + b.sensor + "\r\n";
    for (const std::string& command : {b.sa, "SW" + std::to_string(b.width), b.st, b.sd, b.sm, b.ss, b.ta, b.end}) {
        if (!command.empty()) {
            out += command + "\r\n";
        }
    }
    return out;
}

struct BlockCase {
    const char* name;
    const char* ppd;
    const char* options;
    Block block;
};

TEST(SetupE2e, Blocks)
{
    const BlockCase cases[] = {
        // Length command: models below 38 take the offset as a fourth field,
        // only when it is not zero.
        {"below 38, offset 3 mm at 8.0", "model27.ppd", "PageSize=0 SensorType=2 BMOffset=3",
         {.length = 203, .width = 304, .sensor = "B,24"}},
        {"below 38, continuous sensor, no offset", "model27.ppd", "PageSize=0 SensorType=1",
         {.length = 203, .width = 304, .sensor = "C"}},
        // From 38 up the offset is a separate command, even when it is 0.
        {"100 at 600 dpi, offset 0", "model100-600dpi.ppd", "PageSize=0", {.length = 599, .width = 899, .sa = "SA0"}},
        {"100 at 600 dpi, offset 2", "model100-600dpi.ppd", "PageSize=0 BMOffset=2",
         {.length = 599, .width = 899, .sa = "SA47"}},
        // Negative millimetres truncate toward zero.
        {"negative offsets and margins at 300 dpi", "model27.ppd",
         "Resolution=300dpi BMOffset=-1 XMargin=-2 YMargin=-1 TOOffset=-2",
         {.length = 899, .width = 899, .sensor = "G,-11", .sm = "SM-23,-11", .ta = "TA-23"}},
        {"negative offsets at 142", "model142-norewinder.ppd", "PageSize=0 BMOffset=-1 TOOffset=-1",
         {.length = 299, .width = 449, .sa = "SA-11", .ta = "TA-11"}},
        // Media types other than 0 and 1 write nothing.
        {"media type 2", "model27.ppd", "MediaType=2", {.st = ""}},
        // A PPD without most options: -1 everywhere, a -1 pt custom size.
        {"PPD lacking options", "model100-bare.ppd", "",
         {.length = -8, .width = -8, .sensor = "B", .sa = "SA-23", .st = "", .sd = "SD-1", .sm = "SM-23,-23",
          .ss = "SS-1", .ta = "TA-23", .end = "CUTy,-1"}},
        // Quarter turns swap length and width; a half turn does not.
        {"size 5 unturned", "model27.ppd", "PageSize=5", {.length = 1016, .width = 304}},
        {"size 5 quarter turn", "model27.ppd", "PageSize=5 Rotation=1", {.length = 304, .width = 1016}},
        {"size 5 half turn", "model27.ppd", "PageSize=5 Rotation=2", {.length = 1016, .width = 304}},
        {"size 5 three quarter turns", "model27.ppd", "PageSize=5 Rotation=3", {.length = 304, .width = 1016}},
        {"size 5 rotation code 7", "model27.ppd", "PageSize=5 Rotation=7", {.length = 304, .width = 1016}},
        {"custom 2 x 3 in quarter turn", "model27.ppd", "PageSize=Custom.144x216 Rotation=1",
         {.length = 406, .width = 609}},
        {"size 54 at 600 dpi", "model100-600dpi.ppd", "PageSize=54", {.length = 7193, .width = 2397, .sa = "SA0"}},
        // A size number the table does not know leaves both at 0.
        {"unknown size 99", "model27.ppd", "PageSize=99", {.length = 0, .width = 0}},
        // Cutter: 0 never cuts; anything else cuts every cutPeriod labels.
        {"cutter with a custom period", "model27.ppd", "Cutter=Custom.5", {.end = "CUTy,5"}},
        {"cutter on, period not asked", "model27.ppd", "Cutter=1", {.end = "CUTy,0"}},
        // Rewinder models: the rewinder command replaces the cutter's only
        // when the rewinder is 1.
        {"142 rewinder on, cutter off", "model142.ppd", "PageSize=0 Cutter=0",
         {.length = 299, .width = 449, .sa = "SA0", .end = "RWDy"}},
        {"142 rewinder off", "model142.ppd", "PageSize=0 Rewinder=0 Cutter=Custom.3",
         {.length = 299, .width = 449, .sa = "SA0", .end = "CUTy,3"}},
        {"142 rewinder 2", "model142.ppd", "PageSize=0 Rewinder=2", {.length = 299, .width = 449, .sa = "SA0"}},
        {"142 without the option", "model142-norewinder.ppd", "PageSize=0", {.length = 299, .width = 449, .sa = "SA0"}},
        {"143 rewinder asked", "model143.ppd", "PageSize=0 Rewinder=1",
         {.length = 203, .width = 304, .sa = "SA0", .end = "RWDy"}},
        {"143 default off", "model143.ppd", "PageSize=0", {.length = 203, .width = 304, .sa = "SA0"}},
        {"150 without the option", "model150-norewinder.ppd", "PageSize=0 Cutter=1",
         {.length = 203, .width = 304, .sa = "SA0", .end = "CUTy,0"}},
    };
    for (const BlockCase& c : cases) {
        const FilterRun run = setupOnly(c.ppd, c.options);
        EXPECT_EQ(run.status, 1) << c.name << ": no pages";
        EXPECT_EQ(hexBytes(run.out), hexBytes(text(c.block))) << c.name << "\n" << run.out;
        const std::vector<std::string> after = linesAfterSettings(run);
        ASSERT_GE(after.size(), 2u) << c.name;
        EXPECT_EQ(after[1], kLog + "lengthDot = " + std::to_string(c.block.length) +
                                ", widthDot = " + std::to_string(c.block.width))
            << c.name;
    }
}

}  // namespace

}  // namespace tvl
