// SPDX-License-Identifier: Apache-2.0
// Placing a gray image on the label: turned as IPP orientation-requested
// asks, scaled to fit with its aspect ratio kept, centred, white around.
//
// Conventions (the label as the printer's raster page: row 0 on top, column
// 0 on the left, `widthDots` across, `lengthDots` down):
//   3 portrait            the image as it is;
//   4 landscape           turned 90 degrees counter-clockwise: the image's
//                         top edge runs down the label's left edge, its
//                         top-right corner at the label's top-left;
//   5 reverse-landscape   turned 90 degrees clockwise: the image's top edge
//                         runs down the label's right edge, its top-left
//                         corner at the label's top-right;
//   6 reverse-portrait    turned 180 degrees;
//   anything else (0, or 7 "none"): automatic - turned as for 4 when that
//                         makes the image larger on the label, else as 3.
// Scaling is by area average both ways (a pixel of the result is the mean of
// the image area it covers), so a reduced image keeps its gray levels and an
// enlarged one keeps its edges where they were.
#pragma once

#include <cstdint>
#include <string>

#include "app/render/Gray.h"

namespace tvl {

inline constexpr int kOrientationPortrait = 3;
inline constexpr int kOrientationLandscape = 4;
inline constexpr int kOrientationReverseLandscape = 5;
inline constexpr int kOrientationReversePortrait = 6;

// The label and how to put documents on it.
struct LabelGeometry {
    uint32_t widthDots = 0;
    uint32_t lengthDots = 0;
    uint32_t dpi = 0;
    int orientation = 0;  // IPP orientation-requested; 0 automatic
};

// Largest label accepted, in dots: a side (about 5.5 m at 300 dpi), and the
// whole (8 x 14 inches at 600 dpi fits).
inline constexpr uint32_t kMaxLabelDots = 65535;
inline constexpr uint64_t kMaxLabelArea = uint64_t{1} << 26;

enum class Turn { None, Left, Right, Half };  // Left: counter-clockwise

// How an image of imageWidth x imageHeight is turned on the label.
Turn resolveTurn(int orientation, uint32_t imageWidth, uint32_t imageHeight, uint32_t labelWidth,
                 uint32_t labelLength);

// Where the turned image lands: a width x height box (each at least 1) at
// (x, y) on the label.
struct Fit {
    Turn turn = Turn::None;
    uint32_t x = 0;
    uint32_t y = 0;
    uint32_t width = 0;
    uint32_t height = 0;
};
Fit fitOnLabel(Turn turn, uint32_t imageWidth, uint32_t imageHeight, uint32_t labelWidth, uint32_t labelLength);

// The size, in the image's own orientation, an image is worth decoding to:
// its size on the label, but never larger than the image itself.
void reducedSize(const LabelGeometry& label, uint32_t imageWidth, uint32_t imageHeight, uint32_t* width,
                 uint32_t* height);

// Checks a label's size; false with a reason when it is zero or too large.
bool checkLabel(const LabelGeometry& label, std::string* reason);

// Draws `image` turned by `turn` onto a new widthDots x lengthDots label,
// white around. False with a reason (bad sizes, no memory).
bool placeImage(const GrayImage& image, const LabelGeometry& label, Turn turn, GrayImage* out, std::string* reason);

}  // namespace tvl
