// The label sizes every printer offers: the filter's 55 standard sizes as
// PWG self-describing names, in the order of the size numbers, and the
// custom range of the filter's PPD (0.5 x 0.5 in to 4.5 x 40 in).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

// Inch texts of the grid: widths across the head, lengths along the feed.
inline constexpr std::array<std::string_view, 6> kWidthInches = {"1.5", "2", "2.5", "3", "3.5", "4"};
inline constexpr std::array<std::string_view, 9> kLengthInches = {"1", "1.5", "2", "3", "4", "5", "6", "7", "8"};
inline constexpr size_t kStandardSizeCount = 55;
inline constexpr size_t kMediaNameSize = 40;

using MediaName = std::array<char, kMediaNameSize>;

namespace detail {
constexpr void append(MediaName& name, size_t& at, std::string_view text)
{
    for (char c : text) {
        name[at++] = c;
    }
}

// The name part of a PWG media name holds no dot: "1.5" is written "1p5".
constexpr void appendNamePart(MediaName& name, size_t& at, std::string_view text)
{
    for (char c : text) {
        name[at++] = c == '.' ? 'p' : c;
    }
}

constexpr MediaName labelName(std::string_view width, std::string_view length)
{
    MediaName name{};
    size_t at = 0;
    append(name, at, "oe_");
    appendNamePart(name, at, width);
    append(name, at, "x");
    appendNamePart(name, at, length);
    append(name, at, "-label_");
    append(name, at, width);
    append(name, at, "x");
    append(name, at, length);
    append(name, at, "in");
    return name;
}

constexpr std::array<MediaName, kStandardSizeCount> standardNames()
{
    std::array<MediaName, kStandardSizeCount> names{};
    for (size_t w = 0; w < kWidthInches.size(); ++w) {
        for (size_t l = 0; l < kLengthInches.size(); ++l) {
            names[w * kLengthInches.size() + l] = labelName(kWidthInches[w], kLengthInches[l]);
        }
    }
    names[54] = labelName("4", "12");
    return names;
}
}  // namespace detail

// "oe_1p5x1-label_1.5x1in" ... "oe_4x12-label_4x12in"; index = size number.
inline constexpr std::array<MediaName, kStandardSizeCount> kStandardMediaNames = detail::standardNames();
inline constexpr int32_t kDefaultSizeNumber = 51;  // 4 x 6 in

inline constexpr char kCustomMinName[] = "roll_min_0.5x0.5in";
inline constexpr char kCustomMaxName[] = "roll_max_4.5x40in";
// The custom range in points (the filter's PPD: MinSize 36 36, MaxSize 324 2880).
inline constexpr int32_t kCustomMinPoints = 36;
inline constexpr int32_t kCustomMaxWidthPoints = 324;
inline constexpr int32_t kCustomMaxLengthPoints = 2880;

// Width and length in hundredths of millimetres of standard size `number`.
constexpr int32_t inchesTimes10(std::string_view text)
{
    int32_t value = 0;
    bool half = false;
    for (char c : text) {
        if (c == '.') {
            half = true;
        } else if (!half) {
            value = value * 10 + (c - '0');
        }
    }
    return value * 10 + (half ? 5 : 0);
}

struct SizeHmm {
    int32_t width;
    int32_t length;
};

constexpr SizeHmm standardSizeHmm(size_t number)
{
    if (number == 54) {
        return {4 * 2540, 12 * 2540};
    }
    return {inchesTimes10(kWidthInches[number / kLengthInches.size()]) * 254,
            inchesTimes10(kLengthInches[number % kLengthInches.size()]) * 254};
}

static_assert(standardSizeHmm(0).width == 3810 && standardSizeHmm(0).length == 2540);
static_assert(standardSizeHmm(51).width == 10160 && standardSizeHmm(51).length == 15240);
static_assert(std::string_view(kStandardMediaNames[51].data()) == "oe_4x6-label_4x6in");
static_assert(std::string_view(kStandardMediaNames[1].data()) == "oe_1p5x1p5-label_1.5x1.5in");
