// SPDX-License-Identifier: Apache-2.0
// An owned libcups raster stream, reader or writer, closed on every path
// out (the descriptor under it is the caller's).
#pragma once

#include <memory>

#include <cups/raster.h>

namespace tvl {

struct RasterCloser {
    void operator()(cups_raster_t* raster) const { cupsRasterClose(raster); }
};
using RasterStream = std::unique_ptr<cups_raster_t, RasterCloser>;

}  // namespace tvl
