// SPDX-License-Identifier: Apache-2.0
// Reading the job settings: choice keywords as numbers, the custom path,
// the dots per millimetre, and the settings dump.
#include <cstdlib>
#include <cstring>
#include <string>

#include <cups/cups.h>
#include <cups/ppd.h>
#include <gtest/gtest.h>

#include "settings/PpdSettings.h"
#include "settings/Settings.h"
#include "tests/support/RunFilter.h"
#include "tests/support/StringSinks.h"

namespace tvl {

namespace {

struct ChoiceCase {
    const char* keyword;
    int32_t expected;
};

TEST(ChoiceValue, ReadLikeAtoi)
{
    const ChoiceCase cases[] = {
        {"0", 0},
        {"12", 12},
        {"203dpi", 203},
        {"300dpi", 300},
        {"3mm", 3},
        {"-3", -3},
        {"+2", 2},
        {" \t7", 7},
        {"-0", 0},
        {"007", 7},
        {"Letter", 0},
        {"Customize", 0},
        {"", 0},
        {"-", 0},
        {"--1", 0},
        {"1-2", 1},
        {"2147483647", 2147483647},
        {"-2147483648", -2147483647 - 1},
        {"2147483648", 2147483647},
        {"99999999999999999999", 2147483647},
        {"-99999999999999999999", -2147483647 - 1},
    };
    for (const ChoiceCase& c : cases) {
        EXPECT_EQ(parseChoiceValue(c.keyword), c.expected) << '"' << c.keyword << '"';
    }
}

Settings sampleSettings(int32_t model)
{
    Settings s{};
    s.modelNumer = model;
    s.pageSize = 30;
    s.customWidth = 288.0f;
    s.customHeight = 432.0f;
    s.resolution = 203;
    s.mediaType = 1;
    s.sensorType = 2;
    s.rotation = 3;
    s.numOfCopies = 4;
    s.darkness = -1;
    s.xMargin = 5;
    s.yMargin = 6;
    s.printSpeed = 7;
    s.bmOffset = 8;
    s.toOffset = -9;
    s.cutter = 1;
    s.rewinder = 11;
    s.cutPeriod = 12;
    s.lengthDot = 1300;
    s.widthDot = 1400;
    s.compressed = 1;
    return s;
}

std::string dump(const Settings& s)
{
    StringLog log;
    writeSettingsDump(log, s);
    return log.text;
}

// The blanks and tabs of each line are part of the log format.
const char* const kDumpHead =
    "TAVELIN Label Driver DEBUG MSG : settings->pageSize   \t: 30\n"
    "TAVELIN Label Driver DEBUG MSG : settings->resolution  : 203\n"
    "TAVELIN Label Driver DEBUG MSG : settings->mediaType  \t: 1\n"
    "TAVELIN Label Driver DEBUG MSG : settings->sensorType \t: 2\n"
    "TAVELIN Label Driver DEBUG MSG : settings->rotation   \t: 3\n"
    "TAVELIN Label Driver DEBUG MSG : settings->numOfCopies\t: 4\n"
    "TAVELIN Label Driver DEBUG MSG : settings->darkness   \t: -1\n"
    "TAVELIN Label Driver DEBUG MSG : settings->xMargin   \t: 5\n"
    "TAVELIN Label Driver DEBUG MSG : settings->yMargin   \t: 6\n"
    "TAVELIN Label Driver DEBUG MSG : settings->printSpeed \t: 7\n"
    "TAVELIN Label Driver DEBUG MSG : settings->bmOffset   \t: 8\n"
    "TAVELIN Label Driver DEBUG MSG : settings->toOffset   \t: -9\n"
    "TAVELIN Label Driver DEBUG MSG : settings->cutter   \t: 1\n"
    "TAVELIN Label Driver DEBUG MSG : settings->cutPeriod  \t: 12\n";
const char* const kDumpTail =
    "TAVELIN Label Driver DEBUG MSG : settings->compressed \t: 1\n"
    "===================================================\n";

TEST(SettingsDump, SixteenLinesForModelsWithoutRewinder)
{
    for (int32_t model : {27, 100, 144, 141, 151}) {
        EXPECT_EQ(dump(sampleSettings(model)), "TAVELIN Label Driver DEBUG MSG : settings->modelNumer \t: " +
                                                   std::to_string(model) + "\n" + kDumpHead + kDumpTail)
            << model;
    }
}

TEST(SettingsDump, RewinderLineForItsModels)
{
    for (int32_t model : {142, 143, 150}) {
        EXPECT_EQ(dump(sampleSettings(model)),
                  "TAVELIN Label Driver DEBUG MSG : settings->modelNumer \t: " + std::to_string(model) + "\n" +
                      kDumpHead + "TAVELIN Label Driver DEBUG MSG : settings->rewinder \t: 11\n" + kDumpTail)
            << model;
    }
}

// A test PPD opened and marked as the filter does, for the look-ups.
class OpenPpd : public ::testing::Test {
protected:
    // Opens `name` with `options` marked, in place of any PPD opened before.
    void open(const std::string& name, const char* options = "")
    {
        close();
        ppd_ = ppdOpenFile(testPpd(name).c_str());
        ASSERT_NE(ppd_, nullptr) << name;
        ppdMarkDefaults(ppd_);
        cups_option_t* list = nullptr;
        const int count = cupsParseOptions(options, 0, &list);
        cupsMarkOptions(ppd_, count, list);
        cupsFreeOptions(count, list);
    }
    void close()
    {
        if (ppd_ != nullptr) {
            ppdClose(ppd_);
            ppd_ = nullptr;
        }
    }
    void TearDown() override { close(); }
    // Renames the marked choice of `keyword`, as a PPD could spell it.
    void renameMarkedChoice(const char* keyword, const char* name)
    {
        ppd_choice_t* choice = ppdFindMarkedChoice(ppd_, keyword);
        ASSERT_NE(choice, nullptr);
        ASSERT_LT(std::strlen(name), sizeof choice->choice);
        std::strcpy(choice->choice, name);
    }
    ppd_file_t* ppd_ = nullptr;
};

TEST_F(OpenPpd, CustomChoiceMatchedWithoutRegardToCase)
{
    // libcups renames a PPD choice spelled "custom" to "_custom", so the
    // spellings are put in place after loading.
    for (const char* spelling : {"Custom", "custom", "CUSTOM", "cUsToM"}) {
        open("model27.ppd", "Cutter=Custom.5");
        renameMarkedChoice("Cutter", spelling);
        StringLog log;
        EXPECT_EQ(getOptionChoiceIndex("Cutter", ppd_, log), 5) << spelling;
        EXPECT_EQ(log.text, std::string("TAVELIN Label Driver DEBUG MSG : getOptionChoice = ") + spelling +
                                  "\n"
                                  "TAVELIN Label Driver DEBUG MSG : keyword = Cutter\n"
                                  "TAVELIN Label Driver DEBUG MSG : start custom option function\n"
                                  "TAVELIN Label Driver DEBUG MSG : cOption not NULL\n"
                                  "TAVELIN Label Driver DEBUG MSG : cParam not NULL, name = Cut period\n");
    }
}

TEST_F(OpenPpd, OnlyTheWholeWordCustomTakesTheCustomPath)
{
    for (const char* spelling : {"Customize", "_custom", "Custom1", " Custom"}) {
        open("model27.ppd", "Cutter=Custom.5");
        renameMarkedChoice("Cutter", spelling);
        StringLog log;
        EXPECT_EQ(getOptionChoiceIndex("Cutter", ppd_, log), 0) << spelling;
        EXPECT_EQ(log.text, std::string("TAVELIN Label Driver DEBUG MSG : getOptionChoice = ") + spelling + "\n");
    }
}

TEST_F(OpenPpd, CustomChoiceWithoutCustomOption)
{
    open("model27.ppd", "Darkness=12");
    renameMarkedChoice("Darkness", "CUSTOM");
    StringLog log;
    EXPECT_EQ(getOptionChoiceIndex("Darkness", ppd_, log), -1);
    EXPECT_EQ(log.text,
              "TAVELIN Label Driver DEBUG MSG : getOptionChoice = CUSTOM\n"
              "TAVELIN Label Driver DEBUG MSG : keyword = Darkness\n"
              "TAVELIN Label Driver DEBUG MSG : start custom option function\n");
}

TEST_F(OpenPpd, MissingOptionIsMinusOneWithoutALine)
{
    open("model27.ppd");
    StringLog log;
    EXPECT_EQ(getOptionChoiceIndex("Rewinder", ppd_, log), -1);
    EXPECT_EQ(getOptionChoiceIndex("NoSuchOption", ppd_, log), -1);
    EXPECT_EQ(log.text, "");
}

TEST_F(OpenPpd, CustomPageParameters)
{
    open("model27.ppd", "PageSize=Custom.288.9x-0.5");
    StringLog log;
    EXPECT_EQ(getCustomPageParam("PageSize", "Width", ppd_, log), 288);
    EXPECT_EQ(getCustomPageParam("PageSize", "Height", ppd_, log), 0);
    EXPECT_EQ(getCustomPageParam("PageSize", "Depth", ppd_, log), -1);
    EXPECT_EQ(getCustomPageParam("Darkness", "Width", ppd_, log), -1);
    EXPECT_EQ(log.text,
              "TAVELIN DEBUG MSG : custom Width is 288.899994\n"
              "TAVELIN DEBUG MSG : custom Height is -0.500000\n"
              "TAVELIN DEBUG MSG : custom param is NULL\n"
              "TAVELIN DEBUG MSG : ppd option is NULL\n");
}

TEST_F(OpenPpd, CustomPageParameterBeyond32BitsSaturates)
{
    // libcups takes 1e40 without a range check; as a float it is infinite.
    open("model27.ppd", "PageSize=Custom.1e40x-1e40");
    StringLog log;
    EXPECT_EQ(getCustomPageParam("PageSize", "Width", ppd_, log), 2147483647);
    EXPECT_EQ(getCustomPageParam("PageSize", "Height", ppd_, log), -2147483647 - 1);
    EXPECT_EQ(log.text,
              "TAVELIN DEBUG MSG : custom Width is inf\n"
              "TAVELIN DEBUG MSG : custom Height is -inf\n");
}

TEST_F(OpenPpd, CutPeriod)
{
    open("model27.ppd", "Cutter=Custom.5");
    StringLog log;
    EXPECT_EQ(getCustomParam("Cutter", ppd_, log), 5);
    EXPECT_EQ(getCustomParam("Darkness", ppd_, log), -1);
    EXPECT_EQ(getCustomOptionChoiceIndex("Cutter", ppd_, log), 5);
    EXPECT_EQ(getCustomOptionChoiceIndex("Darkness", ppd_, log), -1);
    EXPECT_EQ(log.text,
              "TAVELIN DEBUG MSG : ppd option is NULL\n"
              "TAVELIN Label Driver DEBUG MSG : start custom option function\n"
              "TAVELIN Label Driver DEBUG MSG : cOption not NULL\n"
              "TAVELIN Label Driver DEBUG MSG : cParam not NULL, name = Cut period\n"
              "TAVELIN Label Driver DEBUG MSG : start custom option function\n");
}

// initializeSettings in this process, with PPD pointing at a test PPD.
class LoadSettings : public ::testing::Test {
protected:
    void TearDown() override { unsetenv("PPD"); }
    int load(const char* ppd, const char* options, Settings* s)
    {
        if (ppd != nullptr) {
            setenv("PPD", testPpd(ppd).c_str(), 1);
        } else {
            unsetenv("PPD");
        }
        StringLog log;
        const int result = initializeSettings(options, log, s, &dot_);
        log_ = log.text;
        return result;
    }
    std::string log_;
    float dot_ = 0.0f;  // the dots per millimetre of the last load
};

TEST_F(LoadSettings, DefaultsAndJobOptions)
{
    Settings s{};
    ASSERT_EQ(load("model27.ppd", "", &s), 0);
    EXPECT_EQ(s.darkness, 10);
    EXPECT_EQ(s.pageSize, 30);
    EXPECT_EQ(s.customWidth, 0.0f);
    EXPECT_EQ(s.customHeight, 0.0f);
    EXPECT_EQ(s.rewinder, 0);
    EXPECT_EQ(s.lengthDot, 0);
    EXPECT_EQ(s.widthDot, 0);
    EXPECT_EQ(dot_, 8.0f);
    ASSERT_EQ(load("model27.ppd", "Darkness=12 Resolution=600dpi", &s), 0);
    EXPECT_EQ(s.darkness, 12);
    EXPECT_EQ(s.resolution, 600);
    EXPECT_EQ(dot_, 23.6f);
}

struct ResolutionCase {
    const char* ppd;
    const char* options;
    int32_t resolution;
    float dot;
};

TEST_F(LoadSettings, ResolutionSetsDot)
{
    const ResolutionCase cases[] = {
        {"model27.ppd", "Resolution=203dpi", 203, 8.0f},
        {"model27.ppd", "Resolution=300dpi", 300, 11.8f},
        {"model27.ppd", "Resolution=600dpi", 600, 23.6f},
        {"model27.ppd", "Resolution=200dpi", 200, 23.6f},
        {"model142.ppd", "", 300, 11.8f},
        {"model100-600dpi.ppd", "", 600, 23.6f},
        {"model100-bare.ppd", "", -1, 23.6f},
    };
    for (const ResolutionCase& c : cases) {
        Settings s{};
        ASSERT_EQ(load(c.ppd, c.options, &s), 0);
        EXPECT_EQ(s.resolution, c.resolution) << c.ppd << " " << c.options;
        EXPECT_EQ(dot_, c.dot) << c.ppd << " " << c.options;
    }
}

TEST_F(LoadSettings, PpdUnsetOrUnreadable)
{
    Settings s{};
    s.darkness = 77;
    EXPECT_EQ(load(nullptr, "", &s), 1);
    EXPECT_EQ(log_, "");
    EXPECT_EQ(dot_, 0.0f);
    EXPECT_EQ(s.darkness, 77) << "record left as it was";
    EXPECT_EQ(load("no-such.ppd", "", &s), 1);
    EXPECT_EQ(log_, "");
    EXPECT_EQ(dot_, 0.0f);
}

TEST_F(LoadSettings, CustomPageSizeStoresWholePoints)
{
    Settings s{};
    ASSERT_EQ(load("model27.ppd", "PageSize=Custom.288.5x432", &s), 0);
    EXPECT_EQ(s.customWidth, 288.0f);
    EXPECT_EQ(s.customHeight, 432.0f);
    // The Custom choice gives the first custom parameter's value read as an
    // integer: the bits of the float 288.5.
    EXPECT_EQ(s.pageSize, 1133527040);
}

TEST_F(LoadSettings, RewinderReadOnlyForItsModels)
{
    Settings s{};
    ASSERT_EQ(load("model142.ppd", "", &s), 0);
    EXPECT_EQ(s.rewinder, 1);
    ASSERT_EQ(load("model142.ppd", "Rewinder=0", &s), 0);
    EXPECT_EQ(s.rewinder, 0);
    ASSERT_EQ(load("model142-norewinder.ppd", "", &s), 0);
    EXPECT_EQ(s.rewinder, -1);
    ASSERT_EQ(load("model27.ppd", "Rewinder=1", &s), 0);
    EXPECT_EQ(s.rewinder, 0);
}

}  // namespace

}  // namespace tvl
