// SPDX-License-Identifier: Apache-2.0
// Job settings as the built filter reads them from test PPDs and job
// options, and what libcups really reports for custom values.
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/e2e/E2eHelpers.h"

namespace tvl {

namespace {

using namespace e2e;

TEST(SettingsE2e, WholeLogOfADefaultJob)
{
    const FilterRun run = setupOnly("model27.ppd", "");
    const std::string tab = "\t";
    EXPECT_EQ(run.errLines(), (std::vector<std::string>{
                                  kBanner,
                                  kLog + "getOptionChoice = 30",
                                  "TAVELIN DEBUG MSG : custom Width is 0.000000",
                                  "TAVELIN DEBUG MSG : custom Height is 0.000000",
                                  kLog + "getOptionChoice = 203dpi",
                                  kLog + "getOptionChoice = 0",   // MediaType
                                  kLog + "getOptionChoice = 0",   // SensorType
                                  kLog + "getOptionChoice = 0",   // Rotation
                                  kLog + "getOptionChoice = 1",   // NumOfCopies
                                  kLog + "getOptionChoice = 10",  // Darkness
                                  kLog + "getOptionChoice = 0",   // XMargin
                                  kLog + "getOptionChoice = 0",   // YMargin
                                  kLog + "getOptionChoice = 4",   // PrintSpeed
                                  kLog + "getOptionChoice = 0",   // BMOffset
                                  kLog + "getOptionChoice = 0",   // TOOffset
                                  kLog + "getOptionChoice = 0",   // Cutter
                                  kLog + "getOptionChoice = 0",   // CompPrinting
                                  kLog + "settings->modelNumer \t: 27",
                                  kLog + "settings->pageSize   \t: 30",
                                  kLog + "settings->resolution  : 203",
                                  kLog + "settings->mediaType  \t: 0",
                                  kLog + "settings->sensorType \t: 0",
                                  kLog + "settings->rotation   \t: 0",
                                  kLog + "settings->numOfCopies\t: 1",
                                  kLog + "settings->darkness   \t: 10",
                                  kLog + "settings->xMargin   \t: 0",
                                  kLog + "settings->yMargin   \t: 0",
                                  kLog + "settings->printSpeed \t: 4",
                                  kLog + "settings->bmOffset   \t: 0",
                                  kLog + "settings->toOffset   \t: 0",
                                  kLog + "settings->cutter   \t: 0",
                                  kLog + "settings->cutPeriod  \t: 0",
                                  kLog + "settings->compressed \t: 0",
                                  kRule,
                                  kLog + "model number = 27",
                                  kLog + "lengthDot = 609, widthDot = 609",
                                  kLog + "setLength() : SL609,24,G,0",
                                  kLog + "setWidth() : SW609",
                                  kLog + "setMediaType() : STd",
                                  kLog + "setDarkness() : SD10",
                                  kLog + "setMargin() : SM0,0",
                                  kLog + "setSpeed() : SS4",
                                  kLog + "setToOffset() : TA0",
                                  kLog + "setCutter() : CUTn",
                                  kLog + "Not Tavelin Msq API Mode!!!",
                                  kLog + "ERROR: No pages found!",
                              }));
}

struct OptionCase {
    const char* name;
    const char* ppd;
    const char* options;
    std::vector<std::string> dumpLines;  // without the log prefix
};

TEST(SettingsE2e, OptionsOverDefaults)
{
    const OptionCase cases[] = {
        {"default darkness", "model27.ppd", "", {"settings->darkness   \t: 10"}},
        {"job darkness", "model27.ppd", "Darkness=12", {"settings->darkness   \t: 12"}},
        {"several options", "model27.ppd", "NumOfCopies=12 Rotation=2 CompPrinting=1 XMargin=-2",
         {"settings->numOfCopies\t: 12", "settings->rotation   \t: 2", "settings->compressed \t: 1",
          "settings->xMargin   \t: -2"}},
        {"negative choice", "model27.ppd", "NumOfCopies=-1", {"settings->numOfCopies\t: -1"}},
        {"unknown choice keeps the default", "model27.ppd", "Darkness=99", {"settings->darkness   \t: 10"}},
        {"options that do not parse", "model27.ppd", "===", {"settings->darkness   \t: 10"}},
        {"300dpi default", "model142.ppd", "", {"settings->resolution  : 300"}},
        {"600dpi default", "model100-600dpi.ppd", "", {"settings->resolution  : 600"}},
        {"200dpi", "model27.ppd", "Resolution=200dpi", {"settings->resolution  : 200"}},
    };
    for (const OptionCase& c : cases) {
        const FilterRun run = setupOnly(c.ppd, c.options);
        for (const std::string& line : c.dumpLines) {
            const std::string field = line.substr(std::string("settings->").size(), line.find(':') - 10);
            EXPECT_EQ(dumpLine(run, field), line) << c.name;
        }
    }
}

TEST(SettingsE2e, ResolutionDecidesDotsPerMillimetre)
{
    // 1 mm of margin in dots: 8 at 203, 11 at 300, 23 at anything else.
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"Resolution=203dpi", "SM8,16\r\n"},
        {"Resolution=300dpi", "SM11,23\r\n"},
        {"Resolution=600dpi", "SM23,47\r\n"},
        {"Resolution=200dpi", "SM23,47\r\n"},
    };
    for (const auto& [options, margin] : cases) {
        const FilterRun run = setupOnly("model27.ppd", options + " XMargin=1 YMargin=2");
        EXPECT_NE(run.out.find(margin), std::string::npos) << options << ": " << run.out;
    }
    // No Resolution option at all: 23.6.
    EXPECT_NE(setupOnly("model100-bare.ppd", "").out.find("SM-23,-23\r\n"), std::string::npos);
}

struct CustomCase {
    const char* name;
    const char* options;
    std::vector<std::string> pageSizeLines;  // PageSize and Width/Height lines
    const char* pageSizeDump;
    const char* sizeLine;
};

// What libcups reports for custom values: for a Custom PageSize choice the
// page size number is the first custom parameter (Width, a points value)
// read as an integer, that is the bits of the float.
TEST(SettingsE2e, CustomPageSizes)
{
    const std::vector<std::string> customPath = {
        kLog + "getOptionChoice = Custom",
        kLog + "keyword = PageSize",
        kLog + "start custom option function",
        kLog + "cOption not NULL",
        kLog + "cParam not NULL, name = Width",
    };
    auto withCustom = [&](std::vector<std::string> tail) {
        std::vector<std::string> lines = customPath;
        lines.insert(lines.end(), tail.begin(), tail.end());
        return lines;
    };
    const CustomCase cases[] = {
        {"4 x 6 in", "PageSize=Custom.288x432",
         withCustom({"TAVELIN DEBUG MSG : custom Width is 288.000000", "TAVELIN DEBUG MSG : custom Height is 432.000000"}),
         "settings->pageSize   \t: 1133510656", "lengthDot = 1219, widthDot = 812"},
        {"fraction of a point dropped", "PageSize=Custom.288.5x432",
         withCustom({"TAVELIN DEBUG MSG : custom Width is 288.500000", "TAVELIN DEBUG MSG : custom Height is 432.000000"}),
         "settings->pageSize   \t: 1133527040", "lengthDot = 1219, widthDot = 812"},
        {"inches", "PageSize=Custom.4x6in",
         withCustom({"TAVELIN DEBUG MSG : custom Width is 288.000000", "TAVELIN DEBUG MSG : custom Height is 432.000000"}),
         "settings->pageSize   \t: 1133510656", "lengthDot = 1219, widthDot = 812"},
        {"named parameters", "PageSize={Width=100 Height=200}",
         withCustom({"TAVELIN DEBUG MSG : custom Width is 100.000000", "TAVELIN DEBUG MSG : custom Height is 200.000000"}),
         "settings->pageSize   \t: 1120403456", "lengthDot = 564, widthDot = 282"},
        {"width beyond 32 bits saturates", "PageSize=Custom.1e40x1",
         withCustom({"TAVELIN DEBUG MSG : custom Width is inf", "TAVELIN DEBUG MSG : custom Height is 1.000000"}),
         "settings->pageSize   \t: 2139095040", "lengthDot = 2, widthDot = 2147483647"},
        // libcups marks the Custom choice but takes no values from a
        // lower-case "custom.": both sizes 0, so the page size number (the
        // Width bits, 0) picks standard size 0.
        {"lower-case custom", "PageSize=custom.100x100",
         withCustom({"TAVELIN DEBUG MSG : custom Width is 0.000000", "TAVELIN DEBUG MSG : custom Height is 0.000000"}),
         "settings->pageSize   \t: 0", "lengthDot = 203, widthDot = 304"},
        {"no custom size asked", "PageSize=5",
         {kLog + "getOptionChoice = 5", "TAVELIN DEBUG MSG : custom Width is 0.000000",
          "TAVELIN DEBUG MSG : custom Height is 0.000000"},
         "settings->pageSize   \t: 5", "lengthDot = 1016, widthDot = 304"},
    };
    for (const CustomCase& c : cases) {
        const FilterRun run = setupOnly("model27.ppd", c.options);
        const std::vector<std::string> lines = run.errLines();
        ASSERT_GT(lines.size(), c.pageSizeLines.size()) << c.name;
        EXPECT_EQ(std::vector<std::string>(lines.begin() + 1, lines.begin() + 1 + static_cast<long>(c.pageSizeLines.size())),
                  c.pageSizeLines)
            << c.name;
        EXPECT_EQ(dumpLine(run, "pageSize"), c.pageSizeDump) << c.name;
        EXPECT_EQ(linesAfterSettings(run).at(1), kLog + c.sizeLine) << c.name;
    }
}

TEST(SettingsE2e, CustomCutPeriod)
{
    for (const char* options : {"Cutter=Custom.5", "Cutter={Period=5}"}) {
        const FilterRun run = setupOnly("model27.ppd", options);
        const std::string log = run.err;
        EXPECT_NE(log.find(kLog + "getOptionChoice = Custom\n" + kLog + "keyword = Cutter\n" + kLog +
                           "start custom option function\n" + kLog + "cOption not NULL\n" + kLog +
                           "cParam not NULL, name = Cut period\n"),
                  std::string::npos)
            << options;
        EXPECT_EQ(dumpLine(run, "cutter"), "settings->cutter   \t: 5") << options;
        EXPECT_EQ(dumpLine(run, "cutPeriod"), "settings->cutPeriod  \t: 5") << options;
        EXPECT_NE(run.out.find("CUTy,5\r\n"), std::string::npos) << options;
    }
}

TEST(SettingsE2e, PpdLackingOptionsGivesMinusOne)
{
    const FilterRun run = setupOnly("model100-bare.ppd", "Darkness=12 Rewinder=1");
    EXPECT_EQ(run.errLines(), (std::vector<std::string>{
                                  kBanner,
                                  "TAVELIN DEBUG MSG : ppd option is NULL",  // Width
                                  "TAVELIN DEBUG MSG : ppd option is NULL",  // Height
                                  "TAVELIN DEBUG MSG : ppd option is NULL",  // cut period
                                  kLog + "settings->modelNumer \t: 100",
                                  kLog + "settings->pageSize   \t: -1",
                                  kLog + "settings->resolution  : -1",
                                  kLog + "settings->mediaType  \t: -1",
                                  kLog + "settings->sensorType \t: -1",
                                  kLog + "settings->rotation   \t: -1",
                                  kLog + "settings->numOfCopies\t: -1",
                                  kLog + "settings->darkness   \t: -1",
                                  kLog + "settings->xMargin   \t: -1",
                                  kLog + "settings->yMargin   \t: -1",
                                  kLog + "settings->printSpeed \t: -1",
                                  kLog + "settings->bmOffset   \t: -1",
                                  kLog + "settings->toOffset   \t: -1",
                                  kLog + "settings->cutter   \t: -1",
                                  kLog + "settings->cutPeriod  \t: -1",
                                  kLog + "settings->compressed \t: -1",
                                  kRule,
                                  kLog + "model number = 100",
                                  // -1 pt custom size at 23.6, rotation -1 swaps (same value).
                                  kLog + "lengthDot = -8, widthDot = -8",
                                  kLog + "setLength() : SL-8,24,B,-23",
                                  kLog + "setLength() : SA-23",
                                  kLog + "setWidth() : SW-8",
                                  kLog + "setDarkness() : SD-1",
                                  kLog + "setMargin() : SM-23,-23",
                                  kLog + "setSpeed() : SS-1",
                                  kLog + "setToOffset() : TA-23",
                                  kLog + "setCutter() : CUTy",
                                  kLog + "Not Tavelin Msq API Mode!!!",
                                  kLog + "ERROR: No pages found!",
                              }));
}

struct RewinderCase {
    const char* name;
    const char* ppd;
    const char* options;
    const char* rewinderLine;  // nullptr: no line
};

TEST(SettingsE2e, RewinderLineOnlyForItsModels)
{
    const RewinderCase cases[] = {
        {"142, default on", "model142.ppd", "", "settings->rewinder \t: 1"},
        {"142, job turns it off", "model142.ppd", "Rewinder=0", "settings->rewinder \t: 0"},
        {"142 without the option", "model142-norewinder.ppd", "", "settings->rewinder \t: -1"},
        {"143, default off", "model143.ppd", "", "settings->rewinder \t: 0"},
        {"150 without the option", "model150-norewinder.ppd", "", "settings->rewinder \t: -1"},
        {"27 never reads it", "model27.ppd", "Rewinder=1", nullptr},
        {"100 never reads it", "model100-600dpi.ppd", "", nullptr},
    };
    for (const RewinderCase& c : cases) {
        const FilterRun run = setupOnly(c.ppd, c.options);
        int dumpLines = 0;
        for (const std::string& line : run.errLines()) {
            dumpLines += line.rfind(kLog + "settings->", 0) == 0 ? 1 : 0;
        }
        if (c.rewinderLine != nullptr) {
            EXPECT_EQ(dumpLine(run, "rewinder"), c.rewinderLine) << c.name;
            EXPECT_EQ(dumpLines, 17) << c.name;
        } else {
            EXPECT_EQ(dumpLine(run, "rewinder"), "(no rewinder line)") << c.name;
            EXPECT_EQ(dumpLines, 16) << c.name;
        }
    }
}

TEST(SettingsE2e, ChoiceKeywordsThatAreNotPlainNumbers)
{
    // libcups renames PPD choices spelled "custom" and "CUSTOM" to "_custom"
    // and "_CUSTOM" (it keeps "Custom" for its own); those read as 0.
    const FilterRun run = setupOnly("model27-oddchoices.ppd", "");
    const std::vector<std::pair<std::string, std::string>> expected = {
        {"mediaType", "settings->mediaType  \t: 0"},       // Letter
        {"sensorType", "settings->sensorType \t: -3"},     // -3
        {"rotation", "settings->rotation   \t: 0"},        // Customize
        {"numOfCopies", "settings->numOfCopies\t: 2"},     // +2
        {"darkness", "settings->darkness   \t: 0"},        // _custom
        {"xMargin", "settings->xMargin   \t: 3"},          // 3mm
        {"printSpeed", "settings->printSpeed \t: 0"},      // _CUSTOM
        {"yMargin", "settings->yMargin   \t: -1"},         // missing
    };
    for (const auto& [field, line] : expected) {
        EXPECT_EQ(dumpLine(run, field), line);
    }
    EXPECT_NE(run.err.find(kLog + "getOptionChoice = _custom\n"), std::string::npos);
    EXPECT_NE(run.err.find(kLog + "getOptionChoice = Customize\n" + kLog + "getOptionChoice = +2\n"),
              std::string::npos)
        << "Customize does not take the custom path";
    EXPECT_EQ(run.err.find("keyword ="), std::string::npos);
}

TEST(SettingsE2e, JobAskingForTheCustomChoiceOfAnOption)
{
    // "Custom" (any case in the job's options) marks libcups's Custom choice.
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"Darkness=Custom.17", "settings->darkness   \t: 17"},
        {"Darkness={Level=18}", "settings->darkness   \t: 18"},
        {"Darkness=custom", "settings->darkness   \t: 0"},
    };
    for (const auto& [options, line] : cases) {
        const FilterRun run = setupOnly("model27-oddchoices.ppd", options);
        EXPECT_EQ(dumpLine(run, "darkness"), line) << options;
        EXPECT_NE(run.err.find(kLog + "getOptionChoice = Custom\n" + kLog + "keyword = Darkness\n" + kLog +
                               "start custom option function\n" + kLog + "cOption not NULL\n" + kLog +
                               "cParam not NULL, name = Darkness level\n"),
                  std::string::npos)
            << options;
    }
}

}  // namespace

}  // namespace tvl
