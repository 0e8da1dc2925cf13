// SPDX-License-Identifier: Apache-2.0
// The test label: the printer's settings in text, a millimetre ruler along
// the top and left edges (labelled every 10 mm), a frame at the label's
// edge, and a darkness pattern (gray steps from black to white, and
// checkers of 1, 2 and 4 dots). Drawn in gray at the label's size, then
// dithered like any page. Anything that does not fit is cut off.
#pragma once

#include <cstdint>
#include <string>

#include "app/render/Gray.h"
#include "app/render/Place.h"

namespace tvl {

// The texts shown, as the caller words them (e.g. "203dpi", "15", "4 ips").
struct TestLabelInfo {
    const char* model = "";
    const char* resolution = "";
    const char* darkness = "";
    const char* speed = "";
};

// Gray levels of the darkness steps, black to white.
inline constexpr uint8_t kDarknessSteps[] = {0, 32, 64, 96, 128, 160, 192, 224, 255};

// Dots for a length in millimetres at `dpi`, rounded.
constexpr uint32_t mmToDots(double mm, uint32_t dpi)
{
    return static_cast<uint32_t>(mm * dpi / 25.4 + 0.5);
}

// Draws the test label into *out (label.widthDots x label.lengthDots).
bool drawTestLabel(const LabelGeometry& label, const TestLabelInfo& info, GrayImage* out, std::string* reason);

}  // namespace tvl
