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

float Dot = 0.0f;

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

int getCustomOptionChoiceIndex(const char* keyword, ppd_file_t* ppd)
{
    fprintf(stderr, "TAVELIN Label Driver DEBUG MSG : start custom option function\n");
    ppd_coption_t* coption = ppdFindCustomOption(ppd, keyword);
    if (coption == nullptr) {
        return -1;
    }
    fprintf(stderr, "TAVELIN Label Driver DEBUG MSG : cOption not NULL\n");
    ppd_cparam_t* param = ppdFirstCustomParam(coption);
    if (param == nullptr) {
        return -1;
    }
    fprintf(stderr, "TAVELIN Label Driver DEBUG MSG : cParam not NULL, name = %s\n", param->text);
    return currentAsInt(param);
}

int getOptionChoiceIndex(const char* keyword, ppd_file_t* ppd)
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
    fprintf(stderr, "TAVELIN Label Driver DEBUG MSG : getOptionChoice = %s\n", choice->choice);
    if (strcasecmp(choice->choice, "Custom") == 0) {
        const char* optionKeyword = choice->option != nullptr ? choice->option->keyword : keyword;
        fprintf(stderr, "TAVELIN Label Driver DEBUG MSG : keyword = %s\n", optionKeyword);
        return getCustomOptionChoiceIndex(optionKeyword, ppd);
    }
    return parseChoiceValue(choice->choice);
}

int getCustomParam(const char* keyword, ppd_file_t* ppd)
{
    ppd_coption_t* coption = ppdFindCustomOption(ppd, keyword);
    if (coption == nullptr) {
        fprintf(stderr, "TAVELIN DEBUG MSG : ppd option is NULL\n");
        return -1;
    }
    ppd_cparam_t* param = ppdFirstCustomParam(coption);
    if (param == nullptr) {
        fprintf(stderr, "TAVELIN DEBUG MSG : custom param is NULL\n");
        return -1;
    }
    return currentAsInt(param);
}

int getCustomPageParam(const char* keyword, const char* name, ppd_file_t* ppd)
{
    ppd_coption_t* coption = ppdFindCustomOption(ppd, keyword);
    if (coption == nullptr) {
        fprintf(stderr, "TAVELIN DEBUG MSG : ppd option is NULL\n");
        return -1;
    }
    ppd_cparam_t* param = ppdFindCustomParam(coption, name);
    if (param == nullptr) {
        fprintf(stderr, "TAVELIN DEBUG MSG : custom param is NULL\n");
        return -1;
    }
    const float points = param->current.custom_points;
    fprintf(stderr, "TAVELIN DEBUG MSG : custom %s is %lf\n", name, static_cast<double>(points));
    return truncateToInt32(points);
}

void writeSettingsDump(FILE* out, const Settings& s)
{
    fprintf(out, "TAVELIN Label Driver DEBUG MSG : settings->modelNumer \t: %d\n", s.modelNumer);
    fprintf(out, "TAVELIN Label Driver DEBUG MSG : settings->pageSize   \t: %d\n", s.pageSize);
    fprintf(out, "TAVELIN Label Driver DEBUG MSG : settings->resolution  : %d\n", s.resolution);
    fprintf(out, "TAVELIN Label Driver DEBUG MSG : settings->mediaType  \t: %d\n", s.mediaType);
    fprintf(out, "TAVELIN Label Driver DEBUG MSG : settings->sensorType \t: %d\n", s.sensorType);
    fprintf(out, "TAVELIN Label Driver DEBUG MSG : settings->rotation   \t: %d\n", s.rotation);
    fprintf(out, "TAVELIN Label Driver DEBUG MSG : settings->numOfCopies\t: %d\n", s.numOfCopies);
    fprintf(out, "TAVELIN Label Driver DEBUG MSG : settings->darkness   \t: %d\n", s.darkness);
    fprintf(out, "TAVELIN Label Driver DEBUG MSG : settings->xMargin   \t: %d\n", s.xMargin);
    fprintf(out, "TAVELIN Label Driver DEBUG MSG : settings->yMargin   \t: %d\n", s.yMargin);
    fprintf(out, "TAVELIN Label Driver DEBUG MSG : settings->printSpeed \t: %d\n", s.printSpeed);
    fprintf(out, "TAVELIN Label Driver DEBUG MSG : settings->bmOffset   \t: %d\n", s.bmOffset);
    fprintf(out, "TAVELIN Label Driver DEBUG MSG : settings->toOffset   \t: %d\n", s.toOffset);
    fprintf(out, "TAVELIN Label Driver DEBUG MSG : settings->cutter   \t: %d\n", s.cutter);
    fprintf(out, "TAVELIN Label Driver DEBUG MSG : settings->cutPeriod  \t: %d\n", s.cutPeriod);
    if (isRewinderModel(s.modelNumer)) {
        fprintf(out, "TAVELIN Label Driver DEBUG MSG : settings->rewinder \t: %d\n", s.rewinder);
    }
    fprintf(out, "TAVELIN Label Driver DEBUG MSG : settings->compressed \t: %d\n", s.compressed);
    fprintf(out, "===================================================\n");
}

int initializeSettings(const char* options, Settings* settings)
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
    s.pageSize = getOptionChoiceIndex("PageSize", p);
    s.customWidth = static_cast<float>(getCustomPageParam("PageSize", "Width", p));
    s.customHeight = static_cast<float>(getCustomPageParam("PageSize", "Height", p));
    s.resolution = getOptionChoiceIndex("Resolution", p);
    Dot = dotsPerMillimetre(s.resolution);
    s.mediaType = getOptionChoiceIndex("MediaType", p);
    s.sensorType = getOptionChoiceIndex("SensorType", p);
    s.rotation = getOptionChoiceIndex("Rotation", p);
    s.numOfCopies = getOptionChoiceIndex("NumOfCopies", p);
    s.darkness = getOptionChoiceIndex("Darkness", p);
    s.xMargin = getOptionChoiceIndex("XMargin", p);
    s.yMargin = getOptionChoiceIndex("YMargin", p);
    s.printSpeed = getOptionChoiceIndex("PrintSpeed", p);
    s.bmOffset = getOptionChoiceIndex("BMOffset", p);
    s.toOffset = getOptionChoiceIndex("TOOffset", p);
    s.cutter = getOptionChoiceIndex("Cutter", p);
    s.cutPeriod = getCustomParam("Cutter", p);
    if (isRewinderModel(s.modelNumer)) {
        s.rewinder = getOptionChoiceIndex("Rewinder", p);
    }
    s.compressed = getOptionChoiceIndex("CompPrinting", p);

    writeSettingsDump(stderr, s);
    *settings = s;
    return 0;
}
