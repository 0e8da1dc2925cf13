// SPDX-License-Identifier: Apache-2.0
#include "app/render/Place.h"

#include <algorithm>
#include <cstddef>
#include <cstring>

namespace tvl {

namespace {

bool quarterTurn(Turn t)
{
    return t == Turn::Left || t == Turn::Right;
}

// The smaller of labelWidth / w and labelLength / h, as a numerator over
// the shared denominator w * h.
uint64_t fitNumerator(uint64_t w, uint64_t h, uint64_t labelWidth, uint64_t labelLength)
{
    return std::min(labelWidth * h, labelLength * w);
}

// Pixel x of row y of the turned image is at base[x * step]: the image's
// own pixels read along a row, down or up a column.
struct TurnedRow {
    const uint8_t* base;
    ptrdiff_t step;
};
TurnedRow turnedRow(const GrayImage& image, Turn turn, uint32_t y)
{
    const ptrdiff_t w = image.width;
    switch (turn) {
    case Turn::Left:  // (x, y) is the image's (width - 1 - y, x)
        return {image.pixels.get() + (w - 1 - y), w};
    case Turn::Right:  // (y, height - 1 - x)
        return {image.row(image.height - 1) + y, -w};
    case Turn::Half:  // (width - 1 - x, height - 1 - y)
        return {image.row(image.height - 1 - y) + (w - 1), -1};
    case Turn::None:
        break;
    }
    return {image.row(y), 1};
}

// Output cell i of m over n source cells covers [i*n, (i+1)*n) in units
// where source cell s covers [s*m, (s+1)*m): first and last source cells.
void coveredCells(uint64_t i, uint64_t n, uint64_t m, uint32_t* first, uint32_t* last)
{
    *first = static_cast<uint32_t>(i * n / m);
    *last = static_cast<uint32_t>(((i + 1) * n - 1) / m);
}

__extension__ typedef unsigned __int128 Product;  // x * magic below

uint64_t overlap(uint64_t i, uint64_t s, uint64_t n, uint64_t m)
{
    const uint64_t lo = std::max(i * n, s * m);
    const uint64_t hi = std::min((i + 1) * n, (s + 1) * m);
    return hi > lo ? hi - lo : 0;
}

}  // namespace

Turn resolveTurn(int orientation, uint32_t imageWidth, uint32_t imageHeight, uint32_t labelWidth,
                 uint32_t labelLength)
{
    switch (orientation) {
    case kOrientationPortrait:
        return Turn::None;
    case kOrientationLandscape:
        return Turn::Left;
    case kOrientationReverseLandscape:
        return Turn::Right;
    case kOrientationReversePortrait:
        return Turn::Half;
    default:
        break;
    }
    const uint64_t upright = fitNumerator(imageWidth, imageHeight, labelWidth, labelLength);
    const uint64_t turned = fitNumerator(imageHeight, imageWidth, labelWidth, labelLength);
    return turned > upright ? Turn::Left : Turn::None;
}

Fit fitOnLabel(Turn turn, uint32_t imageWidth, uint32_t imageHeight, uint32_t labelWidth, uint32_t labelLength)
{
    Fit f;
    f.turn = turn;
    const uint64_t w = quarterTurn(turn) ? imageHeight : imageWidth;
    const uint64_t h = quarterTurn(turn) ? imageWidth : imageHeight;
    if (w == 0 || h == 0 || labelWidth == 0 || labelLength == 0) {
        return f;
    }
    if (w * labelLength >= h * labelWidth) {  // as wide as the label or wider
        f.width = labelWidth;
        f.height = static_cast<uint32_t>(std::clamp<uint64_t>((h * labelWidth + w / 2) / w, 1, labelLength));
    } else {
        f.height = labelLength;
        f.width = static_cast<uint32_t>(std::clamp<uint64_t>((w * labelLength + h / 2) / h, 1, labelWidth));
    }
    f.x = (labelWidth - f.width) / 2;
    f.y = (labelLength - f.height) / 2;
    return f;
}

void reducedSize(const LabelGeometry& label, uint32_t imageWidth, uint32_t imageHeight, uint32_t* width,
                 uint32_t* height)
{
    const Turn turn = resolveTurn(label.orientation, imageWidth, imageHeight, label.widthDots, label.lengthDots);
    const Fit f = fitOnLabel(turn, imageWidth, imageHeight, label.widthDots, label.lengthDots);
    const uint32_t w = quarterTurn(turn) ? f.height : f.width;
    const uint32_t h = quarterTurn(turn) ? f.width : f.height;
    *width = std::clamp<uint32_t>(w, 1, std::max<uint32_t>(imageWidth, 1));
    *height = std::clamp<uint32_t>(h, 1, std::max<uint32_t>(imageHeight, 1));
}

bool checkLabel(const LabelGeometry& label, std::string* reason)
{
    if (label.widthDots == 0 || label.lengthDots == 0 || label.widthDots > kMaxLabelDots ||
        label.lengthDots > kMaxLabelDots || uint64_t{label.widthDots} * label.lengthDots > kMaxLabelArea) {
        *reason = "label size out of range: " + std::to_string(label.widthDots) + " x " +
                  std::to_string(label.lengthDots) + " dots";
        return false;
    }
    return true;
}

bool placeImage(const GrayImage& image, const LabelGeometry& label, Turn turn, GrayImage* out, std::string* reason)
{
    if (!checkLabel(label, reason)) {
        return false;
    }
    if (image.width == 0 || image.height == 0 || !image.pixels) {
        *reason = "empty image";
        return false;
    }
    if (!allocateGray(label.widthDots, label.lengthDots, 255, out, reason)) {
        return false;
    }
    const Fit f = fitOnLabel(turn, image.width, image.height, label.widthDots, label.lengthDots);
    const uint64_t n = quarterTurn(turn) ? image.height : image.width;   // turned width
    const uint64_t nh = quarterTurn(turn) ? image.width : image.height;  // turned height
    const uint64_t total = n * nh;
    if (f.width == n && f.height == nh) {
        // At its own size (a PDF page rendered for the label): each label
        // pixel is one image pixel, turned.
        for (uint32_t j = 0; j < f.height; ++j) {
            const TurnedRow src = turnedRow(image, turn, j);
            uint8_t* dst = out->row(f.y + j) + f.x;
            if (src.step == 1) {
                std::memcpy(dst, src.base, f.width);
                continue;
            }
            for (uint32_t i = 0; i < f.width; ++i) {
                dst[i] = src.base[static_cast<ptrdiff_t>(i) * src.step];
            }
        }
        return true;
    }
    // The columns' source cells and weights, the same for every row: output
    // column i takes cells first[i] .. first[i] + start[i + 1] - start[i] - 1
    // with weights weight[start[i]] ... Neighbouring columns share at most
    // one cell, so there are fewer than width + n weights. A source row
    // weighed across (across[], per output column) serves every output row
    // that covers it: the two last ones are kept, so a row shared by two
    // output rows, or by more where the image is enlarged, is weighed once.
    const size_t cols = f.width;
    const size_t weights = cols + n;
    ByteBuffer tables = allocateBytes(3 * cols * sizeof(uint64_t) + (2 * cols + 1 + weights) * sizeof(uint32_t), false);
    if (!tables) {
        *reason = "out of memory for placing a " + std::to_string(image.width) + " x " +
                  std::to_string(image.height) + " image";
        return false;
    }
    uint64_t* sums = reinterpret_cast<uint64_t*>(tables.get());
    uint64_t* across[2] = {sums + cols, sums + 2 * cols};
    int64_t acrossRow[2] = {-1, -1};
    uint32_t* first = reinterpret_cast<uint32_t*>(sums + 3 * cols);
    uint32_t* start = first + cols;
    uint32_t* weight = start + cols + 1;
    start[0] = 0;
    for (uint32_t i = 0; i < f.width; ++i) {
        uint32_t x0 = 0;
        uint32_t x1 = 0;
        coveredCells(i, n, f.width, &x0, &x1);
        first[i] = x0;
        start[i + 1] = start[i] + (x1 - x0 + 1);
        for (uint32_t sx = x0; sx <= x1; ++sx) {
            weight[start[i] + (sx - x0)] = static_cast<uint32_t>(overlap(i, sx, n, f.width));
        }
    }
    // The mean rounded to nearest, (sum + total / 2) / total, as a multiply
    // by the reciprocal: magic = ceil(2^64 / total) gives the quotient exactly
    // for dividends below 2^64 / total, which holds (they are below
    // 256 * total) while total is at most 2^28. Larger ones divide.
    const bool byMagic = total > 1 && total <= (uint64_t{1} << 28);
    const uint64_t magic = byMagic ? ~uint64_t{0} / total + 1 : 0;
    // Source row sy weighed across, from the two kept rows or weighed now.
    auto acrossOf = [&](uint32_t sy) -> const uint64_t* {
        for (int slot = 0; slot < 2; ++slot) {
            if (acrossRow[slot] == sy) {
                return across[slot];
            }
        }
        // Rows come in rising order: the older one is done with.
        const int slot = acrossRow[0] < acrossRow[1] ? 0 : 1;
        acrossRow[slot] = sy;
        const TurnedRow src = turnedRow(image, turn, sy);
        for (uint32_t i = 0; i < f.width; ++i) {
            const uint8_t* p = src.base + static_cast<ptrdiff_t>(first[i]) * src.step;
            uint64_t sum = 0;
            for (uint32_t k = start[i]; k < start[i + 1]; ++k, p += src.step) {
                sum += uint64_t{*p} * weight[k];
            }
            across[slot][i] = sum;
        }
        return across[slot];
    };
    auto mean = [&](uint64_t sum) {
        const uint64_t x = sum + total / 2;
        return static_cast<uint8_t>(byMagic ? static_cast<uint64_t>((static_cast<Product>(x) * magic) >> 64)
                                            : x / total);
    };
    for (uint32_t j = 0; j < f.height; ++j) {
        uint32_t y0 = 0;
        uint32_t y1 = 0;
        coveredCells(j, nh, f.height, &y0, &y1);
        uint8_t* dst = out->row(f.y + j) + f.x;
        if (y1 - y0 < 2) {
            // One or two source rows (always so where the image is enlarged).
            const uint64_t* a0 = acrossOf(y0);
            const uint64_t* a1 = acrossOf(y1);
            const uint64_t w0 = overlap(j, y0, nh, f.height);
            const uint64_t w1 = y1 > y0 ? overlap(j, y1, nh, f.height) : 0;
            for (uint32_t i = 0; i < f.width; ++i) {
                dst[i] = mean(a0[i] * w0 + a1[i] * w1);
            }
            continue;
        }
        std::memset(sums, 0, cols * sizeof(uint64_t));
        for (uint32_t sy = y0; sy <= y1; ++sy) {
            const uint64_t* a = acrossOf(sy);
            const uint64_t wy = overlap(j, sy, nh, f.height);
            for (uint32_t i = 0; i < f.width; ++i) {
                sums[i] += a[i] * wy;
            }
        }
        for (uint32_t i = 0; i < f.width; ++i) {
            dst[i] = mean(sums[i]);
        }
    }
    return true;
}

}  // namespace tvl
