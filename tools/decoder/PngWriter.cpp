// SPDX-License-Identifier: Apache-2.0
#include "tools/decoder/PngWriter.h"

#include <cerrno>
#include <csetjmp>
#include <cstdio>

#include <png.h>

#include "output/SystemError.h"

namespace tvl {

namespace inspect {

namespace {

// libpng reports errors by longjmp: this part holds no object with a
// destructor, and the caller closes the file whatever happens.
bool writeRows(FILE* file, const Page& page)
{
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    if (png == nullptr) {
        return false;
    }
    png_infop info = png_create_info_struct(png);
    if (info == nullptr) {
        png_destroy_write_struct(&png, nullptr);
        return false;
    }
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        return false;
    }
    png_init_io(png, file);
    png_set_IHDR(png, info, page.widthPixels(), page.height, 1, PNG_COLOR_TYPE_GRAY, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    // In a 1-bit grey PNG 0 is black; in the printer's bitmap 1 is black.
    png_set_invert_mono(png);
    for (uint32_t y = 0; y < page.height; ++y) {
        png_write_row(png, page.row(y));
    }
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return true;
}

}  // namespace

bool writePagePng(const Page& page, const std::string& path, std::string* error)
{
    return unlessOutOfMemory(error, [&] {
        if (page.height == 0 || page.bytesPerLine == 0) {
            *error = path + ": the page has no image";
            return false;
        }
        FILE* file = std::fopen(path.c_str(), "wb");
        if (file == nullptr) {
            *error = systemErrorReason(path, errno);
            return false;
        }
        const bool written = writeRows(file, page);
        const bool closed = std::fclose(file) == 0;
        if (!written || !closed) {
            *error = path + ": cannot write the PNG";
            return false;
        }
        return true;
    });
}

}  // namespace inspect

}  // namespace tvl
