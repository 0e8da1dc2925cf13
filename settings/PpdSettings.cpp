// SPDX-License-Identifier: Apache-2.0
#include "settings/PpdSettings.h"

#include <cctype>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <memory>
#include <strings.h>

#include <cups/cups.h>

#include "settings/Models.h"
#include "settings/Units.h"

namespace tvl {

namespace {

struct PpdCloser {
    void operator()(ppd_file_t* ppd) const { ppdClose(ppd); }
};
using PpdHandle = std::unique_ptr<ppd_file_t, PpdCloser>;

// The "current" member of a custom parameter read as an integer, whatever
// type the parameter is declared with (a points value reads as its bits).
int currentAsInt(const ppd_cparam_t* param)
{
    int value = 0;
    static_assert(sizeof(param->current) >= sizeof(value));
    std::memcpy(&value, &param->current, sizeof(value));
    return value;
}

// Marks the job's options over the PPD's defaults.
void markJobOptions(ppd_file_t* ppd, const char* options)
{
    cups_option_t* list = nullptr;
    const int count = cupsParseOptions(options, 0, &list);
    if (count != 0 && list != nullptr) {
        cupsMarkOptions(ppd, count, list);
        cupsFreeOptions(count, list);
    }
}

}  // namespace

// Not parseInt32: this lenient reading is the filter's contract with its
// PPDs, whose choice keywords may carry a unit ("203dpi" is 203) or be a
// name (0), and it stays as the filter has always had it.
int32_t parseChoiceValue(const char* keyword)
{
    const char* p = keyword;
    while (std::isspace(static_cast<unsigned char>(*p))) {
        ++p;
    }
    bool negative = false;
    if (*p == '+' || *p == '-') {
        negative = (*p == '-');
        ++p;
    }
    // Accumulate as a negative number so that INT32_MIN is reachable.
    int64_t value = 0;
    constexpr int64_t kLimit = static_cast<int64_t>(std::numeric_limits<int32_t>::max()) + 1;
    while (*p >= '0' && *p <= '9') {
        if (value < kLimit) {
            value = value * 10 + (*p - '0');
        }
        ++p;
    }
    if (value > kLimit) {
        value = kLimit;
    }
    if (negative) {
        return static_cast<int32_t>(-value);
    }
    if (value > std::numeric_limits<int32_t>::max()) {
        return std::numeric_limits<int32_t>::max();
    }
    return static_cast<int32_t>(value);
}

int getCustomOptionChoiceIndex(const char* keyword, ppd_file_t* ppd, LogSink& log)
{
    driverLog(log, "start custom option function\n");
    ppd_coption_t* coption = ppdFindCustomOption(ppd, keyword);
    if (coption == nullptr) {
        return -1;
    }
    driverLog(log, "cOption not NULL\n");
    ppd_cparam_t* param = ppdFirstCustomParam(coption);
    if (param == nullptr) {
        return -1;
    }
    driverLog(log, "cParam not NULL, name = %s\n", param->text);
    return currentAsInt(param);
}

int getOptionChoiceIndex(const char* keyword, ppd_file_t* ppd, LogSink& log)
{
    ppd_choice_t* choice = ppdFindMarkedChoice(ppd, keyword);
    if (choice == nullptr) {
        ppd_option_t* option = ppdFindOption(ppd, keyword);
        if (option == nullptr) {
            return -1;
        }
        choice = ppdFindChoice(option, option->defchoice);
        if (choice == nullptr) {
            return -1;
        }
    }
    driverLog(log, "getOptionChoice = %s\n", choice->choice);
    if (strcasecmp(choice->choice, "Custom") == 0) {
        const char* optionKeyword = choice->option != nullptr ? choice->option->keyword : keyword;
        driverLog(log, "keyword = %s\n", optionKeyword);
        return getCustomOptionChoiceIndex(optionKeyword, ppd, log);
    }
    return parseChoiceValue(choice->choice);
}

int getCustomParam(const char* keyword, ppd_file_t* ppd, LogSink& log)
{
    ppd_coption_t* coption = ppdFindCustomOption(ppd, keyword);
    if (coption == nullptr) {
        customParamLog(log, "ppd option is NULL\n");
        return -1;
    }
    ppd_cparam_t* param = ppdFirstCustomParam(coption);
    if (param == nullptr) {
        customParamLog(log, "custom param is NULL\n");
        return -1;
    }
    return currentAsInt(param);
}

int getCustomPageParam(const char* keyword, const char* name, ppd_file_t* ppd, LogSink& log)
{
    ppd_coption_t* coption = ppdFindCustomOption(ppd, keyword);
    if (coption == nullptr) {
        customParamLog(log, "ppd option is NULL\n");
        return -1;
    }
    ppd_cparam_t* param = ppdFindCustomParam(coption, name);
    if (param == nullptr) {
        customParamLog(log, "custom param is NULL\n");
        return -1;
    }
    const float points = param->current.custom_points;
    customParamLog(log, "custom %s is %lf\n", name, static_cast<double>(points));
    return truncateToInt32(points);
}

void writeSettingsDump(LogSink& log, const Settings& s)
{
    driverLog(log, "settings->modelNumer \t: %d\n", s.modelNumer);
    driverLog(log, "settings->pageSize   \t: %d\n", s.pageSize);
    driverLog(log, "settings->resolution  : %d\n", s.resolution);
    driverLog(log, "settings->mediaType  \t: %d\n", s.mediaType);
    driverLog(log, "settings->sensorType \t: %d\n", s.sensorType);
    driverLog(log, "settings->rotation   \t: %d\n", s.rotation);
    driverLog(log, "settings->numOfCopies\t: %d\n", s.numOfCopies);
    driverLog(log, "settings->darkness   \t: %d\n", s.darkness);
    driverLog(log, "settings->xMargin   \t: %d\n", s.xMargin);
    driverLog(log, "settings->yMargin   \t: %d\n", s.yMargin);
    driverLog(log, "settings->printSpeed \t: %d\n", s.printSpeed);
    driverLog(log, "settings->bmOffset   \t: %d\n", s.bmOffset);
    driverLog(log, "settings->toOffset   \t: %d\n", s.toOffset);
    driverLog(log, "settings->cutter   \t: %d\n", s.cutter);
    driverLog(log, "settings->cutPeriod  \t: %d\n", s.cutPeriod);
    if (isRewinderModel(s.modelNumer)) {
        driverLog(log, "settings->rewinder \t: %d\n", s.rewinder);
    }
    driverLog(log, "settings->compressed \t: %d\n", s.compressed);
    log.write("===================================================\n");
}

int initializeSettings(const char* options, LogSink& log, Settings* settings, float* dotsPerMm)
{
    const char* path = getenv("PPD");
    if (path == nullptr) {
        return 1;
    }
    PpdHandle ppd(ppdOpenFile(path));
    if (!ppd) {
        return 1;
    }
    ppd_file_t* p = ppd.get();
    ppdMarkDefaults(p);
    markJobOptions(p, options != nullptr ? options : "");

    Settings s{};
    s.modelNumer = p->model_number;
    s.pageSize = getOptionChoiceIndex("PageSize", p, log);
    s.customWidth = static_cast<float>(getCustomPageParam("PageSize", "Width", p, log));
    s.customHeight = static_cast<float>(getCustomPageParam("PageSize", "Height", p, log));
    s.resolution = getOptionChoiceIndex("Resolution", p, log);
    s.mediaType = getOptionChoiceIndex("MediaType", p, log);
    s.sensorType = getOptionChoiceIndex("SensorType", p, log);
    s.rotation = getOptionChoiceIndex("Rotation", p, log);
    s.numOfCopies = getOptionChoiceIndex("NumOfCopies", p, log);
    s.darkness = getOptionChoiceIndex("Darkness", p, log);
    s.xMargin = getOptionChoiceIndex("XMargin", p, log);
    s.yMargin = getOptionChoiceIndex("YMargin", p, log);
    s.printSpeed = getOptionChoiceIndex("PrintSpeed", p, log);
    s.bmOffset = getOptionChoiceIndex("BMOffset", p, log);
    s.toOffset = getOptionChoiceIndex("TOOffset", p, log);
    s.cutter = getOptionChoiceIndex("Cutter", p, log);
    s.cutPeriod = getCustomParam("Cutter", p, log);
    if (isRewinderModel(s.modelNumer)) {
        s.rewinder = getOptionChoiceIndex("Rewinder", p, log);
    }
    s.compressed = getOptionChoiceIndex("CompPrinting", p, log);

    writeSettingsDump(log, s);
    *settings = s;
    *dotsPerMm = dotsPerMillimetre(s.resolution);
    return 0;
}

}  // namespace tvl
