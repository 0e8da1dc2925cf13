// SPDX-License-Identifier: Apache-2.0
#include "app/render/Reduce.h"

#include <cstring>

namespace tvl {

namespace {

uint32_t* u32(ByteBuffer& b)
{
    return reinterpret_cast<uint32_t*>(b.get());
}

uint64_t* u64(ByteBuffer& b)
{
    return reinterpret_cast<uint64_t*>(b.get());
}

// Source pixel i of n covers [i*m, (i+1)*m) in units where each of the m
// output pixels covers n: its first output pixel and the part that falls
// there (the rest, m minus that, goes to the next output pixel).
void splitCell(uint64_t i, uint64_t n, uint64_t m, uint32_t* target, uint32_t* weight)
{
    const uint64_t start = i * m;
    const uint64_t o = start / n;
    const uint64_t end = (o + 1) * n;
    *target = static_cast<uint32_t>(o);
    *weight = static_cast<uint32_t>(start + m <= end ? m : end - start);
}

uint64_t* ringRow(AreaReducer* r, uint32_t outRow)
{
    return u64(r->sums) + static_cast<size_t>(outRow % r->ringRows) * r->dstWidth;
}

void flushRow(AreaReducer* r, uint32_t outRow)
{
    uint64_t* s = ringRow(r, outRow);
    const uint64_t total = static_cast<uint64_t>(r->srcWidth) * r->srcHeight;
    uint8_t* out = r->image.row(outRow);
    for (uint32_t x = 0; x < r->dstWidth; ++x) {
        out[x] = static_cast<uint8_t>((s[x] + total / 2) / total);
        s[x] = 0;
    }
}

}  // namespace

bool reducerInit(AreaReducer* r, uint32_t srcWidth, uint32_t srcHeight, uint32_t dstWidth, uint32_t dstHeight,
                 bool anyOrder, std::string* reason)
{
    if (dstWidth == 0 || dstHeight == 0 || dstWidth > srcWidth || dstHeight > srcHeight) {
        *reason = "bad reduction size";
        return false;
    }
    r->srcWidth = srcWidth;
    r->srcHeight = srcHeight;
    r->dstWidth = dstWidth;
    r->dstHeight = dstHeight;
    r->anyOrder = anyOrder;
    r->ringRows = anyOrder ? dstHeight : (dstHeight < 2 ? dstHeight : 2);
    r->nextRow = 0;
    r->flushedRows = 0;
    size_t sumBytes = 0;
    if (!checkedMultiply(static_cast<size_t>(dstWidth) * sizeof(uint64_t), r->ringRows, &sumBytes)) {
        *reason = "image size out of range";
        return false;
    }
    r->columnTarget = allocateBytes(static_cast<size_t>(srcWidth) * sizeof(uint32_t), false);
    r->columnWeight = allocateBytes(static_cast<size_t>(srcWidth) * sizeof(uint32_t), false);
    r->rowSums = allocateBytes((static_cast<size_t>(dstWidth) + 1) * sizeof(uint32_t), true);
    r->sums = allocateBytes(sumBytes, true);
    if (!r->columnTarget || !r->columnWeight || !r->rowSums || !r->sums) {
        *reason = "out of memory for image reduction";
        return false;
    }
    if (!allocateGray(dstWidth, dstHeight, 255, &r->image, reason)) {
        return false;
    }
    for (uint32_t x = 0; x < srcWidth; ++x) {
        splitCell(x, srcWidth, dstWidth, &u32(r->columnTarget)[x], &u32(r->columnWeight)[x]);
    }
    return true;
}

void reducerAddRow(AreaReducer* r, uint32_t y, const uint8_t* gray, uint32_t count, uint32_t x0, uint32_t dx)
{
    if (y >= r->srcHeight || dx == 0 || (!r->anyOrder && y != r->nextRow)) {
        return;
    }
    r->nextRow = y + 1;
    // Kept at its size, in row order: each output pixel is its source pixel
    // (the average of one whole pixel), and no sum is needed.
    if (!r->anyOrder && r->dstWidth == r->srcWidth && r->dstHeight == r->srcHeight && dx == 1 && x0 == 0 &&
        count >= r->srcWidth) {
        while (r->flushedRows < y) {
            flushRow(r, r->flushedRows++);
        }
        std::memcpy(r->image.row(y), gray, r->srcWidth);
        r->flushedRows = y + 1;
        return;
    }
    // Across: each source pixel adds to one or two output columns. A sum of
    // one output column stays below 255 * srcWidth, well inside 32 bits.
    uint32_t* across = u32(r->rowSums);
    std::memset(across, 0, (static_cast<size_t>(r->dstWidth) + 1) * sizeof(uint32_t));
    const uint32_t* target = u32(r->columnTarget);
    const uint32_t* weight = u32(r->columnWeight);
    const uint32_t m = r->dstWidth;
    if (dx == 1 && x0 == 0 && count >= r->srcWidth) {
        for (uint32_t x = 0; x < r->srcWidth; ++x) {
            const uint32_t g = gray[x];
            const uint32_t w = weight[x];
            across[target[x]] += g * w;
            across[target[x] + 1] += g * (m - w);
        }
    } else {
        for (uint64_t i = 0, x = x0; i < count && x < r->srcWidth; ++i, x += dx) {
            const uint32_t g = gray[i];
            const uint32_t w = weight[x];
            across[target[x]] += g * w;
            across[target[x] + 1] += g * (m - w);
        }
    }
    // Down: the row adds to one or two output rows.
    uint32_t outRow = 0;
    uint32_t w = 0;
    splitCell(y, r->srcHeight, r->dstHeight, &outRow, &w);
    if (!r->anyOrder) {
        while (r->flushedRows < outRow) {
            flushRow(r, r->flushedRows++);
        }
    }
    uint64_t* s = ringRow(r, outRow);
    for (uint32_t x = 0; x < m; ++x) {
        s[x] += static_cast<uint64_t>(across[x]) * w;
    }
    const uint32_t rest = r->dstHeight - w;
    if (rest != 0 && outRow + 1 < r->dstHeight) {
        s = ringRow(r, outRow + 1);
        for (uint32_t x = 0; x < m; ++x) {
            s[x] += static_cast<uint64_t>(across[x]) * rest;
        }
    }
}

void reducerFinish(AreaReducer* r, GrayImage* out)
{
    while (r->flushedRows < r->dstHeight) {
        flushRow(r, r->flushedRows++);
    }
    *out = std::move(r->image);
}

}  // namespace tvl
