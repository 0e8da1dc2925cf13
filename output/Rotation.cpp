// SPDX-License-Identifier: Apache-2.0
#include "output/Rotation.h"

#include <cerrno>
#include <cstdio>
#include <cstddef>
#include <cstring>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#if defined(__x86_64__) && defined(__GNUC__)
#include <immintrin.h>
#define TVL_TURN_AVX2 1
#endif

#include "output/Buffer.h"
#include "output/Commands.h"

namespace tvl {

namespace {

// Transposes an 8 x 8 bit block held one row per byte, row 0 in the most
// significant byte and the leftmost pixel in each byte's top bit. Afterwards
// byte i (counted from the most significant) holds column i, top row first.
inline uint64_t transpose8x8(uint64_t x)
{
    uint64_t t = (x ^ (x >> 7)) & 0x00AA00AA00AA00AAULL;
    x = x ^ t ^ (t << 7);
    t = (x ^ (x >> 14)) & 0x0000CCCC0000CCCCULL;
    x = x ^ t ^ (t << 14);
    t = (x ^ (x >> 28)) & 0x00000000F0F0F0F0ULL;
    x = x ^ t ^ (t << 28);
    return x;
}

// Gathers the byte at `byteColumn` of the eight source rows rowOf(0..7)
// (rows outside the page read as 0), first row in the top byte.
template <typename RowOf>
inline uint64_t gatherBlock(const uint8_t* source, size_t bytesPerLine, uint32_t height, size_t byteColumn,
                            RowOf rowOf)
{
    uint64_t x = 0;
    for (unsigned j = 0; j < 8; ++j) {
        const int64_t row = rowOf(j);
        uint64_t byte = 0;
        if (row >= 0 && row < static_cast<int64_t>(height)) {
            byte = source[static_cast<size_t>(row) * bytesPerLine + byteColumn];
        }
        x = (x << 8) | byte;
    }
    return x;
}

// Turns the eight source rows rows[0..7] (rows[0] lands in the top bit of
// every turned byte) across the byte columns `firstColumn` up to
// `endColumn`: the block of byte column bc goes to the turned bytes
// out + (8 * bc + i) * step, i = 0..7. Every row pointer must be valid for
// those columns; no bounds are checked.
inline void turnRowGroup(const uint8_t* const rows[8], size_t firstColumn, size_t endColumn, uint8_t* out,
                         ptrdiff_t step)
{
    const uint8_t* r0 = rows[0];
    const uint8_t* r1 = rows[1];
    const uint8_t* r2 = rows[2];
    const uint8_t* r3 = rows[3];
    const uint8_t* r4 = rows[4];
    const uint8_t* r5 = rows[5];
    const uint8_t* r6 = rows[6];
    const uint8_t* r7 = rows[7];
    for (size_t bc = firstColumn; bc < endColumn; ++bc) {
        uint64_t x = (static_cast<uint64_t>(r0[bc]) << 56) | (static_cast<uint64_t>(r1[bc]) << 48) |
                     (static_cast<uint64_t>(r2[bc]) << 40) | (static_cast<uint64_t>(r3[bc]) << 32) |
                     (static_cast<uint64_t>(r4[bc]) << 24) | (static_cast<uint64_t>(r5[bc]) << 16) |
                     (static_cast<uint64_t>(r6[bc]) << 8) | static_cast<uint64_t>(r7[bc]);
        x = transpose8x8(x);
        uint8_t* o = out + static_cast<ptrdiff_t>(8 * bc) * step;
        o[0] = static_cast<uint8_t>(x >> 56);
        o[step] = static_cast<uint8_t>(x >> 48);
        o[2 * step] = static_cast<uint8_t>(x >> 40);
        o[3 * step] = static_cast<uint8_t>(x >> 32);
        o[4 * step] = static_cast<uint8_t>(x >> 24);
        o[5 * step] = static_cast<uint8_t>(x >> 16);
        o[6 * step] = static_cast<uint8_t>(x >> 8);
        o[7 * step] = static_cast<uint8_t>(x);
    }
}

#if defined(__SSE2__)
// Sixteen source rows at a time, sixteen byte columns at a time: a 16 x 16
// byte transposition gathers each byte column of the sixteen rows into one
// register, and the byte-wise sign mask then takes one bit column of it as
// two whole turned bytes.
//
// Transposes 16 x 16 bytes in place: afterwards byte i of v[c] is what byte
// c of v[i] was. Each pass interleaves row i with row i + 8; four passes
// turn the row and column indices fully around.
inline void interleave16(const __m128i from[16], __m128i to[16])
{
#pragma GCC unroll 8
    for (int i = 0; i < 8; ++i) {
        to[2 * i] = _mm_unpacklo_epi8(from[i], from[i + 8]);
        to[2 * i + 1] = _mm_unpackhi_epi8(from[i], from[i + 8]);
    }
}

// The passes go back and forth between two arrays, which the compiler keeps
// in registers; a copy back after each pass would go through memory.
inline void transpose16x16(__m128i v[16])
{
    __m128i t[16];
    interleave16(v, t);
    interleave16(t, v);
    interleave16(v, t);
    interleave16(t, v);
}

// One 16 x 16 tile: the source rows row0 + j * rowStride (j = 0..15)
// become two adjacent turned bytes, row j = 0 the top bit of the first and
// j = 8 the top bit of the second; c0 is the tile's first byte column.
// out + x * step is the first of the two bytes in the turned row of source
// column x.
inline void turnTile(const uint8_t* row0, ptrdiff_t rowStride, size_t c0, uint8_t* out, ptrdiff_t step)
{
    const uint8_t* at = row0 + c0;
    __m128i v[16];
    // Byte i of a register lands in bit i of its sign mask: rows 7..0 go to
    // bytes 0..7 (the first turned byte, row 0 on top), rows 15..8 to bytes
    // 8..15 (the second one).
#pragma GCC unroll 8
    for (int i = 0; i < 8; ++i) {
        v[i] = _mm_loadu_si128(reinterpret_cast<const __m128i*>(at + (7 - i) * rowStride));
        v[i + 8] = _mm_loadu_si128(reinterpret_cast<const __m128i*>(at + (15 - i) * rowStride));
    }
    transpose16x16(v);
    for (int c = 0; c < 16; ++c) {
        __m128i column = v[c];
        uint8_t* o = out + static_cast<ptrdiff_t>(8 * (c0 + static_cast<size_t>(c))) * step;
#pragma GCC unroll 8
        for (int bit = 0; bit < 8; ++bit) {
            const auto two = static_cast<uint16_t>(_mm_movemask_epi8(column));
            const uint8_t bytes[2] = {static_cast<uint8_t>(two), static_cast<uint8_t>(two >> 8)};
            std::memcpy(o + static_cast<ptrdiff_t>(bit) * step, bytes, 2);
            column = _mm_add_epi8(column, column);  // the next pixel into the sign bit
        }
    }
}
#endif

#if defined(TVL_TURN_AVX2)
// Thirty-two source rows at a time where the processor has AVX2: the two
// 128-bit lanes of a register each do what one SSE2 register does above, for
// rows 0..15 and 16..31, so one sign mask gives four whole turned bytes.
// The processor has only one port for sign masks, and they bound the turn.
__attribute__((target("avx2"))) inline void interleave16Lanes(const __m256i from[16], __m256i to[16])
{
#pragma GCC unroll 8
    for (int i = 0; i < 8; ++i) {
        to[2 * i] = _mm256_unpacklo_epi8(from[i], from[i + 8]);
        to[2 * i + 1] = _mm256_unpackhi_epi8(from[i], from[i + 8]);
    }
}

__attribute__((target("avx2"))) inline void transpose16x16Lanes(__m256i v[16])
{
    __m256i t[16];
    interleave16Lanes(v, t);
    interleave16Lanes(t, v);
    interleave16Lanes(v, t);
    interleave16Lanes(t, v);
}

__attribute__((target("avx2"))) inline __m256i twoRows(const uint8_t* low, const uint8_t* high)
{
    const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(low));
    const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(high));
    return _mm256_inserti128_si256(_mm256_castsi128_si256(a), b, 1);
}

// One 32 x 16 tile: the 32 source rows row0 + j * rowStride (j = 0..31)
// become four adjacent turned bytes, row j = 0 the top bit of the first, 8,
// 16 and 24 of the others; c0, out and step as for turnTile. The tile's
// byte columns before `fromColumn` (0..15) are left as they are.
__attribute__((target("avx2"))) void turnTile32(const uint8_t* row0, ptrdiff_t rowStride, size_t c0, uint8_t* out,
                                                ptrdiff_t step, int fromColumn)
{
    const uint8_t* at = row0 + c0;
    __m256i v[16];
#pragma GCC unroll 8
    for (int i = 0; i < 8; ++i) {
        v[i] = twoRows(at + (7 - i) * rowStride, at + (23 - i) * rowStride);
        v[i + 8] = twoRows(at + (15 - i) * rowStride, at + (31 - i) * rowStride);
    }
    transpose16x16Lanes(v);
    for (int c = fromColumn; c < 16; ++c) {
        __m256i column = v[c];
        uint8_t* o = out + static_cast<ptrdiff_t>(8 * (c0 + static_cast<size_t>(c))) * step;
#pragma GCC unroll 8
        for (int bit = 0; bit < 8; ++bit) {
            const auto four = static_cast<uint32_t>(_mm256_movemask_epi8(column));
            const uint8_t bytes[4] = {static_cast<uint8_t>(four), static_cast<uint8_t>(four >> 8),
                                      static_cast<uint8_t>(four >> 16), static_cast<uint8_t>(four >> 24)};
            std::memcpy(o + static_cast<ptrdiff_t>(bit) * step, bytes, 4);
            column = _mm256_add_epi8(column, column);
        }
    }
}

TurnKernel processorKernel()
{
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx2") ? TurnKernel::Avx2 : TurnKernel::Portable;
}
#else
TurnKernel processorKernel()
{
    return TurnKernel::Portable;
}
#endif

TurnKernel& kernelInUse()
{
    static TurnKernel kernel = processorKernel();
    return kernel;
}

// The same for a group of which some rows lie outside the page (the last
// group of a page whose height is not a multiple of 8): those read as 0.
template <typename RowOf>
void turnEdgeGroup(const uint8_t* source, uint32_t height, size_t bytesPerLine, RowOf rowOf, uint8_t* out,
                   ptrdiff_t step)
{
    for (size_t bc = 0; bc < bytesPerLine; ++bc) {
        const uint64_t x = transpose8x8(gatherBlock(source, bytesPerLine, height, bc, rowOf));
        uint8_t* o = out + static_cast<ptrdiff_t>(8 * bc) * step;
        for (unsigned i = 0; i < 8; ++i) {
            o[static_cast<ptrdiff_t>(i) * step] = static_cast<uint8_t>(x >> (56 - 8 * i));
        }
    }
}

// Turns the page: turned bit k (counted over the whole turned row, k = 0 in
// the top bit of its first byte) is source row rowOf(k); the turned row of
// source column x starts at out + x * step (out points at turned row 0's
// first byte for source column 0).
template <typename RowOf>
void turnPage(const uint8_t* source, uint32_t height, size_t bytesPerLine, RowOf rowOf, uint8_t* out,
              ptrdiff_t step)
{
    const size_t rowBytes = turnedRowBytes(height);
    const size_t fullGroups = height / 8;  // turned bytes whose eight rows all lie in the page
    size_t kb = 0;
    auto rowAt = [&](size_t k) { return source + static_cast<size_t>(rowOf(k)) * bytesPerLine; };
#if defined(TVL_TURN_AVX2)
    if (kernelInUse() == TurnKernel::Avx2 && bytesPerLine >= 16) {
        // Tiles of 32 rows x 16 byte columns, a column strip at a time; the
        // last strip ends at the row's end and reads columns of the one
        // before again, but writes only its own.
        const size_t quads = fullGroups / 4;
        for (size_t c0 = 0; c0 < bytesPerLine; c0 += 16) {
            const size_t column = c0 + 16 <= bytesPerLine ? c0 : bytesPerLine - 16;
            const int from = static_cast<int>(c0 - column);
            for (size_t quad = 0; quad < quads; ++quad) {
                // The source rows of a group follow each other up or down.
                const uint8_t* row0 = rowAt(quad * 32);
                turnTile32(row0, rowAt(quad * 32 + 1) - row0, column, out + 4 * quad, step, from);
            }
        }
        kb = quads * 4;
    }
#endif
#if defined(__SSE2__)
    // Tiles of 16 rows x 16 byte columns, a column strip at a time, so that
    // the turned rows being written stay in the cache.
    const size_t pairs = (fullGroups - kb) / 2;
    const size_t tiledColumns = bytesPerLine / 16 * 16;
    for (size_t c0 = 0; c0 < tiledColumns; c0 += 16) {
        for (size_t pair = 0; pair < pairs; ++pair) {
            const size_t k = kb * 8 + pair * 16;
            const uint8_t* row0 = rowAt(k);
            turnTile(row0, rowAt(k + 1) - row0, c0, out + kb + 2 * pair, step);
        }
    }
    // The byte columns right of the last whole tile.
    for (size_t group = kb; group < kb + pairs * 2; ++group) {
        const uint8_t* rows[8];
        for (unsigned j = 0; j < 8; ++j) {
            rows[j] = rowAt(group * 8 + j);
        }
        turnRowGroup(rows, tiledColumns, bytesPerLine, out + group, step);
    }
    kb += pairs * 2;
#endif
    for (; kb < fullGroups; ++kb) {
        const uint8_t* rows[8];
        for (unsigned j = 0; j < 8; ++j) {
            rows[j] = rowAt(kb * 8 + j);
        }
        turnRowGroup(rows, 0, bytesPerLine, out + kb, step);
    }
    for (; kb < rowBytes; ++kb) {
        // The last group of a page whose height is not a multiple of 8.
        turnEdgeGroup(
            source, height, bytesPerLine,
            [&](unsigned j) {
                const size_t k = kb * 8 + j;
                return k < height ? static_cast<int64_t>(rowOf(k)) : static_cast<int64_t>(-1);
            },
            out + kb, step);
    }
}

}  // namespace

void rotate90Degree(const uint8_t* source, uint8_t* turned, uint32_t height, uint32_t bytesPerLine)
{
    // Turned row r is source column r read from the bottom up.
    const auto step = static_cast<ptrdiff_t>(turnedRowBytes(height));
    turnPage(source, height, bytesPerLine, [height](size_t k) { return height - 1 - k; }, turned, step);
}

void rotate270Degree(const uint8_t* source, uint8_t* turned, uint32_t height, uint32_t bytesPerLine)
{
    // Turned row r is source column 8 * bytesPerLine - 1 - r read from the
    // top down: the turned rows run backwards from the last one.
    if (bytesPerLine == 0) {
        return;  // no columns, no turned rows
    }
    const size_t rowBytes = turnedRowBytes(height);
    const size_t lastRow = static_cast<size_t>(bytesPerLine) * 8 - 1;
    turnPage(source, height, bytesPerLine, [](size_t k) { return k; }, turned + lastRow * rowBytes,
             -static_cast<ptrdiff_t>(rowBytes));
}

TurnKernel turnKernel()
{
    return kernelInUse();
}

bool useTurnKernel(TurnKernel kernel)
{
    if (kernel == TurnKernel::Avx2 && processorKernel() != TurnKernel::Avx2) {
        return false;
    }
    kernelInUse() = kernel;
    return true;
}

void rotate180Degree(Output& out)
{
    writePrinter(out, command::kOrientationBottom);
}

bool canTurnPage(const cups_page_header_t& header)
{
    return header.cupsBitsPerPixel == 1 &&
           static_cast<uint64_t>(header.cupsBytesPerLine) * 8 >= header.cupsWidth;
}

void writeOrientation(Output& out, int32_t rotation)
{
    writePrinter(out, command::kOrientationTop);
    if (rotation == 2) {
        rotate180Degree(out);
    }
}

namespace {

constexpr auto kAllocationError = driverText("Memory Allocation Error\n");

// The scratch a quarter turn takes: a turned row for each bit column.
uint64_t turnScratchBytes(const cups_page_header_t& header)
{
    return uint64_t{header.cupsBytesPerLine} * 8 * turnedRowBytes(header.cupsHeight);
}

bool canTurn(Output& out, const cups_page_header_t& header)
{
    if (!canTurnPage(header)) {
        driverLog(out.log, "ERROR: Cannot rotate this page\n");
        return false;
    }
    return true;
}

// Turns into `scratch` (8 x bytesPerLine rows of turnedRowBytes(height),
// at hand) and rewrites the header; returns the turned page's first row.
const uint8_t* turnQuarter(int32_t rotation, const uint8_t* page, uint8_t* scratch, cups_page_header_t* header)
{
    const uint32_t width = header->cupsWidth;
    const uint32_t height = header->cupsHeight;
    const uint32_t bytesPerLine = header->cupsBytesPerLine;
    const size_t rowBytes = turnedRowBytes(height);
    size_t firstKept = 0;
    if (rotation == 1) {
        rotate90Degree(page, scratch, height, bytesPerLine);
    } else {
        rotate270Degree(page, scratch, height, bytesPerLine);
        firstKept = static_cast<size_t>(bytesPerLine) * 8 - width;  // the padding columns come first
    }
    header->cupsBytesPerLine = static_cast<unsigned>(rowBytes);
    header->cupsHeight = width;
    header->cupsWidth = height;
    return scratch + firstKept * rowBytes;
}

}  // namespace

PageResult turnPageInto(Output& out, int32_t rotation, const uint8_t* page, cups_page_header_t* header,
                        ReusedBuffer* scratch, const uint8_t** turned)
{
    if (!canTurn(out, *header)) {
        return pageFailed(PageError::CannotTurn);
    }
    size_t scratchSize = 0;
    if (!checkedMultiply(static_cast<size_t>(header->cupsBytesPerLine) * 8, turnedRowBytes(header->cupsHeight),
                         &scratchSize)) {
        errno = ENOMEM;
        logSystemError(out, kAllocationError.data(), errno);
        return pageFailed(PageError::NoMemory, turnScratchBytes(*header));
    }
    if (!reserveBytes(scratch, scratchSize)) {
        logSystemError(out, kAllocationError.data(), errno);
        return pageFailed(PageError::NoMemory, turnScratchBytes(*header));
    }
    *turned = turnQuarter(rotation, page, scratch->bytes.get(), header);
    return PageResult{};
}

PageResult convertRotation(Output& out, int32_t rotation, std::span<uint8_t> page, cups_page_header_t* header)
{
    writeOrientation(out, rotation);
    if (rotation != 1 && rotation != 3) {
        return PageResult{};
    }
    if (!canTurn(out, *header)) {
        return pageFailed(PageError::CannotTurn);
    }
    size_t turnedSize = 0;
    if (!checkedMultiply(header->cupsWidth, turnedRowBytes(header->cupsHeight), &turnedSize) ||
        turnedSize > page.size()) {
        errno = ENOMEM;
        logSystemError(out, kAllocationError.data(), errno);
        return pageFailed(PageError::NoMemory, turnScratchBytes(*header));
    }
    ReusedBuffer scratch;
    const uint8_t* turned = nullptr;
    const PageResult result = turnPageInto(out, rotation, page.data(), header, &scratch, &turned);
    if (result.printed()) {
        std::memcpy(page.data(), turned, turnedSize);
    }
    return result;
}

}  // namespace tvl
