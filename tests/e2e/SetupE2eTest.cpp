// The setup block as the built filter writes it, driven by test PPDs and
// job options: label size, length command forms, offsets and margins,
// cutter and rewinder.
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/e2e/E2eHelpers.h"

namespace {

using namespace e2e;

TEST(SetupE2e, WorkedExampleModel27ThreeByThree)
{
    const FilterRun run = setupOnly("model27.ppd", "PageSize=30 Resolution=203dpi");
    EXPECT_EQ(hexBytes(run.out), hexBytes("SL609,24,G\r\n"
                                          "SW609\r\n"
                                          "STd\r\n"
                                          "SD10\r\n"
                                          "SM0,0\r\n"
                                          "SS4\r\n"
                                          "TA0\r\n"
                                          "CUTn\r\n"));
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

struct BlockCase {
    const char* name;
    const char* ppd;
    const char* options;
    const char* sizeLine;  // the lengthDot/widthDot line, without the prefix
    const char* block;
};

TEST(SetupE2e, Blocks)
{
    const BlockCase cases[] = {
        // Length command: models below 38 take the offset as a fourth field,
        // only when it is not zero.
        {"below 38, offset 3 mm at 8.0", "model27.ppd", "PageSize=0 SensorType=2 BMOffset=3",
         "lengthDot = 203, widthDot = 304",
         "SL203,24,B,24\r\nSW304\r\nSTd\r\nSD10\r\nSM0,0\r\nSS4\r\nTA0\r\nCUTn\r\n"},
        {"below 38, continuous sensor, no offset", "model27.ppd", "PageSize=0 SensorType=1",
         "lengthDot = 203, widthDot = 304",
         "SL203,24,C\r\nSW304\r\nSTd\r\nSD10\r\nSM0,0\r\nSS4\r\nTA0\r\nCUTn\r\n"},
        // From 38 up the offset is a separate command, even when it is 0.
        {"100 at 600 dpi, offset 0", "model100-600dpi.ppd", "PageSize=0",
         "lengthDot = 599, widthDot = 899",
         "SL599,24,G\r\nSA0\r\nSW899\r\nSTd\r\nSD10\r\nSM0,0\r\nSS4\r\nTA0\r\nCUTn\r\n"},
        {"100 at 600 dpi, offset 2", "model100-600dpi.ppd", "PageSize=0 BMOffset=2",
         "lengthDot = 599, widthDot = 899",
         "SL599,24,G\r\nSA47\r\nSW899\r\nSTd\r\nSD10\r\nSM0,0\r\nSS4\r\nTA0\r\nCUTn\r\n"},
        // Negative millimetres truncate toward zero.
        {"negative offsets and margins at 300 dpi", "model27.ppd",
         "Resolution=300dpi BMOffset=-1 XMargin=-2 YMargin=-1 TOOffset=-2",
         "lengthDot = 899, widthDot = 899",
         "SL899,24,G,-11\r\nSW899\r\nSTd\r\nSD10\r\nSM-23,-11\r\nSS4\r\nTA-23\r\nCUTn\r\n"},
        {"negative offsets at 142", "model142-norewinder.ppd", "PageSize=0 BMOffset=-1 TOOffset=-1",
         "lengthDot = 299, widthDot = 449",
         "SL299,24,G\r\nSA-11\r\nSW449\r\nSTd\r\nSD10\r\nSM0,0\r\nSS4\r\nTA-11\r\nCUTn\r\n"},
        // Media types other than 0 and 1 write nothing.
        {"media type 2", "model27.ppd", "MediaType=2", "lengthDot = 609, widthDot = 609",
         "SL609,24,G\r\nSW609\r\nSD10\r\nSM0,0\r\nSS4\r\nTA0\r\nCUTn\r\n"},
        // A PPD without most options: -1 everywhere, a -1 pt custom size.
        {"PPD lacking options", "model100-bare.ppd", "", "lengthDot = -8, widthDot = -8",
         "SL-8,24,B\r\nSA-23\r\nSW-8\r\nSD-1\r\nSM-23,-23\r\nSS-1\r\nTA-23\r\nCUTy,-1\r\n"},
        // Quarter turns swap length and width; a half turn does not.
        {"size 5 unturned", "model27.ppd", "PageSize=5", "lengthDot = 1016, widthDot = 304",
         "SL1016,24,G\r\nSW304\r\nSTd\r\nSD10\r\nSM0,0\r\nSS4\r\nTA0\r\nCUTn\r\n"},
        {"size 5 quarter turn", "model27.ppd", "PageSize=5 Rotation=1", "lengthDot = 304, widthDot = 1016",
         "SL304,24,G\r\nSW1016\r\nSTd\r\nSD10\r\nSM0,0\r\nSS4\r\nTA0\r\nCUTn\r\n"},
        {"size 5 half turn", "model27.ppd", "PageSize=5 Rotation=2", "lengthDot = 1016, widthDot = 304",
         "SL1016,24,G\r\nSW304\r\nSTd\r\nSD10\r\nSM0,0\r\nSS4\r\nTA0\r\nCUTn\r\n"},
        {"size 5 three quarter turns", "model27.ppd", "PageSize=5 Rotation=3", "lengthDot = 304, widthDot = 1016",
         "SL304,24,G\r\nSW1016\r\nSTd\r\nSD10\r\nSM0,0\r\nSS4\r\nTA0\r\nCUTn\r\n"},
        {"size 5 rotation code 7", "model27.ppd", "PageSize=5 Rotation=7", "lengthDot = 304, widthDot = 1016",
         "SL304,24,G\r\nSW1016\r\nSTd\r\nSD10\r\nSM0,0\r\nSS4\r\nTA0\r\nCUTn\r\n"},
        {"custom 2 x 3 in quarter turn", "model27.ppd", "PageSize=Custom.144x216 Rotation=1",
         "lengthDot = 406, widthDot = 609",
         "SL406,24,G\r\nSW609\r\nSTd\r\nSD10\r\nSM0,0\r\nSS4\r\nTA0\r\nCUTn\r\n"},
        {"size 54 at 600 dpi", "model100-600dpi.ppd", "PageSize=54", "lengthDot = 7193, widthDot = 2397",
         "SL7193,24,G\r\nSA0\r\nSW2397\r\nSTd\r\nSD10\r\nSM0,0\r\nSS4\r\nTA0\r\nCUTn\r\n"},
        // A size number the table does not know leaves both at 0.
        {"unknown size 99", "model27.ppd", "PageSize=99", "lengthDot = 0, widthDot = 0",
         "SL0,24,G\r\nSW0\r\nSTd\r\nSD10\r\nSM0,0\r\nSS4\r\nTA0\r\nCUTn\r\n"},
        // Cutter: 0 never cuts; anything else cuts every cutPeriod labels.
        {"cutter with a custom period", "model27.ppd", "Cutter=Custom.5", "lengthDot = 609, widthDot = 609",
         "SL609,24,G\r\nSW609\r\nSTd\r\nSD10\r\nSM0,0\r\nSS4\r\nTA0\r\nCUTy,5\r\n"},
        {"cutter on, period not asked", "model27.ppd", "Cutter=1", "lengthDot = 609, widthDot = 609",
         "SL609,24,G\r\nSW609\r\nSTd\r\nSD10\r\nSM0,0\r\nSS4\r\nTA0\r\nCUTy,0\r\n"},
        // Rewinder models: the rewinder command replaces the cutter's only
        // when the rewinder is 1.
        {"142 rewinder on, cutter off", "model142.ppd", "PageSize=0 Cutter=0", "lengthDot = 299, widthDot = 449",
         "SL299,24,G\r\nSA0\r\nSW449\r\nSTd\r\nSD10\r\nSM0,0\r\nSS4\r\nTA0\r\nRWDy\r\n"},
        {"142 rewinder off", "model142.ppd", "PageSize=0 Rewinder=0 Cutter=Custom.3",
         "lengthDot = 299, widthDot = 449",
         "SL299,24,G\r\nSA0\r\nSW449\r\nSTd\r\nSD10\r\nSM0,0\r\nSS4\r\nTA0\r\nCUTy,3\r\n"},
        {"142 rewinder 2", "model142.ppd", "PageSize=0 Rewinder=2", "lengthDot = 299, widthDot = 449",
         "SL299,24,G\r\nSA0\r\nSW449\r\nSTd\r\nSD10\r\nSM0,0\r\nSS4\r\nTA0\r\nCUTn\r\n"},
        {"142 without the option", "model142-norewinder.ppd", "PageSize=0", "lengthDot = 299, widthDot = 449",
         "SL299,24,G\r\nSA0\r\nSW449\r\nSTd\r\nSD10\r\nSM0,0\r\nSS4\r\nTA0\r\nCUTn\r\n"},
        {"143 rewinder asked", "model143.ppd", "PageSize=0 Rewinder=1", "lengthDot = 203, widthDot = 304",
         "SL203,24,G\r\nSA0\r\nSW304\r\nSTd\r\nSD10\r\nSM0,0\r\nSS4\r\nTA0\r\nRWDy\r\n"},
        {"143 default off", "model143.ppd", "PageSize=0", "lengthDot = 203, widthDot = 304",
         "SL203,24,G\r\nSA0\r\nSW304\r\nSTd\r\nSD10\r\nSM0,0\r\nSS4\r\nTA0\r\nCUTn\r\n"},
        {"150 without the option", "model150-norewinder.ppd", "PageSize=0 Cutter=1",
         "lengthDot = 203, widthDot = 304",
         "SL203,24,G\r\nSA0\r\nSW304\r\nSTd\r\nSD10\r\nSM0,0\r\nSS4\r\nTA0\r\nCUTy,0\r\n"},
    };
    for (const BlockCase& c : cases) {
        const FilterRun run = setupOnly(c.ppd, c.options);
        EXPECT_EQ(run.status, 1) << c.name << ": no pages";
        EXPECT_EQ(hexBytes(run.out), hexBytes(c.block)) << c.name << "\n" << run.out;
        const std::vector<std::string> after = linesAfterSettings(run);
        ASSERT_GE(after.size(), 2u) << c.name;
        EXPECT_EQ(after[1], kLog + c.sizeLine) << c.name;
    }
}

}  // namespace
