// SPDX-License-Identifier: Apache-2.0
// The PPDs that ppdc makes from ppd/tavelin.drv: one per supported model,
// with every option the filter reads, and read by the built filter as meant.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <map>
#include <memory>
#include <regex>
#include <set>
#include <string>
#include <vector>

#include <cups/ppd.h>

#include "settings/LabelSize.h"
#include "settings/Models.h"
#include "tests/support/RasterWriter.h"
#include "tests/support/RunFilter.h"

namespace tvl {

namespace {

std::string generatedPpd(int32_t model)
{
    return std::string(TVL_GENERATED_PPD_DIR) + "/tvl" + std::to_string(model) + ".ppd";
}

struct PpdCloser {
    void operator()(ppd_file_t* ppd) const { ppdClose(ppd); }
};
using Ppd = std::unique_ptr<ppd_file_t, PpdCloser>;

Ppd openPpd(int32_t model)
{
    return Ppd(ppdOpenFile(generatedPpd(model).c_str()));
}

std::vector<std::string> choiceKeywords(ppd_option_t* option)
{
    std::vector<std::string> keywords;
    for (int i = 0; i < option->num_choices; ++i) {
        keywords.emplace_back(option->choices[i].choice);
    }
    return keywords;
}

std::string choiceText(ppd_file_t* ppd, const char* option, const char* choice)
{
    ppd_choice_t* c = ppdFindChoice(ppdFindOption(ppd, option), choice);
    return c != nullptr ? c->text : "(none)";
}

TEST(GeneratedPpds, OnePerSupportedModelAndNoOther)
{
    for (int32_t model : kSupportedModels) {
        SCOPED_TRACE(model);
        Ppd ppd = openPpd(model);
        ASSERT_TRUE(ppd) << generatedPpd(model);
        EXPECT_EQ(ppd->model_number, model);
        EXPECT_STREQ(ppd->manufacturer, "Tavelin");
        EXPECT_EQ(std::string(ppd->modelname), "Tavelin " + std::to_string(model));
    }
    std::set<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(TVL_GENERATED_PPD_DIR)) {
        if (entry.path().extension() == ".ppd") {
            names.insert(entry.path().filename().string());
        }
    }
    EXPECT_EQ(names.size(), kSupportedModels.size());
}

TEST(GeneratedPpds, RasterOfOneBitBlackAndTheFilterLines)
{
    for (int32_t model : kSupportedModels) {
        SCOPED_TRACE(model);
        Ppd ppd = openPpd(model);
        ASSERT_TRUE(ppd);
        EXPECT_EQ(ppd->manual_copies, 1);
        EXPECT_EQ(ppd->color_device, 0);
        std::vector<std::string> filters(ppd->filters, ppd->filters + ppd->num_filters);
        EXPECT_EQ(filters, (std::vector<std::string>{"application/vnd.cups-raster 0 rastertoTvlLabel",
                                                     "application/vnd.tavelin-tvl 0 rastertoTvlLabel"}));

        ppd_option_t* colorModel = ppdFindOption(ppd.get(), "ColorModel");
        ASSERT_NE(colorModel, nullptr);
        ASSERT_EQ(colorModel->num_choices, 1);
        EXPECT_NE(std::string(colorModel->choices[0].code).find("/cupsColorSpace 3/"), std::string::npos);

        ppd_option_t* resolution = ppdFindOption(ppd.get(), "Resolution");
        ASSERT_NE(resolution, nullptr);
        EXPECT_EQ(choiceKeywords(resolution), (std::vector<std::string>{"203dpi", "300dpi", "600dpi"}));
        for (int i = 0; i < resolution->num_choices; ++i) {
            const std::string code = resolution->choices[i].code;
            EXPECT_NE(code.find("/cupsBitsPerColor 1/"), std::string::npos) << code;
            EXPECT_NE(code.find("/cupsColorSpace 3>>"), std::string::npos) << code;
        }
    }
}

// Every option that the filter reads: its default, and the keywords of its
// choices where they are few. Each keyword begins with the value the filter
// takes from it.
TEST(GeneratedPpds, EveryOptionTheFilterReads)
{
    struct OptionCase {
        const char* keyword;
        const char* defaultChoice;
        std::vector<std::string> choices;  // empty: not listed here
    };
    const std::vector<OptionCase> cases = {
        {"PageSize", "51", {}},
        {"Resolution", "203dpi", {}},
        {"MediaType", "0", {"0", "1"}},
        {"SensorType", "0", {"0", "1", "2"}},
        {"Rotation", "0", {"0", "1", "2", "3"}},
        {"NumOfCopies", "1", {}},
        {"Darkness", "8", {}},
        {"XMargin", "0", {}},
        {"YMargin", "0", {}},
        {"PrintSpeed", "4", {}},
        {"BMOffset", "0", {}},
        {"TOOffset", "0", {}},
        {"Cutter", "0", {"0", "1", "Custom"}},
        {"CompPrinting", "0", {"0", "1"}},
    };
    const std::regex numeric("-?[0-9]+.*");
    for (int32_t model : kSupportedModels) {
        SCOPED_TRACE(model);
        Ppd ppd = openPpd(model);
        ASSERT_TRUE(ppd);
        for (const OptionCase& c : cases) {
            SCOPED_TRACE(c.keyword);
            ppd_option_t* option = ppdFindOption(ppd.get(), c.keyword);
            ASSERT_NE(option, nullptr);
            EXPECT_STREQ(option->defchoice, c.defaultChoice);
            if (!c.choices.empty()) {
                EXPECT_EQ(choiceKeywords(option), c.choices);
            }
            for (const std::string& keyword : choiceKeywords(option)) {
                if (keyword != "Custom") {
                    EXPECT_TRUE(std::regex_match(keyword, numeric)) << keyword;
                }
            }
        }
        ppd_option_t* rewinder = ppdFindOption(ppd.get(), "Rewinder");
        if (isRewinderModel(model)) {
            ASSERT_NE(rewinder, nullptr);
            EXPECT_STREQ(rewinder->defchoice, "0");
            EXPECT_EQ(choiceKeywords(rewinder), (std::vector<std::string>{"0", "1"}));
        } else {
            EXPECT_EQ(rewinder, nullptr);
        }
    }
}

TEST(GeneratedPpds, HumanReadableChoiceTexts)
{
    Ppd ppd = openPpd(142);
    ASSERT_TRUE(ppd);
    const std::vector<std::array<const char*, 3>> cases = {
        {"PageSize", "51", "4.00 x 6.00 in"},
        {"PageSize", "0", "1.50 x 1.00 in"},
        {"PageSize", "54", "4.00 x 12.00 in"},
        {"Resolution", "300dpi", "300 dpi"},
        {"MediaType", "1", "Thermal transfer"},
        {"SensorType", "0", "Gap"},
        {"SensorType", "1", "Continuous"},
        {"SensorType", "2", "Black mark"},
        {"Rotation", "1", "90 degrees clockwise"},
        {"TOOffset", "-2", "-2 mm"},
        {"NumOfCopies", "2", "2 labels"},
        {"Cutter", "1", "On"},
        {"Rewinder", "1", "On"},
    };
    for (const auto& [option, choice, text] : cases) {
        EXPECT_EQ(choiceText(ppd.get(), option, choice), text) << option << " " << choice;
    }
}

TEST(GeneratedPpds, CustomSizeCutPeriodAndCopies)
{
    Ppd ppd = openPpd(100);
    ASSERT_TRUE(ppd);
    EXPECT_EQ(ppd->variable_sizes, 1);
    struct ParamCase {
        const char* option;
        const char* param;
        ppd_cptype_t type;
    };
    for (const ParamCase& c : {ParamCase{"PageSize", "Width", PPD_CUSTOM_POINTS},
                               ParamCase{"PageSize", "Height", PPD_CUSTOM_POINTS},
                               ParamCase{"Cutter", "Period", PPD_CUSTOM_INT},
                               ParamCase{"NumOfCopies", "Copies", PPD_CUSTOM_INT}}) {
        SCOPED_TRACE(std::string(c.option) + " " + c.param);
        ppd_coption_t* coption = ppdFindCustomOption(ppd.get(), c.option);
        ASSERT_NE(coption, nullptr);
        ppd_cparam_t* param = ppdFindCustomParam(coption, c.param);
        ASSERT_NE(param, nullptr);
        EXPECT_EQ(param->type, c.type);
    }
    // The filter reads the first parameter for the cut period.
    EXPECT_STREQ(ppdFirstCustomParam(ppdFindCustomOption(ppd.get(), "Cutter"))->name, "Period");
}

// Size n is the filter's size n: width across the head (PaperDimension's
// first number) by length along the feed, in points, margins of 0.
TEST(GeneratedPpds, FiftyFiveLabelSizesOfTheFiltersTable)
{
    auto points = [](double mm) { return std::round(mm / 25.4 * 72.0); };
    for (int32_t model : {5, 100, 4880}) {
        SCOPED_TRACE(model);
        Ppd ppd = openPpd(model);
        ASSERT_TRUE(ppd);
        int named = 0;
        for (int i = 0; i < ppd->num_sizes; ++i) {
            named += std::string(ppd->sizes[i].name) != "Custom";
        }
        EXPECT_EQ(named, 55);
        for (size_t n = 0; n < kStandardSizeCount; ++n) {
            const double widthMm = inchToMm(kLabelSizes[n].width);
            const double lengthMm = inchToMm(kLabelSizes[n].length);
            ppd_size_t* size = ppdPageSize(ppd.get(), std::to_string(n).c_str());
            ASSERT_NE(size, nullptr) << n;
            EXPECT_EQ(size->width, points(widthMm)) << "size " << n;
            EXPECT_EQ(size->length, points(lengthMm)) << "size " << n;
            EXPECT_EQ(size->left, 0) << n;
            EXPECT_EQ(size->bottom, 0) << n;
            EXPECT_EQ(size->right, size->width) << n;
            EXPECT_EQ(size->top, size->length) << n;
        }
    }
}

// The built filter with a generated PPD: the settings it reads and the setup
// block and print command it writes.
struct ReadCase {
    const char* name;
    int32_t model;
    std::string options;
    std::string settings;  // the dump's fields, "name=value", in its order
    std::string setup;     // the setup block, CR LF shown as "|"
    std::string print;     // the print command
    std::string band;      // how the first band begins: raw "LD", compressed "LCR"
};

// "settings->darkness   \t: 12" lines into "darkness=12 ...".
std::string dumpedSettings(const FilterRun& run)
{
    const std::regex line("TAVELIN Label Driver DEBUG MSG : settings->(\\w+) *\t?: (-?[0-9]+)");
    std::string fields;
    for (const std::string& l : run.errLines()) {
        std::smatch m;
        if (std::regex_match(l, m, line)) {
            fields += (fields.empty() ? "" : " ") + m[1].str() + "=" + m[2].str();
        }
    }
    return fields;
}

std::string crlfAsBar(std::string text)
{
    for (size_t at = text.find("\r\n"); at != std::string::npos; at = text.find("\r\n", at)) {
        text.replace(at, 2, "|");
    }
    return text;
}

TEST(GeneratedPpds, TheFilterReadsThem)
{
    const std::vector<ReadCase> cases = {
        {"defaults", 27, "",
         "modelNumer=27 pageSize=51 resolution=203 mediaType=0 sensorType=0 rotation=0 numOfCopies=1 darkness=8 "
         "xMargin=0 yMargin=0 printSpeed=4 bmOffset=0 toOffset=0 cutter=0 cutPeriod=0 compressed=0",
         "SL1219,24,G|SW812|STd|SD8|SM0,0|SS4|TA0|CUTn|", "|P1|", std::string("LD\0\0", 4)},
        {"every option, 300 dpi", 100,
         "PageSize=30 Resolution=300dpi MediaType=1 SensorType=2 Rotation=2 NumOfCopies=3 Darkness=12 XMargin=1 "
         "YMargin=2 PrintSpeed=3 BMOffset=2 TOOffset=-1 Cutter=Custom.5 CompPrinting=0",
         "modelNumer=100 pageSize=30 resolution=300 mediaType=1 sensorType=2 rotation=2 numOfCopies=3 darkness=12 "
         "xMargin=1 yMargin=2 printSpeed=3 bmOffset=2 toOffset=-1 cutter=5 cutPeriod=5 compressed=0",
         "SL899,24,B|SA23|SW899|STt|SD12|SM11,23|SS3|TA-11|CUTy,5|", "|P1,3|", std::string("LD\0\0", 4)},
        {"compressed transfer asked for", 100, "CompPrinting=1",
         "modelNumer=100 pageSize=51 resolution=203 mediaType=0 sensorType=0 rotation=0 numOfCopies=1 darkness=8 "
         "xMargin=0 yMargin=0 printSpeed=4 bmOffset=0 toOffset=0 cutter=0 cutPeriod=0 compressed=1",
         "SL1219,24,G|SA0|SW812|STd|SD8|SM0,0|SS4|TA0|CUTn|", "|P1|", std::string("LCR\0\0\0", 6)},
        // pageSize shows the Width parameter's bits read as an integer.
        {"rewinder, custom size, quarter turn, 600 dpi", 142,
         "Rewinder=1 PageSize=Custom.144x216 Rotation=1 Resolution=600dpi",
         "modelNumer=142 pageSize=1125122048 resolution=600 mediaType=0 sensorType=0 rotation=1 numOfCopies=1 "
         "darkness=8 xMargin=0 yMargin=0 printSpeed=4 bmOffset=0 toOffset=0 cutter=0 cutPeriod=0 rewinder=1 "
         "compressed=0",
         "SL1198,24,G|SA0|SW1798|STd|SD8|SM0,0|SS4|TA0|RWDy|", "|P1|", std::string("LD\0\0", 4)},
        {"largest size, custom copies, cutter on", 4880, "PageSize=54 NumOfCopies=Custom.37 Cutter=1",
         "modelNumer=4880 pageSize=54 resolution=203 mediaType=0 sensorType=0 rotation=0 numOfCopies=37 darkness=8 "
         "xMargin=0 yMargin=0 printSpeed=4 bmOffset=0 toOffset=0 cutter=1 cutPeriod=0 compressed=0",
         "SL2438,24,G|SA0|SW812|STd|SD8|SM0,0|SS4|TA0|CUTy,0|", "|P1,37|", std::string("LD\0\0", 4)},
    };
    const std::string in = tempPath("generated-ppd.ras");
    writeRasterFile(in, {bitmapPage(16, 2, {0xF0, 0x0F, 0x81, 0x18})});
    for (const ReadCase& c : cases) {
        SCOPED_TRACE(c.name);
        FilterCall call;
        call.ppd = generatedPpd(c.model);
        call.options = c.options;
        call.stdinPath = in;
        const FilterRun run = runFilter(call);
        EXPECT_EQ(run.status, 0) << run.err;
        EXPECT_EQ(dumpedSettings(run), c.settings);
        const std::string out = crlfAsBar(run.out);
        const size_t orientation = std::min(out.find("SOT|"), out.find("SOB|"));
        ASSERT_NE(orientation, std::string::npos);
        EXPECT_EQ(out.substr(0, orientation), c.setup);
        size_t band = orientation;
        while (out.compare(band, 4, "SOT|") == 0 || out.compare(band, 4, "SOB|") == 0) {
            band += 4;
        }
        EXPECT_EQ(hexBytes(out.substr(band, c.band.size())), hexBytes(c.band));
        ASSERT_GE(out.size(), c.print.size());
        EXPECT_EQ(out.substr(out.size() - c.print.size()), c.print);
    }
}

}  // namespace

}  // namespace tvl
