#include "app/render/Place.h"

#include <algorithm>

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

// Image pixel under pixel (x, y) of the turned image.
uint8_t turnedPixel(const GrayImage& image, Turn turn, uint32_t x, uint32_t y)
{
    switch (turn) {
    case Turn::Left:
        return image.at(image.width - 1 - y, x);
    case Turn::Right:
        return image.at(y, image.height - 1 - x);
    case Turn::Half:
        return image.at(image.width - 1 - x, image.height - 1 - y);
    case Turn::None:
        break;
    }
    return image.at(x, y);
}

// Output cell i of m over n source cells covers [i*n, (i+1)*n) in units
// where source cell s covers [s*m, (s+1)*m): first and last source cells.
void coveredCells(uint64_t i, uint64_t n, uint64_t m, uint32_t* first, uint32_t* last)
{
    *first = static_cast<uint32_t>(i * n / m);
    *last = static_cast<uint32_t>(((i + 1) * n - 1) / m);
}

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
    for (uint32_t j = 0; j < f.height; ++j) {
        uint32_t y0 = 0;
        uint32_t y1 = 0;
        coveredCells(j, nh, f.height, &y0, &y1);
        uint8_t* dst = out->row(f.y + j) + f.x;
        for (uint32_t i = 0; i < f.width; ++i) {
            uint32_t x0 = 0;
            uint32_t x1 = 0;
            coveredCells(i, n, f.width, &x0, &x1);
            uint64_t sum = 0;
            for (uint32_t sy = y0; sy <= y1; ++sy) {
                const uint64_t wy = overlap(j, sy, nh, f.height);
                uint64_t across = 0;
                for (uint32_t sx = x0; sx <= x1; ++sx) {
                    across += turnedPixel(image, turn, sx, sy) * overlap(i, sx, n, f.width);
                }
                sum += across * wy;
            }
            dst[i] = static_cast<uint8_t>((sum + total / 2) / total);
        }
    }
    return true;
}
