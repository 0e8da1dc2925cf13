// SPDX-License-Identifier: Apache-2.0
// Placement on the label (turns, fit, centring) and the area reduction.
#include <gtest/gtest.h>

#include <vector>

#include "app/render/Place.h"
#include "app/render/Reduce.h"

namespace tvl {

namespace {

GrayImage imageOf(uint32_t w, uint32_t h, const std::vector<uint8_t>& pixels)
{
    GrayImage g;
    std::string reason;
    EXPECT_TRUE(allocateGray(w, h, 255, &g, &reason));
    std::copy(pixels.begin(), pixels.end(), g.pixels.get());
    return g;
}

struct Rect {
    uint32_t x0, y0, x1, y1;  // black inside [x0, x1) x [y0, y1), white elsewhere
};

struct PlaceCase {
    const char* name;
    int orientation;
    uint32_t labelWidth;
    uint32_t labelLength;
    Rect black;
};

// A 20 x 10 image, black in its top-left 10 x 5 quarter.
const PlaceCase kPlaceCases[] = {
    {"portrait", 3, 20, 10, {0, 0, 10, 5}},
    {"portraitEnlargedCentred", 3, 40, 40, {0, 10, 20, 20}},
    {"landscapeCounterClockwise", 4, 10, 20, {0, 10, 5, 20}},
    {"reverseLandscapeClockwise", 5, 10, 20, {5, 0, 10, 10}},
    {"reversePortrait", 6, 20, 10, {10, 5, 20, 10}},
    {"autoTurnsOntoPortraitLabel", 0, 10, 20, {0, 10, 5, 20}},
    {"autoKeepsOnWideLabel", 0, 40, 20, {0, 0, 20, 10}},
    {"noneKeepsWhenTurningIsNoLarger", 7, 20, 20, {0, 5, 10, 10}},
};

class Placement : public testing::TestWithParam<PlaceCase> {};

TEST_P(Placement, QuarterLandsWhereExpected)
{
    std::vector<uint8_t> px(200, 255);
    for (uint32_t y = 0; y < 5; ++y) {
        std::fill_n(px.begin() + y * 20, 10, 0);
    }
    const GrayImage image = imageOf(20, 10, px);
    const PlaceCase& c = GetParam();
    const LabelGeometry label{c.labelWidth, c.labelLength, 203, c.orientation};
    GrayImage out;
    std::string reason;
    const Turn turn = resolveTurn(c.orientation, 20, 10, c.labelWidth, c.labelLength);
    ASSERT_TRUE(placeImage(image, label, turn, &out, &reason)) << reason;
    ASSERT_EQ(out.width, c.labelWidth);
    ASSERT_EQ(out.height, c.labelLength);
    for (uint32_t y = 0; y < out.height; ++y) {
        for (uint32_t x = 0; x < out.width; ++x) {
            const bool inside = x >= c.black.x0 && x < c.black.x1 && y >= c.black.y0 && y < c.black.y1;
            ASSERT_EQ(out.at(x, y), inside ? 0 : 255) << "at " << x << "," << y;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Render, Placement, testing::ValuesIn(kPlaceCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(Render, FitKeepsAspectAndCentres)
{
    const struct {
        uint32_t w, h, lw, ll;
        Fit fit;
    } cases[] = {
        {100, 50, 200, 200, {Turn::None, 0, 50, 200, 100}},
        {50, 100, 200, 100, {Turn::None, 75, 0, 50, 100}},
        {3, 1000, 10, 10, {Turn::None, 4, 0, 1, 10}},  // never thinner than a dot
        {1000, 1000, 7, 5, {Turn::None, 1, 0, 5, 5}},
    };
    for (const auto& c : cases) {
        const Fit f = fitOnLabel(Turn::None, c.w, c.h, c.lw, c.ll);
        EXPECT_EQ(f.x, c.fit.x);
        EXPECT_EQ(f.y, c.fit.y);
        EXPECT_EQ(f.width, c.fit.width);
        EXPECT_EQ(f.height, c.fit.height);
    }
}

TEST(Render, LabelSizeIsChecked)
{
    const LabelGeometry bad[] = {{0, 10, 203, 0}, {10, 0, 203, 0}, {70000, 10, 203, 0}, {9000, 9000, 600, 0}};
    for (const LabelGeometry& g : bad) {
        std::string reason;
        EXPECT_FALSE(checkLabel(g, &reason));
        EXPECT_NE(reason.find("label size"), std::string::npos);
    }
}

struct ReduceCase {
    const char* name;
    uint32_t w, h, dw, dh;
    std::vector<uint8_t> in;
    std::vector<uint8_t> out;
};

const ReduceCase kReduceCases[] = {
    {"half", 4, 2, 2, 1, {0, 255, 0, 0, 255, 255, 0, 0}, {191, 0}},
    {"thirds", 3, 1, 2, 1, {0, 255, 255}, {85, 255}},
    {"rowsInThirds", 1, 3, 1, 2, {255, 0, 0}, {170, 0}},
    {"same", 3, 2, 3, 2, {1, 2, 3, 4, 5, 6}, {1, 2, 3, 4, 5, 6}},
    {"toOne", 2, 2, 1, 1, {0, 0, 0, 255}, {64}},
};

class Reduction : public testing::TestWithParam<ReduceCase> {};

// The same result row by row and in scattered pieces (as Adam7 passes come).
TEST_P(Reduction, AreaAverage)
{
    const ReduceCase& c = GetParam();
    for (const bool anyOrder : {false, true}) {
        AreaReducer r;
        std::string reason;
        ASSERT_TRUE(reducerInit(&r, c.w, c.h, c.dw, c.dh, anyOrder, &reason)) << reason;
        if (!anyOrder) {
            for (uint32_t y = 0; y < c.h; ++y) {
                reducerAddRow(&r, y, c.in.data() + y * c.w, c.w, 0, 1);
            }
        } else {
            for (uint32_t y = c.h; y-- > 0;) {  // bottom up, odd columns first
                std::vector<uint8_t> odd, even;
                for (uint32_t x = 0; x < c.w; ++x) {
                    (x % 2 ? odd : even).push_back(c.in[y * c.w + x]);
                }
                reducerAddRow(&r, y, odd.data(), static_cast<uint32_t>(odd.size()), 1, 2);
                reducerAddRow(&r, y, even.data(), static_cast<uint32_t>(even.size()), 0, 2);
            }
        }
        GrayImage out;
        reducerFinish(&r, &out);
        EXPECT_EQ(std::vector<uint8_t>(out.pixels.get(), out.pixels.get() + c.dw * c.dh), c.out)
            << (anyOrder ? "any order" : "row order");
    }
}

INSTANTIATE_TEST_SUITE_P(Render, Reduction, testing::ValuesIn(kReduceCases),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace

}  // namespace tvl
