// SPDX-License-Identifier: Apache-2.0
// The size arithmetic that guards every page buffer: products of the page
// header's 32-bit fields can pass 64 bits (0xffffffff x 0xffffffff) or
// exceed what one pixel read can take (an unsigned length). libcups refuses
// headers that could reach the 64-bit overflow, so it is tested here, on
// the functions themselves.
#include <gtest/gtest.h>

#include <cerrno>
#include <climits>
#include <cstdint>

#include "output/Band.h"
#include "output/Buffer.h"
#include "output/Rotation.h"
#include "tests/support/Expected.h"
#include "tests/support/StringSinks.h"

namespace tvl {

namespace {

cups_page_header_t header(uint32_t width, uint32_t height, uint32_t bytesPerLine)
{
    cups_page_header_t h{};
    h.cupsWidth = width;
    h.cupsHeight = height;
    h.cupsBytesPerLine = bytesPerLine;
    h.cupsBitsPerPixel = 1;
    return h;
}

TEST(SizeOverflowFault, CheckedMultiplyAndAdd)
{
    size_t out = 0;
    EXPECT_TRUE(checkedMultiply(0xffffffffu, 0xffffffffu, &out));
    EXPECT_EQ(out, 0xfffffffe00000001u);
    EXPECT_FALSE(checkedMultiply(SIZE_MAX / 2 + 1, 2, &out));
    EXPECT_FALSE(checkedMultiply(size_t{1} << 35, size_t{1} << 29, &out));
    EXPECT_TRUE(checkedMultiply(size_t{1} << 34, size_t{1} << 29, &out));
    EXPECT_FALSE(checkedAdd(SIZE_MAX, 1, &out));
    EXPECT_TRUE(checkedAdd(SIZE_MAX - 1, 1, &out));
}

TEST(SizeOverflowFault, PageMemoryLimits)
{
    struct Case {
        const char* name;
        cups_page_header_t h;
        int32_t rotation;
        bool fits;
        size_t pixelBytes;
        size_t pageBuffer;
    };
    const Case cases[] = {
        {"one pixel", header(1, 1, 1), 0, true, 1, 1},
        {"one pixel turned", header(1, 1, 1), 1, true, 1, 1},
        {"largest single read: 0xffffffff bytes", header(8, 65535, 65537), 0, true, 0xffffffffu, 0xffffffffu},
        {"no rows", header(8, 0, 1), 0, true, 0, 0},
        {"65537 x 65536 passes 32 bits", header(8, 65537, 65536), 0, false, 0, 0},
        {"0xffffffff x 0xffffffff passes 32 bits", header(8, 0xffffffffu, 0xffffffffu), 0, false, 0, 0},
        {"0xffffffff x 0xffffffff turned", header(0xffffffffu, 0xffffffffu, 0xffffffffu), 3, false, 0, 0},
        // A wide, short page turned: the turned page (W x 1 byte) is larger
        // than the page (1 row of W/8 bytes).
        {"wide page of one row turned", header(4096, 1, 512), 1, true, 512, 4096},
        // 8 rows of 2^29 bytes would be exactly 2^32: one more than a read takes.
        {"8 rows of 2^29 bytes", header(0xffffffffu, 8, 0x20000000u), 1, false, 0, 0},
        // 7 rows of 2^29 - 1 bytes fit one read; turned, 0xfffffff8 rows of one byte.
        {"7 rows of 2^29 - 1 bytes turned", header(0xfffffff8u, 7, 0x1fffffffu), 1, true, 7u * 0x1fffffffu,
         0xfffffff8u},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        PageMemory memory{};
        ASSERT_EQ(pageMemoryFor(c.h, c.rotation, &memory), c.fits);
        if (c.fits) {
            EXPECT_EQ(memory.pixelBytes, c.pixelBytes);
            EXPECT_EQ(memory.pageBuffer, c.pageBuffer);
        }
    }
}

// A turn of a page whose turned form cannot fit the page buffer (here 16
// bytes for a page of 0xffffffff rows; its scratch would be 2^64 - 2^32
// bytes) is refused before any memory is taken or touched.
TEST(SizeOverflowFault, TurnOfAnImpossiblePageIsRefused)
{
    for (int32_t rotation : {1, 3}) {
        SCOPED_TRACE(rotation);
        cups_page_header_t h = header(8, 0xffffffffu, 0xffffffffu);
        uint8_t page[16] = {};
        StringOutput o;
        errno = 0;
        EXPECT_EQ(convertRotation(o.out, rotation, std::span<uint8_t>(page, sizeof page), &h).error,
                  PageError::NoMemory);
        // The reason is ENOMEM although no allocation was tried.
        EXPECT_EQ(o.log.text, kLog + "Memory Allocation Error\n: Cannot allocate memory\n");
        EXPECT_EQ(o.printer.bytes, "SOT\r\n");
        EXPECT_EQ(h.cupsWidth, 8u);  // header untouched
        EXPECT_EQ(h.cupsHeight, 0xffffffffu);
        EXPECT_EQ(h.cupsBytesPerLine, 0xffffffffu);
    }
}

}  // namespace

}  // namespace tvl
