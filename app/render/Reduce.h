// SPDX-License-Identifier: Apache-2.0
// Area-average reduction of an image while it is decoded, so that a large
// image never sits in memory at full size: rows (or, for interlaced images,
// pieces of rows) go in as they are decoded, and only the reduced image and
// two rows of sums are held.
//
// Each output pixel is the exact average of the source area it covers,
// partly covered source pixels counted by the part they cover (integer
// weights, no rounding until the last division).
#pragma once

#include <cstdint>
#include <string>

#include "app/render/Gray.h"

namespace tvl {

struct AreaReducer {
    uint32_t srcWidth = 0;
    uint32_t srcHeight = 0;
    uint32_t dstWidth = 0;
    uint32_t dstHeight = 0;
    bool anyOrder = false;        // every output row kept until the end
    uint32_t ringRows = 0;        // rows of `sums`: 2, or dstHeight when anyOrder
    uint32_t nextRow = 0;         // in row order: the next source row expected
    uint32_t flushedRows = 0;     // output rows already written to `image`
    ByteBuffer columnTarget;      // uint32_t per source column: first output column
    ByteBuffer columnWeight;      // uint32_t per source column: its weight there
    ByteBuffer rowSums;           // uint32_t * (dstWidth + 1): one source row, reduced across
    ByteBuffer sums;              // uint64_t * dstWidth * ringRows
    GrayImage image;              // dstWidth x dstHeight, the result
};

// Prepares the reduction of a srcWidth x srcHeight source to dstWidth x
// dstHeight (each at least 1 and at most the source's). In row order
// (anyOrder false) rows must come top down, each whole, exactly once;
// with anyOrder, pieces may come in any order (Adam7 passes) at the cost of
// a sum per output pixel. False with a reason on bad sizes or no memory.
bool reducerInit(AreaReducer* r, uint32_t srcWidth, uint32_t srcHeight, uint32_t dstWidth, uint32_t dstHeight,
                 bool anyOrder, std::string* reason);

// Adds `count` gray pixels of source row `y`, at columns x0, x0 + dx, ...
// In row order: x0 0, dx 1, count srcWidth, y the next row. Pixels outside
// the image are ignored; a row out of order is ignored.
void reducerAddRow(AreaReducer* r, uint32_t y, const uint8_t* gray, uint32_t count, uint32_t x0, uint32_t dx);

// Writes the output rows still pending and moves the image to *out.
void reducerFinish(AreaReducer* r, GrayImage* out);

}  // namespace tvl
