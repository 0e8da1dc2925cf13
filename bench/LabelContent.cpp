// SPDX-License-Identifier: Apache-2.0
#include "bench/LabelContent.h"

#include <cstring>

namespace tvl {

namespace bench {

namespace {

constexpr unsigned kWidth = kLabelWidth;
constexpr unsigned kHeight = kLabelHeight;
constexpr unsigned kBytesPerLine = kLabelBytesPerLine;
constexpr unsigned kBandRows = 200;


// splitmix64: small, seedable, the same on every machine.
struct Random {
    uint64_t state;
    uint64_t next()
    {
        uint64_t z = (state += 0x9E3779B97F4A7C15ULL);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
        return z ^ (z >> 31);
    }
    unsigned below(unsigned n) { return static_cast<unsigned>(next() % n); }
};

struct Page {
    std::vector<uint8_t> bits = std::vector<uint8_t>(static_cast<size_t>(kBytesPerLine) * kHeight, 0);

    void set(unsigned x, unsigned y)
    {
        if (x < kWidth && y < kHeight) {
            bits[static_cast<size_t>(y) * kBytesPerLine + x / 8] |= static_cast<uint8_t>(0x80u >> (x % 8));
        }
    }
    void fill(unsigned x0, unsigned y0, unsigned w, unsigned h)
    {
        for (unsigned y = y0; y < y0 + h; ++y) {
            for (unsigned x = x0; x < x0 + w; ++x) {
                set(x, y);
            }
        }
    }
};

// A font of 5 x 7 glyphs, one byte per glyph row (low 5 bits), made once per
// job from the seed: each glyph has a stem or bowl like printed letters.
struct Font {
    static constexpr unsigned kGlyphs = 48;
    uint8_t rows[kGlyphs][7];

    explicit Font(Random& random)
    {
        for (auto& glyph : rows) {
            for (unsigned r = 0; r < 7; ++r) {
                glyph[r] = static_cast<uint8_t>(random.next() & random.next() & random.next() & 0x1F);
            }
            switch (random.below(3)) {
            case 0:  // left stem
                for (unsigned r = 0; r < 7; ++r) glyph[r] |= 0x10;
                break;
            case 1:  // top and bottom bars
                glyph[0] |= 0x0E;
                glyph[6] |= 0x0E;
                break;
            default:  // middle bar
                glyph[3] |= 0x1F;
                break;
            }
        }
    }
};

// One line of words at (x, y), glyphs scaled by `scale`, up to `right`.
void drawTextLine(Page& page, const Font& font, Random& random, unsigned x, unsigned y, unsigned right,
                  unsigned scale)
{
    const unsigned advance = 6 * scale;
    while (x + 5 * scale <= right) {
        unsigned word = 2 + random.below(8);
        while (word-- > 0 && x + 5 * scale <= right) {
            const uint8_t* glyph = font.rows[random.below(Font::kGlyphs)];
            for (unsigned r = 0; r < 7; ++r) {
                for (unsigned c = 0; c < 5; ++c) {
                    if (glyph[r] & (0x10u >> c)) {
                        page.fill(x + c * scale, y + r * scale, scale, scale);
                    }
                }
            }
            x += advance;
        }
        x += advance;  // the blank between words
        if (random.below(6) == 0) {
            break;  // a short line
        }
    }
}

void drawTextBlock(Page& page, const Font& font, Random& random, unsigned x, unsigned y, unsigned right,
                   unsigned bottom, unsigned scale)
{
    const unsigned pitch = 10 * scale;
    for (; y + 7 * scale <= bottom; y += pitch) {
        drawTextLine(page, font, random, x, y, right, scale);
    }
}

// A 1D barcode: bars and spaces of 1 to 4 modules, `module` pixels each.
void drawBarcode(Page& page, Random& random, unsigned x, unsigned y, unsigned right, unsigned height,
                 unsigned module)
{
    bool bar = true;
    while (x + 4 * module <= right) {
        const unsigned width = (1 + random.below(4)) * module;
        if (bar) {
            page.fill(x, y, width, height);
        }
        x += width;
        bar = !bar;
    }
}

// A 2D matrix code of n x n modules with three finder squares.
void drawMatrixCode(Page& page, Random& random, unsigned x0, unsigned y0, unsigned n, unsigned module)
{
    auto finder = [&](unsigned mx, unsigned my, unsigned mr, unsigned mc) {
        const unsigned r = mr - my;
        const unsigned c = mc - mx;
        if (r > 6 || c > 6) {
            return -1;
        }
        const bool ring = r == 0 || r == 6 || c == 0 || c == 6;
        const bool core = r >= 2 && r <= 4 && c >= 2 && c <= 4;
        return (ring || core) ? 1 : 0;
    };
    for (unsigned r = 0; r < n; ++r) {
        for (unsigned c = 0; c < n; ++c) {
            int on = finder(0, 0, r, c);
            if (on < 0 && c >= n - 7) on = finder(n - 7, 0, r, c);
            if (on < 0 && r >= n - 7) on = finder(0, n - 7, r, c);
            if (on < 0) on = random.below(2) == 0 ? 1 : 0;
            if (on == 1) {
                page.fill(x0 + c * module, y0 + r * module, module, module);
            }
        }
    }
}

}  // namespace

std::vector<uint8_t> drawLabel(uint64_t seed, unsigned number)
{
    Random fontRandom{seed};
    const Font font(fontRandom);
    Random random{seed * 1000003ULL + number};
    Page page;
    // Border: a 6-pixel frame 12 pixels in from the edge.
    page.fill(12, 12, kWidth - 24, 6);
    page.fill(12, kHeight - 18, kWidth - 24, 6);
    page.fill(12, 12, 6, kHeight - 24);
    page.fill(kWidth - 18, 12, 6, kHeight - 24);

    drawTextBlock(page, font, random, 40, 40, 772, 130, 4);      // sender, large
    page.fill(18, 140, kWidth - 36, 4);
    drawTextBlock(page, font, random, 40, 160, 772, 430, 2);     // address block
    page.fill(18, 440, kWidth - 36, 4);
    drawMatrixCode(page, random, 40, 470, 33, 7);                // 231 x 231
    drawTextBlock(page, font, random, 300, 470, 772, 700, 2);    // routing text
    page.fill(18, 720, kWidth - 36, 4);
    drawBarcode(page, random, 70, 750, 742, 150, 3);
    drawTextBlock(page, font, random, 180, 920, 640, 951, 3);    // barcode digits
    page.fill(18, 1000, kWidth - 36, 4);
    drawTextBlock(page, font, random, 40, 1020, 772, 1190, 2);   // small print
    return page.bits;
}

// Runs of 0x00/0xFF as the compressed band mode codes them.
unsigned countRuns(const std::vector<uint8_t>& bits)
{
    unsigned runs = 0;
    for (unsigned start = 0; start < kHeight; start += kBandRows) {
        const unsigned rows = kHeight - start < kBandRows ? kHeight - start : kBandRows;
        const uint8_t* p = bits.data() + static_cast<size_t>(start) * kBytesPerLine;
        const size_t n = static_cast<size_t>(rows) * kBytesPerLine;
        size_t i = 0;
        while (i < n) {
            const uint8_t b = p[i];
            if (b == 0x00 || b == 0xFF) {
                unsigned count = 1;
                ++i;
                while (i < n && p[i] == b && count < 255) {
                    ++count;
                    ++i;
                }
                ++runs;
            } else {
                ++i;
            }
        }
    }
    return runs;
}

unsigned blackPixels(const std::vector<uint8_t>& bits)
{
    unsigned black = 0;
    for (unsigned y = 0; y < kHeight; ++y) {
        for (unsigned bx = 0; bx < kBytesPerLine; ++bx) {
            uint8_t b = bits[static_cast<size_t>(y) * kBytesPerLine + bx];
            if (bx == kBytesPerLine - 1) {
                b &= static_cast<uint8_t>(0xFF << (8 * kBytesPerLine - kWidth));  // row padding
            }
            black += static_cast<unsigned>(__builtin_popcount(b));
        }
    }
    return black;
}

}  // namespace bench

}  // namespace tvl
