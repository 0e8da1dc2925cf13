// SPDX-License-Identifier: Apache-2.0
// IPP job attributes to Settings to the setup block the printer receives:
// one row per rule of the mapping, and the values that must stop a job.
#include <cstring>
#include <initializer_list>
#include <string>
#include <string_view>

#include <gtest/gtest.h>

#include "app/DeviceId.h"
#include "app/IppSettings.h"
#include "app/Media.h"
#include "output/Setup.h"
#include "settings/LabelSize.h"
#include "settings/Units.h"
#include "tests/support/StringSinks.h"

namespace tvl {

namespace {

// A 4 x 6 in label job on model 100 at 203 dpi, with libpappl's defaults.
IppJob baseJob()
{
    IppJob job;
    job.model = 100;
    job.mediaName = "oe_4x6-label_4x6in";
    job.mediaWidth = 10160;
    job.mediaLength = 15240;
    job.resolution = 203;
    return job;
}

std::string setupBlock(const IppJob& job, std::string* message)
{
    Settings s{};
    char text[256] = "";
    if (!settingsFromIpp(job, &s, text, sizeof(text))) {
        *message = text;
        return "";
    }
    const float dot = dotsPerMillimetre(s.resolution);
    computeLabelSize(&s, dot);
    StringOutput o(dot);
    EXPECT_TRUE(primaryProcess(o.out, s).printed());
    return o.printer.bytes;
}

// The setup block of baseJob(), one command a line without its CR LF.
constexpr std::string_view kBaseBlock[] = {"SL1219,24,G", "SA0", "SW812", "STd", "SD8", "SM0,0", "SS4", "TA0", "CUTn"};

// A line of the base block and what a row has in its place ("": nothing).
struct Change {
    std::string_view from;
    std::string_view to;
};

std::string blockWith(std::initializer_list<Change> changes)
{
    std::string block;
    for (std::string_view line : kBaseBlock) {
        for (const Change& c : changes) {
            line = line == c.from ? c.to : line;
        }
        if (!line.empty()) {
            block.append(line).append("\r\n");
        }
    }
    return block;
}

struct BlockCase {
    const char* name;
    void (*change)(IppJob&);
    std::initializer_list<Change> changes;  // to the base block
};

TEST(IppToSetupBlock, EachAttributeReachesItsCommand)
{
    const BlockCase cases[] = {
        {"defaults: 4x6 in, gap, darkness 50 -> 8, default 4 ips, tear-off", [](IppJob&) {}, {}},
        {"300 dpi scales the label", [](IppJob& j) { j.resolution = 300; }, {{"SL1219,24,G", "SL1798,24,G"}, {"SW812", "SW1198"}}},
        {"600 dpi", [](IppJob& j) { j.resolution = 600; }, {{"SL1219,24,G", "SL3596,24,G"}, {"SW812", "SW2397"}}},
        {"standard size found by its dimensions", [](IppJob& j) { j.mediaName = ""; j.mediaWidth = 3810; j.mediaLength = 2540; },
         {{"SL1219,24,G", "SL203,24,G"}, {"SW812", "SW304"}}},
        {"custom size in whole points", [](IppJob& j) { j.mediaName = "custom_2.25x1.25in_2.25x1.25in"; j.mediaWidth = 5715; j.mediaLength = 3175; },
         {{"SL1219,24,G", "SL254,24,G"}, {"SW812", "SW457"}}},
        {"continuous media", [](IppJob& j) { j.tracking = Tracking::Continuous; }, {{"SL1219,24,G", "SL1219,24,C"}}},
        {"black mark with media-top-offset 2.49 mm -> 2 mm", [](IppJob& j) { j.tracking = Tracking::Mark; j.topOffset = 249; },
         {{"SL1219,24,G", "SL1219,24,B"}, {"SA0", "SA16"}}},
        {"offset in SL below model 38", [](IppJob& j) { j.model = 27; j.tracking = Tracking::Mark; j.topOffset = 300; },
         {{"SL1219,24,G", "SL1219,24,B,24"}, {"SA0", ""}}},
        {"darkness -100 clamps to 0", [](IppJob& j) { j.printDarkness = -100; }, {{"SD8", "SD0"}}},
        {"darkness 30 over 50 -> 12", [](IppJob& j) { j.printDarkness = 30; }, {{"SD8", "SD12"}}},
        {"darkness 100 over 100 clamps to 15", [](IppJob& j) { j.printDarkness = 100; j.darknessConfigured = 100; }, {{"SD8", "SD15"}}},
        {"speed 6350 (2.5 ips) rounds to 3", [](IppJob& j) { j.printSpeed = 6350; }, {{"SS4", "SS3"}}},
        {"speed 15240 -> 6", [](IppJob& j) { j.printSpeed = 15240; }, {{"SS4", "SS6"}}},
        {"cutter cuts every label", [](IppJob& j) { j.labelMode = LabelMode::Cutter; j.cutPeriod = "9"; }, {{"CUTn", "CUTy,1"}}},
        {"cutter-delayed takes the cut period", [](IppJob& j) { j.labelMode = LabelMode::CutterDelayed; j.cutPeriod = "9"; },
         {{"CUTn", "CUTy,9"}}},
        {"rewind on a rewinder model", [](IppJob& j) { j.model = 142; j.labelMode = LabelMode::Rewind; }, {{"CUTn", "RWDy"}}},
        {"vendor: tear-off -2.5 mm -> -3, margins 1 and 2 mm, transfer",
         [](IppJob& j) { j.tearOffOffset = "-250"; j.horizontalMargin = "100"; j.verticalMargin = "150"; j.thermalMode = "thermal-transfer"; },
         {{"STd", "STt"}, {"SM0,0", "SM8,16"}, {"TA0", "TA-24"}}},
    };
    for (const BlockCase& c : cases) {
        IppJob job = baseJob();
        c.change(job);
        std::string message;
        EXPECT_EQ(setupBlock(job, &message), blockWith(c.changes)) << c.name << ": " << message;
    }
}

struct RefusalCase {
    const char* name;
    void (*change)(IppJob&);
    const char* says;  // the message names the attribute and its value
};

TEST(IppToSetupBlock, ValuesThatCannotPrintStopTheJob)
{
    const RefusalCase cases[] = {
        {"resolution 250", [](IppJob& j) { j.resolution = 250; }, "printer-resolution 250dpi"},
        {"stored darkness default 500", [](IppJob& j) { j.printDarkness = 500; }, "print-darkness 500"},
        {"configured darkness 101", [](IppJob& j) { j.darknessConfigured = 101; }, "printer-darkness-configured 101"},
        {"speed below the range", [](IppJob& j) { j.printSpeed = 100; }, "print-speed 100"},
        {"top offset beyond 10 mm", [](IppJob& j) { j.topOffset = 1001; }, "media-top-offset 1001"},
        {"label wider than the head", [](IppJob& j) { j.mediaName = "na_letter_8.5x11in"; j.mediaWidth = 21590; j.mediaLength = 27940; }, "media 'na_letter_8.5x11in'"},
        {"label under 0.5 in", [](IppJob& j) { j.mediaName = ""; j.mediaWidth = 1000; j.mediaLength = 1000; }, "media ''"},
        {"rewind on a model without rewinder", [](IppJob& j) { j.labelMode = LabelMode::Rewind; }, "'rewind' is not available on model 100"},
        {"peel-off and the like", [](IppJob& j) { j.labelMode = LabelMode::Other; }, "label-mode-configured"},
        {"cut period 0", [](IppJob& j) { j.cutPeriod = "0"; }, "cut-period '0'"},
        {"cut period with junk", [](IppJob& j) { j.cutPeriod = "5x"; }, "cut-period '5x'"},
        {"tear-off offset 10.01 mm", [](IppJob& j) { j.tearOffOffset = "1001"; }, "tear-off-offset '1001'"},
        {"negative margin", [](IppJob& j) { j.horizontalMargin = "-1"; }, "horizontal-margin '-1'"},
        {"margin beyond 32 bits", [](IppJob& j) { j.verticalMargin = "99999999999"; }, "vertical-margin '99999999999'"},
        {"unknown thermal mode", [](IppJob& j) { j.thermalMode = "bogus"; }, "thermal-mode 'bogus'"},
        {"unknown band compression", [](IppJob& j) { j.bandCompression = "zip"; }, "band-compression 'zip'"},
        {"copies 0", [](IppJob& j) { j.copies = 0; }, "copies 0"},
        {"unsupported model", [](IppJob& j) { j.model = 7; }, "model 7"},
    };
    for (const RefusalCase& c : cases) {
        IppJob job = baseJob();
        c.change(job);
        Settings s{};
        char message[256] = "";
        EXPECT_FALSE(settingsFromIpp(job, &s, message, sizeof(message))) << c.name;
        EXPECT_NE(strstr(message, c.says), nullptr) << c.name << ": " << message;
    }
}

TEST(IppToSettings, CopiesAndBandCompression)
{
    IppJob job = baseJob();
    job.copies = 3;
    Settings s{};
    char message[256] = "";
    ASSERT_TRUE(settingsFromIpp(job, &s, message, sizeof(message))) << message;
    EXPECT_EQ(s.numOfCopies, 3);
    EXPECT_EQ(s.compressed, 1);  // run-length unless the printer is set to raw
    EXPECT_EQ(s.rotation, 0);    // the client laid the page out
    job.bandCompression = "raw";
    ASSERT_TRUE(settingsFromIpp(job, &s, message, sizeof(message))) << message;
    EXPECT_EQ(s.compressed, 0);
}

TEST(MediaNames, EveryStandardSizeMapsBackToItsNumber)
{
    for (size_t i = 0; i < kStandardSizeCount; ++i) {
        const SizeHmm size = standardSizeHmm(i);
        EXPECT_EQ(standardSizeFor(kStandardMediaNames[i].data(), 0, 0), static_cast<int32_t>(i));
        EXPECT_EQ(standardSizeFor("", size.width, size.length), static_cast<int32_t>(i));
    }
    EXPECT_EQ(standardSizeFor("oe_4x6-label_4x6in", 0, 0), kDefaultSizeNumber);
    EXPECT_EQ(standardSizeFor("", 10160, 15260), -1);  // 0.2 mm off
}

}  // namespace

namespace {

TEST(DeviceIds, ModelForAutoadd)
{
    struct Case {
        const char* id;
        int32_t model;
    };
    const Case cases[] = {
        {"MFG:Tavelin;MDL:4880;CMD:TVL;", 4880},
        {"MANUFACTURER:TAVELIN; MODEL:142;", 142},
        {"mfg:tavelin;mdl:27", 27},
        {"MFG:Tavelin;MDL:7;", 0},        // not a supported model
        {"MFG:Other;MDL:100;", 0},        // another maker's 100
        {"MDL:100;", 0},                  // no maker
        {"MFG:Tavelin;MDL:100x;", 0},
        {"MFG:Tavelin;MDL:999999999999;", 0},
        {"", 0},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(modelOfDeviceId(c.id), c.model) << c.id;
    }
}

}  // namespace

}  // namespace tvl
