// SPDX-License-Identifier: Apache-2.0
// Conversions of floats to 32-bit dot counts: truncation toward zero,
// saturation at the 32-bit limits, millimetres to dots in single precision.
#include <cmath>
#include <cstdint>
#include <limits>

#include <gtest/gtest.h>

#include "settings/Units.h"

namespace tvl {

namespace {

constexpr int32_t kMax = std::numeric_limits<int32_t>::max();
constexpr int32_t kMin = std::numeric_limits<int32_t>::min();

struct TruncateCase {
    const char* name;
    double value;
    int32_t expected;
};

TEST(Units, TruncateToInt32)
{
    const TruncateCase cases[] = {
        {"whole", 609.0, 609},
        {"fraction dropped", 288.9, 288},
        {"negative fraction toward zero", -0.5, 0},
        {"negative toward zero", -23.6, -23},
        {"largest int", 2147483647.0, kMax},
        {"largest int plus a fraction", 2147483647.9, kMax},
        {"2^31 saturates", 2147483648.0, kMax},
        {"huge saturates", 1e40, kMax},
        {"+inf saturates", std::numeric_limits<double>::infinity(), kMax},
        {"smallest int", -2147483648.0, kMin},
        {"smallest int minus a fraction", -2147483648.9, kMin},
        {"below smallest saturates", -2147483649.0, kMin},
        {"-huge saturates", -1e40, kMin},
        {"-inf saturates", -std::numeric_limits<double>::infinity(), kMin},
        {"NaN gives 0", std::nan(""), 0},
    };
    for (const TruncateCase& c : cases) {
        EXPECT_EQ(truncateToInt32(c.value), c.expected) << c.name;
    }
}

TEST(Units, DotsPerMillimetreAreTheSinglePrecisionConstants)
{
    EXPECT_EQ(dotsPerMillimetre(203), 8.0f);
    EXPECT_EQ(dotsPerMillimetre(300), 11.8f);
    EXPECT_EQ(dotsPerMillimetre(600), 23.6f);
    EXPECT_EQ(dotsPerMillimetre(-1), 23.6f) << "no Resolution option";
    EXPECT_EQ(dotsPerMillimetre(200), 23.6f);
    EXPECT_EQ(dotsPerMillimetre(0), 23.6f);
    // Not 300/25.4 or 600/25.4.
    EXPECT_EQ(static_cast<double>(dotsPerMillimetre(300)), 11.80000019073486328125);
    EXPECT_EQ(static_cast<double>(dotsPerMillimetre(600)), 23.6000003814697265625);
}

struct MmCase {
    const char* name;
    int32_t millimetres;
    float dot;
    int32_t expected;
};

TEST(Units, MillimetresToDots)
{
    const MmCase cases[] = {
        {"2 mm at 8.0", 2, 8.0f, 16},
        {"1 mm at 11.8", 1, 11.8f, 11},
        {"2 mm at 11.8", 2, 11.8f, 23},
        {"1 mm at 23.6", 1, 23.6f, 23},
        {"2 mm at 23.6", 2, 23.6f, 47},
        {"-1 mm at 11.8", -1, 11.8f, -11},
        {"-2 mm at 11.8", -2, 11.8f, -23},
        {"-1 mm at 23.6", -1, 23.6f, -23},
        {"0 mm", 0, 23.6f, 0},
        {"largest option value saturates", kMax, 23.6f, kMax},
        {"smallest option value saturates", kMin, 8.0f, kMin},
        {"Dot not set yet", 5, 0.0f, 0},
    };
    for (const MmCase& c : cases) {
        EXPECT_EQ(millimetresToDots(c.millimetres, c.dot), c.expected) << c.name;
    }
}

}  // namespace

}  // namespace tvl
