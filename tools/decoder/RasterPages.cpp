// SPDX-License-Identifier: Apache-2.0
#include "tools/decoder/RasterPages.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>

#include <cups/raster.h>

#include "output/Fd.h"
#include "output/RasterStream.h"
#include "output/SystemError.h"

namespace tvl {

namespace inspect {

namespace {

std::string pixelName(bool black)
{
    return black ? "black" : "white";
}

}  // namespace

bool readRasterFile(const std::string& path, std::vector<RasterPage>* pages, std::string* error)
{
    return unlessOutOfMemory(error, [&] {
        const UniqueFd file(open(path.c_str(), O_RDONLY));
        if (!file.valid()) {
            *error = systemErrorReason(path, errno);
            return false;
        }
        const RasterStream raster(cupsRasterOpen(file.get(), CUPS_RASTER_READ));
        if (!raster) {
            *error = path + ": not a CUPS raster stream";
            return false;
        }
        cups_page_header2_t header;
        std::memset(&header, 0, sizeof header);
        while (cupsRasterReadHeader2(raster.get(), &header) != 0) {
            RasterPage page;
            page.width = header.cupsWidth;
            page.height = header.cupsHeight;
            page.bytesPerLine = header.cupsBytesPerLine;
            page.bitsPerPixel = header.cupsBitsPerPixel;
            const size_t bytes = static_cast<size_t>(page.height) * page.bytesPerLine;
            page.pixels = allocateBytes(bytes, true);
            if (!page.pixels) {
                *error = path + ": no memory for page " + std::to_string(pages->size() + 1);
                return false;
            }
            if (bytes > 0xFFFFFFFFu ||
                cupsRasterReadPixels(raster.get(), page.pixels.get(), static_cast<unsigned>(bytes)) != bytes) {
                *error = path + ": page " + std::to_string(pages->size() + 1) + " is cut short";
                return false;
            }
            pages->push_back(std::move(page));
        }
        return true;
    });
}

bool turnPage(const RasterPage& page, int turn, RasterPage* turned, std::string* error)
{
    return unlessOutOfMemory(error, [&] {
        if (turn != 0 && turn != 1 && turn != 3) {
            *error = "turn " + std::to_string(turn) + ": only 0, 1 and 3";
            return false;
        }
        if (turn == 0) {
            *turned = RasterPage{page.width, page.height, page.bytesPerLine, page.bitsPerPixel, nullptr};
            const size_t bytes = static_cast<size_t>(page.height) * page.bytesPerLine;
            turned->pixels = allocateBytes(bytes, true);
            if (!turned->pixels) {
                *error = "out of memory";
                return false;
            }
            std::memcpy(turned->pixels.get(), page.pixels.get(), bytes);
            return true;
        }
        if (page.bitsPerPixel != 1 || static_cast<uint64_t>(page.bytesPerLine) * 8 < page.width) {
            *error = "cannot turn a page of " + std::to_string(page.bitsPerPixel) + " bits per pixel";
            return false;
        }
        // Turned page: W rows of H pixels.
        const uint32_t w = page.width;
        const uint32_t h = page.height;
        *turned = RasterPage{h, w, (h + 7) / 8, 1, nullptr};
        turned->pixels = allocateBytes(static_cast<size_t>(turned->height) * turned->bytesPerLine, true);
        if (!turned->pixels) {
            *error = "out of memory";
            return false;
        }
        for (uint32_t y = 0; y < turned->height; ++y) {
            for (uint32_t x = 0; x < turned->width; ++x) {
                // Clockwise: row Y is source column Y read bottom up.
                // Counter-clockwise: row Y is source column W-1-Y read top down.
                const bool black = turn == 1 ? page.pixel(y, h - 1 - x) : page.pixel(w - 1 - y, x);
                if (black) {
                    turned->pixels[static_cast<size_t>(y) * turned->bytesPerLine + x / 8] |=
                        static_cast<uint8_t>(0x80u >> (x % 8));
                }
            }
        }
        return true;
    });
}

bool comparePages(const DecodedStream& decoded, const std::vector<RasterPage>& expected, std::string* message)
{
    return unlessOutOfMemory(message, [&] {
        if (decoded.pages.size() != expected.size()) {
            *message = "the stream prints " + std::to_string(decoded.pages.size()) + " page(s), the raster has " +
                       std::to_string(expected.size());
            return false;
        }
        for (size_t i = 0; i < expected.size(); ++i) {
            const Page& got = decoded.pages[i];
            const RasterPage& want = expected[i];
            const std::string page = "page " + std::to_string(i + 1) + ": ";
            if (got.height != want.height) {
                *message = page + "the stream has " + std::to_string(got.height) + " rows, the raster " +
                           std::to_string(want.height);
                return false;
            }
            if (want.bitsPerPixel != 1) {
                if (got.bytesPerLine != want.bytesPerLine) {
                    *message = page + "the stream has " + std::to_string(got.bytesPerLine) +
                               " bytes per line, the raster " + std::to_string(want.bytesPerLine);
                    return false;
                }
                for (uint32_t y = 0; y < want.height; ++y) {
                    const uint8_t* wantRow = want.pixels.get() + static_cast<size_t>(y) * want.bytesPerLine;
                    if (std::memcmp(got.row(y), wantRow, want.bytesPerLine) != 0) {
                        *message = page + "row " + std::to_string(y) + " differs";
                        return false;
                    }
                }
                continue;
            }
            if (got.widthPixels() < want.width) {
                *message = page + "the stream's rows hold " + std::to_string(got.widthPixels()) +
                           " pixels, the raster's " + std::to_string(want.width);
                return false;
            }
            for (uint32_t y = 0; y < want.height; ++y) {
                for (uint32_t x = 0; x < want.width; ++x) {
                    if (got.pixel(x, y) != want.pixel(x, y)) {
                        *message = page + "row " + std::to_string(y) + " differs, first at column " +
                                   std::to_string(x) + " (stream " + pixelName(got.pixel(x, y)) + ", raster " +
                                   pixelName(want.pixel(x, y)) + ")";
                        return false;
                    }
                }
            }
        }
        return true;
    });
}

}  // namespace inspect

}  // namespace tvl
