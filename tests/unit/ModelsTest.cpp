// SPDX-License-Identifier: Apache-2.0
// The supported printer models: exactly 37 numbers, nothing near them.
#include <algorithm>
#include <cstdint>
#include <set>

#include <gtest/gtest.h>

#include "settings/Models.h"
#include "tests/support/StringSinks.h"

namespace tvl {

namespace {

const std::set<int32_t> kExpected = {
    5,   8,   9,   23,  27,  28,  34,  38,  39,  44,  45,  47,  55,  56,  78,  79,  100, 101, 103,
    104, 142, 143, 144, 150, 157, 158, 159, 256, 260, 261, 262, 263, 264, 265, 266, 267, 4880,
};

TEST(Models, AllThirtySevenAccepted)
{
    EXPECT_EQ(kExpected.size(), 37u);
    for (int32_t model : kExpected) {
        EXPECT_TRUE(isSupportedModel(model)) << model;
    }
}

TEST(Models, NeighboursRefused)
{
    for (int32_t model : kExpected) {
        for (int32_t near : {model - 1, model + 1}) {
            if (kExpected.count(near) == 0) {
                EXPECT_FALSE(isSupportedModel(near)) << near;
            }
        }
    }
    for (int32_t model : {0, -1, 4, 102, 145, 146, 147, 148, 149, 151, 152, 153, 154, 155, 156, 257, 258, 259,
                          268, 4881, -5, -4880, 2147483647, -2147483647 - 1}) {
        EXPECT_FALSE(isSupportedModel(model)) << model;
    }
    int accepted = 0;
    for (int32_t model = -1000; model <= 10000; ++model) {
        accepted += isSupportedModel(model) ? 1 : 0;
    }
    EXPECT_EQ(accepted, 37);
}

TEST(Models, RewinderModels)
{
    for (int32_t model = -10; model <= 5000; ++model) {
        EXPECT_EQ(isRewinderModel(model), model == 142 || model == 143 || model == 150) << model;
    }
}

struct JobSetupCase {
    int32_t model;
    int result;
    const char* lines;
};

TEST(Models, JobSetupLines)
{
    const JobSetupCase cases[] = {
        {5, 0, "TAVELIN Label Driver DEBUG MSG : model number = 5\n"},
        {4880, 0, "TAVELIN Label Driver DEBUG MSG : model number = 4880\n"},
        {102, 1,
         "TAVELIN Label Driver DEBUG MSG : model number = 102\n"
         "TAVELIN Label Driver DEBUG MSG : This printer is not supported.\n"},
        {-1, 1,
         "TAVELIN Label Driver DEBUG MSG : model number = -1\n"
         "TAVELIN Label Driver DEBUG MSG : This printer is not supported.\n"},
    };
    for (const JobSetupCase& c : cases) {
        StringLog log;
        const int result = jobSetup(c.model, log);
        EXPECT_EQ(log.text, c.lines) << c.model;
        EXPECT_EQ(result, c.result) << c.model;
    }
}

}  // namespace

}  // namespace tvl
