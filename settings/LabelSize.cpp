// SPDX-License-Identifier: Apache-2.0
#include "settings/LabelSize.h"

#include "settings/Units.h"

namespace tvl {

void convertPageSize(int32_t pageSize, float dotsPerMm, int32_t* first, int32_t* second)
{
    const uint32_t number = static_cast<uint32_t>(pageSize);
    if (number >= kStandardSizeCount) {
        return;
    }
    const double widthMm = inchToMm(kLabelSizes[number].width);
    const double lengthMm = inchToMm(kLabelSizes[number].length);
    const double dot = static_cast<double>(dotsPerMm);
    *second = truncateToInt32(widthMm * dot);
    *first = truncateToInt32(lengthMm * dot);
}

namespace {

// Points to millimetres: the division in single precision, the scaling by
// 25.4 in double, the result rounded back to single precision.
float pointsToMillimetres(float points)
{
    const float inches = points / 72.0f;
    return static_cast<float>(static_cast<double>(inches) * 25.4);
}

}  // namespace

void convertCustomPageSize(const Settings& settings, float dotsPerMm, int32_t* first, int32_t* second)
{
    const float widthMm = pointsToMillimetres(settings.customWidth);
    const float heightMm = pointsToMillimetres(settings.customHeight);
    const float widthDots = widthMm * dotsPerMm;
    const float heightDots = heightMm * dotsPerMm;
    *second = truncateToInt32(widthDots);
    *first = truncateToInt32(heightDots);
}

void computeLabelSize(Settings* settings, float dotsPerMm)
{
    int32_t* first = &settings->lengthDot;
    int32_t* second = &settings->widthDot;
    if (settings->rotation != 0 && settings->rotation != 2) {
        first = &settings->widthDot;
        second = &settings->lengthDot;
    }
    if (settings->customWidth == 0.0f && settings->customHeight == 0.0f) {
        convertPageSize(settings->pageSize, dotsPerMm, first, second);
    } else {
        convertCustomPageSize(*settings, dotsPerMm, first, second);
    }
}

}  // namespace tvl
