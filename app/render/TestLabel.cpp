// SPDX-License-Identifier: Apache-2.0
#include "app/render/TestLabel.h"

#include <algorithm>
#include <cmath>
#include <string_view>

#include "app/render/Font.h"

namespace tvl {

namespace {

constexpr double kRulerNumberMm = 1.5;  // height of the ruler's numbers
constexpr double kTextMm = 2.5;         // height of the settings text
constexpr double kMarginMm = 9.0;       // from the edges, past the ruler and its numbers

// Fills the rectangle, cut to the image.
void fillRect(GrayImage* image, int64_t x, int64_t y, int64_t width, int64_t height, uint8_t gray)
{
    const int64_t x0 = std::max<int64_t>(x, 0);
    const int64_t y0 = std::max<int64_t>(y, 0);
    const int64_t x1 = std::min<int64_t>(x + width, image->width);
    const int64_t y1 = std::min<int64_t>(y + height, image->height);
    if (x1 <= x0 || y1 <= y0) {
        return;
    }
    for (int64_t row = y0; row < y1; ++row) {
        std::fill(image->row(static_cast<uint32_t>(row)) + x0, image->row(static_cast<uint32_t>(row)) + x1, gray);
    }
}

// Draws `text` in black with its top-left corner at (x, y), each font dot
// `scale` x `scale` dots. Returns the width it takes.
int64_t drawText(GrayImage* image, int64_t x, int64_t y, int scale, std::string_view text)
{
    int64_t pen = x;
    for (const char c : text) {
        const Glyph& g = glyphFor(c);
        for (int col = 0; col < kGlyphColumns; ++col) {
            for (int r = 0; r < kGlyphRows; ++r) {
                if ((g[col] >> r) & 1) {
                    fillRect(image, pen + col * scale, y + r * scale, scale, scale, 0);
                }
            }
        }
        pen += kGlyphAdvance * scale;
    }
    return pen - x;
}

// Font scale for text about `mm` millimetres tall at `dpi` (at least 1).
int fontScale(double mm, uint32_t dpi)
{
    return std::max(1, static_cast<int>(std::lround(mm * dpi / 25.4 / kGlyphRows)));
}

// Ruler ticks: every millimetre, longer every 5, longest (and numbered)
// every 10.
uint32_t tickLengthDots(uint32_t mm, uint32_t dpi)
{
    return mmToDots(mm % 10 == 0 ? 3.0 : (mm % 5 == 0 ? 2.0 : 1.0), dpi);
}

void drawRulers(GrayImage* image, uint32_t dpi)
{
    const int scale = fontScale(kRulerNumberMm, dpi);
    const int64_t line = std::max<int64_t>(1, dpi / 200);
    for (uint32_t mm = 1;; ++mm) {
        const int64_t at = mmToDots(mm, dpi);
        if (at >= image->width && at >= image->height) {
            break;
        }
        const int64_t tick = tickLengthDots(mm, dpi);
        fillRect(image, at, 0, line, tick, 0);  // top edge
        fillRect(image, 0, at, tick, line, 0);  // left edge
        if (mm % 10 == 0) {
            const std::string n = std::to_string(mm);
            const int64_t textWidth = static_cast<int64_t>(n.size()) * kGlyphAdvance * scale;
            const int64_t gap = mmToDots(0.5, dpi);
            // Under the top tick, centred on it; right of the left tick.
            if (at + textWidth / 2 < image->width) {
                drawText(image, at - textWidth / 2, tick + gap, scale, n);
            }
            if (at + kGlyphRows * scale / 2 < image->height) {
                drawText(image, tick + gap, at - kGlyphRows * scale / 2, scale, n);
            }
        }
    }
}

void drawChecker(GrayImage* image, int64_t x, int64_t y, int64_t size, int64_t cell)
{
    for (int64_t cy = 0; cy < size; cy += cell) {
        for (int64_t cx = 0; cx < size; cx += cell) {
            if (((cx / cell) + (cy / cell)) % 2 == 0) {
                fillRect(image, x + cx, y + cy, std::min(cell, size - cx), std::min(cell, size - cy), 0);
            }
        }
    }
}

}  // namespace

bool drawTestLabel(const LabelGeometry& label, const TestLabelInfo& info, GrayImage* out, std::string* reason)
{
    if (!checkLabel(label, reason)) {
        return false;
    }
    if (label.dpi == 0 || label.dpi > 4800) {
        *reason = "resolution out of range: " + std::to_string(label.dpi) + " dpi";
        return false;
    }
    if (!allocateGray(label.widthDots, label.lengthDots, 255, out, reason)) {
        return false;
    }
    const uint32_t dpi = label.dpi;
    const int64_t w = out->width;
    const int64_t h = out->height;
    // Frame at the label's edge: shows where the printable area ends.
    fillRect(out, 0, 0, w, 1, 0);
    fillRect(out, 0, h - 1, w, 1, 0);
    fillRect(out, 0, 0, 1, h, 0);
    fillRect(out, w - 1, 0, 1, h, 0);
    drawRulers(out, dpi);

    const int scale = fontScale(kTextMm, dpi);
    const int64_t left = mmToDots(kMarginMm, dpi);
    int64_t y = mmToDots(kMarginMm, dpi);
    const int64_t line = kLineAdvance * scale;
    const std::string size = std::to_string(std::lround(label.widthDots * 25.4 / dpi)) + " x " +
                             std::to_string(std::lround(label.lengthDots * 25.4 / dpi)) + " mm (" +
                             std::to_string(label.widthDots) + " x " + std::to_string(label.lengthDots) + " dots)";
    const std::string lines[] = {
        "TEST LABEL",
        std::string("Model: ") + info.model,
        std::string("Resolution: ") + info.resolution,
        std::string("Darkness: ") + info.darkness,
        std::string("Speed: ") + info.speed,
        "Label: " + size,
    };
    for (const std::string& text : lines) {
        drawText(out, left, y, scale, text);
        y += line;
    }

    // Darkness steps across the label, black to white, each framed.
    y += mmToDots(2.0, dpi);
    const int64_t right = w - mmToDots(3.0, dpi);
    const int64_t steps = static_cast<int64_t>(sizeof kDarknessSteps);
    const int64_t stepWidth = std::max<int64_t>(1, (right - left) / steps);
    const int64_t stepHeight = mmToDots(6.0, dpi);
    for (int64_t i = 0; i < steps; ++i) {
        fillRect(out, left + i * stepWidth, y, stepWidth, stepHeight, kDarknessSteps[i]);
    }
    fillRect(out, left, y + stepHeight, stepWidth * steps, 1, 0);
    fillRect(out, left + stepWidth * steps - 1, y, 1, stepHeight, 0);
    fillRect(out, left, y - 1, stepWidth * steps, 1, 0);

    // Checkers of 1, 2 and 4 dots, and solid black: how fine the printer's
    // dots stay apart at this darkness.
    y += stepHeight + mmToDots(2.0, dpi);
    const int64_t patch = mmToDots(6.0, dpi);
    const int64_t gap = mmToDots(2.0, dpi);
    const int64_t cells[] = {1, 2, 4, patch};
    for (int64_t i = 0; i < 4; ++i) {
        drawChecker(out, left + i * (patch + gap), y, patch, cells[i]);
    }
    return true;
}

}  // namespace tvl
