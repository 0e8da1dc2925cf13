// SPDX-License-Identifier: Apache-2.0
// The printer application benchmark's job: gray rows from packed label bits,
// and the sgray_8 PWG document read back through libcups, header and pixels.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <unistd.h>
#include <vector>

#include <cups/raster.h>

#include "bench/GrayLabel.h"
#include "bench/LabelContent.h"
#include "bench/PwgJob.h"
#include "tests/support/RasterWriter.h"

namespace tvl {

namespace {

std::string grayText(const std::vector<uint8_t>& gray)
{
    std::string text;
    for (uint8_t g : gray) {
        text += g == 0 ? '#' : (g == 255 ? '.' : '?');
    }
    return text;
}

TEST(BenchGray, RowsFromBits)
{
    struct Case {
        const char* name;
        std::vector<uint8_t> bits;
        size_t width;
        size_t grayRoom;
        bool ok;
        const char* gray;  // '#' black, '.' white; on failure the untouched row ('?')
    };
    const Case cases[] = {
        {"one byte, leftmost bit first", {0xA0}, 8, 8, true, "#.#....."},
        {"width 9 reads the second byte's top bit", {0x00, 0x80}, 9, 9, true, "........#"},
        {"pad bits after the width are left out", {0x81}, 7, 7, true, "#......"},
        {"pad bits of the label's last byte", {0xFF, 0xFF}, 12, 12, true, "############"},
        {"width 0 writes nothing", {}, 0, 0, true, ""},
        {"bits one byte short", {0xFF}, 9, 9, false, "?????????"},
        {"gray row one short", {0xFF, 0xFF}, 9, 8, false, "????????"},
    };
    for (const Case& c : cases) {
        std::vector<uint8_t> gray(c.grayRoom, 7);
        EXPECT_EQ(bench::bitsToGray(c.bits, c.width, gray), c.ok) << c.name;
        EXPECT_EQ(grayText(gray), c.gray) << c.name;
    }
}

struct ReadBack {
    std::vector<cups_page_header2_t> headers;
    std::vector<std::vector<uint8_t>> pages;
};

ReadBack readPwg(const std::string& path)
{
    ReadBack back;
    const int fd = open(path.c_str(), O_RDONLY);
    if (fd < 0) {
        return back;
    }
    cups_raster_t* raster = cupsRasterOpen(fd, CUPS_RASTER_READ);
    cups_page_header2_t header;
    while (raster != nullptr && cupsRasterReadHeader2(raster, &header)) {
        std::vector<uint8_t> page(static_cast<size_t>(header.cupsBytesPerLine) * header.cupsHeight);
        if (page.empty() || cupsRasterReadPixels(raster, page.data(), static_cast<unsigned>(page.size())) != page.size()) {
            break;
        }
        back.headers.push_back(header);
        back.pages.push_back(std::move(page));
    }
    cupsRasterClose(raster);
    close(fd);
    return back;
}

TEST(BenchPwgJob, ReadsBackAsTheLabels)
{
    const std::string path = tempPath("bench-job.pwg");
    const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    ASSERT_GE(fd, 0);
    const bench::PwgJobResult result = bench::writePwgJob(fd, 3, bench::kDefaultSeed);
    ASSERT_EQ(close(fd), 0);
    ASSERT_TRUE(result.ok) << result.reason;
    EXPECT_EQ(result.labels, 3u);

    const ReadBack back = readPwg(path);
    ASSERT_EQ(back.pages.size(), 3u);
    for (size_t n = 0; n < back.pages.size(); ++n) {
        const cups_page_header2_t& h = back.headers[n];
        struct Field {
            const char* name;
            unsigned value, expected;
        };
        const Field fields[] = {
            {"cupsWidth", h.cupsWidth, 812},
            {"cupsHeight", h.cupsHeight, 1218},
            {"cupsBytesPerLine", h.cupsBytesPerLine, 812},
            {"cupsBitsPerPixel", h.cupsBitsPerPixel, 8},
            {"cupsBitsPerColor", h.cupsBitsPerColor, 8},
            {"cupsColorSpace", h.cupsColorSpace, CUPS_CSPACE_SW},
            {"HWResolution x", h.HWResolution[0], 203},
            {"HWResolution y", h.HWResolution[1], 203},
            {"PageSize (points)", h.PageSize[0] * 1000 + h.PageSize[1], 288 * 1000 + 432},
            {"TotalPageCount", h.cupsInteger[CUPS_RASTER_PWG_TotalPageCount], 3},
        };
        for (const Field& f : fields) {
            EXPECT_EQ(f.value, f.expected) << "label " << n + 1 << ": " << f.name;
        }
        EXPECT_STREQ(h.cupsPageSizeName, "oe_4x6-label_4x6in") << "label " << n + 1;

        // Every pixel against the 1-bit label of the filter benchmark.
        const std::vector<uint8_t> bits = bench::drawLabel(bench::kDefaultSeed, static_cast<unsigned>(n));
        size_t wrong = 0;
        for (size_t y = 0; y < bench::kLabelHeight; ++y) {
            for (size_t x = 0; x < bench::kLabelWidth; ++x) {
                const bool black = (bits[y * bench::kLabelBytesPerLine + x / 8] >> (7 - x % 8)) & 1;
                wrong += back.pages[n][y * bench::kLabelWidth + x] != (black ? 0 : 255);
            }
        }
        EXPECT_EQ(wrong, 0u) << "label " << n + 1;
    }
    unlink(path.c_str());
}

TEST(BenchReferenceJob, LabelsCutOrPaddedToTheRows)
{
    struct Case {
        const char* name;
        unsigned rows;
        bool ok;
    };
    const Case cases[] = {
        {"the label as drawn", 1218, true},
        {"a 6 in label at 8 dots/mm: one white row more", 1219, true},
        {"a shorter label: cut", 600, true},
        {"one row", 1, true},
        {"no rows", 0, false},
    };
    for (const Case& c : cases) {
        const std::string path = tempPath("bench-reference.ras");
        const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        ASSERT_GE(fd, 0);
        const bench::PwgJobResult result = bench::writeReferenceJob(fd, 2, bench::kDefaultSeed, c.rows);
        ASSERT_EQ(close(fd), 0);
        EXPECT_EQ(result.ok, c.ok) << c.name << ": " << result.reason;
        if (!c.ok) {
            continue;
        }
        const ReadBack back = readPwg(path);
        ASSERT_EQ(back.pages.size(), 2u) << c.name;
        for (size_t n = 0; n < back.pages.size(); ++n) {
            const cups_page_header2_t& h = back.headers[n];
            EXPECT_EQ(h.cupsWidth, 812u) << c.name;
            EXPECT_EQ(h.cupsHeight, c.rows) << c.name;
            EXPECT_EQ(h.cupsBytesPerLine, 102u) << c.name;
            EXPECT_EQ(h.cupsBitsPerPixel, 1u) << c.name;
            const std::vector<uint8_t> bits = bench::drawLabel(bench::kDefaultSeed, static_cast<unsigned>(n));
            const std::vector<uint8_t>& page = back.pages[n];
            const size_t drawn = std::min<size_t>(c.rows, bench::kLabelHeight) * 102;
            EXPECT_TRUE(std::equal(page.begin(), page.begin() + static_cast<std::ptrdiff_t>(drawn), bits.begin()))
                << c.name << ", label " << n + 1;
            EXPECT_TRUE(std::all_of(page.begin() + static_cast<std::ptrdiff_t>(drawn), page.end(),
                                    [](uint8_t b) { return b == 0; }))
                << c.name << ", label " << n + 1 << ": rows below the label white";
        }
        unlink(path.c_str());
    }
}

TEST(BenchPwgJob, WriteFailureEndsWithAReason)
{
    const int fd = open("/dev/full", O_WRONLY);
    ASSERT_GE(fd, 0);
    const bench::PwgJobResult result = bench::writePwgJob(fd, 2, bench::kDefaultSeed);
    close(fd);
    EXPECT_FALSE(result.ok);
    EXPECT_STRNE(result.reason, "");
    EXPECT_LT(result.labels, 2u);
}

}  // namespace

}  // namespace tvl
