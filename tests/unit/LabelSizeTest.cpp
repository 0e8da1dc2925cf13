// SPDX-License-Identifier: Apache-2.0
// Label size in printer dots: the 55 standard sizes at every resolution,
// and custom sizes in points with their single-precision steps.
#include <cmath>
#include <cstdint>
#include <limits>
#include <map>
#include <vector>

#include <gtest/gtest.h>

#include "settings/LabelSize.h"
#include "settings/PageLimit.h"
#include "settings/Settings.h"

namespace tvl {

namespace {

constexpr int32_t kMax = std::numeric_limits<int32_t>::max();
constexpr int32_t kMin = std::numeric_limits<int32_t>::min();

// Dot counts of every dimension of the standard table, written out for the
// three resolutions: millimetres -> {8.0, 11.8, 23.6}.
const std::map<double, std::array<int32_t, 3>> kDots = {
    {25.4, {203, 299, 599}},     {38.1, {304, 449, 899}},     {50.8, {406, 599, 1198}},
    {63.5, {508, 749, 1498}},    {76.2, {609, 899, 1798}},    {88.9, {711, 1049, 2098}},
    {101.6, {812, 1198, 2397}},  {127.0, {1016, 1498, 2997}}, {152.4, {1219, 1798, 3596}},
    {177.8, {1422, 2098, 4196}}, {203.2, {1625, 2397, 4795}}, {304.8, {2438, 3596, 7193}},
};

constexpr float kDotValues[3] = {8.0f, 11.8f, 23.6f};

// Width (row) and length (column) of each standard size, in millimetres.
const double kWidths[6] = {38.1, 50.8, 63.5, 76.2, 88.9, 101.6};
const double kLengths[9] = {25.4, 38.1, 50.8, 76.2, 101.6, 127.0, 152.4, 177.8, 203.2};

class LabelSize : public ::testing::Test {};

// Every label the PPDs offer, and the Letter, A4 and Legal pages that the
// printer application cuts to a label, fit the page limit at each
// resolution, in 1 and 8 bits, upright and turned: pages as a rasterizer
// makes them (points x dpi / 72, rounded up) and a pixel more each way.
TEST_F(LabelSize, EveryOfferedPageFitsThePageLimit)
{
    std::vector<std::array<double, 2>> points = {{612, 792}, {595, 842}, {612, 1008}};
    for (const LabelSizeInch& custom : {kCustomMinSize, kCustomMaxSize}) {
        points.push_back({1.0 * inchToPoints(custom.width), 1.0 * inchToPoints(custom.length)});
    }
    for (const LabelSizeInch& size : kLabelSizes) {
        points.push_back({inchToMm(size.width) / 25.4 * 72, inchToMm(size.length) / 25.4 * 72});
    }
    for (const auto& [widthPt, lengthPt] : points) {
        for (const uint32_t dpi : kResolutions) {
            const auto pixels = [dpi](double pt) { return static_cast<uint32_t>(std::ceil(pt * dpi / 72)) + 1; };
            for (uint32_t bits : {1u, 8u}) {
                for (bool turned : {false, true}) {
                    RasterPage page{pixels(turned ? lengthPt : widthPt), pixels(turned ? widthPt : lengthPt), 0,
                                    bits, dpi, dpi};
                    page.bytesPerLine = (page.width * bits + 7) / 8;
                    EXPECT_TRUE(pageFitsLabel(page)) << widthPt << " x " << lengthPt << " pt at " << dpi << " dpi, "
                                                     << bits << " bits" << (turned ? ", turned" : "");
                }
            }
        }
    }
}

TEST_F(LabelSize, EveryStandardSizeAtEveryResolution)
{
    for (int d = 0; d < 3; ++d) {
        const float dot = kDotValues[d];
        for (int32_t size = 0; size <= 54; ++size) {
            const double widthMm = size == 54 ? 101.6 : kWidths[size / 9];
            const double lengthMm = size == 54 ? 304.8 : kLengths[size % 9];
            int32_t first = -7;
            int32_t second = -7;
            convertPageSize(size, dot, &first, &second);
            EXPECT_EQ(first, kDots.at(lengthMm)[d]) << "size " << size << " length " << lengthMm << " at " << dot;
            EXPECT_EQ(second, kDots.at(widthMm)[d]) << "size " << size << " width " << widthMm << " at " << dot;
        }
    }
}

struct StandardCase {
    const char* name;
    float dot;
    int32_t size;
    int32_t first;
    int32_t second;
};

TEST_F(LabelSize, NamedStandardSizes)
{
    const StandardCase cases[] = {
        {"size 0 at 8.0: 25.4 x 8 = 203.2, 38.1 x 8 = 304.8", 8.0f, 0, 203, 304},
        {"size 0 at 11.8", 11.8f, 0, 299, 449},
        {"size 5 at 11.8", 11.8f, 5, 1498, 449},
        {"size 30 (3 x 3 in) at 8.0", 8.0f, 30, 609, 609},
        {"size 49 (4 x 4 in) at 11.8", 11.8f, 49, 1198, 1198},
        {"size 53 at 8.0", 8.0f, 53, 1625, 812},
        {"size 54 (4 x 12 in) at 23.6", 23.6f, 54, 7193, 2397},
    };
    for (const StandardCase& c : cases) {
        int32_t first = 0;
        int32_t second = 0;
        convertPageSize(c.size, c.dot, &first, &second);
        EXPECT_EQ(first, c.first) << c.name;
        EXPECT_EQ(second, c.second) << c.name;
    }
}

TEST_F(LabelSize, UnknownSizeWritesNeitherOutput)
{
    for (int32_t size : {55, 99, 1000, -1, kMin, kMax}) {
        int32_t first = 123;
        int32_t second = 456;
        convertPageSize(size, 8.0f, &first, &second);
        EXPECT_EQ(first, 123) << "size " << size;
        EXPECT_EQ(second, 456) << "size " << size;
    }
}

struct CustomCase {
    const char* name;
    float dot;
    float widthPt;
    float heightPt;
    int32_t first;   // from the height
    int32_t second;  // from the width
};

TEST_F(LabelSize, CustomSizes)
{
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    const CustomCase cases[] = {
        {"4 x 6 in at 8.0", 8.0f, 288, 432, 1219, 812},
        {"4 x 6 in at 11.8", 11.8f, 288, 432, 1798, 1198},
        {"4 x 6 in at 23.6", 23.6f, 288, 432, 3596, 2397},
        {"2 x 3 in at 8.0: width to the second output", 8.0f, 144, 216, 609, 406},
        {"-1 pt at 8.0", 8.0f, -1, -1, -2, -2},
        {"-1 pt at 11.8", 11.8f, -1, -1, -4, -4},
        {"-1 pt at 23.6", 23.6f, -1, -1, -8, -8},
        {"zero", 8.0f, 0, 0, 0, 0},
        {"width only", 8.0f, 288, 0, 0, 812},
        // Single-precision steps: wholly in double these would be 15164 and
        // 30329.
        {"3643 pt at 11.8", 11.8f, 3643, 3643, 15165, 15165},
        {"3643 pt at 23.6", 23.6f, 3643, 3643, 30330, 30330},
        {"width beyond 32 bits", 8.0f, 2147483648.0f, 1, 2, kMax},
        {"negative beyond 32 bits", 23.6f, -1e30f, 72, 599, kMin},
        {"infinite width", 8.0f, inf, 72, 203, kMax},
        {"NaN width", 8.0f, nan, 72, 203, 0},
    };
    for (const CustomCase& c : cases) {
        Settings s{};
        s.customWidth = c.widthPt;
        s.customHeight = c.heightPt;
        int32_t first = -7;
        int32_t second = -7;
        convertCustomPageSize(s, c.dot, &first, &second);
        EXPECT_EQ(first, c.first) << c.name;
        EXPECT_EQ(second, c.second) << c.name;
    }
}

}  // namespace

}  // namespace tvl
