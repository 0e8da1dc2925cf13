// SPDX-License-Identifier: Apache-2.0
// The label sizes every printer offers: the standard sizes of
// settings/Capabilities.h as PWG self-describing names, in the order of the
// size numbers, and the custom range as PWG roll names.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "settings/Capabilities.h"

namespace tvl {

inline constexpr size_t kMediaNameSize = 40;

using MediaName = std::array<char, kMediaNameSize>;

namespace detail {
constexpr void append(MediaName& name, size_t& at, std::string_view text)
{
    for (char c : text) {
        name[at++] = c;
    }
}

// Hundredths of an inch as the shortest inch text: 150 is "1.5", 200 "2".
// The name part of a PWG media name holds no dot: `dot` 'p' writes "1p5".
constexpr void appendInches(MediaName& name, size_t& at, int32_t inch, char dot = '.')
{
    char digits[12] = {};
    int count = 0;
    for (int32_t whole = inch / 100; count == 0 || whole > 0; whole /= 10) {
        digits[count++] = static_cast<char>('0' + whole % 10);
    }
    while (count > 0) {
        name[at++] = digits[--count];
    }
    int32_t fraction = inch % 100;
    if (fraction != 0) {
        name[at++] = dot;
        name[at++] = static_cast<char>('0' + fraction / 10);
        if (fraction % 10 != 0) {
            name[at++] = static_cast<char>('0' + fraction % 10);
        }
    }
}

constexpr MediaName mediaName(std::string_view prefix, LabelSizeInch size, char dot)
{
    MediaName name{};
    size_t at = 0;
    append(name, at, prefix);
    appendInches(name, at, size.width, dot);
    append(name, at, "x");
    appendInches(name, at, size.length, dot);
    return name;
}

// "oe_1p5x1-label_1.5x1in".
constexpr MediaName labelName(LabelSizeInch size)
{
    MediaName name = mediaName("oe_", size, 'p');
    size_t at = std::string_view(name.data()).size();
    append(name, at, "-label_");
    appendInches(name, at, size.width);
    append(name, at, "x");
    appendInches(name, at, size.length);
    append(name, at, "in");
    return name;
}

// "roll_min_0.5x0.5in".
constexpr MediaName rollName(std::string_view prefix, LabelSizeInch size)
{
    MediaName name = mediaName(prefix, size, '.');
    size_t at = std::string_view(name.data()).size();
    append(name, at, "in");
    return name;
}

constexpr std::array<MediaName, kStandardSizeCount> standardNames()
{
    std::array<MediaName, kStandardSizeCount> names{};
    for (size_t i = 0; i < kStandardSizeCount; ++i) {
        names[i] = labelName(kLabelSizes[i]);
    }
    return names;
}
}  // namespace detail

// "oe_1p5x1-label_1.5x1in" ... "oe_4x12-label_4x12in"; index = size number.
inline constexpr std::array<MediaName, kStandardSizeCount> kStandardMediaNames = detail::standardNames();

inline constexpr MediaName kCustomMinName = detail::rollName("roll_min_", kCustomMinSize);
inline constexpr MediaName kCustomMaxName = detail::rollName("roll_max_", kCustomMaxSize);
// The custom range in points.
inline constexpr int32_t kCustomMinPoints = inchToPoints(kCustomMinSize.width);
inline constexpr int32_t kCustomMaxWidthPoints = inchToPoints(kCustomMaxSize.width);
inline constexpr int32_t kCustomMaxLengthPoints = inchToPoints(kCustomMaxSize.length);
static_assert(kCustomMinSize.width == kCustomMinSize.length);

// Width and length in hundredths of millimetres of standard size `number`.
struct SizeHmm {
    int32_t width;
    int32_t length;
};

constexpr SizeHmm standardSizeHmm(size_t number)
{
    return {inchToHmm(kLabelSizes[number].width), inchToHmm(kLabelSizes[number].length)};
}

static_assert(standardSizeHmm(0).width == 3810 && standardSizeHmm(0).length == 2540);
static_assert(standardSizeHmm(51).width == 10160 && standardSizeHmm(51).length == 15240);
static_assert(std::string_view(kStandardMediaNames[51].data()) == "oe_4x6-label_4x6in");
static_assert(std::string_view(kStandardMediaNames[1].data()) == "oe_1p5x1p5-label_1.5x1.5in");
static_assert(std::string_view(kStandardMediaNames[54].data()) == "oe_4x12-label_4x12in");
static_assert(std::string_view(kCustomMinName.data()) == "roll_min_0.5x0.5in");
static_assert(std::string_view(kCustomMaxName.data()) == "roll_max_4.5x40in");
static_assert(kCustomMinPoints == 36 && kCustomMaxWidthPoints == 324 && kCustomMaxLengthPoints == 2880);

}  // namespace tvl
